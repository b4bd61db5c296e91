#include <gtest/gtest.h>

#include "Profile.h"
#include "SimFixture.h"

namespace {

// A fixed clock for the test's lifetime.
class FixedClock {
 public:
  explicit FixedClock(TDateTime now) : previous_(SetClock([this] { return now_; })), now_(now) {}
  ~FixedClock() { SetClock(previous_); }
  void Set(TDateTime now) { now_ = now; }

 private:
  TClock previous_;
  TDateTime now_;
};

// 2026-12-07 is a Monday.
const TDateTime kMonday = EncodeDateTime(2026, 12, 7);

TEST(DateTimeTest, WeekdaysAndShortTimes) {
  EXPECT_EQ(WeekdayMonday0(kMonday), 0);
  EXPECT_EQ(WeekdayMonday0(kMonday + 6.5), 6);
  EXPECT_EQ(WeekdayMonday0(0), 5);  // 1899-12-30, a Saturday
  EXPECT_EQ(FormatShortTime(EncodeTime(15, 5)), "15:05");
  EXPECT_EQ(FormatShortTime(EncodeTime(0, 0)), "0:00");
  EXPECT_EQ(FormatShortTime(EncodeTime(3, 5, 59), '.'), "3.05");
  struct Case { const char* text; char sep; std::optional<TDateTime> expected; };
  for (const Case& c : {Case{"15:05", ':', EncodeTime(15, 5)}, Case{"15.05", '.', EncodeTime(15, 5)},
                        Case{"15:05", '.', EncodeTime(15, 5)},  // ':' always works
                        Case{"3:05 PM", ':', EncodeTime(15, 5)}, Case{"12:30 am", ':', EncodeTime(0, 30)},
                        Case{"2026-12-07 22:00", ':', kMonday + EncodeTime(22, 0)},
                        Case{"24:00", ':', std::nullopt}, Case{"abc", ':', std::nullopt},
                        Case{"", ':', std::nullopt}, Case{"3:05 XM", ':', std::nullopt}}) {
    const auto got = ParseDateTime(c.text, c.sep);
    ASSERT_EQ(got.has_value(), c.expected.has_value()) << c.text;
    if (got) {
      EXPECT_NEAR(*got, *c.expected, 1e-9) << c.text;
    }
  }
}

TEST(ProfileTest, NextStartOnMondayAt22) {
  struct Case { TDateTime now; TDateTime expected; };
  const TDateTime at22 = kMonday + EncodeTime(22, 0);
  for (const Case& c : {Case{kMonday + EncodeTime(21, 59), at22}, Case{at22, at22 + 7},
                        Case{kMonday + EncodeTime(23, 0), at22 + 7},
                        Case{kMonday - 1, at22}}) {  // from Sunday
    FixedClock clock(c.now);
    TProfile p;
    p.Days[0] = true;
    p.SetStart(EncodeTime(22, 0));
    EXPECT_NEAR(p.NextStart, c.expected, 1e-9);
  }
  FixedClock clock(kMonday);
  TProfile none;
  none.SchedulerActive = true;
  none.SetStart(EncodeTime(10, 0));
  EXPECT_EQ(none.NextStart, 0);
}

TEST(ProfileTest, NamesCopiesAndIds) {
  TProfile p;
  p.SetName("   ");
  EXPECT_EQ(p.Name, "untitled");
  p.SetName(" Docs ");
  EXPECT_EQ(p.Name, " Docs ");
  p.Files = {"C:\\a", "C:\\b"};
  p.State = psRunning;
  p.Days[2] = true;
  FixedClock clock(kMonday);
  const TProfile copy(p);
  EXPECT_EQ(copy.Id, p.Id);
  EXPECT_EQ(copy.Files, p.Files);
  EXPECT_EQ(copy.State, psIdle);
  EXPECT_NEAR(copy.NextStart, kMonday + 2, 1e-9);
  EXPECT_GE(p.Id, 0);
  EXPECT_NE(TProfile().Id, TProfile().Id);  // 1 in 2^31 to fail
}

std::string ProfileXml(const std::string& active, const std::string& files = "<Files/>",
                       const std::string& start = "<Start>15:05</Start>") {
  return "<Profile Name=\"P\" RunMethod=\"257\">" + files + "<Scheduler><Active>" + active +
         "</Active>" + start +
         "<Days Day0=\"True\" Day1=\"false\" Day2=\"FALSE\" Day3=\"0\" Day4=\"1\" Day5=\"False\" "
         "Day6=\"False\"/></Scheduler></Profile>";
}

TEST(ProfileXmlTest, ReadsWhatItAcceptsAndRefusesTheRest) {
  struct Case { std::string xml; bool ok; bool active; };
  const Case cases[] = {
      {ProfileXml("TRUE"), true, true},
      {ProfileXml("True"), true, true},
      {ProfileXml("1"), true, true},
      {ProfileXml("0"), true, false},
      {ProfileXml("yes"), false, false},
      {ProfileXml(""), false, false},
      {ProfileXml("<![CDATA[false]]>"), true, false},
      {ProfileXml("true", "<Files><File>C:\\a</File><Item>C:\\b</Item></Files>"), true, true},
      {ProfileXml("true", "<Files><File></File></Files>"), false, false},
      {ProfileXml("true", "<Files><File>C:\\a<b/></File></Files>"), false, false},
      {ProfileXml("true", "<Files/>", ""), false, false},
      {ProfileXml("true", "<Files/>", "<Start>late</Start>"), false, false},
      {"<Profile RunMethod=\"0\"><Scheduler/></Profile>", false, false},
  };
  for (const Case& c : cases) {
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(c.xml.c_str())) << c.xml;
    try {
      const TProfile p(doc.first_child());
      EXPECT_TRUE(c.ok) << c.xml;
      EXPECT_EQ(p.SchedulerActive, c.active) << c.xml;
      EXPECT_EQ(p.RunMethod, 1);  // low 8 bits of 257
      EXPECT_EQ(p.Days, (std::array<bool, 7>{true, false, false, false, true, false, false}));
    } catch (const TProfileReadError&) {
      EXPECT_FALSE(c.ok) << c.xml;
    }
  }
  pugi::xml_document doc;
  doc.load_string(ProfileXml("true", "<Files><File>C:\\a</File><Item>C:\\b</Item></Files>").c_str());
  EXPECT_EQ(TProfile(doc.first_child()).Files, (std::vector<std::string>{"C:\\a", "C:\\b"}));
}

