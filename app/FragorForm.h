// The main window: the profile list, its commands, the scheduler, the run
// queue's notifications, the log panel, the tray icon and the window's
// life from creation to the saved settings at destruction.
//
// Everything here runs on the window's thread. Run threads reach the
// window only through queued notifications that carry copies of what they
// need (see TRunNotices), and read only the atomic stop flag.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include <QIcon>
#include <QList>
#include <QMainWindow>

#include "ConfigFile.h"
#include "Executor.h"
#include "Options.h"

class QAction;
class QCloseEvent;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QSystemTrayIcon;
class QTimer;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;
class QDockWidget;
class TMemoLogView;
struct TRunNotices;
struct TRunProgress;

class TFragorForm final : public QMainWindow {
  Q_OBJECT
 public:
  // Confirmation questions: true for Yes. Replaceable so tests answer them.
  using TConfirm = std::function<bool(const QString& text)>;

  // FormCreate: reads `configFileName` (missing or unreadable: no profiles,
  // default options) and builds the window. `trayAvailable` says whether
  // the desktop has a notification area; without one, minimising leaves
  // the window in the task bar.
  explicit TFragorForm(std::string configFileName, bool trayAvailable);
  // FormDestroy: saves the settings (shell integration first, then
  // config.cfg) and frees the rows' profiles.
  ~TFragorForm() override;

  // --- state ---
  bool IsBusy() const { return FRunningCount > 0 || FQueuedCount > 0; }
  // IsBusy, or a run thread that has not yet let go of the run lock.
  bool TasksPending() const;
  bool StopRequested() const { return FStopRequested->load(); }
  TOptions& Options() { return FOptions; }
  const TProfileList& Profiles() const { return profiles_; }
  int QueuedCount() const { return FQueuedCount; }
  int RunningCount() const { return FRunningCount; }
  TConfirm Confirm;

  // --- list ---
  void AddProfileItem(std::unique_ptr<TProfile> profile);
  // The row alone; callers adding many rebuild the tray's Run menu once.
  void AppendProfileRow(std::unique_ptr<TProfile> profile);
  void RefreshProfileItem(int row);
  void RefreshProfileList();
  void UpdateScheduleColumns();
  void BuildTrayRunMenu();
  void SetQueueCount(int count);
  void SetProfileState(std::int32_t id, TProfileState state);
  void AnimateTrayIcon(bool on);
  void ApplyOptions();
  void ApplyLogWindow();
  void SaveSettings();

  // --- runs ---
  void StartProfileRun(TProfile& profile);
  void StartFileRun(const std::string& path, std::uint8_t runMethod);
  void SchedulerTick();

  // --- language ---
  // Click handler of the Language items: `tag` indexes LanguageCodes.
  void SetLanguage(int tag);
  // Ticks the Language item whose code is exactly the option's.
  void CheckLanguageItem();

  // --- lifecycle ---
  void RestoreFromTray();
  // The end of the user's session: save and let every close succeed.
  void SessionEnding();
  // Applies the minimised start of FormCreate once the window is shown.
  void ShowAtStart();

  // The index of `row`'s profile, or -1.
  int RowOf(const QTreeWidgetItem* item) const;

 signals:
  // The close was granted and the exit wait is over: the program ends.
  void closeGranted();
  // Status panel 0 changed: a run started (the text names it) or ended
  // (empty). The tray tooltip follows the same text.
  void runStatusChanged(const QString& text);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  friend struct TRunNotices;
  // Runs the run threads' waiting notices; posted (by name) by TRunNotices.
  Q_INVOKABLE void DeliverRunNotices();
  void CreateActions();
  void CreateMenus();
  void CreateControls();
  void CreateTray();
  void CreateLanguageItems();
  // FormCreate's language set-up: the English texts are remembered, then
  // the window shows the option's language.
  void ApplyLanguageAtStart();
  void UpdateActions();
  bool FormCloseQuery();
  void FormClose();
  void MinimizeWindow();
  void FormResize();

