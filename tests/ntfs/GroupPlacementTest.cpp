// Group placement and the fragmentation scan on real images. Where the
// group has to land is worked out from $Bitmap as ntfscat reads it; the
// result is checked with ntfscluster (runs), ntfscat (contents) and
// ntfsresize (cluster accounting).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "DefragAPI.h"
#include "NtfsLib.h"
#include "NtfsTestSupport.h"

namespace {

using namespace ntfstest;

// --- Witnesses -------------------------------------------------------------

std::int64_t ClusterCount(const std::string& image) {
  std::string out;
  RunTool({"ntfsinfo", "-m", image}, out);
  const std::string key = "Volume Size in Clusters:";
  const auto at = out.find(key);
  return at == std::string::npos ? -1 : std::stoll(out.substr(at + key.size()));
}

struct FreeRun {
  std::int64_t Lcn, Length;
};

// Free runs of at least `needed` clusters, read from the raw $Bitmap.
std::vector<FreeRun> FreeRunsFromBitmapFile(const std::string& image, std::int64_t needed) {
  const auto bitmap = NtfsCat(image, "$Bitmap");
  const std::int64_t clusters = ClusterCount(image);
  std::vector<FreeRun> runs;
  std::int64_t start = -1;
  for (std::int64_t lcn = 0; lcn <= clusters; ++lcn) {
    const bool used = lcn == clusters ||
                      ((bitmap.at(static_cast<std::size_t>(lcn / 8)) >> (lcn % 8)) & 1);
    if (!used && start < 0) start = lcn;
    if (used && start >= 0) {
      if (lcn - start >= needed) runs.push_back({start, lcn - start});
      start = -1;
    }
  }
  return runs;
}

std::int64_t VcnCount(const std::vector<ToolRun>& runs) {
  return runs.empty() ? 0 : runs.back().Vcn + runs.back().Length;
}

// A file's fragments from ntfscluster's runs: holes belong to the piece
// before them, and runs that follow each other on the volume are one piece.
std::int32_t WitnessFragments(const std::vector<ToolRun>& runs) {
  std::int32_t pieces = 0;
  std::int64_t end = -1;  // the cluster after the current piece, -1 for none
  for (const ToolRun& r : runs) {
    if (r.Lcn < 0) {
      if (pieces == 0) ++pieces;  // a leading hole is a piece of its own
      continue;
    }
    if (r.Lcn != end) ++pieces;
    end = r.Lcn + r.Length;
  }
  return pieces;
}

std::string ToolPath(const std::string& winPath) {  // "C:\a\b" -> "/a/b"
  std::string p = winPath.substr(2);
  std::replace(p.begin(), p.end(), '\\', '/');
  return p;
}

// --- Group placement -------------------------------------------------------

constexpr int kGroupFiles = 200;

std::string GroupFile(int i) { return "Group\\f" + std::to_string(1000 + i) + ".bin"; }

// 200 files of 6-56 KB, each in 2-6 pieces, and a few files around them.
std::string GroupLayout() {
  std::ostringstream l;
  l << "size 64M\nfile before.bin size=70000 frag=4\n";
  for (int i = 0; i < kGroupFiles; ++i)
    l << "file " << GroupFile(i) << " size=" << 6000 + (i * 7919) % 50000 << " frag=" << 2 + i % 5
      << '\n';
  l << "file after.bin size=90000 frag=3\nfile Group\\tiny.txt size=100\n";
  return l.str();
}

class GroupPlacement : public ::testing::TestWithParam<bool> {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    BuildImage(GroupLayout(), Pristine());
    for (int i = 0; i < kGroupFiles; ++i) {
      const std::string path = ToolPath("C:\\" + GroupFile(i));
      const auto bytes = NtfsCat(Pristine(), path);
      ASSERT_FALSE(bytes.empty()) << path;
      sha_[i] = Sha256Hex(bytes);
      const auto runs = NtfsclusterRuns(Pristine(), path);
      clusters_[i] = VcnCount(runs);
      if (runs.size() > 1) ++fragmented_;
    }
  }
  static void TearDownTestSuite() { delete dir_; }
  static std::string Pristine() { return *dir_ / "pristine.img"; }

