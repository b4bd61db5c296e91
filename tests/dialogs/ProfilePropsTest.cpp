#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimeEdit>
#include <QTreeWidget>
#include <QUrl>

#include "DialogTestSupport.h"
#include "Dialogs.h"
#include "FileMeasure.h"
#include "ProfileProps.h"
#include "SimPlatform.h"
#include "VolumeBrowser.h"

using dlgtest::Child;

namespace {

// Four entries whose name, size and fragment orders all differ:
//   A alpha.dat  8192 bytes, 2 fragments
//   B Beta.dat  20480 bytes, 1 fragment
//   C gamma.dat 12288 bytes, 3 fragments
//   D Sub\      a folder: n/a, n/a
const std::string A = "C:\\Data\\alpha.dat";
const std::string B = "C:\\Data\\Beta.dat";
const std::string C = "C:\\Data\\gamma.dat";
const std::string D = "C:\\Data\\Sub\\";

class ProfilePropsTest : public ::testing::Test {
 protected:
  ProfilePropsTest() {
    sim::SimVolume& c = sim->AddVolume('C', 10000);
    c.AddFile("Data\\alpha.dat", {{100, 1}, {200, 1}});
    c.AddFile("Data\\Beta.dat", {{300, 5}});
    c.AddFile("Data\\gamma.dat", {{400, 1}, {500, 1}, {600, 1}});
    c.AddFolder("Data\\Sub");
    c.AddResidentFile("Data\\tiny.txt", 12);
    c.AddFile("Data\\locked.dat", {{700, 2}});
    sim->FailOpen("C:\\Data\\locked.dat", plat::ERROR_SHARING_VIOLATION);
  }

  static std::vector<std::string> Rows(const TProfilePropsForm& form) {
    std::vector<std::string> rows;
    for (int i = 0; i < form.EntryCount(); ++i) rows.push_back(form.Entry(i).Path);
    return rows;
  }
  static QStringList Cells(QTreeWidget* list, int row) {
    const QTreeWidgetItem* item = list->topLevelItem(row);
    return {item->text(0), item->text(1), item->text(2)};
  }
  // Rows are measured on the form's own thread; their cells fill in from
  // the event loop.
  static void WaitForMeasures(const QWidget* form) {
    const auto* props = static_cast<const TProfilePropsForm*>(form);
    ASSERT_TRUE(QTest::qWaitFor([props] { return !props->MeasuresPending(); }, 5000));
  }

