// A profile entry naming a folder on a real NTFS image expands depth first,
// in the order the volume lists each folder, hidden and system items
// included; a file entry stands for itself, anything else for nothing.
#include <gtest/gtest.h>

#include "NtfsTestSupport.h"
#include "Profile.h"

namespace {

using ntfstest::BuildImage;
using ntfstest::ScopedNtfs;
using ntfstest::TempDir;

// The folder's items as the volume lists them, folders expanded in place.
void ListDepthFirst(const std::string& folder, std::vector<std::string>& out) {
  plat::FindData item;
  const plat::HANDLE find = plat::Current().FindFirstFileA(folder + "\\*.*", item);
  ASSERT_NE(find, plat::INVALID_HANDLE_VALUE) << folder;
  do {
    if (item.Name == "." || item.Name == "..") continue;
    if (item.Attributes & plat::FILE_ATTRIBUTE_DIRECTORY)
      ListDepthFirst(folder + "\\" + item.Name, out);
    else
      out.push_back(folder + "\\" + item.Name);
  } while (plat::Current().FindNextFileA(find, item));
  plat::Current().FindClose(find);
}

TEST(ExpandEntryOnNtfs, FolderExpandsDepthFirstInListingOrder) {
  TempDir dir;
  const std::string image = dir / "c.img";
  BuildImage("size 8M\n"
             "file Docs\\b.txt size=5000\n"
             "file Docs\\Sub\\c.txt size=7000\n"
             "file Docs\\a.txt size=3000\n"
             "file Docs\\zz.sys size=100 attr=hs\n"
             "file Docs\\Sub\\Deeper\\d.txt size=100\n"
             "file other.txt size=10\n",
             image);
  ScopedNtfs ntfs("C=" + image);
  std::vector<std::string> expected;
  ListDepthFirst("C:\\Docs", expected);
  ASSERT_EQ(expected.size(), 5u);

  std::vector<std::string> files;
  ExpandEntry("C:\\Docs", files, {});
  EXPECT_EQ(files, expected);
  files.clear();
  ExpandEntry("c:\\docs\\", files, {});  // a trailing "\" and another case
  EXPECT_EQ(files.size(), 5u);

  struct Case { const char* entry; std::vector<std::string> expected; };
  for (const Case& c : {Case{"C:\\other.txt", {"C:\\other.txt"}}, Case{"C:\\missing.txt", {}},
                        Case{"C:\\Docs\\*.txt", {}}, Case{"Q:\\Docs", {}}}) {
    files.clear();
    ExpandEntry(c.entry, files, {});
    EXPECT_EQ(files, c.expected) << c.entry;
  }
  // A stop asked before the first item leaves the entry empty.
  files.clear();
  ExpandEntry("C:\\Docs", files, [](std::int32_t) { return true; });
  EXPECT_TRUE(files.empty());
}

}  // namespace
