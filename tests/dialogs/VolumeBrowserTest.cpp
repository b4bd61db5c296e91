#include <gtest/gtest.h>

#include <QPushButton>
#include <QTreeWidget>

#include "DialogTestSupport.h"
#include "SimPlatform.h"
#include "VolumeBrowser.h"

using dlgtest::Child;

namespace {

class VolumeBrowserTest : public ::testing::Test {
 protected:
  VolumeBrowserTest() {
    sim::SimVolume& c = sim->AddVolume('C', 1000);
    c.AddFile("Mail\\inbox.mbx", {{10, 2}});
    c.AddFile("Mail\\Old\\2019.mbx", {{20, 2}});
    c.AddFile("notes.txt", {{30, 1}});
    sim->AddVolume('E', 1000);
    sim->SetDriveType('X', plat::DRIVE_REMOTE);  // known to the platform, no volume
  }
  static QStringList Texts(const QTreeWidgetItem* parent) {
    QStringList texts;
    for (int i = 0; i < parent->childCount(); ++i) texts << parent->child(i)->text(0);
    return texts;
  }
  sim::ScopedSimPlatform sim;
};

TEST_F(VolumeBrowserTest, ListsTheDrivesAndOpensFoldersOnDemand) {
  TVolumeBrowser browser(TVolumeBrowser::Mode::Files, QString());
  auto* tree = Child<QTreeWidget>(&browser, "tvVolumes");
  EXPECT_EQ(Texts(tree->invisibleRootItem()), (QStringList{"C:", "E:", "X:"}));
  EXPECT_EQ(tree->topLevelItem(0)->childCount(), 0);  // not listed before it is opened
  tree->topLevelItem(0)->setExpanded(true);
  EXPECT_EQ(Texts(tree->topLevelItem(0)), (QStringList{"Mail", "notes.txt"}));  // folders first
  tree->topLevelItem(2)->setExpanded(true);
  EXPECT_EQ(tree->topLevelItem(2)->childCount(), 1);  // the reason it cannot be listed
  EXPECT_FALSE(tree->topLevelItem(2)->child(0)->flags() & Qt::ItemIsSelectable);
}

TEST_F(VolumeBrowserTest, FilesModeReturnsTheSelectedFilesInListOrder) {
  TVolumeBrowser browser(TVolumeBrowser::Mode::Files, QString());
  auto* ok = Child<QPushButton>(&browser, "btnOK");
  EXPECT_FALSE(ok->isEnabled());
  browser.Reveal("C:\\Mail\\")->setSelected(true);  // a folder alone chooses nothing
  EXPECT_FALSE(ok->isEnabled());
  browser.Reveal("C:\\notes.txt")->setSelected(true);
  browser.Reveal("c:\\mail\\old\\2019.MBX")->setSelected(true);
  EXPECT_TRUE(ok->isEnabled());
  EXPECT_EQ(browser.Chosen(), (std::vector<std::string>{"C:\\Mail\\Old\\2019.mbx", "C:\\notes.txt"}));
}

TEST_F(VolumeBrowserTest, FolderModeShowsFoldersOnlyAndReturnsOneWithoutDelimiter) {
  TVolumeBrowser browser(TVolumeBrowser::Mode::Folder, "Select directory");
  EXPECT_EQ(browser.windowTitle(), "Select directory");
  EXPECT_EQ(browser.Reveal("C:\\notes.txt"), nullptr);
  auto* tree = Child<QTreeWidget>(&browser, "tvVolumes");
  tree->setCurrentItem(browser.Reveal("C:\\Mail\\Old"));
  EXPECT_EQ(browser.Chosen(), (std::vector<std::string>{"C:\\Mail\\Old"}));
  tree->setCurrentItem(browser.Reveal("E:\\"));
  EXPECT_EQ(browser.Chosen(), (std::vector<std::string>{"E:\\"}));
}

}  // namespace
