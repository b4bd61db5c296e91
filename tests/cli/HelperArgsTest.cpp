#include <gtest/gtest.h>

#include "HelperArgs.h"

namespace {

TEST(HelperArgsTest, Switches) {
  struct Case { const char* arg; char letter; bool expected; };
  for (const Case& c : {Case{"-d", 'd', true}, Case{"/D", 'd', true}, Case{"-L", 'l', true},
                        Case{"/h", 'h', true}, Case{"--d", 'd', false}, Case{"d", 'd', false},
                        Case{"-dx", 'd', false}, Case{"-l", 'd', false}, Case{"", 'd', false},
                        Case{"C:\\a.dat", 'd', false}})
    EXPECT_EQ(aux::IsSwitch(c.arg, c.letter), c.expected) << c.arg << " " << c.letter;
  EXPECT_TRUE(aux::HasSwitch({"C:\\a.dat", "/H"}, 'h'));
}

TEST(HelperArgsTest, ListLines) {
  using V = std::vector<std::string>;
  struct Case { std::string text; V expected; };
  for (const Case& c : {Case{"", {}}, Case{"a\r\nb\nc", {"a", "b", "c"}},
                        Case{"a\n\nb\n", {"a", "", "b"}}, Case{"\n", {""}},
                        Case{" C:\\x y.dat \r\n", {" C:\\x y.dat "}}, Case{"a\rb\n", {"a\rb"}}})
    EXPECT_EQ(aux::SplitListLines(c.text), c.expected) << c.text;
}

}  // namespace
