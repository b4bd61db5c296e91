// Saves a picture of every dialog, filled with sample data, for looking at
// layouts by eye. Not a test: run it on a display (for instance
//   xvfb-run -s "-screen 0 1280x800x24" dialogs_screenshots OUTDIR
// ) and open the PNG files.
#include <cstdio>
#include <functional>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

#include "AboutDialog.h"
#include "Analyze.h"
#include "Dialogs.h"
#include "DriveEntryDialog.h"
#include "OptionsDialog.h"
#include "ProfileProps.h"
#include "SimPlatform.h"
#include "VolumeBrowser.h"
#include "WizardDialog.h"

namespace {

QString gFolder;

void Save(QWidget* window, const char* name) {
  window->show();
  window->activateWindow();
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  const QString file = QDir(gFolder).filePath(QString::fromLatin1(name) + ".png");
  window->grab().save(file);
  std::printf("%s\n", qPrintable(file));
}

void SampleVolume(sim::SimPlatform& sim) {
  sim::SimVolume& c = sim.AddVolume('C', 400000);
  std::int64_t lcn = 100;
  const auto add = [&](const std::string& path, int fragments, std::int64_t size) {
    std::vector<sim::Extent> extents;
    for (int i = 0; i < fragments; ++i, lcn += 3) extents.push_back({lcn, 2});
    c.AddFile(path, extents, size);
  };
  add("Mail\\Inbox\\messages.mbx", 212, 1610612736);
  add("Mail\\Inbox\\messages.idx", 57, 4404019);
  add("Mail\\Sent\\messages.mbx", 96, 734003200);
  add("Mail\\Sent\\messages.idx", 31, 1048575);
  add("Documents and Settings\\ann\\Local Settings\\Application Data\\Identities\\Mail\\Inbox.dbx",
      44, 98566144);
  add("Projects\\build.log", 3, 1023);
  sim.AddVolume('D', 100000).AddFolder("Backup");
}

class SampleRegistry : public plat::UserRegistry {
 public:
  std::string ReadString(const std::string& key, const std::string& name) override {
    if (name == "Working Directory") return "C:\\Mail\\";
    if (name == "Store Root" && key.find("{A}") != std::string::npos) return "C:\\Store\\A";
    return {};
  }
  std::vector<std::string> SubkeyNames(const std::string&) override { return {"{A}"}; }
};

void Properties() {
  TProfile profile;
  profile.Name = "Mail stores";
  profile.Files = {"C:\\Mail\\Inbox\\messages.mbx", "C:\\Mail\\Inbox\\messages.idx",
                   "C:\\Mail\\Sent\\", "C:\\Projects\\build.log", "C:\\Missing\\gone.dat"};
  profile.SchedulerActive = true;
  profile.SetStart(EncodeTime(22, 30));
  profile.SetDay(0, true);
  profile.SetDay(5, true);
  TProfilePropsForm form;
  form.LoadFrom(profile);
  auto* pages = form.findChild<QTabWidget*>("PC");
  Save(&form, "props-general");
  pages->setCurrentIndex(1);
  form.findChild<QTreeWidget*>("lvFiles")->topLevelItem(1)->setSelected(true);
  Save(&form, "props-files");
  pages->setCurrentIndex(2);
  Save(&form, "props-scheduler");
  form.resize(form.minimumSize());
  pages->setCurrentIndex(1);
  Save(&form, "props-files-minimum");
}

// A drive table with a usable image, a file that holds no volume and a
// missing device, in a configuration folder of its own.
void SampleDriveTable() {
  const QString folder = QDir(gFolder).filePath("config");
  QDir().mkpath(folder + "/contigra");
  const QString image = QDir(gFolder).filePath("backup.img");
  QFile file(image);
  if (file.open(QIODevice::WriteOnly)) file.resize(16 << 20);
  file.close();
  QProcess::execute("mkntfs", {"-F", "-Q", "-q", "-L", "BACKUP", image});
  const QString zeros = QDir(gFolder).filePath("zeros.img");
  QFile empty(zeros);
  if (empty.open(QIODevice::WriteOnly)) empty.resize(1 << 20);
  empty.close();
  QFile table(folder + "/contigra/drives");
  if (table.open(QIODevice::WriteOnly))
    table.write(("E=" + image + "\nF=" + zeros + "\nG=/dev/disk/by-label/WINDOWS\n").toUtf8());
  qputenv("XDG_CONFIG_HOME", folder.toUtf8());
}

void Options() {
  SampleDriveTable();
  TOptions options;
  options.LogLevel = 1;
  options.LogMaxLines = 1000;
  TformOptions form;
  form.LoadFrom(options);
  auto* pages = form.findChild<QTabWidget*>("PageControl1");
  const char* names[] = {"options-general", "options-confirmations", "options-log", "options-drives"};
  for (int i = 0; i < pages->count() && i < 4; ++i) {
    pages->setCurrentIndex(i);
    Save(&form, names[i]);
  }
}

void Analyze() {
  TFileRegionList list;
  TformAnalyze form(list);
  form.findChild<QLineEdit*>("edtPath")->setText("C:\\");
  Save(&form, "analyze-idle");
  QMetaObject::invokeMethod(form.findChild<QWidget*>("btnAnalyze"), "click");
  list[1].Checked = false;
  list[3].Checked = false;
  Save(&form, "analyze-done");
  form.resize(form.minimumSize());
  Save(&form, "analyze-minimum");
}

void AnalyzeScanning(sim::SimPlatform& sim) {
  TFileRegionList list;
  TformAnalyze form(list);
  form.resize(540, 480);
  form.show();
  int requests = 0;
  sim.BeforeRequest = [&](std::uint32_t, int) {
    if (++requests == 3) Save(&form, "analyze-scanning");
  };
  QMetaObject::invokeMethod(form.findChild<QWidget*>("btnAnalyze"), "click");
  sim.BeforeRequest = nullptr;
}

void Others() {
  SampleRegistry registry;
  TWizardForm wizard({"The Bat!"}, registry);
  Save(&wizard, "wizard");
  TAboutForm about;
  about.SetProgram("Contigra", TAboutForm::VersionText(GetVersionNumbers(), "beta"));
  Save(&about, "about");
  TDriveEntryDialog drive(nullptr, {'C', 'E', 'H'}, 'E', {"/srv/images/windows-disk.img", 2});
  Save(&drive, "drive-entry");
  TProfilePropsForm props;
  props.AddEntry("C:\\Projects\\build.log");
  QTimer::singleShot(200, [] {
    if (QWidget* box = QApplication::activeModalWidget()) {
      Save(box, "props-delete-all");
      box->close();
    }
  });
  QMetaObject::invokeMethod(props.findChild<QAction*>("actDeleteAll"), "trigger");
  TVolumeBrowser files(TVolumeBrowser::Mode::Files, QString());
  files.Reveal("C:\\Mail\\Inbox\\messages.idx")->setSelected(true);
  Save(&files, "browser-files");
  TVolumeBrowser folder(TVolumeBrowser::Mode::Folder, "Select directory");
  folder.Reveal("C:\\Mail\\Sent")->setSelected(true);
  Save(&folder, "browser-folder");
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  gFolder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
  QDir().mkpath(gFolder);
  sim::ScopedSimPlatform sim;
  SampleVolume(*sim);
  Properties();
  Options();
  Analyze();
  AnalyzeScanning(*sim);
  Others();
  return 0;
}
