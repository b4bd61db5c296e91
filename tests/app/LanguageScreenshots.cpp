// Not a test: saves pictures of the main window and the dialogs in every
// interface language to the folder given, so clipped or overlapping texts
// can be seen. Run it on Qt's offscreen platform or under Xvfb with the CJK
// fonts installed.
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QTabWidget>
#include <QTimer>
#include <functional>

#include "AppTestSupport.h"
#include "DialogTestSupport.h"
#include "Dialogs.h"
#include "Translator.h"

namespace {

// One picture per page of a dialog with pages: name.png, name-1.png, ...
void SaveDialog(const QString& file, const std::function<void()>& open) {
  dlgtest::WhenModal([file](QWidget* modal) {
    modal->grab().save(file + QStringLiteral(".png"));
    if (auto* pages = modal->findChild<QTabWidget*>()) {
      for (int page = 1; page < pages->count(); ++page) {
        pages->setCurrentIndex(page);
        modal->grab().save(file + QStringLiteral("-%1.png").arg(page));
      }
    }
    static_cast<QDialog*>(modal)->reject();
  });
  open();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) return 2;
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  const QDir out(QString::fromLocal8Bit(argv[1]));
  TTranslator::Instance().SetCatalogueFolders({QStringLiteral(CONTIGRA_LOCALE_DIR)});
  apptest::TAppFixture fx;
  TProfileList profiles;
  for (int i = 0; i < 3; ++i) {
    auto p = apptest::TAppFixture::FileProfile("Mail " + std::to_string(i),
                                               "C:\\f" + std::to_string(i) + ".dat");
    if (i == 1) {
      p->Files.push_back("C:\\f5.dat");
      p->SchedulerActive = true;
      p->SetStart(EncodeTime(18, 30));
      p->SetDay(4, true);
    }
    profiles.push_back(std::move(p));
  }
  fx.Open(profiles);
  fx.Gate.Open();
  TFragorForm& form = fx.Form();
  const char* const items[][2] = {
      {"en", "mnuEnglish"}, {"ru", "mnuRussian"}, {"de", "mnuDeutsch"},   {"it", "mnuItalian"},
      {"ko", "mnuKorean"},  {"zh", "mnuChinese"}, {"hu", "mnuHungarian"}, {"ro", "mnuRomanian"}};
  for (const auto& [code, item] : items) {
    fx.Act(item)->trigger();
    QApplication::processEvents();
    const QString tag = QLatin1String(code);
    form.grab().save(out.filePath(QStringLiteral("main-%1.png").arg(tag)));
    SaveDialog(out.filePath(QStringLiteral("options-%1").arg(tag)), [&] {
      TOptions options = apptest::TAppFixture::DefaultOptions();
      ShowOptions(options, &form);
    });
    SaveDialog(out.filePath(QStringLiteral("props-%1").arg(tag)), [&] {
      ShowProfileProps(*apptest::TAppFixture::FileProfile("Mail", "C:\\f0.dat"), &form);
    });
    SaveDialog(out.filePath(QStringLiteral("analyze-%1").arg(tag)), [&] {
      TFileRegionList found;
      ShowAnalyze(found, &form);
    });
    SaveDialog(out.filePath(QStringLiteral("wizard-%1").arg(tag)), [&] {
      TProfileList found;
      ShowWizard({}, found, &form);
    });
  }
  return 0;
}