  sim::ScopedSimPlatform sim;
};

TEST_F(ProfilePropsTest, NewProfileOpensEmptyAndOkStoresUntitled) {
  TProfilePropsForm form;
  form.show();
  TProfile fresh;
  form.LoadFrom(fresh);

  EXPECT_EQ(form.windowTitle(), "Profile properties");
  EXPECT_EQ(Child<QTabWidget>(&form, "PC")->currentIndex(), 0);
  EXPECT_EQ(Child<QLineEdit>(&form, "edProfileName")->text(), "");
  EXPECT_EQ(Child<QComboBox>(&form, "comboPosition")->currentText(), "start of disk");
  EXPECT_FALSE(Child<QCheckBox>(&form, "cbSchedulerActive")->isChecked());
  EXPECT_TRUE(Child<QCheckBox>(&form, "cbSchedulerActive")->isEnabled());
  EXPECT_TRUE(Child<QGroupBox>(&form, "gbSchedulerParams")->isEnabled());
  EXPECT_EQ(Child<QTimeEdit>(&form, "dtpSchedulerStart")->time(), QTime(0, 0));
  for (const char* name : {"dtpSchedulerStart", "bCheckAll", "bResetAll"})
    EXPECT_FALSE(Child<QWidget>(&form, name)->isEnabled()) << name;
  for (int day = 1; day <= 7; ++day) {
    auto* box = Child<QCheckBox>(&form, QStringLiteral("cb%1").arg(day));
    EXPECT_FALSE(box->isChecked() || box->isEnabled()) << day;
  }
  EXPECT_EQ(form.EntryCount(), 0);
  for (const char* name : {"btnDelete", "btnDeleteAll", "btnRescan"})
    EXPECT_FALSE(Child<QPushButton>(&form, name)->isEnabled()) << name;
  EXPECT_TRUE(Child<QPushButton>(&form, "btnAddFile")->isEnabled());

  TProfile profile;
  dlgtest::WhenModal([](QWidget* dialog) { dlgtest::Click(Child<QPushButton>(dialog, "btnOK")); });
  EXPECT_EQ(ShowProfileProps(profile), QDialog::Accepted);
  EXPECT_EQ(profile.Name, "untitled");
  EXPECT_TRUE(profile.Files.empty());
  EXPECT_EQ(profile.RunMethod, 0);
  EXPECT_FALSE(profile.SchedulerActive);
}

TEST_F(ProfilePropsTest, FillsEveryControlAndOkWritesThemBack) {
  TProfile profile;
  profile.Name = "Mail";
  profile.Files = {B, A, B};  // the duplicate collapses into one row
  profile.RunMethod = 1;
  profile.SchedulerActive = true;
  profile.SetStart(EncodeTime(21, 45));
  profile.SetDay(2, true);
  profile.SetDay(6, true);

  TProfilePropsForm form;
  form.show();
  form.LoadFrom(profile);
  EXPECT_EQ(Rows(form), (std::vector<std::string>{B, A}));
  EXPECT_EQ(Child<QComboBox>(&form, "comboPosition")->currentText(), "end of disk");
  EXPECT_EQ(Child<QTimeEdit>(&form, "dtpSchedulerStart")->time(), QTime(21, 45));
  EXPECT_TRUE(Child<QCheckBox>(&form, "cb3")->isChecked());
  EXPECT_TRUE(Child<QCheckBox>(&form, "cb7")->isChecked());
  EXPECT_TRUE(Child<QCheckBox>(&form, "cb7")->isEnabled());

  Child<QLineEdit>(&form, "edProfileName")->setText("Mail stores");
  Child<QComboBox>(&form, "comboPosition")->setCurrentIndex(0);
  Child<QCheckBox>(&form, "cb3")->setChecked(false);
  Child<QCheckBox>(&form, "cb1")->setChecked(true);
  form.StoreTo(profile);
  EXPECT_EQ(profile.Name, "Mail stores");
  EXPECT_EQ(profile.Files, (std::vector<std::string>{B, A}));
  EXPECT_EQ(profile.RunMethod, 0);
  EXPECT_EQ(profile.Days, (std::array<bool, 7>{true, false, false, false, false, false, true}));
  EXPECT_NE(profile.NextStart, 0);  // SetDay recomputed it
}

TEST_F(ProfilePropsTest, ScheduleEditedWhileOffIsStoredWithTheSchedulerStillOff) {
  TProfilePropsForm form;
  form.show();
  TProfile profile;
  form.LoadFrom(profile);
  auto* active = Child<QCheckBox>(&form, "cbSchedulerActive");
  auto* start = Child<QTimeEdit>(&form, "dtpSchedulerStart");
  auto* monday = Child<QCheckBox>(&form, "cb1");

  dlgtest::Click(active);
  EXPECT_TRUE(start->isEnabled() && monday->isEnabled());
  dlgtest::Click(Child<QPushButton>(&form, "bCheckAll"));
  for (int day = 1; day <= 7; ++day)
    EXPECT_TRUE(Child<QCheckBox>(&form, QStringLiteral("cb%1").arg(day))->isChecked());
  dlgtest::Click(Child<QPushButton>(&form, "bResetAll"));
  EXPECT_FALSE(monday->isChecked());
  start->setTime(QTime(6, 30));
  monday->setChecked(true);
  dlgtest::Click(active);
  EXPECT_FALSE(start->isEnabled() || monday->isEnabled());

  form.StoreTo(profile);
  EXPECT_FALSE(profile.SchedulerActive);
  EXPECT_DOUBLE_EQ(profile.Start, EncodeTime(6, 30));
  EXPECT_TRUE(profile.GetDay(0));
}

TEST_F(ProfilePropsTest, ColumnClicksSortAsTheListShowsAndOkStoresThatOrder) {
  struct Case {
    std::vector<int> clicks;
    std::vector<std::string> order;
  };
  const Case cases[] = {
      {{0}, {A, B, C, D}},        // first click on Name: A to Z, a-z read as A-Z
      {{0, 0}, {D, C, B, A}},     // again: reversed
      {{1}, {D, A, C, B}},        // Size ascending; n/a (-1) first
      {{1, 1}, {B, C, A, D}},     // Size descending
      {{2}, {D, B, A, C}},        // Fragments ascending
      {{2, 2, 0}, {A, B, C, D}},  // another column starts ascending
  };
  for (const Case& c : cases) {
    TProfile profile;
    profile.Files = {C, D, A, B};
    TProfilePropsForm form;
    form.show();
    form.LoadFrom(profile);
    WaitForMeasures(&form);
    Child<QTabWidget>(&form, "PC")->setCurrentIndex(1);
    auto* header = Child<QTreeWidget>(&form, "lvFiles")->header();
    for (int column : c.clicks) dlgtest::ClickHeader(header, column);
    EXPECT_EQ(Rows(form), c.order) << "clicks: " << c.clicks.size() << " first " << c.clicks[0];
    form.StoreTo(profile);
    EXPECT_EQ(profile.Files, c.order);
  }
}

TEST_F(ProfilePropsTest, CancelKeepsTheProfileAsItWasAfterSortingAndEditing) {
  TProfile profile;
  profile.Name = "Keep";
  profile.Files = {C, D, A, B};
  const TProfile before(profile);
  dlgtest::WhenModal([](QWidget* dialog) {
    Child<QTabWidget>(dialog, "PC")->setCurrentIndex(1);
    dlgtest::ClickHeader(Child<QTreeWidget>(dialog, "lvFiles")->header(), 1);
    Child<QLineEdit>(dialog, "edProfileName")->setText("Changed");
    dlgtest::Click(Child<QCheckBox>(dialog, "cbSchedulerActive"));
    dlgtest::Click(Child<QPushButton>(dialog, "btnCancel"));
  });
  EXPECT_EQ(ShowProfileProps(profile), QDialog::Rejected);
  EXPECT_EQ(profile.Files, before.Files);
  EXPECT_EQ(profile.Name, "Keep");
  EXPECT_FALSE(profile.SchedulerActive);

  dlgtest::WhenModal([](QWidget* dialog) {
    WaitForMeasures(dialog);
    Child<QTabWidget>(dialog, "PC")->setCurrentIndex(1);
    dlgtest::ClickHeader(Child<QTreeWidget>(dialog, "lvFiles")->header(), 1);
    dlgtest::Click(Child<QPushButton>(dialog, "btnOK"));
  });
  EXPECT_EQ(ShowProfileProps(profile), QDialog::Accepted);
  EXPECT_EQ(profile.Files, (std::vector<std::string>{D, A, C, B}));
}

TEST_F(ProfilePropsTest, PathsAreComparedExactlySoDelimiterAndCaseMakeNewRows) {
  TProfilePropsForm form;
  form.show();
  EXPECT_EQ(form.AddEntry("C:\\Data"), 0);
  EXPECT_EQ(form.AddEntry("C:\\Data\\"), 1);
  EXPECT_EQ(form.AddEntry("c:\\data\\"), 2);
  EXPECT_EQ(form.AddEntry(A), 3);
  EXPECT_EQ(form.AddEntry(A), -1);
  EXPECT_EQ(form.EntryCount(), 4);
}

TEST_F(ProfilePropsTest, AddDirAppendsTheDelimiterSoItDiffersFromADroppedFolder) {
  TProfilePropsForm form;
  form.show();
  form.AddEntry("C:\\Data");  // a dropped folder arrives without one
  Child<QTabWidget>(&form, "PC")->setCurrentIndex(1);
  dlgtest::WhenModal([](QWidget* browser) {
    EXPECT_EQ(browser->windowTitle(), "Select directory");
    static_cast<TVolumeBrowser*>(browser)->Reveal("C:\\Data")->setSelected(true);
    dlgtest::Click(Child<QPushButton>(browser, "btnOK"));
  });
  dlgtest::Click(Child<QPushButton>(&form, "btnAddDir"));
  EXPECT_EQ(Rows(form), (std::vector<std::string>{"C:\\Data", "C:\\Data\\"}));

  dlgtest::WhenModal([](QWidget* browser) { dlgtest::Click(Child<QPushButton>(browser, "btnCancel")); });
  dlgtest::Click(Child<QPushButton>(&form, "btnAddDir"));
  EXPECT_EQ(form.EntryCount(), 2);
}

TEST_F(ProfilePropsTest, AddFileAddsEveryChosenFileOnce) {
  TProfilePropsForm form;
  form.show();
  form.AddEntry(B);
  dlgtest::WhenModal([](QWidget* dialog) {
    auto* browser = static_cast<TVolumeBrowser*>(dialog);
    for (const char* path : {"C:\\Data\\alpha.dat", "C:\\Data\\Beta.dat", "C:\\Data\\tiny.txt"})
      browser->Reveal(path)->setSelected(true);
    dlgtest::Click(Child<QPushButton>(browser, "btnOK"));
  });
  dlgtest::Click(Child<QPushButton>(&form, "btnAddFile"));
  EXPECT_EQ(Rows(form), (std::vector<std::string>{B, A, "C:\\Data\\tiny.txt"}));
}

TEST_F(ProfilePropsTest, RowsShowSizeAndFragmentsOrNotAvailable) {
  TProfilePropsForm form;
  form.show();
  for (const std::string& path : {A, D, std::string("C:\\Data\\locked.dat"),
                                  std::string("C:\\Data\\gone.dat"), std::string("C:\\Data\\tiny.txt")})
    form.AddEntry(path);
  WaitForMeasures(&form);
  auto* list = Child<QTreeWidget>(&form, "lvFiles");
  EXPECT_EQ(Cells(list, 0), (QStringList{QString::fromStdString(A), "8.00 KB", "2"}));
  EXPECT_EQ(Cells(list, 1), (QStringList{QString::fromStdString(D), "n/a", "n/a"}));
  EXPECT_EQ(Cells(list, 2).mid(1), (QStringList{"n/a", "n/a"}));  // held without read sharing
  EXPECT_EQ(Cells(list, 3).mid(1), (QStringList{"n/a", "n/a"}));  // missing
  EXPECT_EQ(Cells(list, 4).mid(1), (QStringList{"12", "0"}));     // data in the MFT record
  EXPECT_EQ(form.Entry(1).Size, -1);

  // Rescan measures again: the file has moved into one piece meanwhile.
  sim->Volume('C')->FindFile("Data\\alpha.dat")->Extents = {{100, 2}};
  dlgtest::Click(Child<QPushButton>(&form, "btnRescan"));
  WaitForMeasures(&form);
  EXPECT_EQ(Cells(list, 0)[2], "1");
}

TEST_F(ProfilePropsTest, DeleteRemovesTheSelectionAndDeleteAllAsksFirst) {
  TProfilePropsForm form;
  form.show();
  for (const std::string& path : {A, B, C}) form.AddEntry(path);
  auto* list = Child<QTreeWidget>(&form, "lvFiles");
  auto* del = Child<QPushButton>(&form, "btnDelete");
  EXPECT_FALSE(del->isEnabled());
  list->topLevelItem(1)->setSelected(true);
  EXPECT_TRUE(del->isEnabled());
  dlgtest::Click(del);
  EXPECT_EQ(Rows(form), (std::vector<std::string>{A, C}));
  EXPECT_FALSE(del->isEnabled());
  EXPECT_EQ(form.AddEntry(B), 2);  // its path is free again

  const auto answerDeleteAll = [&](QMessageBox::StandardButton answer) {
    dlgtest::WhenModal([answer](QWidget* box) {
      EXPECT_EQ(static_cast<QMessageBox*>(box)->text(),
                "Excluding files from the profile can't be undone!\nDo you wish to process?");
      dlgtest::Click(static_cast<QMessageBox*>(box)->button(answer));
    });
    dlgtest::Click(Child<QPushButton>(&form, "btnDeleteAll"));
  };
  answerDeleteAll(QMessageBox::No);
  EXPECT_EQ(form.EntryCount(), 3);
  answerDeleteAll(QMessageBox::Yes);
  EXPECT_EQ(form.EntryCount(), 0);
  EXPECT_FALSE(Child<QPushButton>(&form, "btnDeleteAll")->isEnabled());
  EXPECT_FALSE(Child<QPushButton>(&form, "btnRescan")->isEnabled());
}

TEST_F(ProfilePropsTest, FilesAreDroppedOnlyOnTheIncludedFilesPage) {
  TProfilePropsForm form;
  form.show();
  auto* pages = Child<QTabWidget>(&form, "PC");
  QMimeData files;
  files.setUrls({QUrl::fromLocalFile("/srv/mail/inbox.mbx"), QUrl::fromLocalFile("/srv/mail")});
  const auto dragAccepted = [&] {
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &enter);
    return enter.isAccepted();
  };
  for (int page : {0, 2}) {
    pages->setCurrentIndex(page);
    EXPECT_FALSE(form.acceptDrops() || dragAccepted()) << page;
  }
  pages->setCurrentIndex(1);
  EXPECT_TRUE(form.acceptDrops() && dragAccepted());
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&form, &drop);
  QApplication::sendEvent(&form, &drop);  // the same files again add nothing
  EXPECT_EQ(Rows(form), (std::vector<std::string>{"/srv/mail/inbox.mbx", "/srv/mail"}));
}

