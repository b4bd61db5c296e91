#include "SearchAnimation.h"

#include <cmath>
#include <numbers>

#include <QEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int kFrames = 36;
constexpr int kFrameMs = 50;

void PaintFolder(QPainter& p, const QRectF& r) {
  QPainterPath back;
  back.moveTo(r.left(), r.top() + 6);
  back.lineTo(r.left() + r.width() * 0.35, r.top() + 6);
  back.lineTo(r.left() + r.width() * 0.42, r.top());
  back.lineTo(r.right(), r.top());
  back.lineTo(r.right(), r.bottom());
  back.lineTo(r.left(), r.bottom());
  back.closeSubpath();
  p.setPen(QPen(QColor(0xB8, 0x86, 0x0B), 1.2));
  p.setBrush(QColor(0xF2, 0xC1, 0x4E));
  p.drawPath(back);
  p.setBrush(Qt::white);
  p.setPen(QPen(QColor(0x90, 0x90, 0x90), 1));
  p.drawRect(QRectF(r.left() + 6, r.top() + 4, r.width() - 12, r.height() * 0.6));
  p.setPen(QPen(QColor(0xB8, 0x86, 0x0B), 1.2));
  p.setBrush(QColor(0xF8, 0xD3, 0x6B));
  p.drawRect(QRectF(r.left(), r.top() + r.height() * 0.35, r.width(), r.height() * 0.65));
}

void PaintMagnifier(QPainter& p, const QPointF& centre) {
  const double radius = 9;
  p.setPen(QPen(QColor(0x40, 0x40, 0x40), 4, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(centre + QPointF(radius * 0.7, radius * 0.7), centre + QPointF(radius * 1.6, radius * 1.6));
  p.setPen(QPen(QColor(0x30, 0x50, 0x80), 2.5));
  p.setBrush(QColor(0xC8, 0xE0, 0xFF, 0xB0));
  p.drawEllipse(centre, radius, radius);
}

}  // namespace

TSearchAnimation::TSearchAnimation(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("aniFind"));
  setAutoFillBackground(true);
  QPalette white = palette();
  white.setColor(QPalette::Window, Qt::white);
  setPalette(white);
  resize(sizeHint());
  timer_.setInterval(kFrameMs);
  connect(&timer_, &QTimer::timeout, this, [this] {
    frame_ = (frame_ + 1) % kFrames;
    update();
  });
  parent->installEventFilter(this);
  hide();
}

QSize TSearchAnimation::sizeHint() const { return {96, 72}; }

void TSearchAnimation::Play() {
  frame_ = 0;
  Center();
  show();
  raise();
  timer_.start();
}

void TSearchAnimation::Stop() {
  timer_.stop();
  hide();
}

void TSearchAnimation::Center() {
  const QRect area = parentWidget()->rect();
  move(area.center() - rect().center());
}

bool TSearchAnimation::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parentWidget() && event->type() == QEvent::Resize) Center();
  return false;
}

void TSearchAnimation::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF folder(24, 22, 48, 36);
  PaintFolder(p, folder);
  const double angle = 2 * std::numbers::pi * frame_ / kFrames;
  const QPointF centre = folder.center() + QPointF(18 * std::cos(angle), 10 * std::sin(angle));
  PaintMagnifier(p, centre);
}
