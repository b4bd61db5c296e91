// The profile list: enable rules, cells, day columns, the tray's Run
// submenu and the log panel's three switches.
#include <gtest/gtest.h>

#include <QAction>
#include <QDockWidget>
#include <QHeaderView>
#include <QMenu>
#include <QTreeWidget>

#include <QDialog>
#include <QTest>

#include "AppTestSupport.h"
#include "DialogTestSupport.h"

using apptest::TAppFixture;

namespace {

std::unique_ptr<TProfile> Scheduled(const std::string& name, int hour, int minute,
                                    std::initializer_list<int> days) {
  auto profile = std::make_unique<TProfile>();
  profile->SetName(name);
  profile->Files = {"C:\\f0.dat", "C:\\f1.dat"};
  profile->SchedulerActive = true;
  profile->SetStart(EncodeTime(hour, minute));
  for (int day : days) profile->SetDay(day, true);
  return profile;
}

QStringList TrayRunItems(TFragorForm& form) {
  QStringList texts;
  auto* run = form.findChild<QMenu*>(QStringLiteral("popuptrayRun"));
  for (QAction* action : run->actions())
    texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
  return texts;
}

}  // namespace

TEST(ProfileList, EmptyListDisablesProfileCommandsAndTrayRunHoldsAllProfilesOnly) {
  TAppFixture app;
  app.Open();
  for (const char* name : {"actProfileRunAll", "actProfileDelete", "actProfileProps",
                           "actProfileRun", "actProfileStop", "actLogCopy"})
    EXPECT_FALSE(app.Enabled(name)) << name;
  for (const char* name : {"actProfileAdd", "actToolsDefragmentFile", "actToolsWizard",
                           "actFileOptions", "actFileExit", "actViewLog"})
    EXPECT_TRUE(app.Enabled(name)) << name;
  EXPECT_EQ(TrayRunItems(app.Form()), (QStringList{"All Profiles", "-"}));
  EXPECT_EQ(app.StatusText(1), "In queue: 0 profile(s)");
}

TEST(ProfileList, TwoSelectedRowsDisablePropertiesAndDeleteRemovesBoth) {
  TAppFixture app;
  TProfileList profiles;
  for (const char* name : {"one", "two", "three"})
    profiles.push_back(TAppFixture::FileProfile(name, "C:\\f0.dat"));
  app.Open(profiles);
  EXPECT_EQ(TrayRunItems(app.Form()), (QStringList{"All Profiles", "-", "one", "two", "three"}));
  app.Select({0, 2});
  EXPECT_FALSE(app.Enabled("actProfileProps"));
  EXPECT_TRUE(app.Enabled("actProfileDelete"));
  EXPECT_TRUE(app.Enabled("actProfileRun"));

  app.AnswerYes = false;
  app.Act("actProfileDelete")->trigger();
  ASSERT_EQ(app.Questions.size(), 1u);
  EXPECT_EQ(app.Questions[0], "Deleting profiles can't be undone!\nDo you wish to proceed?");
  EXPECT_EQ(app.List()->topLevelItemCount(), 3);

  app.AnswerYes = true;
  app.Act("actProfileDelete")->trigger();
  ASSERT_EQ(app.List()->topLevelItemCount(), 1);
  EXPECT_EQ(app.List()->topLevelItem(0)->text(0), "two");
  EXPECT_EQ(TrayRunItems(app.Form()), (QStringList{"All Profiles", "-", "two"}));
  ASSERT_EQ(app.Form().Profiles().size(), 1u);
  EXPECT_EQ(app.Form().Profiles()[0]->Name, "two");
}

TEST(ProfileList, CellsFollowTheProfileAndTheFixedClock) {
  TAppFixture app;  // Friday 2026-12-11 10:00
  TProfileList profiles;
  profiles.push_back(Scheduled("today", 18, 30, {4}));
  profiles.push_back(Scheduled("tomorrow", 18, 30, {5}));
  profiles.push_back(Scheduled("next week", 9, 0, {4}));  // 9:00 today has passed
  auto manual = Scheduled("manual", 7, 15, {0, 1, 2});
  manual->SchedulerActive = false;
  manual->RunMethod = 1;
  manual->Files = {"C:\\only.dat"};
  profiles.push_back(std::move(manual));
  profiles.push_back(TAppFixture::FileProfile("empty", "C:\\x"));
  profiles.back()->Files.clear();
  app.Open(profiles);

  struct Row {
    QStringList Cells;  // columns 0-4
    QString Days;       // columns 5-11, one character per day, ' ' for empty
  };
  const Row expected[] = {
      {{"today", "2 files", "start", "6:30 PM", "Today, 6:30 PM"}, "    +  "},
      {{"tomorrow", "2 files", "start", "6:30 PM", "Tomorrow, 6:30 PM"}, "     + "},
      {{"next week", "2 files", "start", "9:00 AM", "12/18/26, 9:00 AM"}, "    +  "},
      {{"manual", "C:\\only.dat", "end", "manually", ""}, "       "},
      {{"empty", "", "start", "manually", ""}, "       "},
  };
  QTreeWidget* list = app.List();
  ASSERT_EQ(list->topLevelItemCount(), 5);
  for (int row = 0; row < 5; ++row) {
    const QTreeWidgetItem* item = list->topLevelItem(row);
    QStringList cells;
    for (int column = 0; column < 5; ++column) cells << item->text(column);
    EXPECT_EQ(cells, expected[row].Cells) << row;
    QString days;
    for (int column = 5; column < 12; ++column)
      days += item->text(column).isEmpty() ? QStringLiteral(" ") : item->text(column);
    EXPECT_EQ(days, expected[row].Days) << row;
  }
}

