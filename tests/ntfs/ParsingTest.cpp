// The backend's pure pieces: drive table entries, Windows path syntax,
// wildcards, name conversion and run splicing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "DriveTable.h"
#include "NtfsTestSupport.h"
#include "RunMath.h"
#include "Utf16.h"
#include "WinPath.h"

namespace {

using ntfs::DriveEntry;

TEST(DriveTableParse, EntriesAndProblems) {
  const auto t = ntfs::ParseDriveTable(
      " c = /img/c.img ;D=/vm/disk.img:2; e=/dev/sdb2 ;;"
      "F=relative.img;GG=/x;H;I=/x:0;J=/x:129;C=/again.img;K=/odd:name.img;L=/dir:12345", ';');
  EXPECT_EQ(t.Drives, (std::map<char, DriveEntry>{{'C', {"/img/c.img", 0}},
                                                  {'D', {"/vm/disk.img", 2}},
                                                  {'E', {"/dev/sdb2", 0}},
                                                  {'K', {"/odd:name.img", 0}},
                                                  {'L', {"/dir:12345", 0}}}));
  EXPECT_EQ(t.Problems.size(), 6u);  // F, GG, H, I, J and the second C
}

TEST(DriveTableParse, FileFormatAllowsCommentsAndSemicolonsInPaths) {
  const auto t = ntfs::ParseDriveTable("# drives\nC=/a;b.img\r\n\n  # more\nZ=/z.img:1\n", '\n');
  EXPECT_EQ(t.Drives, (std::map<char, DriveEntry>{{'C', {"/a;b.img", 0}}, {'Z', {"/z.img", 1}}}));
  EXPECT_TRUE(t.Problems.empty());
}

TEST(DriveTableLoad, EnvironmentWinsOverTheFile) {
  ntfstest::TempDir dir;
  std::filesystem::create_directories(dir / "contigra");
  std::ofstream(dir / "contigra/drives") << "C=/from/file.img\nbad line\n";
  setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
  unsetenv("CONTIGRA_DRIVES");
  EXPECT_EQ(ntfs::DriveTableFilePath(), dir / "contigra/drives");
  auto t = ntfs::LoadDriveTable();
  EXPECT_EQ(t.Drives, (std::map<char, DriveEntry>{{'C', {"/from/file.img", 0}}}));
  EXPECT_EQ(t.Problems.size(), 1u);
  setenv("CONTIGRA_DRIVES", "D=/from/env.img", 1);
  t = ntfs::LoadDriveTable();
  EXPECT_EQ(t.Drives, (std::map<char, DriveEntry>{{'D', {"/from/env.img", 0}}}));
  unsetenv("CONTIGRA_DRIVES");
  unsetenv("XDG_CONFIG_HOME");
}

TEST(WinPathParse, Table) {
  struct Case {
    const char* name;
    bool ok;
    char drive;
    bool volume;
    std::vector<std::string> parts;
  } cases[] = {
      {"C:\\a\\b.txt", true, 'C', false, {"a", "b.txt"}},
      {"c:/a//b/./c/../d", true, 'C', false, {"a", "b", "d"}},
      {"C:\\", true, 'C', false, {}},
      {"C:", true, 'C', false, {}},
      {"C:\\..\\x", true, 'C', false, {"x"}},
      {"\\\\.\\d:", true, 'D', true, {}},
      {"//./E:", true, 'E', true, {}},
      {"C:\\a*b", false, 0, false, {}},
      {"C:\\a:stream", false, 0, false, {}},
      {"Ca\\b", false, 0, false, {}},
      {"C:a", false, 0, false, {}},
      {"1:\\a", false, 0, false, {}},
      {"", false, 0, false, {}},
  };
  for (const auto& c : cases) {
    ntfs::WinPath p;
    std::uint32_t error = 0;
    ASSERT_EQ(ntfs::ParseWinPath(c.name, p, error), c.ok) << c.name;
    if (!c.ok) {
      EXPECT_EQ(error, plat::ERROR_INVALID_NAME) << c.name;
      continue;
    }
    EXPECT_EQ(p.Drive, c.drive) << c.name;
    EXPECT_EQ(p.IsVolume, c.volume) << c.name;
    EXPECT_EQ(p.Components, c.parts) << c.name;
  }
}

TEST(Wildcards, Table) {
  struct Case { const char16_t* mask; const char16_t* name; bool match; } cases[] = {
      {u"*.*", u"NOEXT", true},   {u"*", u"", true},          {u"*.TXT", u"A.TXT", true},
      {u"*.TXT", u"A.TXTX", false}, {u"A?C", u"ABC", true},  {u"A?C", u"AC", false},
      {u"*B*", u"ABC", true},     {u"*B*", u"AC", false},     {u"A*C*E", u"ABCDCE", true},
  };
  for (const auto& c : cases) EXPECT_EQ(ntfs::WildcardMatch(c.mask, c.name), c.match);
}

TEST(Utf16, RoundTripsEveryUnitSequence) {
  const std::u16string samples[] = {
      u"plain", u"Ünïcødé", u"日本語", u"\U0001F600 emoji", std::u16string(1, char16_t(0xD800)),
      std::u16string{char16_t(0xDC00), u'x'}, std::u16string{char16_t(0xDBFF)},
  };
  for (const auto& s : samples) {
    const std::string utf8 = ntfs::Utf16ToUtf8(s);
    EXPECT_EQ(ntfs::Utf8ToUtf16(utf8), s);
  }
  EXPECT_EQ(ntfs::Utf16ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
  for (const char* bad : {"\xC0\x80", "\xE0\x80\x80", "\xF4\x90\x80\x80", "\xC3", "\x80",
                          "\xED\xA0\x80\xED\xB0\x80"})  // overlong, too big, cut, pair in halves
    EXPECT_FALSE(ntfs::Utf8ToUtf16(bad)) << bad;
}

TEST(RunSplice, Table) {
  using ntfs::Run;
  const std::vector<Run> runs = {{0, 100, 4}, {4, -1, 4}, {8, 200, 4}, {12, 300, 2}};
  struct Case {
    std::int64_t vcn, count, target;
    std::vector<Run> after;
  } cases[] = {
      {0, 14, 500, {{0, 500, 4}, {4, -1, 4}, {8, 504, 6}}},
      {2, 8, 500, {{0, 100, 2}, {2, 500, 2}, {4, -1, 4}, {8, 502, 2}, {10, 202, 2}, {12, 300, 2}}},
      {4, 4, 500, runs},                                         // only virtual clusters
      {12, 2, 204, {{0, 100, 4}, {4, -1, 4}, {8, 200, 6}}},      // joins its neighbour
  };
  for (const auto& c : cases) EXPECT_EQ(ntfs::SpliceRuns(runs, c.vcn, c.count, c.target), c.after) << c.vcn;
  EXPECT_EQ(ntfs::AllocatedPieces(runs, 2, 8), (std::vector<Run>{{2, 102, 2}, {8, 200, 2}}));
}

}  // namespace
