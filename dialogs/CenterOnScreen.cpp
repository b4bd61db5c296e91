#include "CenterOnScreen.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace {

class CenterOnFirstShow : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show) {
      CenterOnScreen(static_cast<QWidget*>(watched));
      watched->removeEventFilter(this);
      deleteLater();
    }
    return false;
  }
};

}  // namespace

void CenterOnScreen(QWidget* window) {
  const QWidget* anchor = window->parentWidget() ? window->parentWidget()->window() : nullptr;
  QScreen* screen = anchor ? anchor->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect frame = window->frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  window->move(frame.topLeft());
}

void CenterWhenShown(QWidget* window) { window->installEventFilter(new CenterOnFirstShow(window)); }
