// The main window's tests run the real window on Qt's offscreen platform
// in US English, with the per-user folders in a temporary place.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLocale>
#include <QTemporaryDir>

#include "Log.h"

namespace {

QtMessageHandler gDefaultHandler = nullptr;

// The offscreen platform warns about every window that sizes itself.
void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.contains(QLatin1String("propagateSizeHints"))) return;
  gDefaultHandler(type, context, message);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  gDefaultHandler = qInstallMessageHandler(QuietHandler);
  QApplication app(argc, argv);
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
  qputenv("CONTIGRA_RUNTIME_DIR", config.filePath(QStringLiteral("run")).toUtf8());
  qunsetenv("CONTIGRA_DRIVES");
  // Engine lines reach the window's log panel as in the program.
  ConnectEngineLogToLogger();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
