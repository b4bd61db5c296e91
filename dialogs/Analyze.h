// The analyze-disk dialog: scans a folder tree for fragmented files, lists
// them with their fragment counts and sizes, and lets the user tick the
// ones to defragment. It fills the caller's result list; closing with OK
// ("Defragment") leaves the last scan's results there in the order shown.
//
// The scan runs on this thread; the window stays responsive because the
// scan's progress callback processes pending events once per folder, so
// "Stop" takes effect at the next folder. A close request during a scan
// stops it and closes the dialog once the scan has returned.
#pragma once

#include <cstdint>
#include <string>

#include <QDialog>

#include "DefragAPI.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSpinBox;
class TAnalyzeModel;
class TResultListView;
class TSearchAnimation;

// The scan's minimum size in bytes: `value` in KBytes (unit 0), MBytes (1)
// or GBytes (2), as a 64-bit product.
std::int64_t MinimumSizeBytes(int value, int unit);

class TformAnalyze : public QDialog {
  Q_OBJECT

 public:
  // `list` is the caller's (empty) result list; it must outlive the form.
  explicit TformAnalyze(TFileRegionList& list, QWidget* parent = nullptr);

  // The sort state: 0/1 File ascending/descending, 2/3 Fragments
  // descending/ascending, 4/5 Size descending/ascending.
  int SortState() const { return sortState_; }
  bool Scanning() const { return scanning_; }

  void reject() override;

 private:
  void BuildActions();
  QWidget* BuildParameters();
  void LayOutParameters(QWidget* box);
  void BuildList(QWidget* parent);

  void actAnalyzeExecute();
  void actStopExecute();
  void actSelectDirExecute();
  void actDefragmentUpdate();
  void SetSelectedChecked(bool value);
  void SetAllChecked(bool value);
  void Toggle(int row);
  void lvFilesColumnClick(int column);
  void Sort(int state, std::int32_t (*compare)(const TFileRegionPair&, const TFileRegionPair&));
  bool ScanProgress(const std::string& folder, std::int32_t found);
  void SetStatus(const QString& text);
  void ScanStarted();
  void ScanEnded();

  TFileRegionList& list_;
  bool stop_ = false;
  bool scanning_ = false;
  bool closeRequested_ = false;
  int sortState_ = 0;

  QLineEdit* edtPath = nullptr;
  QSpinBox* seMinFragments = nullptr;
  QSpinBox* seMinSize = nullptr;
  QComboBox* cbMinSizePoints = nullptr;
  QPushButton* btnAnalyze = nullptr;
  QPushButton* btnStop = nullptr;
  QPushButton* btnCancel = nullptr;
  TResultListView* lvFiles = nullptr;
  TAnalyzeModel* model_ = nullptr;
  TSearchAnimation* aniFind = nullptr;
  QLabel* lblFoundValue = nullptr;
  QLabel* lblStatusValue = nullptr;
  QMenu* popupContextMenu = nullptr;

  QAction* actAnalyze = nullptr;
  QAction* actDefragment = nullptr;
  QAction* actStop = nullptr;
  QAction* actSelectDir = nullptr;
  QAction* actSelect = nullptr;
  QAction* actReset = nullptr;
  QAction* actSelectAll = nullptr;
  QAction* actUnselectAll = nullptr;
};
