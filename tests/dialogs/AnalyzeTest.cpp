#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include "Analyze.h"
#include "AnalyzeList.h"
#include "DialogTestSupport.h"
#include "Dialogs.h"
#include "SearchAnimation.h"
#include "SimPlatform.h"

using dlgtest::Child;

namespace {

// A file of `fragments` one-cluster pieces with a gap between each.
sim::SimFile& AddFragmented(sim::SimVolume& volume, const std::string& path, int fragments,
                            std::int64_t& nextLcn, std::int64_t size = -1) {
  std::vector<sim::Extent> extents;
  for (int i = 0; i < fragments; ++i, nextLcn += 2) extents.push_back({nextLcn, 1});
  return volume.AddFile(path, extents, size);
}

// Folders are scanned in creation order: a\ (two files with 30 or more
// fragments), b\ (one, and one with too few), c\d\ (one), and a system
// file the scan leaves out.
class AnalyzeTest : public ::testing::Test {
 protected:
  AnalyzeTest() {
    sim::SimVolume& c = sim->AddVolume('C', 20000);
    std::int64_t lcn = 10;
    AddFragmented(c, "a\\Mail.dat", 40, lcn);
    AddFragmented(c, "a\\zeta.dat", 31, lcn);
    AddFragmented(c, "b\\big.dat", 35, lcn, 900000);
    AddFragmented(c, "b\\few.dat", 2, lcn);
    AddFragmented(c, "c\\d\\deep.dat", 50, lcn, 20000);
    c.AddFolder("sys");
    std::vector<sim::Extent> pieces;
    for (int i = 0; i < 60; ++i, lcn += 2) pieces.push_back({lcn, 1});
    c.AddFile("sys\\hidden.dat", pieces, -1, plat::FILE_ATTRIBUTE_SYSTEM);
  }

  void Analyze(const QString& path) {
    Child<QLineEdit>(&form, "edtPath")->setText(path);
    dlgtest::Click(Child<QPushButton>(&form, "btnAnalyze"));
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const TFileRegionPair& r : list) names.push_back(r.FileName);
    return names;
  }
  QString Text(const char* label) const { return Child<QLabel>(&form, label)->text(); }
  bool Enabled(const char* button) const { return Child<QPushButton>(&form, button)->isEnabled(); }
  void ClickColumn(int column) { dlgtest::ClickHeader(view()->header(), column); }
  TResultListView* view() const { return Child<TResultListView>(&form, "lvFiles"); }

  sim::ScopedSimPlatform sim;
  TFileRegionList list;
  TformAnalyze form{list};
};

TEST_F(AnalyzeTest, OpensWithItsDefaultsAndAScanListsEveryFileTicked) {
  form.show();
  EXPECT_EQ(form.windowTitle(), "Analyze disk");
  EXPECT_EQ(Child<QLineEdit>(&form, "edtPath")->text(), "C:\\");
  auto* fragments = Child<QSpinBox>(&form, "seMinFragments");
  auto* size = Child<QSpinBox>(&form, "seMinSize");
  EXPECT_EQ(std::tuple(fragments->value(), fragments->minimum(), fragments->maximum()), std::tuple(30, 2, 99999));
  EXPECT_EQ(std::tuple(size->value(), size->minimum(), size->maximum()), std::tuple(0, 0, 99999));
  EXPECT_EQ(Child<QComboBox>(&form, "cbMinSizePoints")->currentText(), "KBytes");
  EXPECT_EQ(Text("lblStatusValue"), "Not started");
  EXPECT_EQ(Text("lblFoundValue"), "--");
  EXPECT_FALSE(Enabled("btnDefragment") || Enabled("btnStop"));
  EXPECT_TRUE(Child<QPushButton>(&form, "btnAnalyze")->isDefault());
  EXPECT_EQ(form.focusWidget(), Child<QPushButton>(&form, "btnAnalyze"));

  Analyze("C:\\");
  EXPECT_EQ(Names(), (std::vector<std::string>{"C:\\c\\d\\deep.dat", "C:\\a\\Mail.dat", "C:\\b\\big.dat",
                                               "C:\\a\\zeta.dat"}));
  EXPECT_TRUE(std::all_of(list.begin(), list.end(), [](const TFileRegionPair& r) { return r.Checked; }));
  EXPECT_EQ(view()->model()->rowCount(), 4);
  EXPECT_EQ(Text("lblStatusValue"), "Finished");
  EXPECT_EQ(Text("lblFoundValue"), "4");
  EXPECT_EQ(form.SortState(), 2);
  EXPECT_TRUE(Enabled("btnDefragment") && Enabled("btnAnalyze") && Enabled("btnCancel"));
  EXPECT_FALSE(Enabled("btnStop"));
  EXPECT_FALSE(Child<TSearchAnimation>(&form, "aniFind")->isVisible());

  // Each scan starts from an empty list.
  Child<QSpinBox>(&form, "seMinFragments")->setValue(45);
  Analyze("C:\\");
  EXPECT_EQ(Names(), (std::vector<std::string>{"C:\\c\\d\\deep.dat"}));
}

