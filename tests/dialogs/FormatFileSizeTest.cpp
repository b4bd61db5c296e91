#include <gtest/gtest.h>

#include "DialogTestSupport.h"
#include "Dialogs.h"

namespace {

TEST(FormatFileSize, PicksTheLargestUnitThatFitsWithTwoDecimals) {
  const struct {
    std::int64_t bytes;
    const char* text;
  } cases[] = {
      {0, "0"},
      {1023, "1023"},                   // bytes: no unit, no separators
      {1024, "1.00 KB"},
      {1536, "1.50 KB"},
      {1048575, "1,024.00 KB"},         // rounds up but stays in KB
      {1048576, "1.00 MB"},
      {1073741823, "1,024.00 MB"},
      {3221225472, "3.00 GB"},
      {std::int64_t{5000} << 30, "5,000.00 GB"},
      {-1, "-1"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatFileSize(c.bytes), c.text) << c.bytes;
}

TEST(FormatFileSize, UsesTheLocalesSeparators) {
  dlgtest::ScopedLocale german(QLocale(QLocale::German, QLocale::Germany));
  EXPECT_EQ(FormatFileSize(1048575), "1.024,00 KB");
  EXPECT_EQ(FormatFileSize(1023), "1023");
}

}  // namespace
