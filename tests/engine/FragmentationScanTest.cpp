#include <algorithm>

#include "SimFixture.h"

using namespace plat;
using sim::Extent;

namespace {

constexpr std::int64_t MB = 1024 * 1024;

std::vector<Extent> Fragmented(std::int64_t firstLcn, int pieces, std::int64_t each) {
  std::vector<Extent> e;
  for (int i = 0; i < pieces; ++i) e.push_back({firstLcn + 2 * each * i, each});
  return e;
}

TEST_F(SimTest, FragmentCountOfOneFile) {
  sim::SimVolume& v = AddC(100000);
  v.AddFile("three", {{10, 2}, {40, 3}, {43, 1}});                     // last two adjacent
  v.AddFile("compressed", {{100, 4}, {-1, 12}, {104, 4}, {-1, 12}});  // units in a row
  v.AddResidentFile("tiny", 10);
  struct Case { const char* name; std::int64_t expected; };
  for (const Case& c : {Case{"C:\\three", 2}, Case{"C:\\compressed", 1}, Case{"C:\\tiny", 0}}) {
    HANDLE h;
    ASSERT_EQ(OpenFileHandle(c.name, h), 0);
    EXPECT_EQ(GetFileFragmentCount(h), c.expected) << c.name;
    CloseHandle(h);
  }
  // A map that fails after some extents were read gives -1; at once, 0.
  v.AddFile("long", Fragmented(1000, 5000, 1));
  HANDLE h;
  ASSERT_EQ(OpenFileHandle("C:\\long", h), 0);
  machine->Script({FSCTL_GET_RETRIEVAL_POINTERS, 4, STATUS_INVALID_PARAMETER, false});
  EXPECT_EQ(GetFileFragmentCount(h), -1);
  machine->Script({FSCTL_GET_RETRIEVAL_POINTERS, 5, STATUS_INVALID_PARAMETER, false});
  EXPECT_EQ(GetFileFragmentCount(h), 0);
  CloseHandle(h);
}

class ScanTest : public SimTest {
 protected:
  sim::SimVolume& v = AddC(4'000'000);
  TFileRegionList Scan(std::int32_t minFragments, std::int64_t minSize,
                       const TScanProgressCallback& progress = {}) {
    TFileRegionList list;
    ScanForFragmentedFiles("C:\\", minFragments, list, minSize, progress);
    EXPECT_EQ(machine->OpenHandleCount(), 0);
    return list;
  }
  static std::vector<std::string> Names(const TFileRegionList& list) {
    std::vector<std::string> out;
    for (const auto& r : list) out.push_back(r.FileName);
    return out;
  }
};

TEST_F(ScanTest, ThresholdsAndTheWalkOrder) {
  v.AddFile("big5.dat", Fragmented(0, 5, 100), 10 * MB);
  v.AddFile("big1.dat", {{5000, 2560}}, 10 * MB);
  v.AddFile("small9.dat", Fragmented(10000, 9, 20), 500 * 1024);
  v.AddFile("Sub\\deep5.dat", Fragmented(20000, 5, 600), 12 * MB);
  v.AddFile(".hidden\\h3.dat", Fragmented(30000, 3, 400), 5 * MB,
            FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN);
  v.AddFolder("System Volume Information", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  v.AddFile("System Volume Information\\store", Fragmented(40000, 8, 200), 20 * MB);
  v.AddFile("sys.dat", Fragmented(50000, 8, 200), 20 * MB,
            FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_SYSTEM);
  v.AddFile("huge.bin", Fragmented(60000, 2, 100), 6LL * 1024 * MB);
  machine->FailOpen("C:\\locked.dat", ERROR_SHARING_VIOLATION);
  v.AddFile("locked.dat", Fragmented(70000, 9, 100), 20 * MB);
  v.AddResidentFile("tiny.txt", 100);

  const TFileRegionList list = Scan(2, MB);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"C:\\big5.dat", "C:\\Sub\\deep5.dat",
                                                   "C:\\.hidden\\h3.dat", "C:\\huge.bin"}));
  EXPECT_EQ(list[0].Fragments, 5);
  EXPECT_EQ(list[0].Size, 10 * MB);
  EXPECT_FALSE(list[0].Checked);
  EXPECT_EQ(list[3].Size, 6LL * 1024 * MB);  // past 4 GB, whole
  // Only with no fragment threshold does a record-held file appear.
  const auto all = Names(Scan(0, 0));
  EXPECT_NE(std::find(all.begin(), all.end(), "C:\\tiny.txt"), all.end());
  EXPECT_EQ(std::find(all.begin(), all.end(), "C:\\sys.dat"), all.end());
}

