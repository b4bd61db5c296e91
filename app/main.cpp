// The program entry of contigra: one instance per session, the log, the
// engine's quiet start, the main window and its end.
#include <cstdlib>
#include <memory>

#include <QApplication>
#include <QMessageBox>
#include <QSystemTrayIcon>

#include "ConfigFile.h"
#include "DefaultPlatform.h"
#include "DefragAPI.h"
#include "DriveHint.h"
#include "FragorForm.h"
#include "InstanceGuard.h"
#include "Log.h"
#include "Platform.h"
#include "SessionEnd.h"
#include "SystemInfo.h"
#include "Translator.h"

namespace {

// Only the NT family can run the engine; the 9x family is turned away
// unless the user insists. Elsewhere there is nothing to check.
bool OperatingSystemAccepted() {
#ifdef _WIN32
  if (plat::GetOsVersion().WindowsNtFamily) return true;
  return QMessageBox::critical(nullptr, QString(),
                               QStringLiteral("This application supports only Windows NT, 2000, "
                                              "XP & 2003\nDo you want to continue?"),
                               QMessageBox::Yes | QMessageBox::No) != QMessageBox::No;
#else
  return true;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  app.setQuitOnLastWindowClosed(false);

  TInstanceGuard guard;
  if (!guard.AcquireOrActivate()) return 0;  // the running instance comes forward
  // Catch the end-of-session signals before anything else starts: one that
  // arrives while the window is still being built waits until the event
  // loop runs, and then saves like any other.
  InstallSessionEndHandler(&app, {});

  Logger.Create();
  ConnectEngineLogToLogger();
  SetEngineLogLevel(0);
  const std::unique_ptr<plat::Platform> platform = plat::MakeDefaultPlatform();
  plat::SetCurrent(platform.get());
  // The translator starts in the system's language; the main window then
  // takes the language of its settings.
  TTranslator::Instance();

  if (!OperatingSystemAccepted()) return 0;
  QApplication::setApplicationDisplayName(QString());
  QApplication::setApplicationName(QStringLiteral("Contigra"));

  auto* form = new TFragorForm(ConfigFileName(), QSystemTrayIcon::isSystemTrayAvailable());
  QObject::connect(&guard, &TInstanceGuard::activateRequested, form,
                   &TFragorForm::RestoreFromTray);
  QObject::connect(form, &TFragorForm::closeGranted, &app, &QApplication::quit,
                   Qt::QueuedConnection);
  InstallSessionEndHandler(&app, [form] {
    // The session ends: save and go, no question, no wait. Runs still
    // working are abandoned; they share nothing with the window any more.
    form->SessionEnding();
    delete form;
    std::_Exit(0);
  });
  LogDriveHintIfNeeded();
  form->ShowAtStart();
  const int result = app.exec();
  delete form;  // saves the settings
  return result;
}
