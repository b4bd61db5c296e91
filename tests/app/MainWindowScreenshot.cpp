#include <QApplication>
#include <QTimer>
#include <QTreeWidget>
#include "AppTestSupport.h"
#include "Log.h"

// Not a test: saves a picture of the main window with three profiles, one
// of them running, to the path given (look at it under Xvfb).
int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  apptest::TAppFixture fx;
  TProfileList profiles;
  for (int i = 0; i < 3; ++i) {
    auto p = apptest::TAppFixture::FileProfile("Mail " + std::to_string(i), "C:\\f" + std::to_string(i) + ".dat");
    if (i == 1) { p->Files.push_back("C:\\f5.dat"); p->SchedulerActive = true; p->SetStart(EncodeTime(18, 30)); p->SetDay(4, true); p->SetDay(0, true); }
    profiles.push_back(std::move(p));
  }
  fx.Open(profiles);
  Logger.AddLine("<<<< \"Defragment file\" started. File: \"C:\\f0.dat\"");
  Logger.AddLine("    detail line");
  fx.Form().findChild<QAction*>("actProfileRunAll")->trigger();
  QTimer::singleShot(800, [&] {
    fx.Form().grab().save(argv[1]);
    fx.Gate.Open();
    app.quit();
  });
  return app.exec();
}
