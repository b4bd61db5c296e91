#include "AppTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QStatusBar>
#include <QTest>
#include <QTreeWidget>

#include "Platform.h"

namespace apptest {

bool WaitUntil(const std::function<bool()>& done, int ms) {
  for (int waited = 0; !done(); waited += 5) {
    if (waited >= ms) return false;
    QTest::qWait(5);
  }
  return true;
}

void TGate::Wait() {
  std::unique_lock lock(mutex_);
  ++waiting_;
  changed_.wait(lock, [this] { return open_; });
  --waiting_;
}

void TGate::Open() {
  {
    std::lock_guard lock(mutex_);
    open_ = true;
  }
  changed_.notify_all();
}

int TGate::Waiting() {
  std::lock_guard lock(mutex_);
  return waiting_;
}

TDateTime FixedNow() { return EncodeDateTime(2026, 12, 11, 10, 0, 0); }

TAppFixture::TAppFixture() {
  previousClock_ = SetClock([this] { return Clock; });
  sim::SimVolume& c = Sim->AddVolume('C', 4096);
  // Each file in two pieces, so a run has blocks to move.
  for (int i = 0; i < 8; ++i) {
    const std::int64_t base = 100 + i * 40;
    c.AddFile("f" + std::to_string(i) + ".dat", {{base, 2}, {base + 20, 2}});
  }
  Sim->BeforeRequest = [this](std::uint32_t, int) { Gate.Wait(); };
}

TAppFixture::~TAppFixture() {
  Close();
  SetClock(previousClock_);
}

std::unique_ptr<TProfile> TAppFixture::FileProfile(const std::string& name,
                                                   const std::string& file) {
  auto profile = std::make_unique<TProfile>();
  profile->SetName(name);
  profile->Files.push_back(file);
  return profile;
}

TOptions TAppFixture::DefaultOptions() {
  TOptions options;
  options.Language = "en_US";
  options.ShowLogWindow = true;
  options.ShowSchedule = true;
  options.LogMaxLines = 1000;
  return options;
}

void TAppFixture::Open(const TProfileList& profiles, const TOptions& options) {
  SaveConfigFile(ConfigPath(), profiles, options);
  form_ = std::make_unique<TFragorForm>(ConfigPath(), false);
  form_->Confirm = [this](const QString& text) {
    Questions.push_back(text);
    return AnswerYes;
  };
  form_->show();
  QApplication::processEvents();
}

void TAppFixture::Close() {
  Gate.Open();
  if (!form_) return;
  WaitUntil([this] { return !form_->TasksPending(); }, 10000);
  form_.reset();
}

QTreeWidget* TAppFixture::List() {
  return form_->findChild<QTreeWidget*>(QStringLiteral("lvProfiles"));
}

QAction* TAppFixture::Act(const char* name) {
  return form_->findChild<QAction*>(QString::fromLatin1(name));
}

bool TAppFixture::Enabled(const char* name) {
  QApplication::processEvents();
  QApplication::processEvents();
  return Act(name)->isEnabled();
}

QString TAppFixture::StatusText(int panel) {
  return form_->findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(panel))->text();
}

void TAppFixture::Select(std::initializer_list<int> rows) {
  List()->clearSelection();
  for (int row : rows) List()->topLevelItem(row)->setSelected(true);
  // As for a user: the commands' rules are evaluated before the next click.
  QApplication::processEvents();
}

std::string TAppFixture::ConfigPath() const {
  return dir_.filePath(QStringLiteral("config.cfg")).toStdString();
}

TProfileList TAppFixture::LoadSaved(TOptions& options) const {
  TProfileList profiles;
  LoadConfigFile(ConfigPath(), profiles, options, "");
  return profiles;
}

}  // namespace apptest
