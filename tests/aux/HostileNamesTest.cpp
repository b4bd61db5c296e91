// contigra_aux as a process over a list of awkward names on a real NTFS
// image: every printable character a Windows name may hold, non-ASCII
// names, 255-unit names, a path of 32,000 characters, names that look like
// switches, 8-bit bytes that are not UTF-8, and names that try to leave
// the mapped volume. Whatever a line holds, the helper must not crash,
// must write both of its lines whole, and must touch nothing but the
// files the volume really holds under those names.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "HelperProcess.h"
#include "ImageBuilder.h"
#include "NtfsTestSupport.h"

namespace {

using namespace auxtest;
using namespace ntfstest;

constexpr std::uint64_t kFileSize = 40000;

// Folders of 250 characters down to a file whose full path, drive letter
// included, is exactly `total` characters long.
std::string DeepPath(std::size_t total) {
  std::string path = "C:";
  for (int level = 0; path.size() + 251 + 2 < total; ++level) {
    std::string folder = "level " + std::to_string(level) + " ";
    path += "\\" + folder + std::string(250 - folder.size(), 'd');
  }
  return path + "\\" + std::string(total - path.size() - 1, 'f');
}

std::string Repeat(const std::string& unit, int times) {
  std::string s;
  for (int i = 0; i < times; ++i) s += unit;
  return s;
}

// Names the volume holds; each is written in pieces so that a helper that
// reaches it has something to do.
const std::vector<std::string>& HeldNames() {
  static const std::vector<std::string> names = {
      "C:\\x !#$%&'()+,-.;=@[]^_`{}~09AZaz.dat",
      "C:\\-d",
      "C:\\l",  // also reached as "C:\/l"
      "C:\\Überweisung – Ελληνικά Кириллица 日本語.dat",
      "C:\\emoji 😀 🇩🇪.dat",
      "C:\\café.dat",
      "C:\\" + std::string(251, 'n') + ".dat",  // 255 units
      "C:\\" + Repeat("é", 255),                 // 255 units, 510 bytes
      "C:\\" + Repeat("😀", 127) + "x",          // 255 units as surrogate pairs
      DeepPath(32000),
  };
  return names;
}

// "C:\-d" -> "/-d": rooted, so the ntfs-3g tools never take a name for
// one of their options.
std::string ToolPath(const std::string& winPath) {
  std::string p = winPath.substr(2);
  for (char& c : p)
    if (c == '\\') c = '/';
  return p;
}

struct Stamp {
  std::string Sha;
  long long Mtime = 0;
  bool operator==(const Stamp&) const = default;
};

Stamp StampOf(const std::string& path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return {FileSha256(path), static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL +
                                st.st_mtim.tv_nsec};
}

class HostileNames : public ::testing::Test {
 protected:
  void SetUp() override {
    imagekit::Layout layout;
    layout.ImageSize = 24u << 20;
    for (const auto& name : HeldNames()) {
      imagekit::LayoutEntry e;
      e.Path = name.substr(3);
      e.Size = kFileSize;
      e.Fragments = 5;
      layout.Entries.push_back(e);
    }
    std::string error;
    ASSERT_TRUE(imagekit::BuildImage(layout, Image(), error)) << error;
    for (const auto& name : HeldNames()) {
      const auto data = NtfsCat(Image(), ToolPath(name));
      ASSERT_EQ(data.size(), kFileSize) << name.substr(0, 80);
      sha_[name] = Sha256Hex(data);
      ASSERT_GT(NtfsclusterRuns(Image(), ToolPath(name)).size(), 1u) << name.substr(0, 80);
    }
    std::ofstream(Outside(), std::ios::binary) << "not part of any volume\n";
  }

  std::string Image() const { return dir_ / "c.img"; }
  std::string Outside() const { return dir_ / "outside.dat"; }
  Env HelperEnv() const {
    return {{"CONTIGRA_DRIVES", "C=" + Image()}, {"CONTIGRA_RUNTIME_DIR", dir_ / "run"}};
  }

  TempDir dir_;
  std::map<std::string, std::string> sha_;
};

TEST_F(HostileNames, ListOfAwkwardNamesIsWorkedThroughWholeInsideTheVolume) {
  std::vector<std::string> lines = HeldNames();
  const std::vector<std::string> others = {
      "-d", "/l", "-L", "/D", "-h",
      "C:\\/l",               // the held "C:\l"
      "C:\\caf\xE9.dat",      // Latin-1, not UTF-8
      "C:\\\xFF\xFE\x80.dat",  // no character set at all
      "C:\\" + std::string(256, 'n'),    // one unit too long
      DeepPath(32000) + "\\" + std::string(8000, 'g'),
      "C:\\..\\..\\outside.dat",
      "C:\\" + std::string(40, '.') + "\\outside.dat",
      Outside(),
      "\\\\?\\" + Outside(),
      "\\\\.\\C:",
      "C:\\$MFT",
      "C:\\$Bitmap",
      "C:",
      "Z:\\outside.dat",
      "",
  };
  lines.insert(lines.end(), others.begin(), others.end());
  std::string list, expected;
  for (const auto& line : lines) {
    list += line + "\r\n";
    expected += FileLines(line);
  }
  const std::string listPath = dir_ / "list.txt";
  std::ofstream(listPath, std::ios::binary) << list;
  const Stamp outsideBefore = StampOf(Outside());
  const Stamp listBefore = StampOf(listPath);

  const Outcome o = RunHelper({"-l", listPath}, HelperEnv());
  EXPECT_EQ(o.ExitCode, 0) << Describe(o);
  EXPECT_EQ(o.Err, "");
  EXPECT_TRUE(o.Out == expected) << "output differs from the list's lines at byte "
                                 << std::mismatch(o.Out.begin(), o.Out.end(), expected.begin(),
                                                  expected.end()).first - o.Out.begin();

  for (const auto& name : HeldNames()) {
    SCOPED_TRACE(name.substr(0, 80));
    EXPECT_EQ(Sha256Hex(NtfsCat(Image(), ToolPath(name))), sha_[name]);
    EXPECT_EQ(NtfsclusterRuns(Image(), ToolPath(name)).size(), 1u);
  }
  int leaked = 0;
  std::string report;
  EXPECT_TRUE(VolumeCheck(Image(), leaked, &report).empty()) << report;
  EXPECT_EQ(leaked, 0) << report;
  EXPECT_EQ(StampOf(Outside()), outsideBefore);
  EXPECT_EQ(StampOf(listPath), listBefore);
}

// The same names one at a time with -d: the name comes through the
// argument vector, not a line of a file, and is echoed just as whole.
TEST_F(HostileNames, EachNameAsTheArgumentOfDashD) {
  for (const auto& name : {HeldNames()[1], HeldNames()[3], HeldNames()[8], HeldNames()[9],
                           std::string("C:\\caf\xE9.dat"), Outside()}) {
    SCOPED_TRACE(name.substr(0, 80));
    const Outcome o = RunHelper({"-d", name}, HelperEnv());
    EXPECT_EQ(o.ExitCode, 0) << Describe(o);
    EXPECT_TRUE(o.Out == FileLines(name)) << o.Out.size() << " bytes of output";
  }
  for (int i : {1, 3, 8, 9}) {
    const std::string& name = HeldNames()[static_cast<std::size_t>(i)];
    EXPECT_EQ(NtfsclusterRuns(Image(), ToolPath(name)).size(), 1u) << name.substr(0, 80);
    EXPECT_EQ(Sha256Hex(NtfsCat(Image(), ToolPath(name))), sha_[name]);
  }
}

}  // namespace
