#include "CenterOnScreen.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

void CenterOnScreen(QWidget* window) {
  const QWidget* anchor = window->parentWidget() ? window->parentWidget()->window() : nullptr;
  QScreen* screen = anchor ? anchor->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect frame = window->frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  window->move(frame.topLeft());
}
