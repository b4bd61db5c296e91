// Closing, exiting with runs busy, the end of the session, the settings
// saved at the end, the language fix-up and the first-start drive hint.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QPlainTextEdit>
#include <QTimer>

#include "AppTestSupport.h"
#include "DriveHint.h"
#include "LanguageCodes.h"
#include "MemoLogView.h"
#include "Log.h"

using apptest::TAppFixture;
using apptest::WaitUntil;

namespace {

const QString ExitQuestion =
    QStringLiteral("Scheduled tasks will not be executed after exit.\nDo you want to exit?");

}  // namespace

TEST(Lifecycle, CloseButtonMinimisesWithMinimizeOnCloseButExitEnds) {
  TAppFixture app;
  TOptions options = TAppFixture::DefaultOptions();
  options.MinimizeOnClose = true;
  app.Open({}, options);
  int granted = 0;
  QObject::connect(&app.Form(), &TFragorForm::closeGranted, [&] { ++granted; });

  EXPECT_FALSE(app.Form().close());
  // No notification area here: the window stays in the task bar.
  EXPECT_TRUE(app.Form().isMinimized());
  EXPECT_TRUE(app.Form().isVisible());
  EXPECT_EQ(granted, 0);

  app.Form().RestoreFromTray();
  EXPECT_FALSE(app.Form().isMinimized());
  app.Act("actFileExit")->trigger();
  EXPECT_EQ(granted, 1);
  EXPECT_FALSE(app.Form().isVisible());
  EXPECT_TRUE(app.Questions.empty());
  EXPECT_FALSE(app.Form().StopRequested());  // nothing was busy
}

TEST(Lifecycle, ConfirmExitAnsweredNoKeepsTheWindow) {
  TAppFixture app;
  TOptions options = TAppFixture::DefaultOptions();
  options.ConfirmExit = true;
  options.MinimizeOnClose = true;
  app.Open({}, options);
  int granted = 0;
  QObject::connect(&app.Form(), &TFragorForm::closeGranted, [&] { ++granted; });
  app.AnswerYes = false;
  app.Act("actFileExit")->trigger();
  ASSERT_EQ(app.Questions.size(), 1u);
  EXPECT_EQ(app.Questions[0], ExitQuestion);
  EXPECT_EQ(granted, 0);
  EXPECT_TRUE(app.Form().isVisible());
  EXPECT_FALSE(app.Form().isMinimized());

  app.AnswerYes = true;
  app.Act("actFileExit")->trigger();
  EXPECT_EQ(granted, 1);
}

TEST(Lifecycle, ExitWithOneRunningAndTwoQueuedStopsWaitsAndSaves) {
  TAppFixture app;
  TProfileList profiles;
  for (int i = 0; i < 3; ++i)
    profiles.push_back(TAppFixture::FileProfile("p" + std::to_string(i),
                                                "C:\\f" + std::to_string(i) + ".dat"));
  app.Open(profiles);
  app.Act("actProfileRunAll")->trigger();
  ASSERT_TRUE(WaitUntil([&] { return app.Gate.Waiting() == 1 && app.Form().RunningCount() == 1; }));

  QString waitDialog;
  bool busyWhileShown = false;
  QTimer::singleShot(200, [&] {
    if (QWidget* modal = QApplication::activeModalWidget()) waitDialog = modal->objectName();
    busyWhileShown = app.Form().IsBusy();
    app.Gate.Open();
  });
  int granted = 0;
  QObject::connect(&app.Form(), &TFragorForm::closeGranted, [&] { ++granted; });
  app.Act("actFileExit")->trigger();  // returns after the wait

  EXPECT_EQ(waitDialog, "formExit");
  EXPECT_TRUE(busyWhileShown);
  EXPECT_EQ(granted, 1);
  EXPECT_TRUE(app.Form().StopRequested());
  EXPECT_FALSE(app.Form().TasksPending());  // every thread let go of the run lock
  EXPECT_EQ(app.Form().QueuedCount(), 0);
  EXPECT_EQ(app.Form().RunningCount(), 0);
  // The two queued runs stopped at their first check: at most the running
  // one moved anything.
  int moved = 0;
  for (const char* file : {"C:\\f0.dat", "C:\\f1.dat", "C:\\f2.dat"})
    moved += app.Sim->Volume('C')->ExtentsOf(file + 3).size() == 1;
  EXPECT_LE(moved, 1);

  app.Close();
  TOptions saved;
  EXPECT_EQ(app.LoadSaved(saved).size(), 3u);
}

TEST(Lifecycle, SessionEndSavesWithoutAskingOrWaiting) {
  TAppFixture app;
  TOptions options = TAppFixture::DefaultOptions();
  options.ConfirmExit = true;
  options.MinimizeOnClose = true;
  TProfileList profiles;
  profiles.push_back(TAppFixture::FileProfile("kept", "C:\\f0.dat"));
  app.Open(profiles, options);
  app.Form().Options().LogLevel = 2;  // a change that only the save can carry
  app.Form().SessionEnding();
  EXPECT_TRUE(app.Form().close());
  EXPECT_TRUE(app.Questions.empty());
  app.Close();
  TOptions saved;
  const TProfileList kept = app.LoadSaved(saved);
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(kept[0]->Name, "kept");
  EXPECT_EQ(saved.LogLevel, 2);
}

TEST(Lifecycle, LanguageOutsideTheEightCodesBecomesEnUsAtTheNextSave) {
  const struct {
    const char* Stored;
    const char* Used;
  } cases[] = {{"ko_KR", "en_US"}, {"ko_KO", "ko_KO"}, {"en_us", "en_US"}, {"", "en_US"},
               {"zh", "zh"},       {"de_DE", "de_DE"}, {"fr_FR", "en_US"}};
  for (const auto& c : cases) {
    TAppFixture app;
    TOptions options = TAppFixture::DefaultOptions();
    options.Language = c.Stored;
    app.Open({}, options);
    EXPECT_EQ(app.Form().Options().Language, c.Used) << c.Stored;
    app.Close();
    TOptions saved;
    app.LoadSaved(saved);
    EXPECT_EQ(saved.Language, c.Used) << c.Stored;
  }
  EXPECT_EQ(LanguageCodes.size(), 8u);
}

TEST(Lifecycle, NoMappedDriveTellsHowToMapOne) {
  {
    sim::ScopedSimPlatform none;
    EXPECT_FALSE(AnyDriveMapped());
    QPlainTextEdit memo;
    TMemoLogView view(&memo);
    Logger.SetView(&view);
    LogDriveHintIfNeeded();
    Logger.SetView(nullptr);
    view.Flush();
    EXPECT_TRUE(memo.toPlainText().contains("Options > Drives")) << memo.toPlainText().toStdString();
  }
  sim::ScopedSimPlatform one;
  one->AddVolume('D', 64);
  EXPECT_TRUE(AnyDriveMapped());
}

TEST(Lifecycle, MinimisedStartWithoutANotificationAreaStaysInTheTaskBar) {
  TAppFixture app;
  TOptions options = TAppFixture::DefaultOptions();
  options.MinimizeOnStartup = true;
  app.Open({}, options);
  app.Form().hide();
  app.Form().ShowAtStart();
  // Hiding it would leave the user no way back to the window.
  EXPECT_TRUE(app.Form().isVisible());
  EXPECT_TRUE(app.Form().isMinimized());
  app.Form().RestoreFromTray();
  EXPECT_TRUE(app.Form().isVisible());
  EXPECT_FALSE(app.Form().isMinimized());
}
