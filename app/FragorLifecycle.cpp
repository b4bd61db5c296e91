// The window's life: minimising into the tray, the close decision, the
// exit wait, the end of the session and the saved settings at the end.
#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QLabel>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QTreeWidget>

#include "DefragAPI.h"
#include "ExitDialog.h"
#include "FragorForm.h"
#include "Translator.h"
#include "Log.h"
#include "RunNotices.h"
#include "ShellIntegration.h"

TFragorForm::~TFragorForm() {
  // The log panel goes with the window; later lines go to the file only.
  Logger.SetView(nullptr);
  notices_->Detach();
  FSchedulerTimer->stop();
  SaveSettings();
  FTrayIcon->hide();
}

void TFragorForm::SaveSettings() {
  SaveShellIntegration(FOptions);
  SaveConfigFile(configFileName_, profiles_, FOptions);
}

void TFragorForm::ApplyOptions() {
  SetEngineLogLevel(FOptions.LogLevel);  // above 0 it also logs the system block
  Logger.SetMaxLines(FOptions.LogMaxLines);
  UpdateScheduleColumns();
}

void TFragorForm::ApplyLogWindow() {
  const bool show = FOptions.ShowLogWindow;
  mnuViewLog->setChecked(show);
  findChild<QAction*>(QStringLiteral("actViewLog"))->setChecked(show);
  pnlLog->setVisible(show);
}

bool TFragorForm::eventFilter(QObject* watched, QEvent* event) {
  // The log panel's close button: the "Log window" command, so the option,
  // the menu's check mark and the toolbar button stay in step.
  if (watched == pnlLog && event->type() == QEvent::Close && FOptions.ShowLogWindow) {
    event->ignore();
    actViewLogExecute();
    return true;
  }
  if (watched == lvProfiles->viewport() && event->type() == QEvent::MouseButtonDblClick) {
    // Let the list select the row under the mouse first.
    const bool handled = QMainWindow::eventFilter(watched, event);
    QTimer::singleShot(0, this, &TFragorForm::lvProfilesDblClick);
    return handled;
  }
  return QMainWindow::eventFilter(watched, event);
}

void TFragorForm::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  FormResize();
}

void TFragorForm::FormResize() {
  // The panels span the window through the dock layout; the run panel
  // takes the status bar's width less the queue panel's 200 pixels.
  statusPanel0_->setMaximumWidth(qMax(50, statusBar()->width() - 200));
}

void TFragorForm::ShowAtStart() {
  if (minimizedStart_) {
    MinimizeWindow();
    if (!trayAvailable_) show();
  } else {
    show();
  }
}

void TFragorForm::MinimizeWindow() {
  if (trayAvailable_) {
    // Into the tray: no window, no task-bar button, the icon instead.
    setWindowState(windowState() | Qt::WindowMinimized);
    hide();
    FTrayIcon->show();
  } else {
    // Nowhere to put an icon: stay in the task bar, where the user can
    // get the window back.
    showMinimized();
  }
}

void TFragorForm::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && isMinimized() && isVisible() &&
      trayAvailable_) {
    // Hiding from inside the state change confuses some window managers.
    QTimer::singleShot(0, this, [this] {
      if (isMinimized()) MinimizeWindow();
    });
  }
}

void TFragorForm::RestoreFromTray() {
  setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  show();
  raise();
  activateWindow();
  FTrayIcon->hide();
}

void TFragorForm::SessionEnding() { FSessionEnding = true; }

bool TFragorForm::FormCloseQuery() {
  if (FSessionEnding) return true;
  if (!FExitRequested && FOptions.MinimizeOnClose) {
    MinimizeWindow();
    return false;
  }
  if (FOptions.ConfirmExit)
    return Confirm(Tr("Scheduled tasks will not be executed after exit.\r\nDo you want to exit?")
                       .replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
  return true;
}

void TFragorForm::closeEvent(QCloseEvent* event) {
  if (closing_ || !FormCloseQuery()) {
    event->ignore();
    return;
  }
  closing_ = true;
  if (!FSessionEnding) FormClose();
  event->accept();
  emit closeGranted();
}

void TFragorForm::FormClose() {
  findChild<QAction*>(QStringLiteral("actProfileStop"))->trigger();
  FTrayIcon->hide();
  // Also until every run thread has let go of the run lock.
  WaitForTasks([this] { return TasksPending(); }, this);
}

void TFragorForm::actFileExitExecute() {
  FExitRequested = true;
  close();
  FExitRequested = false;
}