  static TempDir* dir_;
  static std::map<int, std::string> sha_;
  static std::map<int, std::int64_t> clusters_;
  static int fragmented_;
};
TempDir* GroupPlacement::dir_ = nullptr;
std::map<int, std::string> GroupPlacement::sha_;
std::map<int, std::int64_t> GroupPlacement::clusters_;
int GroupPlacement::fragmented_ = 0;

TEST_P(GroupPlacement, FolderBecomesOneContiguousGroupInListOrder) {
  const bool toTail = GetParam();
  TempDir work;
  const std::string image = work / "c.img";
  std::filesystem::copy_file(Pristine(), image);
  ASSERT_GE(fragmented_, kGroupFiles * 9 / 10) << "the files are not laid out as the test needs";

  // A list order unlike the folder's: a stride through the files.
  std::vector<int> order;
  for (int k = 0; k < kGroupFiles; ++k) order.push_back((k * 73 + 11) % kGroupFiles);
  std::int64_t total = 0;
  for (int i : order) total += clusters_[i];

  const auto fitting = FreeRunsFromBitmapFile(image, total);
  ASSERT_GE(fitting.size(), 2u) << "the image needs two free runs that hold the group";
  ASSERT_FALSE(FreeRunsFromBitmapFile(image, 1).front().Lcn == fitting.front().Lcn)
      << "smaller free runs must come before the first one that fits";
  const std::int64_t start = toTail ? fitting.back().Lcn + fitting.back().Length - total
                                    : fitting.front().Lcn;

  std::vector<std::string> files;
  for (int i : order) files.push_back("C:\\" + GroupFile(i));
  {
    ScopedNtfs ntfs("C=" + image);
    ASSERT_EQ(DefragmentList(files, toTail), 0);
  }

  std::int64_t next = start;
  for (std::size_t k = 0; k < files.size(); ++k) {
    const int i = order[k];
    const auto runs = NtfsclusterRuns(image, ToolPath(files[k]));
    ASSERT_EQ(runs.size(), 1u) << files[k] << " is not in one piece";
    EXPECT_EQ(runs[0].Lcn, next) << files[k] << " (list position " << k << ") is not right after the one before";
    EXPECT_EQ(runs[0].Length, clusters_[i]) << files[k];
    next = runs[0].Lcn + runs[0].Length;
    EXPECT_EQ(Sha256Hex(NtfsCat(image, ToolPath(files[k]))), sha_[i]) << files[k] << " changed";
  }
  if (toTail) {
    EXPECT_EQ(next, fitting.back().Lcn + fitting.back().Length) << "the group does not end the run";
  }

  int leaked = 0;
  std::string report;
  EXPECT_TRUE(VolumeCheck(image, leaked, &report).empty()) << report;
  EXPECT_EQ(leaked, 0) << report;
}

INSTANTIATE_TEST_SUITE_P(Ntfs, GroupPlacement, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& p) {
                           return p.param ? "ToTail" : "ToFirstFit";
                         });

// --- Fragmentation scan -----------------------------------------------------

constexpr std::int64_t kBigSize = (5ll << 30) + 12345;  // past 4 GiB, two clusters of data

constexpr char kScanLayout[] = R"(
size 16M
dir Sys attr=s
file Sys\inside.bin size=40000 frag=4
file Sys\Deeper\also.bin size=30000 frag=3
dir Hidden attr=h
file Hidden\h1.bin size=40000 frag=5
file Hidden\Deeper\h2.bin size=24000 frag=3
file Hidden\plain.bin size=30000
file Top\f1.bin size=65536 frag=8
file Top\f2.bin size=36000 frag=2
file Top\plain.bin size=20000
file Top\sysfile.bin size=30000 frag=3 attr=s
file Top\ro.bin size=24000 frag=2 attr=rh
sparse Top\holes.bin size=1048576 data=0+4096,524288+8192
compressed Top\packed.bin size=262144
file "Ünï dir\日本語.bin" size=30000 frag=3
file tiny.txt size=40
file empty.txt size=0
)";

