// Runs on real threads: the queue count, row states, the status bar, the
// scheduler and the stop request. The gate holds the running run inside
// the engine while the others wait for the run lock.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QTreeWidget>

#include "AppTestSupport.h"

using apptest::TAppFixture;
using apptest::WaitUntil;

namespace {

TProfileList ThreeProfiles() {
  TProfileList profiles;
  for (int i = 0; i < 3; ++i)
    profiles.push_back(TAppFixture::FileProfile("p" + std::to_string(i),
                                                "C:\\f" + std::to_string(i) + ".dat"));
  return profiles;
}

TProfileState StateOf(TAppFixture& app, int row) {
  return app.Form().Profiles()[static_cast<std::size_t>(row)]->State;
}

// One run inside the engine and every other started run counted.
bool OneRunning(TAppFixture& app) {
  return app.Gate.Waiting() == 1 && app.Form().RunningCount() == 1;
}

}  // namespace

TEST(RunQueue, RunAllTwiceQueuesEachProfileOnce) {
  TAppFixture app;
  app.Open(ThreeProfiles());
  app.Act("actProfileRunAll")->trigger();
  ASSERT_TRUE(WaitUntil([&] { return OneRunning(app); }));
  EXPECT_EQ(app.StatusText(1), "In queue: 2 profile(s)");
  EXPECT_FALSE(app.Enabled("actProfileRunAll"));
  EXPECT_TRUE(app.Enabled("actProfileStop"));

  app.Act("actProfileRunAll")->trigger();  // disabled: nothing happens
  app.Form().findChild<QAction*>(QStringLiteral("actProfileRunAll"))->setEnabled(true);
  app.Act("actProfileRunAll")->trigger();  // enabled by force: still nothing new
  EXPECT_EQ(app.Form().QueuedCount(), 2);
  EXPECT_EQ(app.StatusText(1), "In queue: 2 profile(s)");

  int running = 0;
  int queued = 0;
  for (int row = 0; row < 3; ++row) {
    const TProfileState state = StateOf(app, row);
    running += state == psRunning;
    queued += state == psQueued;
    EXPECT_EQ(app.List()->topLevelItem(row)->data(0, Qt::UserRole).toInt(),
              state == psRunning ? 1 : 0);
  }
  EXPECT_EQ(running, 1);
  EXPECT_EQ(queued, 2);
  EXPECT_TRUE(app.StatusText(0).startsWith("Defragmenting profile 'p"));

  app.Gate.Open();
  ASSERT_TRUE(WaitUntil([&] { return !app.Form().TasksPending(); }));
  for (int row = 0; row < 3; ++row) EXPECT_EQ(StateOf(app, row), psIdle);
  EXPECT_EQ(app.StatusText(0), "");
  EXPECT_EQ(app.StatusText(1), "In queue: 0 profile(s)");
  EXPECT_TRUE(app.List()->topLevelItem(0)->icon(0).isNull());
}

TEST(RunQueue, RunIsDisabledWhenEverySelectedProfileIsBusy) {
  TAppFixture app;
  app.Open(ThreeProfiles());
  app.Select({0, 1});
  app.Act("actProfileRun")->trigger();
  ASSERT_TRUE(WaitUntil([&] { return OneRunning(app); }));
  // Row 2 is idle but not selected.
  EXPECT_FALSE(app.Enabled("actProfileRun"));
  EXPECT_TRUE(app.Enabled("actProfileRunAll"));
  app.Select({1, 2});
  EXPECT_TRUE(app.Enabled("actProfileRun"));
}

