// The properties dialog's file list: rows and their measures, sorting, the
// list's commands and dropped files.
#include <algorithm>

#include <QAction>
#include <QDir>
#include <QDropEvent>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QTabWidget>
#include <QTreeWidget>
#include <QUrl>

#include "ActionButton.h"
#include "Dialogs.h"
#include "FileChoosers.h"
#include "FileMeasure.h"
#include "ProfileFileRow.h"

namespace {

constexpr int kSizeColumn = 1;
constexpr int kFragmentsColumn = 2;
// Where a row keeps the ticket of its latest measuring job.
constexpr int kTicketRole = Qt::UserRole + 1;
// The system's drop hands over paths of up to this many characters.
constexpr qsizetype kLongestDroppedPath = 254;

unsigned char FoldAz(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u >= 'a' && u <= 'z') ? static_cast<unsigned char>(u - 'a' + 'A') : u;
}

template <class T>
int Order(T a, T b) {
  return a < b ? -1 : (a > b ? 1 : 0);
}

// Message texts keep the Windows line breaks of their translation keys; a
// label wants plain ones.
QString ShownText(QString text) { return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }

}  // namespace

int ComparePathsAz(const std::string& a, const std::string& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const int d = FoldAz(a[i]) - FoldAz(b[i]);
    if (d != 0) return d;
  }
  return Order(a.size(), b.size());
}

void TProfilePropsForm::BuildActions() {
  actAddFile = MakeAction(this, "actAddFile", tr("Add file..."));
  actAddDir = MakeAction(this, "actAddDir", tr("Add dir..."));
  actDelete = MakeAction(this, "actDelete", tr("Delete"));
  actDelete->setShortcut(QKeySequence(Qt::Key_Delete));
  actSelectAll = MakeAction(this, "actSelectAll", tr("Select All"));
  actSelectAll->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
  actDeleteAll = MakeAction(this, "actDeleteAll", tr("Delete All"));
  actRescan = MakeAction(this, "actRescan", tr("Rescan"));
  connect(actAddFile, &QAction::triggered, this, &TProfilePropsForm::actAddFileExecute);
  connect(actAddDir, &QAction::triggered, this, &TProfilePropsForm::actAddDirExecute);
  connect(actDelete, &QAction::triggered, this, &TProfilePropsForm::actDeleteExecute);
  connect(actSelectAll, &QAction::triggered, this, &TProfilePropsForm::actSelectAllExecute);
  connect(actDeleteAll, &QAction::triggered, this, &TProfilePropsForm::actDeleteAllExecute);
  connect(actRescan, &QAction::triggered, this, &TProfilePropsForm::actRescanExecute);
}

void TProfilePropsForm::BuildFileList() {
  lvFiles = new QTreeWidget;
  lvFiles->setObjectName(QStringLiteral("lvFiles"));
  lvFiles->setHeaderLabels({tr("Name"), tr("Size"), tr("Fragments")});
  lvFiles->headerItem()->setTextAlignment(kSizeColumn, Qt::AlignRight | Qt::AlignVCenter);
  lvFiles->headerItem()->setTextAlignment(kFragmentsColumn, Qt::AlignRight | Qt::AlignVCenter);
  lvFiles->setRootIsDecorated(false);
  lvFiles->setUniformRowHeights(true);
  lvFiles->setAllColumnsShowFocus(true);
  lvFiles->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lvFiles->setSelectionBehavior(QAbstractItemView::SelectRows);
  lvFiles->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lvFiles->setTextElideMode(Qt::ElideMiddle);

  // Name takes what the two number columns leave; those are wide enough
  // for "1,023.99 MB" in the list's font.
  QHeaderView* header = lvFiles->header();
  header->setStretchLastSection(false);
  header->setSectionResizeMode(0, QHeaderView::Stretch);
  header->setSectionsClickable(true);
  const int numberWidth = lvFiles->fontMetrics().horizontalAdvance(QStringLiteral("8,888.88 MB")) + 16;
  header->resizeSection(kSizeColumn, std::max(70, numberWidth));
  header->resizeSection(kFragmentsColumn, std::max(80, numberWidth));
  connect(header, &QHeaderView::sectionClicked, this, &TProfilePropsForm::lvFilesColumnClick);

  popupFiles = new QMenu(this);
  popupFiles->setObjectName(QStringLiteral("popupFiles"));
  popupFiles->addActions({actAddFile, actAddDir, actDelete, actSelectAll, actDeleteAll});
  lvFiles->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(lvFiles, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { popupFiles->popup(lvFiles->viewport()->mapToGlobal(at)); });
  // Del and Ctrl+A act on the list, not on the name being typed.
  for (QAction* action : {actDelete, actSelectAll}) {
    action->setShortcutContext(Qt::WidgetShortcut);
    lvFiles->addAction(action);
  }
  connect(lvFiles, &QTreeWidget::itemSelectionChanged, this, &TProfilePropsForm::UpdateActions);
}

