#include "SimFixture.h"

namespace {

TEST(EngineLogTest, VerbosityFiltersByLevel) {
  struct Case { int verbosity; std::vector<std::string> expected; };
  for (const Case& c : {Case{0, {"zero", "Error (5): Access is denied"}},
                        Case{1, {"zero", "Error (5): Access is denied", "one",
                                 "Error (3): The system cannot find the path specified"}},
                        Case{2, {"zero", "Error (5): Access is denied", "one",
                                 "Error (3): The system cannot find the path specified", "two"}}}) {
    RecordingSink sink(c.verbosity);
    plat::SetLastError(3);
    EngineLog(0, "zero");
    EngineLogError(0, 5);
    EngineLog(1, "one");
    EngineLogLastError(1);
    EngineLog(2, "two");
    EXPECT_EQ(sink.lines, c.expected) << "verbosity " << c.verbosity;
  }
}

TEST(EngineLogTest, RaisingTheLevelAsksForTheSystemInformation) {
  RecordingSink sink(0);
  SetEngineLogLevel(0);
  EXPECT_EQ(sink.systemInfoRequests, 0);
  SetEngineLogLevel(2);
  EXPECT_EQ(sink.systemInfoRequests, 1);
  SetEngineLogLevel(1);
  EXPECT_EQ(sink.systemInfoRequests, 2);
  EXPECT_EQ(GetEngineLogLevel(), 1);
}

TEST(EngineLogTest, WithoutASinkNothingIsWritten) {
  TEngineLogSink* previous = SetEngineLogSink(nullptr);
  SetEngineLogLevel(2);
  EngineLog(0, "nowhere");
  EngineLogError(0, 5);
  SetEngineLogLevel(0);
  SetEngineLogSink(previous);
  SUCCEED();  // reaching here without a crash is the point
}

}  // namespace
