// The dialogs' tests run with real widgets; without a display they use
// Qt's offscreen platform. The default locale is US English so number and
// time texts are fixed; tests that need another set their own. The
// per-user configuration folder is a temporary one, so no test reads or
// writes the user's own drive table.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLocale>
#include <QTemporaryDir>

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
  qunsetenv("CONTIGRA_DRIVES");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
