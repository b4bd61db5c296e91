// Starting runs, their notifications, the queue count and the scheduler.
#include <QLabel>
#include <QProgressBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QTreeWidget>

#include "FragorForm.h"
#include "Translator.h"
#include "RunNotices.h"
#include "RunProgress.h"
#include "ToolbarImages.h"

bool TFragorForm::TasksPending() const { return IsBusy() || RunLock.use_count() > 1; }

void TFragorForm::StartProfileRun(TProfile& profile) {
  if (profile.State != psIdle) return;
  TExecutor* run = TExecutor::Create(profile, RunLock, true,
                                     [stop = FStopRequested](std::int32_t) { return stop->load(); });
  // The notices hold only what the window needs: the thread and its copy
  // may be gone by the time the window handles them.
  std::shared_ptr<TRunNotices> notices = notices_;
  auto progress = std::make_shared<TRunProgress>();
  run->OnStart = [notices, progress](TExecutor& e) {
    notices->ProfileStarted(e.Profile().Id, e.Profile().Name, progress);
  };
  run->OnFinish = [notices, progress](TExecutor& e) {
    progress->Finish();
    notices->ProfileFinished(e.Profile().Id);
  };
  TrackProgress(*run, progress);
  run->FreeOnTerminate = true;
  SetProfileState(profile.Id, psQueued);
  SetQueueCount(FQueuedCount + 1);
  run->Resume();
}

void TFragorForm::StartFileRun(const std::string& path, std::uint8_t runMethod) {
  TExecutor* run = TExecutor::Create(path, RunLock, true,
                                     [stop = FStopRequested](std::int32_t) { return stop->load(); });
  run->Profile().RunMethod = runMethod;
  std::shared_ptr<TRunNotices> notices = notices_;
  auto progress = std::make_shared<TRunProgress>();
  run->OnStart = [notices, progress](TExecutor& e) {
    notices->FileStarted(e.Profile().Files.empty() ? std::string() : e.Profile().Files.front(),
                         progress);
  };
  run->OnFinish = [notices, progress](TExecutor&) {
    progress->Finish();
    notices->FileFinished();
  };
  TrackProgress(*run, progress);
  run->FreeOnTerminate = true;
  SetQueueCount(FQueuedCount + 1);
  run->Resume();
}

void TFragorForm::SetProfileState(std::int32_t id, TProfileState state) {
  static const QList<QIcon> images = MakeStateImages();
  for (int row = 0; row < static_cast<int>(profiles_.size()); ++row) {
    TProfile& profile = *profiles_[static_cast<std::size_t>(row)];
    if (profile.Id != id) continue;
    profile.State = state;
    QTreeWidgetItem* item = lvProfiles->topLevelItem(row);
    item->setIcon(0, state == psIdle ? QIcon() : images.at(state == psQueued ? 0 : 1));
    item->setData(0, Qt::UserRole, state == psIdle ? -1 : (state == psQueued ? 0 : 1));
  }
}

void TFragorForm::SetQueueCount(int count) {
  FQueuedCount = count;
  statusPanel1_->setText(Tr("In queue:") + QStringLiteral(" ") + QString::number(count) +
                         QStringLiteral(" ") + Tr("profile(s)"));
}

void TFragorForm::AnimateTrayIcon(bool on) {
  if (!FOptions.AnimateTray) return;
  if (on) {
    trayFrame_ = 0;
    FTrayIcon->setIcon(trayFrames_.front());
    trayAnimation_->start();
  } else {
    trayAnimation_->stop();
  }
}

void TFragorForm::ProfileRunStarted(std::int32_t id, const std::string& name,
                                    const std::shared_ptr<TRunProgress>& progress) {
  progress_ = progress;
  SetProfileState(id, psRunning);
  AnimateTrayIcon(true);
  SetRunStatus(Tr("Defragmenting profile") + QStringLiteral(" '") + QString::fromStdString(name) +
               QStringLiteral("' ..."));
  SetQueueCount(FQueuedCount - 1);
  ++FRunningCount;
}

void TFragorForm::ProfileRunFinished(std::int32_t id) {
  progress_.reset();
  AnimateTrayIcon(false);
  SetProfileState(id, psIdle);
  SetRunStatus(QString());
  --FRunningCount;
}

void TFragorForm::FileRunStarted(const std::string& path,
                                 const std::shared_ptr<TRunProgress>& progress) {
  progress_ = progress;
  AnimateTrayIcon(true);
  SetRunStatus(Tr("Defragmenting file") + QStringLiteral(" '") + QString::fromStdString(path) +
               QStringLiteral("' ..."));
  SetQueueCount(FQueuedCount - 1);
  ++FRunningCount;
}

void TFragorForm::DeliverRunNotices() { notices_->Deliver(); }

void TFragorForm::FileRunFinished() {
  progress_.reset();
  AnimateTrayIcon(false);
  SetRunStatus(QString());
  --FRunningCount;
}

void TFragorForm::SetRunStatus(const QString& text) {
  statusPanel0_->setText(text);
  ShowProgress();
  if (progress_) progressTimer_->start();
  else progressTimer_->stop();
  emit runStatusChanged(text);
}

void TFragorForm::ShowProgress() {
  QString line;
  if (progress_) {
    const TRunProgress::TSnapshot now = progress_->Read();
    statusProgress_->setRange(0, static_cast<int>(qMax<std::int64_t>(now.Total, 1)));
    statusProgress_->setValue(static_cast<int>(qMin(now.Done, now.Total)));
    if (now.Total > 0)
      line = Tr("%1 of %2 files done").arg(now.Done).arg(now.Total);
    if (!now.Current.empty())
      line += QStringLiteral(": ") + QString::fromStdString(now.Current);
  }
  // Between two queued runs the bar stays: showing and hiding it for every
  // run would lay the status bar out twice per run, which a burst of
  // hundreds of short runs feels.
  const bool showBar = progress_ != nullptr || FQueuedCount > 0;
  if (showBar != statusProgress_->isVisibleTo(this)) statusProgress_->setVisible(showBar);
  statusProgressText_->setText(line);
  QString tip = QStringLiteral("Contigra");
  if (!statusPanel0_->text().isEmpty()) tip += QStringLiteral("\n") + statusPanel0_->text();
  if (!line.isEmpty()) tip += QStringLiteral("\n") + line;
  FTrayIcon->setToolTip(tip);
}

void TFragorForm::SchedulerTick() {
  // A stop request left over from an earlier "Stop" would end a scheduled
  // run at its first check; with nothing running it has nothing left to
  // stop, so it is dropped. While runs are busy it stays (the exit wait
  // relies on it).
  if (!IsBusy() && !closing_) *FStopRequested = false;
  const TDateTime now = Now();
  for (int row = 0; row < static_cast<int>(profiles_.size()); ++row) {
    TProfile& profile = *profiles_[static_cast<std::size_t>(row)];
    if (!profile.SchedulerActive || profile.NextStart == 0 || profile.NextStart > now) continue;
    StartProfileRun(profile);
    profile.UpdateNextStart();
    RefreshProfileItem(row);
  }
}