QTreeWidgetItem* TProfilePropsForm::NewRow(const std::string& path) {
  if (!paths_.insert(path).second) return nullptr;
  auto* row = new TFileRow(path);
  row->setText(0, QString::fromStdString(path));
  row->setToolTip(0, row->text(0));
  row->setTextAlignment(kSizeColumn, Qt::AlignRight | Qt::AlignVCenter);
  row->setTextAlignment(kFragmentsColumn, Qt::AlignRight | Qt::AlignVCenter);
  return row;
}

int TProfilePropsForm::AddEntry(const std::string& path) {
  QTreeWidgetItem* row = NewRow(path);
  if (!row) return -1;
  lvFiles->addTopLevelItem(row);
  Measure({row});
  UpdateActions();
  return lvFiles->topLevelItemCount() - 1;
}

void TProfilePropsForm::RefreshEntry(int index) {
  if (QTreeWidgetItem* row = lvFiles->topLevelItem(index)) Measure({row});
}

void TProfilePropsForm::Measure(const QList<QTreeWidgetItem*>& rows) {
  std::vector<TMeasureQueue::TJob> jobs;
  jobs.reserve(static_cast<std::size_t>(rows.size()));
  for (QTreeWidgetItem* row : rows) {
    ForgetRow(row);
    const std::uint64_t ticket = ++lastTicket_;
    row->setData(0, kTicketRole, QVariant::fromValue<qulonglong>(ticket));
    pending_.emplace(ticket, row);
    jobs.push_back({ticket, InfoOf(row).Path});
  }
  measures_.Add(std::move(jobs));
}

void TProfilePropsForm::ApplyMeasures() {
  for (const TMeasureQueue::TResult& result : measures_.Take()) {
    const auto found = pending_.find(result.Ticket);
    if (found == pending_.end()) continue;  // removed or measured again meanwhile
    QTreeWidgetItem* row = found->second;
    pending_.erase(found);
    TFileInfo& info = InfoOf(row);
    info.Size = result.Measure.Size;
    info.Fragments = result.Measure.Fragments;
    WriteCells(row);
  }
}

void TProfilePropsForm::ForgetRow(QTreeWidgetItem* row) {
  const QVariant ticket = row->data(0, kTicketRole);
  if (ticket.isValid()) pending_.erase(ticket.toULongLong());
}

void TProfilePropsForm::WriteCells(QTreeWidgetItem* row) {
  const TFileInfo& info = InfoOf(row);
  row->setText(kSizeColumn, info.Size < 0 ? tr("n/a") : FormatFileSize(info.Size));
  row->setText(kFragmentsColumn, info.Fragments < 0 ? tr("n/a") : QString::number(info.Fragments));
}

void TProfilePropsForm::ClearEntries() {
  lvFiles->clear();
  paths_.clear();
  pending_.clear();
  UpdateActions();
}

int TProfilePropsForm::EntryCount() const { return lvFiles->topLevelItemCount(); }

const TFileInfo& TProfilePropsForm::Entry(int index) const {
  return InfoOf(lvFiles->topLevelItem(index));
}

TFileInfo& TProfilePropsForm::InfoOf(QTreeWidgetItem* row) const {
  return static_cast<TFileRow*>(row)->Info;
}

void TProfilePropsForm::lvFilesColumnClick(int column) {
  if (column == sortColumn_) {
    ascending_ = !ascending_;
  } else {
    sortColumn_ = column;
    ascending_ = true;
  }
  SortRows();
}

