// The profile properties dialog: a profile's name, placement, entries and
// weekly schedule. The form edits its own controls only; LoadFrom fills
// them from a profile and StoreTo writes them back, so a profile changes
// only when the caller stores on OK.
//
// Rows are measured on a thread of the form's own (TMeasureQueue): the
// list is shown at once and each row's "Size" and "Fragments" cells are
// filled when its result arrives. What OK stores depends on the rows only,
// never on how far measuring got; closing the form stops measuring.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include <QDialog>
#include <QList>

#include "FileMeasure.h"
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
class QTimer;
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
  // Stops measuring (the file in hand is finished first).
  ~TProfilePropsForm() override;

  // Fills the controls from `profile` (entries, name, placement, schedule).
  void LoadFrom(const TProfile& profile);
  // Writes the controls into `profile`: the entries in display order, then
  // name, placement, scheduler flag, start time and days.
  void StoreTo(TProfile& profile) const;

  // Adds a row for `path` and queues its measuring; -1 (and no change)
  // when a row with exactly this path exists. Returns the new row's index.
  int AddEntry(const std::string& path);
  // Queues the row's file to be measured again; its cells are rewritten
  // when the result arrives.
  void RefreshEntry(int index);
  void ClearEntries();
  // True while some row still waits for its measure.
  bool MeasuresPending() const { return !pending_.empty(); }

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

  // A row for `path`, not yet in the list; null when the path has a row.
  QTreeWidgetItem* NewRow(const std::string& path);
  void Measure(const QList<QTreeWidgetItem*>& rows);
  // Writes the results that have arrived into their rows.
  void ApplyMeasures();
  void ForgetRow(QTreeWidgetItem* row);
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
  // Rows waiting for a measure, by the ticket their job carries. A row
  // measured again gets a new ticket, so a late result of the old job is
  // dropped, as is one for a row removed meanwhile.
  std::unordered_map<std::uint64_t, QTreeWidgetItem*> pending_;
  std::uint64_t lastTicket_ = 0;
  // Results are written in batches, a few times a second at most, so a
  // list of thousands fills without keeping the window busy.
  QTimer* measureFlush_ = nullptr;
  TMeasureQueue measures_;
  int sortColumn_ = 0;           // 0 Name, 1 Size, 2 Fragments
  bool ascending_ = false;
  QString timeFormat_;
};
