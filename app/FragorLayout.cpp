// The window's controls, menus and tray icon.
#include <QDockWidget>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>

#include "FragorForm.h"
#include "MemoLogView.h"
#include "Profile.h"
#include "TrayFrames.h"
#include "Translator.h"

void TFragorForm::CreateControls() {
  resize(676, 520);
  setDockOptions(QMainWindow::AnimatedDocks);

  auto act = [this](const char* name) { return findChild<QAction*>(QString::fromLatin1(name)); };

  tbxToolBar = new QToolBar(this);
  tbxToolBar->setObjectName(QStringLiteral("tbxToolBar"));
  tbxToolBar->setIconSize(QSize(24, 24));
  tbxToolBar->setMovable(false);
  for (const char* name : {"actProfileAdd", "actProfileDelete", "actProfileProps", "-",
                           "actProfileRun", "actProfileRunAll", "actProfileStop", "-",
                           "actToolsAnalyze", "actToolsWizard", "-", "actViewLog"}) {
    if (name[0] == '-') tbxToolBar->addSeparator();
    else tbxToolBar->addAction(act(name));
  }
  addToolBar(Qt::TopToolBarArea, tbxToolBar);

  lvProfiles = new QTreeWidget(this);
  lvProfiles->setObjectName(QStringLiteral("lvProfiles"));
  lvProfiles->setRootIsDecorated(false);
  lvProfiles->setUniformRowHeights(true);
  lvProfiles->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lvProfiles->setSelectionBehavior(QAbstractItemView::SelectRows);
  lvProfiles->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lvProfiles->setIconSize(QSize(12, 12));
  lvProfiles->setContextMenuPolicy(Qt::CustomContextMenu);
  lvProfiles->setStyleSheet(QStringLiteral("QTreeView::item { border-right: 1px solid #d8d8d8;"
                                           " border-bottom: 1px solid #d8d8d8; }"));
  lvProfiles->setHeaderLabels({Tr("   Name"), Tr("Files"), Tr("Move to"), Tr("Time"),
                               Tr("Next start")});
  QHeaderView* header = lvProfiles->header();
  header->setSectionsClickable(false);
  header->setSectionsMovable(false);
  header->setStretchLastSection(false);
  header->setSectionResizeMode(1, QHeaderView::Stretch);
  for (const auto& [column, width] : {std::pair{0, 70}, {2, 60}, {3, 70}, {4, 130}})
    header->resizeSection(column, width);
  // Double clicks anywhere in the list, also below the last row (where
  // "Add..." is the answer), so the viewport's own event is watched.
  lvProfiles->viewport()->installEventFilter(this);
  lvProfiles->addAction(act("actProfileSelectAll"));

  pnlProfiles = new QDockWidget(Tr("Profiles"), this);
  pnlProfiles->setObjectName(QStringLiteral("pnlProfiles"));
  pnlProfiles->setFeatures(QDockWidget::NoDockWidgetFeatures);
  pnlProfiles->setWidget(lvProfiles);
  pnlProfiles->setMinimumHeight(120);

  memoLog = new QPlainTextEdit(this);
  memoLog->setObjectName(QStringLiteral("memoLog"));
  memoLog->setReadOnly(true);
  memoLog->setLineWrapMode(QPlainTextEdit::NoWrap);
  memoLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memoLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  mono.setFamilies({QStringLiteral("Courier New"), mono.family()});
  mono.setPointSize(8);
  memoLog->setFont(mono);
  memoLog->setContextMenuPolicy(Qt::CustomContextMenu);
  memoLog->addAction(act("actLogSelectAll"));
  memoLog->addAction(act("actLogCopy"));
  logView_ = new TMemoLogView(memoLog);

  pnlLog = new QDockWidget(Tr("Log"), this);
  pnlLog->setObjectName(QStringLiteral("pnlLog"));
  pnlLog->setFeatures(QDockWidget::DockWidgetClosable);
  pnlLog->setWidget(memoLog);
  // The panel's close button is the "Log window" command: it clears the
  // option, like the menu item and the toolbar button.
  pnlLog->toggleViewAction()->setVisible(false);
  pnlLog->installEventFilter(this);

  // The profiles take the free space above the log, so the main area is an
  // empty stand-in and both panels dock at the top, one under the other.
  auto* centre = new QWidget(this);
  centre->setMaximumHeight(0);
  setCentralWidget(centre);
  addDockWidget(Qt::TopDockWidgetArea, pnlProfiles, Qt::Vertical);
  addDockWidget(Qt::TopDockWidgetArea, pnlLog, Qt::Vertical);
  resizeDocks({pnlProfiles, pnlLog}, {240, 187}, Qt::Vertical);

  statusPanel0_ = new QLabel(this);
  statusPanel0_->setObjectName(QStringLiteral("StatusPanel0"));
  statusPanel0_->setMinimumWidth(50);
  // The status texts are built in the language of their moment.
  TTranslator::KeepUntranslated(statusPanel0_);
  statusProgress_ = new QProgressBar(this);
  statusProgress_->setObjectName(QStringLiteral("StatusProgress"));
  statusProgress_->setMaximumWidth(120);
  statusProgress_->setMaximumHeight(14);
  statusProgress_->setTextVisible(false);
  statusProgress_->hide();
  statusProgressText_ = new QLabel(this);
  statusProgressText_->setObjectName(QStringLiteral("StatusProgressText"));
  statusProgressText_->setMinimumWidth(50);
  TTranslator::KeepUntranslated(statusProgressText_);
  progressTimer_ = new QTimer(this);
  progressTimer_->setInterval(200);
  connect(progressTimer_, &QTimer::timeout, this, &TFragorForm::ShowProgress);
  statusPanel1_ = new QLabel(this);
  statusPanel1_->setObjectName(QStringLiteral("StatusPanel1"));
  statusPanel1_->setFixedWidth(200);
  TTranslator::KeepUntranslated(statusPanel1_);
  QStatusBar* bar = statusBar();
  bar->setObjectName(QStringLiteral("StatusBar1"));
  bar->addWidget(statusPanel0_, 3);
  bar->addWidget(statusProgress_);
  bar->addWidget(statusProgressText_, 2);
  bar->addPermanentWidget(statusPanel1_);
}