  void ProfileRunStarted(std::int32_t id, const std::string& name,
                         const std::shared_ptr<TRunProgress>& progress);
  void ProfileRunFinished(std::int32_t id);
  void SetRunStatus(const QString& text);
  void FileRunStarted(const std::string& path, const std::shared_ptr<TRunProgress>& progress);
  // Shows the active run's progress (null: none) in the status bar and tray tip.
  void ShowProgress();
  void FileRunFinished();

  // Commands
  void actProfileAddExecute();
  void actProfileDeleteExecute();
  void actProfilePropsExecute();
  void actProfileRunExecute();
  void actProfileRunAllExecute();
  void actProfileStopExecute();
  void actProfileSelectAllExecute();
  void actToolsDefragmentFileExecute();
  void actToolsWizardExecute();
  void actToolsAnalyzeExecute();
  void actFileOptionsExecute();
  void actFileExitExecute();
  void actHelpAboutExecute();
  void TBXItem15Click();  // Help > "Visit home page"
  void actViewLogExecute();
  void actLogCopyExecute();
  void actLogSelectAllExecute();
  void actLogClearExecute();
  void lvProfilesDblClick();
  void TrayRunItemClick(int tag);
  bool actProfileDeleteUpdate() const;
  bool actProfilePropsUpdate() const;
  bool actProfileRunUpdate() const;
  bool actProfileRunAllUpdate() const;
  bool actProfileStopUpdate() const { return IsBusy(); }
  bool actLogCopyUpdate() const;
  QList<int> SelectedRows() const;
  // Runs `execute` only when `enabled` says so: a command checks its rule.
  QAction* Action(const char* name, const QString& caption, void (TFragorForm::*execute)(),
                  std::function<bool()> enabled = {});

  // State
  std::string configFileName_;
  bool trayAvailable_;
  bool FSessionEnding = false;
  bool FExitRequested = false;
  bool minimizedStart_ = false;
  bool closing_ = false;  // from a granted close on
  TOptions FOptions;
  TProfileList profiles_;  // one per row, in row order
  QTimer* FSchedulerTimer = nullptr;
  QSystemTrayIcon* FTrayIcon = nullptr;
  QList<QIcon> trayFrames_;
  QTimer* trayAnimation_ = nullptr;
  int trayFrame_ = 0;
  int FQueuedCount = 0;
  int FRunningCount = 0;
  // Shared with every run's stop test, so a run abandoned at the end of the
  // session never reads a destroyed window.
  std::shared_ptr<std::atomic<bool>> FStopRequested = std::make_shared<std::atomic<bool>>(false);
  TRunLock RunLock;
  std::shared_ptr<TRunNotices> notices_;

  // Controls
  QToolBar* tbxToolBar = nullptr;
  QDockWidget* pnlProfiles = nullptr;
  QDockWidget* pnlLog = nullptr;
  QTreeWidget* lvProfiles = nullptr;
  QPlainTextEdit* memoLog = nullptr;
  TMemoLogView* logView_ = nullptr;
  QLabel* statusPanel0_ = nullptr;
  QLabel* statusPanel1_ = nullptr;
  QProgressBar* statusProgress_ = nullptr;
  QLabel* statusProgressText_ = nullptr;
  QTimer* progressTimer_ = nullptr;
  std::shared_ptr<TRunProgress> progress_;  // the active run's
  QMenu* mnuViewLanguage = nullptr;
  QAction* mnuViewLog = nullptr;
  QMenu* popupTray = nullptr;
  QMenu* popuptrayRun = nullptr;
  QMenu* pmProfilesPopup = nullptr;
  QMenu* pmLogPopup = nullptr;
  QList<std::pair<QAction*, std::function<bool()>>> rules_;
  QTimer* idle_ = nullptr;
};