TEST(ProfileXmlTest, WritesInItsOrderAndReadsBack) {
  TProfile p;
  p.Name = "Mail";
  p.RunMethod = 1;
  p.Files = {"C:\\Mail", "C:\\x.dat"};
  p.SchedulerActive = true;
  p.Start = EncodeTime(15, 5, 30);
  p.Days = {false, true, false, false, false, false, true};
  pugi::xml_document doc;
  p.SaveToNode(doc.append_child("Profile"));
  std::ostringstream out;
  doc.save(out, "", pugi::format_raw | pugi::format_no_declaration);
  EXPECT_EQ(out.str(),
            "<Profile Name=\"Mail\" RunMethod=\"1\"><Files><File>C:\\Mail</File><File>C:\\x.dat"
            "</File></Files><Scheduler><Active>true</Active><Start>15:05</Start><Days "
            "Day0=\"False\" Day1=\"True\" Day2=\"False\" Day3=\"False\" Day4=\"False\" "
            "Day5=\"False\" Day6=\"True\"/></Scheduler></Profile>");
  const TProfile back(doc.first_child());
  EXPECT_NEAR(back.Start, EncodeTime(15, 5), 1e-9);
  EXPECT_EQ(back.Files, p.Files);
  EXPECT_EQ(back.Days, p.Days);
}

class ProfileRunTest : public SimTest {
 protected:
  sim::SimVolume& v = AddC(50000);
  void SetUp() override {
    v.AddFile("Docs\\a", {{100, 2}, {200, 2}});
    v.AddFolder("Docs\\Sub");
    v.AddFile("Docs\\Sub\\c", {{300, 1}, {310, 1}});
    v.AddFile("Docs\\b", {{400, 1}, {410, 1}});
    v.AddFile("one.dat", {{500, 3}, {600, 3}});
    v.AddFile("two.dat", {{700, 3}, {800, 3}});
  }
};

TEST_F(ProfileRunTest, ExpandsFoldersDepthFirstInListingOrder) {
  std::vector<std::string> files;
  ExpandEntry("C:\\Docs", files, {});
  EXPECT_EQ(files, (std::vector<std::string>{"C:\\Docs\\a", "C:\\Docs\\Sub\\c", "C:\\Docs\\b"}));
  files.clear();
  ExpandEntry("C:\\Docs\\", files, {});
  EXPECT_EQ(files.size(), 3u);
  for (const char* nothing : {"C:\\missing", "C:\\Docs\\*.*", "Q:\\x"}) {
    files.clear();
    ExpandEntry(nothing, files, {});
    EXPECT_TRUE(files.empty()) << nothing;
  }
}

TEST_F(ProfileRunTest, EachEntryIsItsOwnMoveOrGroup) {
  TProfile p;
  p.Files = {"C:\\one.dat", "C:\\missing.dat", "C:\\two.dat", "C:\\Docs"};
  RecordingSink log(1);
  p.Run({});
  EXPECT_EQ(p.State, psIdle);
  std::vector<std::string> starts;
  for (const auto& l : log.lines)
    if (l.rfind("<<<< ", 0) == 0) starts.push_back(l.substr(0, l.find(" started")));
  EXPECT_EQ(starts, (std::vector<std::string>{
                        "<<<< \"Defragment file\"", "<<<< \"Defragment file\"",
                        "<<<< \"Defragment list\"",
                        "<<<< \"Defragment file to offset\"", "<<<< \"Defragment file to offset\"",
                        "<<<< \"Defragment file to offset\""}));
  // The group: three files back to back.
  const auto a = v.ExtentsOf("Docs\\a"), c = v.ExtentsOf("Docs\\Sub\\c"), b = v.ExtentsOf("Docs\\b");
  ASSERT_EQ(a.size(), 1u);
  EXPECT_EQ(c, (std::vector<sim::Extent>{{a[0].Lcn + 4, 2}}));
  EXPECT_EQ(b, (std::vector<sim::Extent>{{a[0].Lcn + 6, 2}}));
}

TEST_F(ProfileRunTest, EndOfDiskPlacement) {
  TProfile p;
  p.RunMethod = 1;
  p.Files = {"C:\\one.dat", "C:\\Docs"};
  RecordingSink log(0);
  p.Run({});
  EXPECT_EQ(v.ExtentsOf("one.dat"), (std::vector<sim::Extent>{{50000 - 6, 6}}));
  EXPECT_EQ(v.ExtentsOf("Docs\\b"), (std::vector<sim::Extent>{{50000 - 6 - 2, 2}}));
}

TEST_F(ProfileRunTest, StopBeforeTheRunTouchesNothing) {
  TProfile p;
  p.Files = {"C:\\one.dat", "C:\\Docs"};
  int asked = 0;
  p.Run([&](std::int32_t) { ++asked; return true; });
  EXPECT_EQ(p.State, psIdle);
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(machine->OpenedNames().empty());
}

}  // namespace
