// Asks for one drive-table entry: a letter, an image file or block device,
// and which of its partitions (or the whole of it).
#pragma once

#include <vector>

#include <QDialog>

#include "DriveTable.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

class TDriveEntryDialog : public QDialog {
  Q_OBJECT

 public:
  // `letters` are the letters on offer (free ones plus the entry's own);
  // `letter` and `entry` are preselected (an empty path for a new entry).
  TDriveEntryDialog(QWidget* parent, const std::vector<char>& letters, char letter,
                    const ntfs::DriveEntry& entry);

  char Letter() const;
  ntfs::DriveEntry Entry() const;

 private:
  void BrowseClicked();
  void UpdateOk();

  QComboBox* cbDriveLetter = nullptr;
  QLineEdit* edDrivePath = nullptr;
  QSpinBox* seDrivePartition = nullptr;
  QPushButton* btnOK = nullptr;
};