// Holds the measuring thread inside its map request until opened, so a test
// can look at the form, or close it, while a file is in hand. Declare it
// before the forms it holds: the hook must outlive their threads.
class MeasureGate {
 public:
  explicit MeasureGate(sim::SimPlatform& sim) : sim_(sim) {
    sim_.BeforeRequest = [this](std::uint32_t, int) {
      std::unique_lock lock(mutex_);
      ++arrived_;
      changed_.notify_all();
      changed_.wait(lock, [this] { return open_; });
    };
  }
  ~MeasureGate() {
    Open();
    sim_.BeforeRequest = nullptr;
  }
  bool WaitUntilHeld() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(5), [this] { return arrived_ > 0; });
  }
  void Open() {
    std::lock_guard lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  // Opens from another thread after `delay`, while this one is busy closing.
  std::thread OpenLater(std::chrono::milliseconds delay) {
    return std::thread([this, delay] {
      std::this_thread::sleep_for(delay);
      Open();
    });
  }

 private:
  sim::SimPlatform& sim_;
  std::mutex mutex_;
  std::condition_variable changed_;
  int arrived_ = 0;
  bool open_ = false;
};

// A profile of `count` files in 1-4 pieces of 1-3 clusters, with a folder,
// a missing file, a file held without read sharing and a resident one
// among them.
TProfile ManyEntries(sim::SimPlatform& sim, int count) {
  sim::SimVolume& c = *sim.Volume('C');
  TProfile profile;
  profile.Name = "Many";
  for (int i = 0; i < count; ++i) {
    const std::string name = "Many\\f" + std::to_string(i) + ".dat";
    std::vector<sim::Extent> extents;
    for (int piece = 0; piece <= i % 4; ++piece)
      extents.push_back({1000 + i * 20 + piece * 4, 1 + (i + piece) % 3});
    c.AddFile(name, extents);
    profile.Files.push_back("C:\\" + name);
  }
  for (const std::string& odd : {D, std::string("C:\\Data\\gone.dat"),
                                 std::string("C:\\Data\\locked.dat"), std::string("C:\\Data\\tiny.txt")})
    profile.Files.insert(profile.Files.begin() + static_cast<std::ptrdiff_t>(profile.Files.size() / 2), odd);
  return profile;
}

