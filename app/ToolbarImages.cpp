#include "ToolbarImages.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

const QColor Ink(45, 55, 75);
const QColor Green(50, 150, 70);
const QColor Red(200, 60, 50);
const QColor Blue(60, 110, 190);
const QColor Paper(250, 250, 245);

QPixmap Canvas(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  return pixmap;
}

void Sheet(QPainter& p) {
  p.setPen(QPen(Ink, 1));
  p.setBrush(Paper);
  p.drawRect(QRectF(4.5, 2.5, 13, 18));
  for (int y = 7; y <= 15; y += 4) p.drawLine(QPointF(7, y), QPointF(15, y));
}

void Triangle(QPainter& p, qreal x, QColor color) {
  QPainterPath path;
  path.moveTo(x, 5);
  path.lineTo(x + 11, 12);
  path.lineTo(x, 19);
  path.closeSubpath();
  p.setPen(QPen(color.darker(140), 1));
  p.setBrush(color);
  p.drawPath(path);
}

QIcon Draw(int index) {
  QPixmap pixmap = Canvas(24);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  switch (index) {
    case 0:  // Add
      Sheet(p);
      p.setPen(QPen(Green, 3));
      p.drawLine(QPointF(17, 13), QPointF(17, 22));
      p.drawLine(QPointF(12.5, 17.5), QPointF(21.5, 17.5));
      break;
    case 1:  // Delete
      Sheet(p);
      p.setPen(QPen(Red, 3));
      p.drawLine(QPointF(13, 13), QPointF(21, 21));
      p.drawLine(QPointF(21, 13), QPointF(13, 21));
      break;
    case 2:  // Properties
      Sheet(p);
      p.setPen(QPen(Blue, 3));
      p.drawLine(QPointF(12, 21), QPointF(21, 12));
      break;
    case 3:  // Run
      Triangle(p, 7, Green);
      break;
    case 4:  // Run All
      Triangle(p, 3, Green);
      Triangle(p, 11, Green);
      break;
    case 5:  // Log window
      p.setPen(QPen(Ink, 1));
      p.setBrush(Paper);
      p.drawRect(QRectF(2.5, 4.5, 19, 15));
      p.setBrush(Blue);
      p.drawRect(QRectF(2.5, 4.5, 19, 3));
      for (int y = 11; y <= 17; y += 3) p.drawLine(QPointF(5, y), QPointF(18, y));
      break;
    case 6:  // Analyze disk
      p.setPen(QPen(Ink, 1));
      p.setBrush(QColor(170, 180, 195));
      p.drawEllipse(QRectF(2.5, 2.5, 15, 15));
      p.setBrush(Paper);
      p.drawEllipse(QRectF(8, 8, 4, 4));
      p.setPen(QPen(Ink, 3));
      p.drawLine(QPointF(15, 15), QPointF(21.5, 21.5));
      break;
    case 7:  // Wizard
      p.setPen(QPen(QColor(120, 80, 40), 3));
      p.drawLine(QPointF(4, 20), QPointF(15, 9));
      p.setPen(QPen(QColor(240, 180, 30), 2));
      for (const auto& ray : {QLineF(17, 3, 17, 7), QLineF(21, 7, 17, 7), QLineF(20, 4, 17, 7),
                              QLineF(17, 7, 20, 10)})
        p.drawLine(ray);
      break;
    default:  // Stop
      p.setPen(QPen(Red.darker(140), 1));
      p.setBrush(Red);
      p.drawRect(QRectF(5.5, 5.5, 13, 13));
      break;
  }
  return QIcon(pixmap);
}

}  // namespace

QList<QIcon> MakeToolbarImages() {
  QList<QIcon> icons;
  for (int i = 0; i < 9; ++i) icons.append(Draw(i));
  return icons;
}

QList<QIcon> MakeStateImages() {
  QList<QIcon> icons;
  for (const QColor& color : {QColor(230, 170, 30), Green}) {
    QPixmap pixmap = Canvas(12);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(color.darker(150), 1));
    p.setBrush(color);
    if (color == Green) {
      QPainterPath path;
      path.moveTo(2, 1.5);
      path.lineTo(10.5, 6);
      path.lineTo(2, 10.5);
      path.closeSubpath();
      p.drawPath(path);
    } else {
      p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
      p.setPen(QPen(Qt::white, 1.2));
      p.drawLine(QPointF(6, 6), QPointF(6, 3));
      p.drawLine(QPointF(6, 6), QPointF(8, 7));
    }
    icons.append(QIcon(pixmap));
  }
  return icons;
}
