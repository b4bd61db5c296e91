#include "AnalyzeList.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>

#include "Dialogs.h"

namespace {

enum Column { kFile, kFragments, kSize, kColumns };

}  // namespace

TAnalyzeModel::TAnalyzeModel(const TFileRegionList& list, QObject* parent)
    : QAbstractTableModel(parent), list_(list) {}

void TAnalyzeModel::SetCount(int count) {
  beginResetModel();
  count_ = count;
  endResetModel();
}

void TAnalyzeModel::RecordsChanged() {
  if (count_ > 0) emit dataChanged(index(0, 0), index(count_ - 1, kColumns - 1));
}

void TAnalyzeModel::RecordChanged(int row) {
  if (row >= 0 && row < count_) emit dataChanged(index(row, 0), index(row, kColumns - 1));
}

int TAnalyzeModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : count_; }

int TAnalyzeModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumns;
}

QVariant TAnalyzeModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= count_) return {};
  const TFileRegionPair& record = list_[static_cast<std::size_t>(index.row())];
  switch (role) {
    case Qt::DisplayRole:
      if (index.column() == kFile) return QString::fromStdString(record.FileName);
      if (index.column() == kFragments) return QString::number(record.Fragments);
      return FormatFileSize(record.Size);
    case Qt::CheckStateRole:
      if (index.column() == kFile) return record.Checked ? Qt::Checked : Qt::Unchecked;
      return {};
    case Qt::ToolTipRole:
      return index.column() == kFile ? QString::fromStdString(record.FileName) : QVariant();
    case Qt::TextAlignmentRole:
      return index.column() == kFile ? QVariant() : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    default:
      return {};
  }
}

QVariant TAnalyzeModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return {};
  if (role == Qt::TextAlignmentRole && section != kFile) return QVariant(Qt::AlignRight | Qt::AlignVCenter);
  if (role != Qt::DisplayRole) return {};
  switch (section) {
    case kFile: return tr("File");
    case kFragments: return tr("Fragments");
    case kSize: return tr("Size");
    default: return {};
  }
}

Qt::ItemFlags TAnalyzeModel::flags(const QModelIndex& index) const {
  // Not user-checkable: the view decides what toggles a tick.
  return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren
                         : Qt::NoItemFlags;
}

QRect TResultListView::CheckRect(int row) const {
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  const QModelIndex index = model()->index(row, 0);
  option.rect = visualRect(index);
  option.index = index;
  option.features |= QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
  return style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, this);
}

void TResultListView::mousePressEvent(QMouseEvent* event) {
  const QModelIndex index = indexAt(event->position().toPoint());
  if (event->button() == Qt::LeftButton && index.isValid()) {
    const QRect check = CheckRect(index.row());
    const int x = event->position().toPoint().x();
    if (x >= check.left() && x <= check.right()) emit ToggleRequested(index.row());
  }
  QTreeView::mousePressEvent(event);
}

void TResultListView::keyPressEvent(QKeyEvent* event) {
  if (event->key() != Qt::Key_Space) {
    QTreeView::keyPressEvent(event);
    return;
  }
  QModelIndexList rows = selectionModel() ? selectionModel()->selectedRows() : QModelIndexList();
  if (!rows.isEmpty()) {
    std::sort(rows.begin(), rows.end());
    emit ToggleRequested(rows.first().row());
  }
  event->accept();
}
