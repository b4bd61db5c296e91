#include "TrayFrames.h"

#include <QPainter>
#include <QPixmap>

namespace {

QPixmap DrawFrame(int index) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(40, 60, 110), 1));
  painter.setBrush(QColor(90, 130, 200));
  painter.drawEllipse(QRectF(1.5, 1.5, 13, 13));
  painter.setBrush(QColor(230, 235, 245));
  painter.drawEllipse(QRectF(6, 6, 4, 4));
  if (index > 0) {
    // Qt's angles are in 1/16 degree, counter-clockwise from three o'clock;
    // the sweep goes clockwise from twelve.
    const int start = (90 - (index - 1) * 30) * 16;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(250, 200, 40));
    painter.drawPie(QRectF(1.5, 1.5, 13, 13), start, -60 * 16);
  }
  return pixmap;
}

}  // namespace

QList<QIcon> MakeTrayFrames() {
  QList<QIcon> frames;
  for (int i = 0; i < TrayFrameCount; ++i) frames.append(QIcon(DrawFrame(i)));
  return frames;
}