TEST_F(ProfilePropsTest, ListShowsAtOnceAndFillsWithTheValuesOfADirectMeasure) {
  const TProfile profile = ManyEntries(*sim, 300);
  MeasureGate gate(*sim);
  TProfilePropsForm form;
  form.show();
  auto* list = Child<QTreeWidget>(&form, "lvFiles");
  form.LoadFrom(profile);
  ASSERT_TRUE(gate.WaitUntilHeld());
  // Every row is there while the first file is still in hand; no cell has
  // a value yet.
  EXPECT_EQ(form.EntryCount(), 304);
  EXPECT_TRUE(form.MeasuresPending());
  QCoreApplication::processEvents();
  EXPECT_EQ(Cells(list, 0).mid(1), (QStringList{"", ""}));
  EXPECT_EQ(Cells(list, 303).mid(1), (QStringList{"", ""}));
  gate.Open();
  WaitForMeasures(&form);
  for (int row = 0; row < form.EntryCount(); ++row) {
    const TFileMeasure direct = MeasureFile(form.Entry(row).Path);
    const QString size = direct.Size < 0 ? "n/a" : FormatFileSize(direct.Size);
    const QString fragments = direct.Fragments < 0 ? "n/a" : QString::number(direct.Fragments);
    ASSERT_EQ(Cells(list, row).mid(1), (QStringList{size, fragments})) << form.Entry(row).Path;
    EXPECT_EQ(form.Entry(row).Size, direct.Size);
    EXPECT_EQ(form.Entry(row).Fragments, direct.Fragments);
  }
  EXPECT_EQ(Cells(list, 3).mid(1), (QStringList{"28.00 KB", "4"}));  // f3: 7 clusters in 4 pieces
  EXPECT_EQ(sim->OpenHandleCount(), 0);
}

