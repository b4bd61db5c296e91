// contigra as a real process: a second start wakes the first and ends
// before it touches the log or the settings; SIGTERM saves and ends.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "AppTestSupport.h"
#include "InstanceGuard.h"

using apptest::TAppFixture;
using apptest::WaitUntil;

namespace {

// A copy of the program in its own folder, so that its settings and log
// live there, with a private runtime folder for the instance guard.
class TProgramCopy {
 public:
  TProgramCopy() {
    EXPECT_TRUE(QFile::copy(QStringLiteral(CONTIGRA_EXE), Exe()));
    QFile::setPermissions(Exe(), QFile::permissions(Exe()) | QFileDevice::ExeOwner);
  }
  QString Exe() const { return dir_.filePath(QStringLiteral("contigra")); }
  QString File(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }
  void Start(QProcess& process, const QString& runtimeDir) const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("CONTIGRA_RUNTIME_DIR"), runtimeDir);
    env.insert(QStringLiteral("CONTIGRA_DRIVES"), QString());
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(Exe(), {});
  }

 private:
  QTemporaryDir dir_;
};

bool Finish(QProcess& process, int ms = 10000) {
  return WaitUntil([&] { return process.state() == QProcess::NotRunning; }, ms);
}

}  // namespace

TEST(Process, SecondStartBringsTheFirstForwardAndLeavesLogAndSettingsAlone) {
  QTemporaryDir runtime;
  const QByteArray previous = qgetenv("CONTIGRA_RUNTIME_DIR");
  qputenv("CONTIGRA_RUNTIME_DIR", runtime.path().toUtf8());
  {
    // The first instance is this process, with a minimised window.
    TAppFixture app;
    app.Open();
    TInstanceGuard first;
    ASSERT_TRUE(first.AcquireOrActivate());
    QObject::connect(&first, &TInstanceGuard::activateRequested, &app.Form(),
                     &TFragorForm::RestoreFromTray);
    app.Form().showMinimized();
    ASSERT_TRUE(app.Form().isMinimized());

    TProgramCopy second;
    QProcess process;
    second.Start(process, runtime.path());
    ASSERT_TRUE(Finish(process));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_TRUE(WaitUntil([&] { return !app.Form().isMinimized(); }));
    EXPECT_FALSE(QFile::exists(second.File("contigra.log")));
    EXPECT_FALSE(QFile::exists(second.File("config.cfg")));
  }
  qputenv("CONTIGRA_RUNTIME_DIR", previous);
}

TEST(Process, TermSignalSavesTheSettingsWithoutAsking) {
  QTemporaryDir runtime;
  TProgramCopy program;
  // Asking would hang the process: the answer would never come.
  TOptions options = TAppFixture::DefaultOptions();
  options.ConfirmExit = true;
  options.Language = "ko_KR";
  TProfileList profiles;
  profiles.push_back(TAppFixture::FileProfile("kept", "C:\\f0.dat"));
  ASSERT_TRUE(SaveConfigFile(program.File("config.cfg").toStdString(), profiles, options));

  QProcess process;
  program.Start(process, runtime.path());
  ASSERT_TRUE(process.waitForStarted(5000));
  // Running once the log file exists and the instance listens.
  ASSERT_TRUE(WaitUntil([&] {
    return QFile::exists(program.File("contigra.log")) &&
           QFile::exists(runtime.filePath(QStringLiteral("Contigra.activate")));
  }));
  QTest::qWait(300);
  process.terminate();  // SIGTERM
  ASSERT_TRUE(Finish(process));
  EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(process.exitCode(), 0);

  TProfileList kept;
  TOptions saved;
  LoadConfigFile(program.File("config.cfg").toStdString(), kept, saved, "");
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(kept[0]->Name, "kept");
  EXPECT_EQ(saved.Language, "en_US");  // proves this save came from the program
}