// Files outside system entries, with their sizes; big.bin is added after
// the build.
const std::map<std::string, std::int64_t> kVisible = {
    {"C:\\Hidden\\h1.bin", 40000},         {"C:\\Hidden\\Deeper\\h2.bin", 24000},
    {"C:\\Hidden\\plain.bin", 30000},      {"C:\\Top\\f1.bin", 65536},
    {"C:\\Top\\f2.bin", 36000},            {"C:\\Top\\plain.bin", 20000},
    {"C:\\Top\\ro.bin", 24000},            {"C:\\Top\\holes.bin", 1048576},
    {"C:\\Top\\packed.bin", 262144},       {"C:\\Ünï dir\\日本語.bin", 30000},
    {"C:\\tiny.txt", 40},                  {"C:\\empty.txt", 0},
    {"C:\\big.bin", kBigSize},
};

// A sparse file larger than 4 GiB with data at both ends: a few clusters
// on disk, written with libntfs-3g after the build.
bool AddBigSparseFile(const std::string& image) {
  ntfs_volume* vol = ntfs_mount(image.c_str(), NTFS_MNT_NONE);
  if (!vol) return false;
  NVolSetCompression(vol);  // allows holes
  bool ok = false;
  ntfs_inode* root = ntfs_inode_open(vol, FILE_root);
  const std::u16string name = u"big.bin";
  ntfs_inode* ni = root ? ntfs_create(root, 0, const_cast<ntfschar*>(reinterpret_cast<const ntfschar*>(name.data())),
                                      static_cast<u8>(name.size()), S_IFREG)
                        : nullptr;
  if (ni) {
    ntfs_attr* na = ntfs_attr_open(ni, AT_DATA, AT_UNNAMED, 0);
    std::vector<std::uint8_t> data(4096, 0x5A);
    ok = na && ntfs_attr_pwrite(na, 0, 4096, data.data()) == 4096 &&
         ntfs_attr_pwrite(na, kBigSize - 4096, 4096, data.data()) == 4096;
    if (na) {
      ok = ntfs_attr_pclose(na) == 0 && ok;
      ntfs_attr_close(na);
    }
    ok = ntfs_inode_close(ni) == 0 && ok;
  }
  if (root) ntfs_inode_close(root);
  return ntfs_umount(vol, FALSE) == 0 && ok;
}

class FragmentationScan : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    BuildImage(kScanLayout, Image());
    ASSERT_TRUE(AddBigSparseFile(Image()));
    for (const auto& [path, size] : kVisible)
      witness_[path] = WitnessFragments(NtfsclusterRuns(Image(), ToolPath(path)));
  }
  static void TearDownTestSuite() { delete dir_; }
  static std::string Image() { return *dir_ / "c.img"; }

  static TempDir* dir_;
  static std::map<std::string, std::int32_t> witness_;  // fragments by ntfscluster
};
TempDir* FragmentationScan::dir_ = nullptr;
std::map<std::string, std::int32_t> FragmentationScan::witness_;

TEST_F(FragmentationScan, FindsWhatNtfsclusterSeesAndLeavesOutSystemEntries) {
  ASSERT_GE(witness_["C:\\Top\\f1.bin"], 5) << "the image is not laid out as the test needs";
  ASSERT_GE(witness_["C:\\Hidden\\Deeper\\h2.bin"], 2);
  ASSERT_EQ(witness_["C:\\tiny.txt"], 0);

  struct Case {
    const char* what;
    std::int32_t minFragments;
    std::int64_t minSize;
  } cases[] = {
      {"everything", 0, 0},
      {"fragmented", 2, 0},
      {"fragmented and 30000 bytes or more", 2, 30000},
      {"one piece or more", 1, 0},
      {"past 4 GiB", 0, (4ll << 30) + 1},
  };
  ScopedNtfs ntfs("C=" + Image());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::map<std::string, std::pair<std::int32_t, std::int64_t>> expected, found;
    for (const auto& [path, size] : kVisible)
      if (witness_[path] >= c.minFragments && size >= c.minSize) expected[path] = {witness_[path], size};

    std::set<std::string> folders;
    TFileRegionList list;
    ScanForFragmentedFiles("C:\\", c.minFragments, list, c.minSize,
                           [&](const std::string& folder, std::int32_t) {
                             folders.insert(folder);
                             return false;
                           });
    for (const TFileRegionPair& r : list) {
      EXPECT_FALSE(r.Checked);
      EXPECT_TRUE(found.emplace(r.FileName, std::make_pair(r.Fragments, r.Size)).second)
          << r.FileName << " listed twice";
    }
    EXPECT_EQ(found, expected);
    EXPECT_EQ(folders, (std::set<std::string>{"C:\\", "C:\\Hidden\\", "C:\\Hidden\\Deeper\\",
                                              "C:\\Top\\", "C:\\Ünï dir\\"}))
        << "the system folder must not be entered";
  }
}

