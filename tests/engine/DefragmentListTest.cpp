#include "SimFixture.h"

using namespace plat;
using sim::Extent;
using Lines = std::vector<std::string>;

namespace {

const std::string kStart = "<<<< \"Defragment list\" started.";
const std::string kDone = ">>>> \"Defragment list\" finished normally.";

// Three files of 10, 20 and 5 clusters; the only free runs that could take
// the group are (500, 30) and (900, 40).
class GroupTest : public SimTest {
 protected:
  sim::SimVolume& v = AddC(2000);
  const std::vector<std::string> files{"C:\\g\\a", "C:\\g\\b", "C:\\g\\c"};
  void SetUp() override {
    v.AddFile("g\\a", {{100, 4}, {120, 6}});
    v.AddFile("g\\b", {{200, 20}});
    v.AddFile("g\\c", {{300, 2}, {310, 3}});
    for (std::int64_t c = 0; c < v.ClusterCount(); ++c) {
      const bool keep = (c >= 500 && c < 530) || (c >= 900 && c < 940);
      if (!keep && !v.IsUsed(c)) v.SetUsed(c, 1, true);
    }
  }
  std::vector<Extent> At(std::int64_t lcn, std::int64_t n) { return {{lcn, n}}; }
};

TEST_F(GroupTest, StartOfTheFirstRunThatHoldsTheGroup) {
  RecordingSink log(1);
  EXPECT_EQ(DefragmentList(files, false), 0);
  EXPECT_EQ(v.ExtentsOf("g\\a"), At(900, 10));
  EXPECT_EQ(v.ExtentsOf("g\\b"), At(910, 20));
  EXPECT_EQ(v.ExtentsOf("g\\c"), At(930, 5));
  EXPECT_EQ(log.lines.front(), kStart);
  EXPECT_EQ(log.lines.back(), kDone);
  EXPECT_EQ(log.lines.size(), 2u + 3 * 2);  // each file: start and finished
  EXPECT_EQ(machine->OpenHandleCount(), 0);
}

TEST_F(GroupTest, TailEndsAtTheLastClusterOfTheRun) {
  RecordingSink log(0);
  EXPECT_EQ(DefragmentList(files, true), 0);
  EXPECT_EQ(v.ExtentsOf("g\\a"), At(905, 10));
  EXPECT_EQ(v.ExtentsOf("g\\b"), At(915, 20));
  EXPECT_EQ(v.ExtentsOf("g\\c"), At(935, 5));
  EXPECT_TRUE(v.IsUsed(939));
}

TEST_F(GroupTest, UnopenableMiddleFileIsSkippedAndTheNextTakesItsPlace) {
  machine->FailOpen("C:\\g\\b", ERROR_SHARING_VIOLATION);
  RecordingSink log(1);
  EXPECT_EQ(DefragmentList(files, false), 0);
  // Total is 15: the lowest run that holds it is (500, 30).
  EXPECT_EQ(v.ExtentsOf("g\\a"), At(500, 10));
  EXPECT_EQ(v.ExtentsOf("g\\c"), At(510, 5));
  const Lines measuring{kStart, "    Cannot open file handle for \"C:\\g\\b\"! Exit with:",
                        "Error (32): The process cannot access the file because it is being used "
                        "by another process",
                        ">>>> Escaped from \"Defragment list\"."};
  EXPECT_EQ(Lines(log.lines.begin(), log.lines.begin() + 4), measuring);
  EXPECT_NE(std::find(log.lines.begin(), log.lines.end(),
                      "    Cannot open FILE or volume for \"C:\\g\\b\"! Exit with:"),
            log.lines.end());
}

TEST_F(GroupTest, ResidentFileAddsNothingAndKeepsTheOffset) {
  v.AddResidentFile("g\\tiny", 100);
  RecordingSink log(1);
  EXPECT_EQ(DefragmentList({"C:\\g\\a", "C:\\g\\tiny", "C:\\g\\c"}, false), 0);
  EXPECT_EQ(v.ExtentsOf("g\\a"), At(500, 10));
  EXPECT_EQ(v.ExtentsOf("g\\c"), At(510, 5));
  EXPECT_NE(std::find(log.lines.begin(), log.lines.end(),
                      "    File \"C:\\g\\tiny\" alredy MFT placed. Just exitting."),
            log.lines.end());
}

TEST_F(GroupTest, GroupTooBigMovesNothing) {
  v.SetUsed(40, 20, false);
  v.AddFile("g\\big", {{40, 20}});  // 50 clusters in all: more than any free run
  RecordingSink log(2);
  EXPECT_EQ(DefragmentList({"C:\\g\\a", "C:\\g\\b", "C:\\g\\big"}, false), 0);
  EXPECT_EQ(log.lines, (Lines{kStart, kDone}));
  EXPECT_EQ(machine->RequestCount(FSCTL_MOVE_FILE), 0);
}

TEST_F(GroupTest, FirstFileOnANetworkDriveEndsBeforeAnythingMoves) {
  machine->SetDriveType('C', DRIVE_REMOTE);
  RecordingSink log(1);
  EXPECT_EQ(DefragmentList(files, false), DEFRAG_LIST_NO_VOLUME);
  ASSERT_EQ(log.lines.size(), 4u);
  EXPECT_EQ(log.lines[1], "    Cannot open volume for \"C:\\g\\a\"! Exit with:");
  EXPECT_EQ(log.lines[3], ">>>> Escaped from \"Defragment list\".");
  EXPECT_EQ(machine->RequestCount(FSCTL_MOVE_FILE), 0);
  EXPECT_EQ(machine->OpenHandleCount(), 0);
}

TEST_F(GroupTest, StopDuringTheSecondOfFourFiles) {
  v.SetUsed(400, 1, false);
  v.AddFile("g\\d", {{400, 1}});
  // Four files, 36 clusters: the run at 900 holds them. The first file
  // takes two moves, the second has two blocks; the stop comes after the
  // second file's first block moved.
  v.FindFile("g\\b")->Extents = {{200, 10}, {250, 10}};
  v.SetUsed(210, 10, false);
  v.SetUsed(250, 10, true);
  int moves = 0;
  machine->BeforeRequest = [&](std::uint32_t code, int) { moves += code == FSCTL_MOVE_FILE; };
  const TStopCallback stop = [&](std::int32_t) { return moves >= 3; };
  RecordingSink log(1);
  EXPECT_EQ(DefragmentList({"C:\\g\\a", "C:\\g\\b", "C:\\g\\c", "C:\\g\\d"}, false, stop), 0);
  EXPECT_EQ(v.ExtentsOf("g\\a"), At(900, 10));
  EXPECT_EQ(v.ExtentsOf("g\\b"), (std::vector<Extent>{{910, 10}, {250, 10}}));
  EXPECT_EQ(v.ExtentsOf("g\\c"), (std::vector<Extent>{{300, 2}, {310, 3}}));
  EXPECT_EQ(v.ExtentsOf("g\\d"), At(400, 1));
  EXPECT_EQ(log.lines.back(), kDone);
}

}  // namespace
