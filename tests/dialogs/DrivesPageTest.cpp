// The options dialog's Drives page and the check behind it, on NTFS images
// built with mkntfs and libntfs-3g.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeWidget>

#include "DialogTestSupport.h"
#include "Dialogs.h"
#include "DriveCheck.h"
#include "DrivesPage.h"
#include "ImageBuilder.h"
#include "ImageLayout.h"

using dlgtest::Child;

namespace {

constexpr std::uint64_t kSector = 512;
constexpr std::uint64_t kPartitionStart = 2048;  // sectors

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// An MBR disk image whose first partition (type 07) holds `volume`.
std::string DiskWithPartition(const std::string& volume) {
  const std::uint64_t sectors = volume.size() / kSector;
  std::string disk(kPartitionStart * kSector, '\0');
  const auto put32 = [&disk](std::size_t at, std::uint64_t value) {
    for (int i = 0; i < 4; ++i) disk[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  disk[446 + 4] = 0x07;
  put32(446 + 8, kPartitionStart);
  put32(446 + 12, sectors);
  disk[510] = 0x55;
  disk[511] = static_cast<char>(0xAA);
  return disk + volume;
}

class DrivesPageTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new QTemporaryDir;
    imagekit::Layout layout;
    std::string error;
    ASSERT_TRUE(imagekit::ParseLayout("size 3M\ncluster 1024\nlabel DIALOGS\nfile a.bin size=5000\n",
                                      layout, error))
        << error;
    ASSERT_TRUE(imagekit::BuildImage(layout, Path("ntfs.img"), error)) << error;
    WriteAll(Path("disk.img"), DiskWithPartition(ReadAll(Path("ntfs.img"))));
    WriteAll(Path("zeros.img"), std::string(1 << 20, '\0'));
  }
  static void TearDownTestSuite() { delete folder_; }
  static std::string Path(const char* name) {
    return folder_->filePath(QString::fromLatin1(name)).toStdString();
  }

  static QTemporaryDir* folder_;
};
QTemporaryDir* DrivesPageTest::folder_ = nullptr;

TEST_F(DrivesPageTest, CheckMountsReadOnlyAndTellsWhatIsThere) {
  const std::string image = ReadAll(Path("ntfs.img"));
  const TDriveCheck good = CheckDriveEntry({Path("ntfs.img"), 0});
  ASSERT_TRUE(good.Usable()) << good.Detail;
  EXPECT_EQ(good.Label, "DIALOGS");
  EXPECT_EQ(good.ClusterBytes, 1024u);
  EXPECT_GT(good.Bytes, 3000000u);
  EXPECT_LE(good.Bytes, image.size());
  EXPECT_EQ(ReadAll(Path("ntfs.img")), image);  // not one byte written

  const TDriveCheck partition = CheckDriveEntry({Path("disk.img"), 1});
  EXPECT_TRUE(partition.Usable()) << partition.Detail;
  EXPECT_EQ(partition.Label, "DIALOGS");

  const struct {
    ntfs::DriveEntry entry;
    TDriveProblem problem;
  } bad[] = {
      {{Path("missing.img"), 0}, TDriveProblem::CannotOpen},
      {{folder_->path().toStdString(), 0}, TDriveProblem::NotFileOrDevice},
      {{Path("zeros.img"), 0}, TDriveProblem::NotNtfs},
      {{Path("ntfs.img"), 2}, TDriveProblem::NoPartition},
      {{Path("disk.img"), 2}, TDriveProblem::NoPartition},
      {{Path("disk.img"), 0}, TDriveProblem::PartitionTable},
  };
  for (const auto& c : bad)
    EXPECT_EQ(static_cast<int>(CheckDriveEntry(c.entry).Problem), static_cast<int>(c.problem))
        << c.entry.Path << ":" << c.entry.Partition;
}

TEST_F(DrivesPageTest, ShowsTheTableWithEachVolumeOrWhyItCannotBeUsed) {
  const std::string table = Path("drives-shown");
  WriteAll(table, "C=" + Path("ntfs.img") + "\nnot an entry\nE=" + Path("zeros.img") + "\n");
  TDrivesPage page(nullptr, table);
  page.show();
  QApplication::processEvents();  // the check runs once the page is painted
  auto* list = Child<QTreeWidget>(&page, "lvDrives");
  ASSERT_EQ(list->topLevelItemCount(), 2);
  EXPECT_EQ(list->topLevelItem(0)->text(0), "C:");
  EXPECT_TRUE(list->topLevelItem(0)->text(2).startsWith("DIALOGS, "));
  EXPECT_TRUE(list->topLevelItem(0)->text(2).endsWith(" MB, clusters of 1024 bytes"));
  EXPECT_EQ(list->topLevelItem(1)->text(2), "Cannot be used: it holds no NTFS volume");
  EXPECT_TRUE(Child<QLabel>(&page, "lblDrivesNote")->text().contains("\"not an entry\""));
  EXPECT_FALSE(Child<QPushButton>(&page, "btnDriveRemove")->isEnabled());
}

TEST_F(DrivesPageTest, AddedEntriesAreCheckedAndSavedOnOkOnly) {
  QTemporaryDir config;
  const QByteArray previous = qgetenv("XDG_CONFIG_HOME");
  qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
  const std::string tableFile = ntfs::DriveTableFilePath();

  const auto addDrive = [](QWidget* options, const char* letter, const std::string& path, int partition) {
    dlgtest::WhenModal([=](QWidget* entry) {
      Child<QComboBox>(entry, "cbDriveLetter")->setCurrentText(letter);
      Child<QLineEdit>(entry, "edDrivePath")->setText(QString::fromStdString(path));
      Child<QSpinBox>(entry, "seDrivePartition")->setValue(partition);
      dlgtest::Click(Child<QPushButton>(entry, "btnOK"));
    });
    dlgtest::Click(Child<QPushButton>(options, "btnDriveAdd"));
  };
  const auto editAndClose = [&](const char* closeWith) {
    dlgtest::WhenModal([=](QWidget* options) {
      auto* pages = Child<QTabWidget>(options, "PageControl1");
      pages->setCurrentWidget(Child<QWidget>(options, "tabDrives"));
      addDrive(options, "D:", Path("disk.img"), 1);
      EXPECT_TRUE(Child<QTreeWidget>(options, "lvDrives")->topLevelItem(0)->text(2).startsWith("DIALOGS"));
      dlgtest::Click(Child<QPushButton>(options, closeWith));
    });
  };
  TOptions options;
  editAndClose("btnCancel");
  EXPECT_FALSE(ShowOptions(options));
  EXPECT_FALSE(std::filesystem::exists(tableFile));

  editAndClose("btnOK");
  EXPECT_TRUE(ShowOptions(options));
  const ntfs::DriveTable saved = ntfs::ParseDriveTable(ReadAll(tableFile), '\n');
  EXPECT_TRUE(saved.Problems.empty());
  EXPECT_EQ(saved.Drives, (TDriveEntries{{'D', {Path("disk.img"), 1}}}));

  if (previous.isNull()) qunsetenv("XDG_CONFIG_HOME");
  else qputenv("XDG_CONFIG_HOME", previous);
}

TEST_F(DrivesPageTest, ChangeMovesAnEntryToAnotherLetterAndRemoveDropsIt) {
  const std::string table = Path("drives-edit");
  WriteAll(table, "C=" + Path("ntfs.img") + "\n");
  TDrivesPage page(nullptr, table);
  page.show();
  auto* list = Child<QTreeWidget>(&page, "lvDrives");
  list->setCurrentItem(list->topLevelItem(0));
  dlgtest::WhenModal([&](QWidget* entry) {
    EXPECT_EQ(Child<QLineEdit>(entry, "edDrivePath")->text().toStdString(), Path("ntfs.img"));
    Child<QComboBox>(entry, "cbDriveLetter")->setCurrentText("G:");
    dlgtest::Click(Child<QPushButton>(entry, "btnOK"));
  });
  dlgtest::Click(Child<QPushButton>(&page, "btnDriveChange"));
  EXPECT_EQ(page.Entries(), (TDriveEntries{{'G', {Path("ntfs.img"), 0}}}));

  list->setCurrentItem(list->topLevelItem(0));
  dlgtest::Click(Child<QPushButton>(&page, "btnDriveRemove"));
  EXPECT_TRUE(page.Entries().empty());
  ASSERT_TRUE(page.Save());
  EXPECT_EQ(ntfs::ParseDriveTable(ReadAll(table), '\n').Drives.size(), 0u);
  EXPECT_EQ(ReadAll(table).substr(0, 1), "#");
}

}  // namespace