TEST_F(ScanTest, ProgressIsAskedPerFolderAndCanStop) {
  v.AddFile("a\\x", Fragmented(0, 3, 10));
  v.AddFile("a\\b\\y", Fragmented(100, 3, 10));
  v.AddFile("c\\z", Fragmented(200, 3, 10));
  std::vector<std::string> folders;
  auto list = Scan(1, 0, [&](const std::string& f, std::int32_t found) {
    folders.push_back(f + "#" + std::to_string(found));
    return false;
  });
  EXPECT_EQ(folders, (std::vector<std::string>{"C:\\#0", "C:\\a\\#0", "C:\\a\\b\\#1", "C:\\c\\#2"}));
  EXPECT_EQ(list.size(), 3u);

  EXPECT_TRUE(Scan(0, 0, [](const std::string&, std::int32_t) { return true; }).empty());
  // A stop asked on entering a\b skips it and every later folder.
  bool stopped = false;
  list = Scan(0, 0, [&](const std::string& f, std::int32_t) {
    return stopped = stopped || f == "C:\\a\\b\\";
  });
  EXPECT_EQ(Names(list), (std::vector<std::string>{"C:\\a\\x"}));
}

TEST(CompareTest, OrdersAndTheirReverses) {
  const TFileRegionPair a{false, "c:\\b", 3, 10};
  const TFileRegionPair b{false, "C:\\a", 7, 5};
  auto sorted = [&](auto cmp) {
    std::vector<TFileRegionPair> v{a, b};
    std::sort(v.begin(), v.end(), [&](const auto& x, const auto& y) { return cmp(x, y) < 0; });
    return v[0].FileName + "," + v[1].FileName;
  };
  EXPECT_EQ(sorted(CompareByFragmentsDesc), "C:\\a,c:\\b");
  EXPECT_EQ(sorted(CompareBySizeDesc), "c:\\b,C:\\a");
  EXPECT_EQ(sorted(CompareByNameAsc), "C:\\a,c:\\b");
  EXPECT_EQ(sorted(CompareByNameDesc), "c:\\b,C:\\a");

  struct Pair { std::string x, y; int sign; };
  for (const Pair& p : {Pair{"C:\\a", "c:\\A", 0}, Pair{"C:\\a", "C:\\ab", -1},
                        Pair{"C:\\_", "C:\\a", 1},  // '_' (0x5F) sorts after 'A' (0x41)
                        Pair{"C:\\\xC3\xA9", "C:\\z", 1}}) {
    const TFileRegionPair x{false, p.x, 0, 0}, y{false, p.y, 0, 0};
    const int r = CompareByNameAsc(x, y);
    EXPECT_EQ((r > 0) - (r < 0), p.sign) << p.x << " vs " << p.y;
    EXPECT_EQ(CompareByNameDesc(x, y), -r);
  }
  for (auto [desc, asc] : {std::pair{&CompareByFragmentsDesc, &CompareByFragmentsAsc},
                           std::pair{&CompareBySizeDesc, &CompareBySizeAsc}})
    EXPECT_EQ(asc(a, b), -desc(a, b));
}

}  // namespace