void TFragorForm::CreateMenus() {
  auto act = [this](const char* name) { return findChild<QAction*>(QString::fromLatin1(name)); };
  QMenuBar* bar = menuBar();
  bar->setObjectName(QStringLiteral("tbxMainMenu"));
  auto fill = [&](QMenu* menu, std::initializer_list<const char*> names) {
    for (const char* name : names) {
      if (name[0] == '-') menu->addSeparator();
      else menu->addAction(act(name));
    }
  };
  auto named = [](QMenu* menu, const char* name) {
    menu->setObjectName(QString::fromLatin1(name));
    return menu;
  };
  fill(named(bar->addMenu(Tr("&File")), "mnuFile"), {"actFileOptions", "-", "actFileExit"});
  QMenu* view = named(bar->addMenu(Tr("View")), "mnuView");
  mnuViewLanguage = named(view->addMenu(Tr("Language")), "mnuViewLanguage");
  CreateLanguageItems();
  mnuViewLog = view->addAction(Tr("Log window"));
  mnuViewLog->setObjectName(QStringLiteral("mnuViewLog"));
  mnuViewLog->setCheckable(true);
  mnuViewLog->setStatusTip(Tr("Shows/hides log window"));
  mnuViewLog->setToolTip(Tr("Shows/hides log window"));
  connect(mnuViewLog, &QAction::triggered, this, &TFragorForm::actViewLogExecute);
  fill(named(bar->addMenu(Tr("&Profile")), "mnuProfile"),
       {"actProfileAdd", "actProfileDelete", "actProfileSelectAll", "-", "actProfileRun",
        "actProfileRunAll", "actProfileStop", "-", "actProfileProps"});
  fill(named(bar->addMenu(Tr("&Tools")), "mnuTools"),
       {"actToolsDefragmentFile", "actToolsWizard", "actToolsAnalyze"});
  QMenu* help = named(bar->addMenu(Tr("&Help")), "mnuHelp");
  fill(help, {"actHelpAbout"});
  QAction* homePage = help->addAction(Tr("Visit home page"));
  homePage->setObjectName(QStringLiteral("TBXItem15"));
  connect(homePage, &QAction::triggered, this, &TFragorForm::TBXItem15Click);

  pmProfilesPopup = new QMenu(this);
  pmProfilesPopup->setObjectName(QStringLiteral("pmProfilesPopup"));
  fill(pmProfilesPopup, {"actProfileAdd", "actProfileDelete", "actProfileSelectAll",
                         "actProfileRun", "actProfileRunAll", "-", "actProfileProps"});
  connect(lvProfiles, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    pmProfilesPopup->popup(lvProfiles->viewport()->mapToGlobal(at));
  });
  pmLogPopup = new QMenu(this);
  pmLogPopup->setObjectName(QStringLiteral("pmLogPopup"));
  fill(pmLogPopup, {"actLogCopy", "actLogSelectAll", "actLogClear"});
  connect(memoLog, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { pmLogPopup->popup(memoLog->mapToGlobal(at)); });

  popupTray = new QMenu(this);
  popupTray->setObjectName(QStringLiteral("popupTray"));
  QAction* restore = popupTray->addAction(Tr("Restore"));
  restore->setObjectName(QStringLiteral("popuptrayRestore"));
  QFont bold = restore->font();
  bold.setBold(true);
  restore->setFont(bold);  // the default item
  connect(restore, &QAction::triggered, this, &TFragorForm::RestoreFromTray);
  popupTray->addSeparator();
  popuptrayRun = named(popupTray->addMenu(Tr("Run")), "popuptrayRun");
  // Profile names, and "All Profiles" rebuilt after every change of language.
  TTranslator::KeepChildrenUntranslated(popuptrayRun);
  fill(popupTray, {"actProfileStop", "actToolsDefragmentFile", "-", "actFileOptions",
                   "actHelpAbout", "actFileExit"});
}

void TFragorForm::CreateTray() {
  trayFrames_ = MakeTrayFrames();
  setWindowIcon(trayFrames_.front());
  FTrayIcon = new QSystemTrayIcon(trayFrames_.front(), this);
  FTrayIcon->setObjectName(QStringLiteral("FTrayIcon"));
  FTrayIcon->setToolTip(QStringLiteral("Contigra"));
  FTrayIcon->setContextMenu(popupTray);
  connect(FTrayIcon, &QSystemTrayIcon::activated, this,
          [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
              RestoreFromTray();
          });
  trayAnimation_ = new QTimer(this);
  trayAnimation_->setObjectName(QStringLiteral("TrayAnimation"));
  trayAnimation_->setInterval(100);
  connect(trayAnimation_, &QTimer::timeout, this, [this] {
    trayFrame_ = (trayFrame_ + 1) % TrayFrameCount;
    FTrayIcon->setIcon(trayFrames_.at(trayFrame_));
  });
}
