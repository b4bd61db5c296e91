#include "CheckBoxDelegate.h"

#include <QApplication>
#include <QPainter>

void TCheckBoxDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
  QStyledItemDelegate::paint(painter, option, index);
  QStyleOptionViewItem item(option);
  initStyleOption(&item, index);
  if (!(item.features & QStyleOptionViewItem::HasCheckIndicator)) return;
  const QWidget* widget = option.widget;
  QStyle* style = widget ? widget->style() : QApplication::style();
  const QRect box = style->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &item, widget);
  painter->save();
  painter->setPen(option.palette.color(QPalette::Active, QPalette::Dark));
  painter->setBrush(Qt::NoBrush);
  painter->drawRect(QRectF(box).adjusted(1.5, 1.5, -1.5, -1.5));
  painter->restore();
}
