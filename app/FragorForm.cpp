// FormCreate: the controls, menus, commands and their enable rules, the
// tray icon and the scheduler timer, then the settings and the log view.
#include "FragorForm.h"

#include <QApplication>
#include <QDockWidget>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>

#include "DefragAPI.h"
#include "LanguageCodes.h"
#include "Log.h"
#include "MemoLogView.h"
#include "RunNotices.h"
#include "ShellIntegration.h"
#include "ToolbarImages.h"
#include "TrayFrames.h"
#include "Translator.h"

TFragorForm::TFragorForm(std::string configFileName, bool trayAvailable)
    : configFileName_(std::move(configFileName)), trayAvailable_(trayAvailable) {
  setObjectName(QStringLiteral("FragorForm"));
  setWindowTitle(QStringLiteral("Contigra"));
  TTranslator::KeepUntranslated(this);
  // The controls are made with their English texts, which the language
  // set-up below remembers; the facility's language until now is the
  // default of a configuration that names none.
  const std::string defaultLanguage = TTranslator::Instance().Language().toStdString();
  TTranslator::Instance().SelectLanguage(QStringLiteral("en"));
  Confirm = [this](const QString& text) {
    return QMessageBox::question(this, QStringLiteral("Contigra"), text,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
  };
  CreateActions();
  CreateControls();
  CreateMenus();
  // 2. The tray icon, frame 0.
  CreateTray();
  // 3. The scheduler.
  FSchedulerTimer = new QTimer(this);
  FSchedulerTimer->setObjectName(QStringLiteral("FSchedulerTimer"));
  FSchedulerTimer->setInterval(30000);
  connect(FSchedulerTimer, &QTimer::timeout, this, &TFragorForm::SchedulerTick);
  FSchedulerTimer->start();
  // 4. The run lock and the notices' way to this window.
  RunLock = MakeRunLock();
  notices_ = std::make_shared<TRunNotices>(this);
  // 6. Settings: profiles in file order, then the options.
  TProfileList loaded;
  LoadConfigFile(configFileName_, loaded, FOptions, defaultLanguage);
  LoadShellIntegration(FOptions);
  // 7.
  FOptions.Language = FixLanguage(FOptions.Language);
  // 8.
  ApplyLanguageAtStart();
  // 9.
  for (auto& profile : loaded) AppendProfileRow(std::move(profile));
  RefreshProfileList();
  SetQueueCount(FQueuedCount);
  ApplyLogWindow();
  UpdateScheduleColumns();
  BuildTrayRunMenu();
  SetQueueCount(0);
  // 10.
  minimizedStart_ = FOptions.MinimizeOnStartup;
  // 11.
  Logger.SetView(logView_);
  SetEngineLogLevel(FOptions.LogLevel);  // above 0 it also logs the system block
  Logger.SetMaxLines(FOptions.LogMaxLines);
  // Enable rules are evaluated when the program is idle; a zero-interval
  // timer fires whenever the event queue has run dry.
  idle_ = new QTimer(this);
  idle_->setInterval(0);
  connect(idle_, &QTimer::timeout, this, &TFragorForm::UpdateActions);
  idle_->start();
  UpdateActions();
}

QAction* TFragorForm::Action(const char* name, const QString& caption,
                             void (TFragorForm::*execute)(), std::function<bool()> enabled) {
  auto* action = new QAction(caption, this);
  action->setObjectName(QString::fromLatin1(name));
  connect(action, &QAction::triggered, this, [this, execute, enabled] {
    if (enabled && !enabled()) return;
    (this->*execute)();
  });
  if (enabled) rules_.append({action, enabled});
  return action;
}

void TFragorForm::CreateActions() {
  const QList<QIcon> icons = MakeToolbarImages();
  struct Row {
    const char* Name;
    const char* Caption;
    const char* Hint;
    QKeySequence Shortcut;
    int Image;
    void (TFragorForm::*Execute)();
    bool (TFragorForm::*Enabled)() const;
  };
  const Row rows[] = {
      {"actProfileAdd", "Add...", "Adds new profile", QKeySequence(Qt::Key_Insert), 0,
       &TFragorForm::actProfileAddExecute, nullptr},
      {"actProfileDelete", "Delete", "Deletes selected profile", QKeySequence(Qt::Key_Delete), 1,
       &TFragorForm::actProfileDeleteExecute, &TFragorForm::actProfileDeleteUpdate},
      {"actProfileSelectAll", "Select All", nullptr, QKeySequence(Qt::CTRL | Qt::Key_A), -1,
       &TFragorForm::actProfileSelectAllExecute, nullptr},
      {"actProfileProps", "Properties...", "Edits properties of the selected profile",
       QKeySequence(Qt::ALT | Qt::Key_Return), 2, &TFragorForm::actProfilePropsExecute,
       &TFragorForm::actProfilePropsUpdate},
      {"actProfileRun", "Run", "Runs selected profile", QKeySequence(Qt::Key_F9), 3,
       &TFragorForm::actProfileRunExecute, &TFragorForm::actProfileRunUpdate},
      {"actProfileRunAll", "Run All", "Runs all profiles", {}, 4,
       &TFragorForm::actProfileRunAllExecute, &TFragorForm::actProfileRunAllUpdate},
      {"actProfileStop", "Stop", "Interrupts defragmentation", {}, 8,
       &TFragorForm::actProfileStopExecute, &TFragorForm::actProfileStopUpdate},
      {"actToolsDefragmentFile", "Defragment file...", "Defragments file(s)", {}, -1,
       &TFragorForm::actToolsDefragmentFileExecute, nullptr},
      {"actToolsWizard", "Wizard...", "Creates profiles for the popular programs", {}, 7,
       &TFragorForm::actToolsWizardExecute, nullptr},
      {"actToolsAnalyze", "Analyze disk...",
       "Analyzes disk and defragments the most fragmented files", {}, 6,
       &TFragorForm::actToolsAnalyzeExecute, nullptr},
      {"actViewLog", "Log window", "Shows/hides log window", {}, 5,
       &TFragorForm::actViewLogExecute, nullptr},
      {"actFileOptions", "Options...", "Edits program options...", {}, -1,
       &TFragorForm::actFileOptionsExecute, nullptr},
      {"actFileExit", "Exit", nullptr, {}, -1, &TFragorForm::actFileExitExecute, nullptr},
      {"actHelpAbout", "About...", nullptr, QKeySequence(Qt::Key_F1), -1,
       &TFragorForm::actHelpAboutExecute, nullptr},
      {"actLogCopy", "Copy", nullptr, QKeySequence(Qt::CTRL | Qt::Key_C), -1,
       &TFragorForm::actLogCopyExecute, &TFragorForm::actLogCopyUpdate},
      {"actLogSelectAll", "Select all", nullptr, QKeySequence(Qt::CTRL | Qt::Key_A), -1,
       &TFragorForm::actLogSelectAllExecute, nullptr},
      {"actLogClear", "Clear log", nullptr, {}, -1, &TFragorForm::actLogClearExecute, nullptr},
  };
  for (const Row& row : rows) {
    std::function<bool()> rule;
    if (row.Enabled) rule = [this, f = row.Enabled] { return (this->*f)(); };
    QAction* action = Action(row.Name, Tr(row.Caption), row.Execute, rule);
    if (row.Hint) {
      action->setToolTip(Tr(row.Hint));
      action->setStatusTip(Tr(row.Hint));
    }
    if (!row.Shortcut.isEmpty()) action->setShortcut(row.Shortcut);
    if (row.Image >= 0) {
      action->setIcon(icons.at(row.Image));
      action->setProperty("imageIndex", row.Image);
    }
  }
  auto* viewLog = findChild<QAction*>(QStringLiteral("actViewLog"));
  viewLog->setCheckable(true);
  viewLog->setChecked(true);
  // The two Ctrl+A commands: each answers only while its own control has
  // the focus, so the key reaches the list or the log, whichever is active.
  findChild<QAction*>(QStringLiteral("actProfileSelectAll"))
      ->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  findChild<QAction*>(QStringLiteral("actLogSelectAll"))
      ->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  findChild<QAction*>(QStringLiteral("actLogCopy"))
      ->setShortcutContext(Qt::WidgetWithChildrenShortcut);
}
