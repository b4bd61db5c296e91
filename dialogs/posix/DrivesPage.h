// The options dialog's "Drives" page on POSIX: the drive table that maps
// letters to NTFS images, partitions of disk images and block devices.
// Each entry is checked (mounted read only) when it is added or changed
// and when the page is first shown; the table file is written on OK.
#pragma once

#include <map>
#include <string>

#include "DriveCheck.h"
#include "DriveTable.h"
#include "SystemOptionsPage.h"

class QLabel;
class QPushButton;
class QTreeWidget;

using TDriveEntries = std::map<char, ntfs::DriveEntry>;

// The table file's text: a comment line, then "C=/path" or "C=/path:N".
std::string DriveTableText(const TDriveEntries& entries);

class TDrivesPage : public TSystemOptionsPage {
  Q_OBJECT

 public:
  // The page over the table file `tableFile`.
  explicit TDrivesPage(QWidget* parent, std::string tableFile = ntfs::DriveTableFilePath());

  QString Title() const override;
  // Writes the table file when an entry changed; true when nothing needed
  // writing or the file was written.
  bool Save() override;

  const TDriveEntries& Entries() const { return entries_; }
  // Maps `letter` to `entry` (after removing `previous` when it is another
  // letter) and checks it.
  void SetEntry(char letter, const ntfs::DriveEntry& entry, char previous = 0);
  void RemoveEntry(char letter);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Load();
  void AddClicked();
  void ChangeClicked();
  void Check(char letter);
  void Refill();
  void UpdateButtons();
  char SelectedLetter() const;
  QString VolumeText(const TDriveCheck& check) const;
  QString ProblemText(const TDriveCheck& check) const;

  std::string tableFile_;
  TDriveEntries entries_;
  std::map<char, TDriveCheck> checks_;
  bool changed_ = false;
  bool checkedAll_ = false;

  QTreeWidget* lvDrives = nullptr;
  QPushButton* btnDriveAdd = nullptr;
  QPushButton* btnDriveChange = nullptr;
  QPushButton* btnDriveRemove = nullptr;
  QLabel* lblDrivesNote = nullptr;
};