TEST_F(AnalyzeTest, PathWithoutItsTrailingDelimiterScansTheSameFolder) {
  const struct {
    const char* typed;
    std::vector<std::string> found;
  } cases[] = {
      {"C:\\a", {"C:\\a\\Mail.dat", "C:\\a\\zeta.dat"}},
      {"C:\\a\\", {"C:\\a\\Mail.dat", "C:\\a\\zeta.dat"}},
      {"c:\\A", {"c:\\A\\Mail.dat", "c:\\A\\zeta.dat"}},  // names as typed
  };
  for (const auto& c : cases) {
    Analyze(c.typed);
    EXPECT_EQ(Names(), c.found) << c.typed;
  }
  Analyze("C:\\missing");
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(Text("lblStatusValue"), "Finished");
  EXPECT_EQ(Text("lblFoundValue"), "0");
}

TEST_F(AnalyzeTest, MinimumSizeIsA64BitProductOfValueAndUnit) {
  const struct {
    int value, unit;
    std::int64_t bytes;
  } cases[] = {{0, 0, 0}, {3, 0, 3072}, {5, 1, 5242880}, {1, 2, 1073741824}, {99999, 2, 107373108658176}};
  for (const auto& c : cases) EXPECT_EQ(MinimumSizeBytes(c.value, c.unit), c.bytes) << c.value << " " << c.unit;

  std::int64_t lcn = 15000;
  AddFragmented(*sim->Volume('C'), "huge\\at.dat", 30, lcn, 107373108658176);
  AddFragmented(*sim->Volume('C'), "huge\\under.dat", 30, lcn, 107373108658175);
  Child<QSpinBox>(&form, "seMinSize")->setValue(99999);
  Child<QComboBox>(&form, "cbMinSizePoints")->setCurrentIndex(2);
  Analyze("C:\\");
  EXPECT_EQ(Names(), (std::vector<std::string>{"C:\\huge\\at.dat"}));
  EXPECT_EQ(Child<TResultListView>(&form, "lvFiles")->model()->index(0, 2).data().toString(), "99,999.00 GB");
}

TEST_F(AnalyzeTest, StopEndsTheScanAtTheNextFolderKeepingWhatItFound) {
  form.show();
  bool animating = false;
  sim->BeforeRequest = [&](std::uint32_t code, int nth) {
    if (code != plat::FSCTL_GET_RETRIEVAL_POINTERS || nth != 0) return;
    animating = Child<TSearchAnimation>(&form, "aniFind")->Playing();
    EXPECT_TRUE(Enabled("btnStop"));
    EXPECT_FALSE(Enabled("btnAnalyze") || Enabled("btnCancel") || Enabled("btnDefragment"));
    EXPECT_TRUE(Child<QPushButton>(&form, "btnStop")->isDefault());
    QMetaObject::invokeMethod(Child<QPushButton>(&form, "btnStop"), "click", Qt::QueuedConnection);
  };
  Analyze("C:\\");
  EXPECT_TRUE(animating);
  EXPECT_EQ(Names(), (std::vector<std::string>{"C:\\a\\Mail.dat", "C:\\a\\zeta.dat"}));
  EXPECT_TRUE(list[0].Checked && list[1].Checked);
  EXPECT_EQ(Text("lblStatusValue"), "Canceled");
  EXPECT_TRUE(Enabled("btnAnalyze") && Enabled("btnDefragment") && Enabled("btnCancel"));

  sim->BeforeRequest = nullptr;
  Analyze("C:\\");  // a new scan clears the stop
  EXPECT_EQ(list.size(), 4u);
  EXPECT_EQ(Text("lblStatusValue"), "Finished");
}

TEST_F(AnalyzeTest, ColumnClicksReorderTheRecordsWithTheirTicks) {
  form.show();
  Analyze("C:\\");
  list[1].Checked = false;  // Mail.dat
  const struct {
    int column;
    int state;
    std::vector<std::string> order;
  } clicks[] = {
      {1, 3, {"C:\\a\\zeta.dat", "C:\\b\\big.dat", "C:\\a\\Mail.dat", "C:\\c\\d\\deep.dat"}},
      {1, 2, {"C:\\c\\d\\deep.dat", "C:\\a\\Mail.dat", "C:\\b\\big.dat", "C:\\a\\zeta.dat"}},
      {0, 0, {"C:\\a\\Mail.dat", "C:\\a\\zeta.dat", "C:\\b\\big.dat", "C:\\c\\d\\deep.dat"}},
      {0, 1, {"C:\\c\\d\\deep.dat", "C:\\b\\big.dat", "C:\\a\\zeta.dat", "C:\\a\\Mail.dat"}},
      {2, 4, {"C:\\b\\big.dat", "C:\\a\\Mail.dat", "C:\\a\\zeta.dat", "C:\\c\\d\\deep.dat"}},
      {2, 5, {"C:\\c\\d\\deep.dat", "C:\\a\\zeta.dat", "C:\\a\\Mail.dat", "C:\\b\\big.dat"}},
  };
  for (const auto& click : clicks) {
    ClickColumn(click.column);
    EXPECT_EQ(form.SortState(), click.state);
    EXPECT_EQ(Names(), click.order) << click.state;
    for (const TFileRegionPair& r : list) EXPECT_EQ(r.Checked, r.FileName != "C:\\a\\Mail.dat");
  }
  EXPECT_EQ(view()->model()->index(0, 0).data().toString(), "C:\\c\\d\\deep.dat");
}