std::int32_t TProfilePropsForm::lvFilesCompare(const TFileInfo& a, const TFileInfo& b) const {
  int result = 0;
  switch (sortColumn_) {
    case kSizeColumn: result = Order(a.Size, b.Size); break;
    case kFragmentsColumn: result = Order(a.Fragments, b.Fragments); break;
    default: result = ComparePathsAz(a.Path, b.Path); break;
  }
  return ascending_ ? result : -result;
}

void TProfilePropsForm::SortRows() {
  const QList<QTreeWidgetItem*> selected = lvFiles->selectedItems();
  QTreeWidgetItem* current = lvFiles->currentItem();
  QList<QTreeWidgetItem*> rows = lvFiles->invisibleRootItem()->takeChildren();
  std::stable_sort(rows.begin(), rows.end(), [this](QTreeWidgetItem* a, QTreeWidgetItem* b) {
    return lvFilesCompare(InfoOf(a), InfoOf(b)) < 0;
  });
  lvFiles->addTopLevelItems(rows);
  if (current) lvFiles->setCurrentItem(current, 0, QItemSelectionModel::NoUpdate);
  for (QTreeWidgetItem* row : selected) row->setSelected(true);
  lvFiles->header()->setSortIndicatorShown(true);
  lvFiles->header()->setSortIndicator(sortColumn_, ascending_ ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void TProfilePropsForm::actDeleteExecute() {
  for (QTreeWidgetItem* row : lvFiles->selectedItems()) {
    paths_.erase(InfoOf(row).Path);
    ForgetRow(row);
    delete row;
  }
  UpdateActions();
}

void TProfilePropsForm::actDeleteAllExecute() {
  const QString question =
      tr("Excluding files from the profile can't be undone!\r\nDo you wish to process?");
  if (QMessageBox::question(this, windowTitle(), ShownText(question),
                            QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes)
    ClearEntries();
}

void TProfilePropsForm::actSelectAllExecute() { lvFiles->selectAll(); }

void TProfilePropsForm::actAddFileExecute() {
  for (const std::string& file : ChooseFiles(this)) AddEntry(file);
}

void TProfilePropsForm::actAddDirExecute() {
  std::string folder = ChooseFolder(this, tr("Select directory"));
  if (folder.empty()) return;
  if (folder.back() != '\\') folder += '\\';
  AddEntry(folder);
}

void TProfilePropsForm::actRescanExecute() {
  QList<QTreeWidgetItem*> rows;
  rows.reserve(EntryCount());
  for (int i = 0; i < EntryCount(); ++i) rows.append(lvFiles->topLevelItem(i));
  Measure(rows);
}

void TProfilePropsForm::UpdateActions() {
  const bool hasRows = lvFiles->topLevelItemCount() > 0;
  actDelete->setEnabled(!lvFiles->selectedItems().isEmpty());
  actDeleteAll->setEnabled(hasRows);
  actRescan->setEnabled(hasRows);
}

void TProfilePropsForm::PCChange(int index) { setAcceptDrops(index == 1); }

void TProfilePropsForm::done(int result) {
  setAcceptDrops(false);
  // Nothing is stored from a measure, so the results still to come are
  // not worth the wait.
  measures_.Stop();
  QDialog::done(result);
}

bool TProfilePropsForm::AcceptsDrop(const QDropEvent* event) const {
  return PC->currentIndex() == 1 && event->mimeData()->hasUrls();
}

void TProfilePropsForm::dragEnterEvent(QDragEnterEvent* event) {
  if (AcceptsDrop(event)) event->acceptProposedAction();
  else event->ignore();
}

void TProfilePropsForm::dragMoveEvent(QDragMoveEvent* event) {
  if (AcceptsDrop(event)) event->acceptProposedAction();
  else event->ignore();
}

void TProfilePropsForm::dropEvent(QDropEvent* event) {
  if (!AcceptsDrop(event)) {
    event->ignore();
    return;
  }
  for (const QUrl& url : event->mimeData()->urls()) {
    if (!url.isLocalFile()) continue;
    const QString path = QDir::toNativeSeparators(url.toLocalFile());
    if (path.isEmpty() || path.size() > kLongestDroppedPath) continue;
    AddEntry(path.toStdString());
  }
  event->acceptProposedAction();
}
