// The profile properties dialog: a profile's name, placement, entries and
// weekly schedule. The form edits its own controls only; LoadFrom fills
// them from a profile and StoreTo writes them back, so a profile changes
// only when the caller stores on OK.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include <QDialog>

#include "Profile.h"
#include "UserLocale.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTabWidget;
class QTimeEdit;
class QTreeWidget;
class QTreeWidgetItem;

// One row of the file list.
struct TFileInfo {
  std::string Path;             // the entry exactly as it will be stored
  std::int64_t Size = -1;       // bytes; -1 when it cannot be read
  std::int64_t Fragments = -1;  // -1 when it cannot be read
};

class TProfilePropsForm : public QDialog {
  Q_OBJECT

 public:
  // `timeFlags` chooses the start-time picker's format.
  explicit TProfilePropsForm(QWidget* parent = nullptr,
                             const TLocaleTimeFlags& timeFlags = UserTimeFlags());

  // Fills the controls from `profile` (entries, name, placement, schedule).
  void LoadFrom(const TProfile& profile);
  // Writes the controls into `profile`: the entries in display order, then
  // name, placement, scheduler flag, start time and days.
  void StoreTo(TProfile& profile) const;

  // Adds and measures a row for `path`; -1 (and no change) when a row with
  // exactly this path exists. Returns the new row's index.
  int AddEntry(const std::string& path);
  // Measures the row's file again and rewrites its cells.
  void RefreshEntry(int index);
  void ClearEntries();

  int EntryCount() const;
  // The row at display position `index`.
  const TFileInfo& Entry(int index) const;

 protected:
  void done(int result) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  QWidget* BuildGeneralPage();
  QWidget* BuildFilesPage();
  QWidget* BuildSchedulerPage();
  QGroupBox* BuildSchedulerParams();
  void BuildActions();
  void BuildFileList();

  void PCChange(int index);
  void cbSchedulerActiveClick();
  void SetAllDays(bool value);
  void lvFilesColumnClick(int column);
  std::int32_t lvFilesCompare(const TFileInfo& a, const TFileInfo& b) const;
  void actDeleteExecute();
  void actDeleteAllExecute();
  void actSelectAllExecute();
  void actAddFileExecute();
  void actAddDirExecute();
  void actRescanExecute();
  void UpdateActions();
  bool AcceptsDrop(const QDropEvent* event) const;

  void WriteCells(QTreeWidgetItem* row);
  TFileInfo& InfoOf(QTreeWidgetItem* row) const;
  void SortRows();

  QTabWidget* PC = nullptr;
  QLineEdit* edProfileName = nullptr;
  QComboBox* comboPosition = nullptr;
  QTreeWidget* lvFiles = nullptr;
  QMenu* popupFiles = nullptr;
  QCheckBox* cbSchedulerActive = nullptr;
  QTimeEdit* dtpSchedulerStart = nullptr;
  QCheckBox* cbDays[7] = {};
  QPushButton* bCheckAll = nullptr;
  QPushButton* bResetAll = nullptr;

  QAction* actAddFile = nullptr;
  QAction* actAddDir = nullptr;
  QAction* actDelete = nullptr;
  QAction* actSelectAll = nullptr;
  QAction* actDeleteAll = nullptr;
  QAction* actRescan = nullptr;

  std::set<std::string> paths_;  // the rows' paths, for the duplicate rule
  int sortColumn_ = 0;           // 0 Name, 1 Size, 2 Fragments
  bool ascending_ = false;
  QString timeFormat_;
};