TEST_F(FragmentationScan, EachFolderIsFinishedBeforeItsSiblings) {
  ScopedNtfs ntfs("C=" + Image());
  TFileRegionList list;
  ScanForFragmentedFiles("C:\\", 0, list, 0);
  ASSERT_EQ(list.size(), kVisible.size());
  // Depth first: once the walk has left a folder it never comes back.
  std::set<std::string> left;
  std::string current;
  for (const TFileRegionPair& r : list) {
    const std::string folder = r.FileName.substr(0, r.FileName.rfind('\\') + 1);
    if (folder == current) continue;
    EXPECT_EQ(left.count(folder), 0u) << r.FileName << " comes after its folder was left";
    // Going down into a subfolder finishes nothing; going elsewhere
    // finishes `current` and its parents up to the one they share.
    for (std::string f = current; !f.empty() && folder.rfind(f, 0) != 0;
         f = f.substr(0, f.rfind('\\', f.size() - 2) + 1))
      left.insert(f);
    current = folder;
  }
}

// A walk leaves the names it listed and looked up with the mount; opens on
// that mount must answer exactly as on a fresh one.
TEST_F(FragmentationScan, OpensAfterAWalkAnswerAsOnAFreshMount) {
  const char* const paths[] = {
      "C:\\Top\\f1.bin",        "C:\\top\\F1.BIN",       "C:\\Top\\missing.bin",
      "C:\\Top\\f1.bin\\x",     "C:\\Nowhere\\f1.bin",   "C:\\Hidden\\Deeper\\h2.bin",
      "C:\\HIDDEN\\deeper\\H2.bin", "C:\\Sys\\inside.bin", "C:\\Ünï dir\\日本語.bin",
      "C:\\ÜNÏ DIR\\日本語.BIN",  "C:\\Top",               "C:\\$MFT",
      "C:\\tiny.txt",           "C:\\Top\\plain.bin",      "C:\\Hidden\\plain.bin",
  };
  struct Answer {
    bool opened;
    std::uint32_t error, attributes;
    std::int64_t size;
    std::vector<Extent> map;
    bool operator==(const Answer&) const = default;
  };
  const auto ask = [](const std::string& path) {
    Answer a{};
    plat::SetLastError(0);
    const plat::HANDLE h = OpenFile(path);
    a.opened = h != plat::INVALID_HANDLE_VALUE;
    a.error = plat::GetLastError();
    a.attributes = plat::Current().GetFileAttributesA(path);
    if (a.opened) {
      plat::Current().GetFileSizeEx(h, a.size);
      a.map = ReadMap(h);
      plat::CloseHandle(h);
    }
    return a;
  };
  std::map<std::string, Answer> fresh;
  {
    ScopedNtfs ntfs("C=" + Image());
    for (const char* p : paths) fresh[p] = ask(p);
  }
  ScopedNtfs ntfs("C=" + Image());
  const plat::HANDLE volume = OpenVolume('C');  // keeps the mount after the walk
  ASSERT_NE(volume, plat::INVALID_HANDLE_VALUE);
  TFileRegionList list;
  ScanForFragmentedFiles("C:\\", 0, list, 0);
  ASSERT_EQ(list.size(), kVisible.size());
  for (int round = 0; round < 2; ++round)  // the second round finds its own answers
    for (const char* p : paths) EXPECT_TRUE(ask(p) == fresh[p]) << p << " (round " << round << ")";
  plat::CloseHandle(volume);
}

}  // namespace
