#include "ExitDialog.h"

#include <QApplication>
#include <QLabel>
#include <QStyle>
#include <QTimer>

#include "Profile.h"

TformExit::TformExit(TBusyTest busy, QWidget* parent)
    : QDialog(parent), busy_(std::move(busy)), poll_(new QTimer(this)) {
  setObjectName(QStringLiteral("formExit"));
  setWindowTitle(QStringLiteral("Contigra"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint);
  setFixedSize(285, 65);
  auto* icon = new QLabel(this);
  icon->setObjectName(QStringLiteral("imgIcon"));
  icon->setGeometry(8, 16, 32, 32);
  icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));
  auto* text = new QLabel(this);
  text->setObjectName(QStringLiteral("lblExiting"));
  text->setGeometry(48, 16, 227, 26);
  text->setAlignment(Qt::AlignCenter);
  text->setText(QString::fromStdString(
      TranslateText("Exiting...\r\nWaiting until all tasks have completed execution"))
                    .replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
  // A short period keeps the window responsive without spinning the CPU.
  poll_->setInterval(20);
  connect(poll_, &QTimer::timeout, this, &TformExit::Poll);
}

void TformExit::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  poll_->start();
  QTimer::singleShot(0, this, &TformExit::Poll);
}

void TformExit::Poll() {
  if (busy_()) return;
  poll_->stop();
  accept();
}

void WaitForTasks(const TformExit::TBusyTest& busy, QWidget* parent) {
  TformExit dialog(busy, parent);
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.exec();
}
