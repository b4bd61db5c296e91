#include "SimFixture.h"

using namespace plat;
using sim::Extent;
using Lines = std::vector<std::string>;

namespace {

// Marks every cluster used except the given free runs (and what files
// already own stays theirs).
void OccupyAllBut(sim::SimVolume& v, const std::vector<TFreeRegion>& keepFree) {
  for (std::int64_t c = 0; c < v.ClusterCount(); ++c) {
    bool free = false;
    for (const TFreeRegion& r : keepFree) free |= c >= r.Lcn && c < r.Lcn + r.Length;
    if (!free && !v.IsUsed(c)) v.SetUsed(c, 1, true);
  }
}

class DefragTest : public SimTest {
 protected:
  sim::SimVolume& v = AddC(20000);
  std::vector<Extent> Layout(const char* name = "a.dat") {
    return v.ExtentsOf(name);
  }
};

const std::string kStart = "<<<< \"Defragment file\" started. File: \"C:\\a.dat\"";
const std::string kDone = ">>>> \"Defragment file\" finished normally.";
const std::string kTailStart = "<<<< \"Defragment file to tail\" started. File: \"C:\\a.dat\"";
const std::string kTailDone = ">>>> \"Defragment file to tail\" finished normally.";
const std::string kOffsetStart = "<<<< \"Defragment file to offset\" started. File: \"C:\\a.dat\"";
const std::string kOffsetDone = ">>>> \"Defragment file to offset\" finished normally.";

TEST_F(DefragTest, TwoBlocksGoToTheFirstFreeRunThatHoldsThem) {
  v.SetUsed(0, 5000, true);
  v.AddFile("a.dat", {{6000, 10}, {7000, 20}});
  RecordingSink log(2);
  EXPECT_EQ(DefragmentFile("C:\\a.dat"), 0);
  EXPECT_EQ(Layout(), (std::vector<Extent>{{5000, 30}}));
  EXPECT_EQ(log.lines, (Lines{kStart, "    processing block 0", "    processing block 1", kDone}));
  EXPECT_EQ(machine->OpenHandleCount(), 0);
}

TEST_F(DefragTest, VerbosityFiltersLines) {
  struct Case { int level; Lines expected; };
  for (const Case& c : {Case{0, {}}, Case{1, {kStart, kDone}},
                        Case{2, {kStart, "    processing block 0", "    processing block 1", kDone}}}) {
    sim::ScopedSimPlatform m;
    m->AddVolume('C', 1000).AddFile("a.dat", {{600, 10}, {800, 20}});
    RecordingSink log(c.level);
    EXPECT_EQ(DefragmentFile("C:\\a.dat"), 0);
    EXPECT_EQ(log.lines, c.expected) << "level " << c.level;
    EXPECT_EQ(m->Volume('C')->ExtentsOf("a.dat"), (std::vector<Extent>{{0, 30}}));
  }
}

TEST_F(DefragTest, ContiguousFileMovesOnlyDownwards) {
  v.SetUsed(0, 5000, true);
  v.AddFile("a.dat", {{9000, 30}});
  RecordingSink log(2);
  EXPECT_EQ(DefragmentFile("C:\\a.dat"), 0);
  EXPECT_EQ(Layout(), (std::vector<Extent>{{5000, 30}}));

  sim::ScopedSimPlatform m;
  sim::SimVolume& low = m->AddVolume('C', 20000);
  low.AddFile("b.dat", {{3000, 30}});
  low.SetUsed(0, 3000, true);
  low.SetUsed(3030, 1970, true);  // the first free run is at 5000, above the file
  RecordingSink quiet(2);
  EXPECT_EQ(DefragmentFile("C:\\b.dat"), 0);
  EXPECT_EQ(low.ExtentsOf("b.dat"), (std::vector<Extent>{{3000, 30}}));
  EXPECT_EQ(quiet.lines, (Lines{"<<<< \"Defragment file\" started. File: \"C:\\b.dat\"",
                                ">>>> \"Defragment file\" finished normally."}));
  EXPECT_EQ(m->RequestCount(FSCTL_MOVE_FILE), 0);
}

TEST_F(DefragTest, TailPlacementEndsAtTheLastFittingRun) {
  v.AddFile("a.dat", {{500, 10}, {600, 20}});
  OccupyAllBut(v, {{1000, 50}, {8000, 100}});
  RecordingSink log(2);
  EXPECT_EQ(DefragmentFileToTail("C:\\a.dat"), 0);
  EXPECT_EQ(Layout(), (std::vector<Extent>{{8070, 30}}));
  EXPECT_EQ(log.lines, (Lines{kTailStart, kTailDone}));

  // Now in one piece at the end of that run: nothing moves.
  log.lines.clear();
  EXPECT_EQ(DefragmentFileToTail("C:\\a.dat"), 0);
  EXPECT_EQ(Layout(), (std::vector<Extent>{{8070, 30}}));
  EXPECT_EQ(log.lines,
            (Lines{kTailStart,
                   "    File \"C:\\a.dat\" is already in the good shape. Just skipping...",
                   kTailDone}));
}

TEST_F(DefragTest, FileHeldInItsRecordIsNothingToDo) {
  v.AddResidentFile("a.dat", 0);
  for (int entry = 0; entry < 3; ++entry) {
    RecordingSink log(1);
    std::int64_t target = 700;
    const std::int32_t r = entry == 0   ? DefragmentFile("C:\\a.dat")
                           : entry == 1 ? DefragmentFileToTail("C:\\a.dat")
                                        : DefragmentFileToOffset("C:\\a.dat", target);
    EXPECT_EQ(r, STATUS_END_OF_FILE);
    ASSERT_EQ(log.lines.size(), 3u);
    EXPECT_EQ(log.lines[1], "    File \"C:\\a.dat\" alredy MFT placed. Just exitting.");
    EXPECT_EQ(log.lines[2].find("finished normally."), log.lines[2].size() - 18);
    EXPECT_EQ(target, 700);
  }
  EXPECT_EQ(machine->OpenHandleCount(), 0);
}

TEST_F(DefragTest, NoFittingRunCountsVirtualClusters) {
  v.AddFile("a.dat", {{100, 10}, {-1, 50}, {300, 5}});  // 65 clusters of VCN range
  OccupyAllBut(v, {{1000, 64}, {5000, 40}});
  RecordingSink log(1);
  EXPECT_EQ(DefragmentFile("C:\\a.dat"), 0);
  EXPECT_EQ(log.lines, (Lines{kStart, "    No region to place file \"C:\\a.dat\"!",
                              "    Need at least 65 clusters to complete!",
                              "    Defragmentation will not performed.", kDone}));
  log.lines.clear();
  EXPECT_EQ(DefragmentFileToTail("C:\\a.dat"), 0);
  EXPECT_EQ(log.lines, (Lines{kTailStart, "    No region to place file \"C:\\a.dat\"!",
                              "    Need as minimum as 65 clusters to complete!",
                              "    Defragmentation will not performed.", kTailDone}));
  EXPECT_EQ(machine->RequestCount(FSCTL_MOVE_FILE), 0);
}

TEST_F(DefragTest, SparseFileKeepsItsHolesWhenPlaced) {
  v.AddFile("a.dat", {{100, 10}, {-1, 50}, {300, 5}});
  RecordingSink log(0);
  EXPECT_EQ(DefragmentFile("C:\\a.dat"), 0);
  // The first free run that holds 65 clusters starts at 0; the allocated
  // clusters follow one another, the hole stays a hole.
  EXPECT_EQ(Layout(), (std::vector<Extent>{{0, 10}, {-1, 50}, {10, 5}}));
}

TEST_F(DefragTest, StopRequestedBeforeTheFirstMove) {
  v.AddFile("a.dat", {{600, 10}, {800, 20}});
  const TStopCallback stop = [](std::int32_t) { return true; };
  RecordingSink log(2);
  EXPECT_EQ(DefragmentFile("C:\\a.dat", stop), 0);
  EXPECT_EQ(DefragmentFileToTail("C:\\a.dat", stop), 0);
  EXPECT_EQ(log.lines, (Lines{kStart, kTailStart}));
  EXPECT_EQ(machine->RequestCount(FSCTL_GET_RETRIEVAL_POINTERS), 2);
  EXPECT_EQ(machine->RequestCount(FSCTL_GET_VOLUME_BITMAP), 2);
  EXPECT_EQ(machine->RequestCount(FSCTL_MOVE_FILE), 0);

  std::int64_t target = 700;
  EXPECT_EQ(DefragmentFileToOffset("C:\\a.dat", target, stop), 0);
  EXPECT_EQ(machine->RequestCount(FSCTL_GET_RETRIEVAL_POINTERS), 2);  // stopped before the map
  EXPECT_EQ(target, 700);
  EXPECT_EQ(machine->OpenHandleCount(), 0);
}

TEST_F(DefragTest, StopBetweenBlocksKeepsWhatMoved) {
  v.AddFile("a.dat", {{600, 10}, {800, 20}, {900, 5}});
  int calls = 0;
  const TStopCallback stop = [&](std::int32_t) { return ++calls > 1; };
  RecordingSink log(2);
  EXPECT_EQ(DefragmentFile("C:\\a.dat", stop), 0);
  EXPECT_EQ(Layout(), (std::vector<Extent>{{0, 10}, {800, 20}, {900, 5}}));
  EXPECT_EQ(log.lines, (Lines{kStart, "    processing block 0"}));
}

TEST_F(DefragTest, OffsetPlacementAdvancesTheCallersCluster) {
  v.AddFile("a.dat", {{100, 10}, {300, 20}});
  std::vector<std::int32_t> asked;
  const TStopCallback stop = [&](std::int32_t i) { asked.push_back(i); return false; };
  std::int64_t target = 700;
  RecordingSink log(2);
  EXPECT_EQ(DefragmentFileToOffset("C:\\a.dat", target, stop), 0);
  EXPECT_EQ(target, 730);
  EXPECT_EQ(Layout(), (std::vector<Extent>{{700, 30}}));
  EXPECT_EQ(asked, (std::vector<std::int32_t>{0, 0, 1}));
  EXPECT_EQ(log.lines, (Lines{kOffsetStart, "     \"Starting cluster for file: \"C:\\a.dat\" is 700",
                              kOffsetDone}));
}

TEST_F(DefragTest, OffsetPlacementRefusedPartWay) {
  v.AddFile("a.dat", {{100, 10}, {300, 20}});
  v.SetUsed(715, 1, true);  // someone owns a cluster where the second block would go
  std::int64_t target = 700;
  RecordingSink log(1);
  EXPECT_EQ(DefragmentFileToOffset("C:\\a.dat", target), STATUS_ALREADY_COMMITTED);
  EXPECT_EQ(target, 710);
  EXPECT_EQ(Layout(), (std::vector<Extent>{{700, 10}, {300, 20}}));
  EXPECT_EQ(log.lines,
            (Lines{kOffsetStart,
                   "    Cannot move FILE region to the new location \"C:\\a.dat\"! Exit with:",
                   "Error (-1073741791): ", "    Possibly disk state has changed.",
                   "    Defragmentation will not performed.", kOffsetDone}));
}

TEST_F(DefragTest, RefusedMoveEndsTheEntryWithItsStatus) {
  v.AddFile("a.dat", {{600, 10}, {800, 20}, {900, 5}});
  // Free space taken by someone else between the search and the second move.
  machine->BeforeRequest = [&](std::uint32_t code, int nth) {
    if (code == FSCTL_MOVE_FILE && nth == 1) v.SetUsed(12, 1, true);
  };
  RecordingSink log(2);
  EXPECT_EQ(DefragmentFile("C:\\a.dat"), STATUS_ALREADY_COMMITTED);
  EXPECT_EQ(Layout(), (std::vector<Extent>{{0, 10}, {800, 20}, {900, 5}}));
  EXPECT_EQ(log.lines, (Lines{kStart, "    processing block 0", "    processing block 1"}));
  EXPECT_EQ(machine->OpenHandleCount(), 0);

  machine->BeforeRequest = nullptr;
  machine->Script({FSCTL_MOVE_FILE, 2, STATUS_ACCESS_DENIED, true});  // pending, then refused
  log.lines.clear();
  EXPECT_EQ(DefragmentFileToTail("C:\\a.dat"), STATUS_ACCESS_DENIED);
  EXPECT_EQ(log.lines, (Lines{kTailStart}));
}

TEST_F(DefragTest, PendingMoveThatSucceedsGoesOn) {
  v.AddFile("a.dat", {{600, 10}, {800, 20}});
  machine->Script({FSCTL_MOVE_FILE, 0, std::nullopt, true});
  RecordingSink log(0);
  EXPECT_EQ(DefragmentFile("C:\\a.dat"), 0);
  EXPECT_EQ(Layout(), (std::vector<Extent>{{0, 30}}));
}

TEST_F(DefragTest, OpenAndMapFailuresAreLogged) {
  v.AddFile("a.dat", {{600, 10}});
  RecordingSink log(1);
  machine->SetDriveType('C', DRIVE_REMOTE);
  EXPECT_EQ(DefragmentFile("C:\\a.dat"), 1);
  EXPECT_EQ(log.lines, (Lines{kStart, "    Cannot open FILE or volume for \"C:\\a.dat\"! Exit with:",
                              "Error (1): Incorrect function",
                              ">>>> Escaped from \"Defragment file\"."}));
  EXPECT_TRUE(machine->OpenedNames().empty());

  machine->SetDriveType('C', DRIVE_FIXED);
  machine->Script({FSCTL_GET_RETRIEVAL_POINTERS, 0, STATUS_ACCESS_DENIED, false});
  log.lines.clear();
  EXPECT_EQ(DefragmentFileToTail("C:\\a.dat"), STATUS_ACCESS_DENIED);
  EXPECT_EQ(log.lines, (Lines{kTailStart, "    Cannot create FileMap for \"C:\\a.dat\". Exit with:",
                              "Error (-1073741790): ",
                              ">>>> Escaped from \"Defragment file to tail\"."}));

  log.lines.clear();
  std::int64_t target = 5;
  EXPECT_EQ(DefragmentFileToOffset("C:\\missing.dat", target), 2);
  EXPECT_EQ(log.lines[2], "Error (2): The system cannot find the file specified");
  EXPECT_EQ(log.lines[3], ">>>> Escaped from \"Defragment file to offset\".");
  EXPECT_EQ(machine->OpenHandleCount(), 0);
}

}  // namespace