TEST(RunQueue, ThreeFileRunsCountInTheQueueAndNameTheirFiles) {
  TAppFixture app;
  app.Open();
  for (const char* file : {"C:\\f3.dat", "C:\\f4.dat", "C:\\f5.dat"}) app.Form().StartFileRun(file, 0);
  EXPECT_EQ(app.StatusText(1), "In queue: 3 profile(s)");
  ASSERT_TRUE(WaitUntil([&] { return OneRunning(app); }));
  EXPECT_EQ(app.StatusText(1), "In queue: 2 profile(s)");

  QStringList texts{app.StatusText(0)};
  QObject::connect(&app.Form(), &TFragorForm::runStatusChanged,
                   [&](const QString& text) { texts << text; });
  app.Gate.Open();
  ASSERT_TRUE(WaitUntil([&] { return !app.Form().TasksPending(); }));
  // Start, end, start, end, start, end; each file named once.
  ASSERT_EQ(texts.size(), 6);
  QStringList started;
  for (int i = 0; i < 6; i += 2) {
    started << texts[i];
    EXPECT_EQ(texts[i + 1], "");
  }
  started.sort();
  EXPECT_EQ(started, (QStringList{"Defragmenting file 'C:\\f3.dat' ...",
                                  "Defragmenting file 'C:\\f4.dat' ...",
                                  "Defragmenting file 'C:\\f5.dat' ..."}));
  EXPECT_EQ(app.StatusText(1), "In queue: 0 profile(s)");
  // Each file ended in one piece.
  for (const char* file : {"C:\\f3.dat", "C:\\f4.dat", "C:\\f5.dat"})
    EXPECT_EQ(app.Sim->Volume('C')->ExtentsOf(file + 3).size(), 1u) << file;
}

TEST(RunQueue, SchedulerDoesNotRequeueARunningProfileButMovesNextStartOn) {
  TAppFixture app;  // Friday 10:00
  TProfileList profiles = ThreeProfiles();
  profiles[0]->SchedulerActive = true;
  profiles[0]->SetStart(EncodeTime(10, 5));
  profiles[0]->SetDay(4, true);  // Friday
  profiles[0]->SetDay(0, true);  // Monday
  app.Open(profiles);
  const TProfile& scheduled = *app.Form().Profiles()[0];
  ASSERT_EQ(scheduled.NextStart, EncodeDateTime(2026, 12, 11, 10, 5));
  EXPECT_EQ(app.List()->topLevelItem(0)->text(4), "Today, 10:05 AM");

  app.Form().SchedulerTick();  // not due yet
  EXPECT_EQ(app.Form().QueuedCount() + app.Form().RunningCount(), 0);

  app.Clock = EncodeDateTime(2026, 12, 11, 10, 5, 20);
  app.Form().SchedulerTick();
  ASSERT_TRUE(WaitUntil([&] { return OneRunning(app); }));
  EXPECT_EQ(scheduled.State, psRunning);
  EXPECT_EQ(scheduled.NextStart, EncodeDateTime(2026, 12, 14, 10, 5));
  EXPECT_EQ(app.List()->topLevelItem(0)->text(4), "12/14/26, 10:05 AM");

  // Due again while still running: not queued, but the time is used up.
  app.Clock = EncodeDateTime(2026, 12, 14, 10, 6);
  app.Form().SchedulerTick();
  EXPECT_EQ(app.Form().QueuedCount(), 0);
  EXPECT_EQ(app.Form().RunningCount(), 1);
  EXPECT_EQ(scheduled.NextStart, EncodeDateTime(2026, 12, 18, 10, 5));
  EXPECT_EQ(app.List()->topLevelItem(0)->text(4), "12/18/26, 10:05 AM");
}

TEST(RunQueue, DeletingAQueuedProfileLetsItsRunTakePlaceWithoutTouchingRows) {
  TAppFixture app;
  app.Open(ThreeProfiles());
  app.Select({0});
  app.Act("actProfileRun")->trigger();
  ASSERT_TRUE(WaitUntil([&] { return OneRunning(app); }));
  app.Select({1});
  app.Act("actProfileRun")->trigger();
  EXPECT_EQ(StateOf(app, 1), psQueued);
  app.Act("actProfileDelete")->trigger();
  ASSERT_EQ(app.List()->topLevelItemCount(), 2);

  QStringList texts;
  QObject::connect(&app.Form(), &TFragorForm::runStatusChanged,
                   [&](const QString& text) { texts << text; });
  app.Gate.Open();
  ASSERT_TRUE(WaitUntil([&] { return !app.Form().TasksPending(); }));
  EXPECT_EQ(texts, (QStringList{"", "Defragmenting profile 'p1' ...", ""}));
  EXPECT_EQ(StateOf(app, 0), psIdle);
  EXPECT_EQ(StateOf(app, 1), psIdle);
  EXPECT_EQ(app.Form().Profiles()[1]->Name, "p2");
  EXPECT_EQ(app.Sim->Volume('C')->ExtentsOf("f1.dat").size(), 1u);  // the run took place
}