TEST_F(AnalyzeTest, TicksFollowSpaceTheCheckBoxAndTheMenuCommands) {
  form.show();
  Analyze("C:\\");
  TResultListView* lv = view();
  lv->setFocus();
  const auto ticks = [&] {
    std::vector<bool> t;
    for (const TFileRegionPair& r : list) t.push_back(r.Checked);
    return t;
  };
  const auto trigger = [&](const char* action) { Child<QAction>(&form, action)->trigger(); };

  QTest::keyClick(lv, Qt::Key_Space);  // no selected row: nothing
  trigger("actReset");
  EXPECT_EQ(ticks(), std::vector<bool>(4, true));

  lv->selectionModel()->select(lv->model()->index(2, 0),
                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
  lv->selectionModel()->select(lv->model()->index(1, 0),
                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
  QTest::keyClick(lv, Qt::Key_Space);  // toggles the first selected row only
  EXPECT_EQ(ticks(), (std::vector<bool>{true, false, true, true}));
  trigger("actReset");
  EXPECT_EQ(ticks(), (std::vector<bool>{true, false, false, true}));
  trigger("actSelect");
  EXPECT_EQ(ticks(), (std::vector<bool>(4, true)));

  const QRect box = lv->CheckRect(3);
  dlgtest::ClickRow(lv, lv->model()->index(3, 0), box.center().x() - lv->visualRect(lv->model()->index(3, 0)).left());
  EXPECT_EQ(ticks(), (std::vector<bool>{true, true, true, false}));
  EXPECT_EQ(lv->model()->index(3, 0).data(Qt::CheckStateRole).toInt(), Qt::Unchecked);
  dlgtest::ClickRow(lv, lv->model()->index(3, 0), box.right() + 40);  // on the name: selects only
  EXPECT_EQ(ticks(), (std::vector<bool>{true, true, true, false}));

  trigger("actUnselectAll");
  EXPECT_EQ(ticks(), std::vector<bool>(4, false));
  EXPECT_FALSE(Enabled("btnDefragment"));
  dlgtest::ClickRow(lv, lv->model()->index(0, 0), box.center().x() - lv->visualRect(lv->model()->index(0, 0)).left());
  EXPECT_TRUE(Enabled("btnDefragment"));
  trigger("actSelectAll");
  EXPECT_EQ(ticks(), std::vector<bool>(4, true));
}

TEST_F(AnalyzeTest, DefragmentReturnsTheListAsShownAndCancelReturnsFalse) {
  TFileRegionList results;
  dlgtest::WhenModal([](QWidget* dialog) {
    dlgtest::Click(Child<QPushButton>(dialog, "btnAnalyze"));
    dlgtest::ClickHeader(Child<TResultListView>(dialog, "lvFiles")->header(), 0);
    Child<QAction>(dialog, "actUnselectAll")->trigger();
    Child<QAction>(dialog, "actSelectAll")->trigger();
    dlgtest::Click(Child<QPushButton>(dialog, "btnDefragment"));
  });
  EXPECT_TRUE(ShowAnalyze(results));
  ASSERT_EQ(results.size(), 4u);
  EXPECT_EQ(results[0].FileName, "C:\\a\\Mail.dat");
  EXPECT_TRUE(results[3].Checked);

  results.clear();
  dlgtest::WhenModal([](QWidget* dialog) {
    dlgtest::Click(Child<QPushButton>(dialog, "btnAnalyze"));
    dlgtest::Click(Child<QPushButton>(dialog, "btnCancel"));
  });
  EXPECT_FALSE(ShowAnalyze(results));
}

TEST_F(AnalyzeTest, ClosingDuringAScanStopsItAndClosesWhenItHasReturned) {
  TFileRegionList results;
  QWidget* dialog = nullptr;
  sim->BeforeRequest = [&](std::uint32_t code, int nth) {
    if (code == plat::FSCTL_GET_RETRIEVAL_POINTERS && nth == 0 && dialog) {
      EXPECT_TRUE(dialog->isVisible());
      QMetaObject::invokeMethod(dialog, "close", Qt::QueuedConnection);
    }
  };
  dlgtest::WhenModal([&](QWidget* shown) {
    dialog = shown;
    dlgtest::Click(Child<QPushButton>(shown, "btnAnalyze"));
  });
  EXPECT_FALSE(ShowAnalyze(results));
  EXPECT_EQ(results.size(), 2u);  // what the scan had found in a\ when it stopped
}

}  // namespace
