// Item check boxes with a clearly drawn frame: some styles draw the frame
// of an item's check box so faintly that an empty one cannot be seen.
#pragma once

#include <QStyledItemDelegate>

class TCheckBoxDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
};