TEST(RunQueue, StopEndsTheRunsAndTheSchedulerClearsTheStandingRequestWhenIdle) {
  TAppFixture app;
  TProfileList profiles = ThreeProfiles();
  profiles[2]->SchedulerActive = true;
  profiles[2]->SetStart(EncodeTime(10, 30));
  profiles[2]->SetDay(4, true);
  app.Open(profiles);
  app.Select({0, 1});
  app.Act("actProfileRun")->trigger();
  ASSERT_TRUE(WaitUntil([&] { return OneRunning(app); }));
  app.Act("actProfileStop")->trigger();
  EXPECT_TRUE(app.Form().StopRequested());
  app.Gate.Open();
  ASSERT_TRUE(WaitUntil([&] { return !app.Form().TasksPending(); }));
  // Stopped before its first move: the queued one never touched its file.
  const int moved = static_cast<int>(app.Sim->Volume('C')->ExtentsOf("f0.dat").size() == 1) +
                    static_cast<int>(app.Sim->Volume('C')->ExtentsOf("f1.dat").size() == 1);
  EXPECT_LE(moved, 1);

  app.Clock = EncodeDateTime(2026, 12, 11, 10, 30, 10);
  app.Form().SchedulerTick();
  EXPECT_FALSE(app.Form().StopRequested());
  ASSERT_TRUE(WaitUntil([&] { return !app.Form().TasksPending(); }));
  EXPECT_EQ(app.Sim->Volume('C')->ExtentsOf("f2.dat").size(), 1u);
}

TEST(RunQueue, StatusBarShowsTheActiveRunsProgress) {
  TAppFixture app;
  TProfileList profiles;
  profiles.push_back(TAppFixture::FileProfile("three", "C:\\f0.dat"));
  profiles[0]->Files.push_back("C:\\f1.dat");
  profiles[0]->Files.push_back("C:\\f2.dat");
  app.Open(profiles);
  auto* bar = app.Form().findChild<QProgressBar*>(QStringLiteral("StatusProgress"));
  auto* text = app.Form().findChild<QLabel*>(QStringLiteral("StatusProgressText"));
  EXPECT_FALSE(bar->isVisible());

  app.Act("actProfileRunAll")->trigger();
  ASSERT_TRUE(WaitUntil([&] { return OneRunning(app); }));
  EXPECT_TRUE(WaitUntil([&] { return text->text() == "0 of 3 files done: C:\\f0.dat"; }))
      << text->text().toStdString();
  EXPECT_TRUE(bar->isVisible());
  EXPECT_EQ(bar->maximum(), 3);
  EXPECT_EQ(bar->value(), 0);

  app.Gate.Open();
  ASSERT_TRUE(WaitUntil([&] { return !app.Form().TasksPending(); }));
  EXPECT_FALSE(bar->isVisible());
  EXPECT_EQ(text->text(), "");
}

TEST(RunQueue, TrayIconCyclesItsFramesOnlyWhileARunIsActiveAndAnimateTrayIsSet) {
  for (const bool animate : {true, false}) {
    TAppFixture app;
    TOptions options = TAppFixture::DefaultOptions();
    options.AnimateTray = animate;
    TProfileList profiles;
    profiles.push_back(TAppFixture::FileProfile("p", "C:\\f0.dat"));
    app.Open(profiles, options);
    auto* cycle = app.Form().findChild<QTimer*>(QStringLiteral("TrayAnimation"));
    EXPECT_FALSE(cycle->isActive());
    app.Act("actProfileRunAll")->trigger();
    ASSERT_TRUE(WaitUntil([&] { return OneRunning(app); }));
    EXPECT_EQ(cycle->isActive(), animate);
    EXPECT_EQ(cycle->interval(), 100);
    app.Gate.Open();
    ASSERT_TRUE(WaitUntil([&] { return !app.Form().TasksPending(); }));
    EXPECT_FALSE(cycle->isActive());
  }
}
