// What the analyze dialog does: the scan and its progress, stopping,
// ticking, sorting and the folder choice.
#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "Analyze.h"
#include "AnalyzeList.h"
#include "FileChoosers.h"
#include "SearchAnimation.h"
#include "SpinEdit.h"

void TformAnalyze::actAnalyzeExecute() {
  if (scanning_) return;
  ScanStarted();
  std::string path = edtPath->text().toStdString();
  if (path.empty() || path.back() != '\\') path += '\\';
  const std::int64_t minSize = MinimumSizeBytes(SpinEditNumber(seMinSize), cbMinSizePoints->currentIndex());
  ScanForFragmentedFiles(path, SpinEditNumber(seMinFragments), list_, minSize,
                         [this](const std::string& folder, std::int32_t found) {
                           return ScanProgress(folder, found);
                         });
  Sort(2, CompareByFragmentsDesc);
  model_->SetCount(static_cast<int>(list_.size()));
  lblFoundValue->setText(QString::number(list_.size()));
  actSelectAll->trigger();
  ScanEnded();
}

void TformAnalyze::ScanStarted() {
  scanning_ = true;
  actDefragment->setEnabled(false);
  btnCancel->setEnabled(false);
  actStop->setEnabled(true);
  actAnalyze->setEnabled(false);
  btnStop->setDefault(true);  // Enter presses whichever of the two is enabled
  stop_ = false;
  model_->SetCount(0);
  list_.clear();
  lvFiles->viewport()->repaint();
  aniFind->Play();
}

void TformAnalyze::ScanEnded() {
  aniFind->Stop();
  SetStatus(stop_ ? tr("Canceled") : tr("Finished"));
  actAnalyze->setEnabled(true);
  actStop->setEnabled(false);
  btnCancel->setEnabled(true);
  btnAnalyze->setDefault(true);
  scanning_ = false;
  actDefragmentUpdate();
  if (closeRequested_) reject();
}

bool TformAnalyze::ScanProgress(const std::string& folder, std::int32_t found) {
  SetStatus(QString::fromStdString(folder));
  lblFoundValue->setText(QString::number(found));
  QApplication::processEvents();
  return stop_;
}

void TformAnalyze::SetStatus(const QString& text) {
  lblStatusValue->setToolTip(text);
  lblStatusValue->setText(
      lblStatusValue->fontMetrics().elidedText(text, Qt::ElideMiddle, lblStatusValue->width()));
}

void TformAnalyze::actStopExecute() { stop_ = true; }

void TformAnalyze::reject() {
  if (!scanning_) {
    QDialog::reject();
    return;
  }
  // Closing while a scan runs: stop it; the dialog closes when it returns.
  closeRequested_ = true;
  stop_ = true;
}

void TformAnalyze::actSelectDirExecute() {
  const std::string folder = ChooseFolder(this, tr("Select directory"));
  if (!folder.empty()) edtPath->setText(QString::fromStdString(folder));
}

void TformAnalyze::actDefragmentUpdate() {
  const bool ticked = std::any_of(list_.begin(), list_.end(), [](const TFileRegionPair& r) { return r.Checked; });
  actDefragment->setEnabled(ticked && !scanning_);
}

void TformAnalyze::Toggle(int row) {
  if (row < 0 || static_cast<std::size_t>(row) >= list_.size()) return;
  list_[static_cast<std::size_t>(row)].Checked = !list_[static_cast<std::size_t>(row)].Checked;
  model_->RecordChanged(row);
  actDefragmentUpdate();
}

void TformAnalyze::SetSelectedChecked(bool value) {
  for (const QModelIndex& row : lvFiles->selectionModel()->selectedRows())
    list_[static_cast<std::size_t>(row.row())].Checked = value;
  model_->RecordsChanged();
  actDefragmentUpdate();
}

void TformAnalyze::SetAllChecked(bool value) {
  for (TFileRegionPair& record : list_) record.Checked = value;
  model_->RecordsChanged();
  actDefragmentUpdate();
}

void TformAnalyze::lvFilesColumnClick(int column) {
  if (scanning_) return;  // the records are still coming in
  switch (column) {
    case 0:
      sortState_ == 0 ? Sort(1, CompareByNameDesc) : Sort(0, CompareByNameAsc);
      break;
    case 1:
      sortState_ == 2 ? Sort(3, CompareByFragmentsAsc) : Sort(2, CompareByFragmentsDesc);
      break;
    default:
      sortState_ == 4 ? Sort(5, CompareBySizeAsc) : Sort(4, CompareBySizeDesc);
      break;
  }
  model_->RecordsChanged();
}

void TformAnalyze::Sort(int state, std::int32_t (*compare)(const TFileRegionPair&, const TFileRegionPair&)) {
  sortState_ = state;
  std::stable_sort(list_.begin(), list_.end(),
                   [compare](const TFileRegionPair& a, const TFileRegionPair& b) { return compare(a, b) < 0; });
}