TEST_F(ProfilePropsTest, ALateMeasureOfARemovedOrRescannedRowIsDropped) {
  MeasureGate gate(*sim);
  TProfilePropsForm form;
  form.show();
  auto* list = Child<QTreeWidget>(&form, "lvFiles");
  TProfile profile;
  profile.Files = {A, B, C};
  form.LoadFrom(profile);
  ASSERT_TRUE(gate.WaitUntilHeld());  // A is in hand
  list->topLevelItem(0)->setSelected(true);
  dlgtest::Click(Child<QPushButton>(&form, "btnDelete"));
  // B is measured again before its first result could arrive; the file
  // changes in between, so only the second measure may show.
  sim->Volume('C')->FindFile("Data\\Beta.dat")->Extents = {{300, 2}, {310, 3}};
  form.RefreshEntry(0);
  gate.Open();
  WaitForMeasures(&form);
  EXPECT_EQ(Rows(form), (std::vector<std::string>{B, C}));
  EXPECT_EQ(Cells(list, 0).mid(1), (QStringList{"20.00 KB", "2"}));
  EXPECT_EQ(Cells(list, 1).mid(1), (QStringList{"12.00 KB", "3"}));
}

// OK, Cancel or destroying the form while a file is in hand: the form
// waits for that file only, drops the rest, and what OK stores is what it
// stores once every row is measured.
TEST_F(ProfilePropsTest, ClosingWhileMeasuringStopsSafelyAndStoresTheSameProfile) {
  const TProfile loaded = ManyEntries(*sim, 200);
  TProfile measured = loaded;
  dlgtest::WhenModal([](QWidget* dialog) {
    WaitForMeasures(dialog);
    dlgtest::Click(Child<QPushButton>(dialog, "btnOK"));
  });
  ASSERT_EQ(ShowProfileProps(measured), QDialog::Accepted);
  const int fullRequests = sim->RequestCount(plat::FSCTL_GET_RETRIEVAL_POINTERS);

  for (const char* button : {"btnOK", "btnCancel"}) {
    TProfile profile = loaded;
    const int before = sim->RequestCount(plat::FSCTL_GET_RETRIEVAL_POINTERS);
    {
      MeasureGate gate(*sim);
      std::thread opener;
      dlgtest::WhenModal([&](QWidget* dialog) {
        ASSERT_TRUE(gate.WaitUntilHeld());
        EXPECT_TRUE(static_cast<TProfilePropsForm*>(dialog)->MeasuresPending());
        opener = gate.OpenLater(std::chrono::milliseconds(200));
        dlgtest::Click(Child<QPushButton>(dialog, button));
      });
      const int result = ShowProfileProps(profile);
      EXPECT_EQ(result, button == std::string("btnOK") ? QDialog::Accepted : QDialog::Rejected);
      if (opener.joinable()) opener.join();
    }
    QCoreApplication::processEvents();  // a result posted before the close finds no form
    // The file in hand was finished and closed; the others were never opened.
    EXPECT_EQ(sim->OpenHandleCount(), 0) << button;
    EXPECT_LE(sim->RequestCount(plat::FSCTL_GET_RETRIEVAL_POINTERS) - before, 2) << button;
    const TProfile& expected = button == std::string("btnOK") ? measured : loaded;
    EXPECT_EQ(profile.Files, expected.Files) << button;
    EXPECT_EQ(profile.Name, expected.Name) << button;
  }
  EXPECT_GT(fullRequests, 150);

  MeasureGate gate(*sim);
  auto* form = new TProfilePropsForm;
  form->show();
  form->LoadFrom(loaded);
  ASSERT_TRUE(gate.WaitUntilHeld());
  std::thread opener = gate.OpenLater(std::chrono::milliseconds(200));
  delete form;
  opener.join();
  QCoreApplication::processEvents();
  EXPECT_EQ(sim->OpenHandleCount(), 0);
}

TEST(TimePickerFormat, FollowsTheLocalesClock) {
  struct Case {
    QLocale locale;
    const char* format;
  };
  const Case cases[] = {
      {QLocale(QLocale::German, QLocale::Germany), "H:mm"},
      {QLocale(QLocale::English, QLocale::UnitedStates), "h:mm AP"},
      {QLocale(QLocale::Korean, QLocale::SouthKorea), "AP h:mm"},  // marker first
      {QLocale(QLocale::Finnish, QLocale::Finland), "H.mm"},       // its own separator
  };
  for (const Case& c : cases) {
    TProfilePropsForm form(nullptr, TimeFlagsOf(c.locale));
    EXPECT_EQ(Child<QTimeEdit>(&form, "dtpSchedulerStart")->displayFormat(), c.format)
        << c.locale.name().toStdString();
  }
}

}  // namespace