TEST(ProfileList, ShowScheduleRemovesAndRestoresTheDayColumnsWithoutRefreshingRows) {
  TAppFixture app;
  TProfileList profiles;
  profiles.push_back(Scheduled("weekly", 8, 0, {0, 6}));
  app.Open(profiles);
  QTreeWidget* list = app.List();
  ASSERT_EQ(list->columnCount(), 12);
  QStringList captions;
  for (int column = 0; column < 12; ++column) captions << list->headerItem()->text(column);
  EXPECT_EQ(captions, (QStringList{"   Name", "Files", "Move to", "Time", "Next start", "Mon",
                                   "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"}));
  EXPECT_EQ(list->header()->sectionSize(5), 38);

  app.Form().Options().ShowSchedule = false;
  app.Form().ApplyOptions();
  EXPECT_EQ(list->columnCount(), 5);
  // The row keeps its day cells while they are not shown.
  EXPECT_EQ(list->topLevelItem(0)->text(5), "+");

  app.Form().Options().ShowSchedule = true;
  app.Form().ApplyOptions();
  ASSERT_EQ(list->columnCount(), 12);
  EXPECT_EQ(list->headerItem()->text(11), "Sun");
  EXPECT_EQ(list->topLevelItem(0)->text(5), "+");
  EXPECT_EQ(list->topLevelItem(0)->text(11), "+");
  EXPECT_EQ(list->topLevelItem(0)->text(6), "");
}

TEST(ProfileList, LogPanelCloseButtonMenuAndToolbarStayInStep) {
  TAppFixture app;
  app.Open();
  auto* panel = app.Form().findChild<QDockWidget*>(QStringLiteral("pnlLog"));
  auto* menuItem = app.Form().findChild<QAction*>(QStringLiteral("mnuViewLog"));
  QAction* toolbar = app.Act("actViewLog");
  auto inStep = [&](bool shown) {
    return panel->isVisible() == shown && menuItem->isChecked() == shown &&
           toolbar->isChecked() == shown && app.Form().Options().ShowLogWindow == shown;
  };
  ASSERT_TRUE(inStep(true));

  panel->close();  // the panel's close button
  EXPECT_TRUE(inStep(false));
  menuItem->trigger();
  EXPECT_TRUE(inStep(true));
  toolbar->trigger();
  EXPECT_TRUE(inStep(false));
  toolbar->trigger();
  EXPECT_TRUE(inStep(true));

  panel->close();
  app.Close();
  TOptions saved;
  app.LoadSaved(saved);
  EXPECT_FALSE(saved.ShowLogWindow);
}

TEST(ProfileList, DoubleClickAddsOnAnEmptyListAndEditsTheRowUnderTheMouse) {
  const struct {
    int Rows;
    bool OnRow;
    const char* Case;
    int RowsAfter;
  } cases[] = {{0, false, "add", 0}, {2, true, "props", 2}};
  for (const auto& c : cases) {
    TAppFixture app;
    TProfileList profiles;
    for (int i = 0; i < c.Rows; ++i) profiles.push_back(TAppFixture::FileProfile("p", "C:\\f0.dat"));
    app.Gate.Open();  // the dialog asks the volume about its files on this thread
    app.Open(profiles);
    QString opened;
    dlgtest::WhenModal([&](QWidget* modal) {
      opened = modal->metaObject()->className();
      static_cast<QDialog*>(modal)->reject();
    });
    QTreeWidget* list = app.List();
    const QPoint at = c.OnRow ? list->visualItemRect(list->topLevelItem(1)).center()
                              : QPoint(20, list->viewport()->height() - 10);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    EXPECT_TRUE(apptest::WaitUntil([&] { return !opened.isEmpty(); })) << c.Case;
    EXPECT_EQ(opened, "TProfilePropsForm") << c.Case;
    EXPECT_EQ(list->topLevelItemCount(), c.RowsAfter) << c.Case;
    if (c.OnRow) {
      ASSERT_EQ(list->selectedItems().size(), 1);
      EXPECT_EQ(list->selectedItems()[0], list->topLevelItem(1));
    }
  }
}
