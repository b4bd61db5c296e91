#include "OptionsDialog.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "CenterOnScreen.h"
#include "Dialogs.h"
#include "ShellEntries.h"
#include "SpinEdit.h"
#include "SystemOptionsPage.h"

namespace {

constexpr int kMaxLogLines = 999999;

// A page holding one group box, whose layout the caller fills.
QGroupBox* PageBox(QTabWidget* pages, const char* pageName, const QString& title) {
  auto* page = new QWidget;
  page->setObjectName(QString::fromLatin1(pageName));
  auto* box = new QGroupBox(page);
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(box);
  pages->addTab(page, title);
  return box;
}

}  // namespace

TformOptions::TformOptions(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("TformOptions"));
  setWindowTitle(tr("Options"));
  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  BuildGeneralPage();
  BuildConfirmationsPage();
  BuildLogPage();
  systemPage_ = MakeSystemOptionsPage(nullptr);
  if (systemPage_) PageControl1->addTab(systemPage_, systemPage_->Title());

  btnOK = new QPushButton(tr("OK"), this);
  btnOK->setObjectName(QStringLiteral("btnOK"));
  btnOK->setDefault(true);
  connect(btnOK, &QPushButton::clicked, this, &TformOptions::accept);
  auto* btnCancel = new QPushButton(tr("Cancel"), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnOK);
  buttons->addWidget(btnCancel);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(PageControl1);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);  // a fixed-size dialog box
  CenterWhenShown(this);

  PageControl1->setCurrentIndex(0);
  btnOK->setFocus();
}

QCheckBox* TformOptions::AddCheck(QGroupBox* box, const char* name, const QString& text,
                                  const QString& hint) {
  auto* check = new QCheckBox(text, box);
  check->setObjectName(QString::fromLatin1(name));
  check->setToolTip(hint);
  box->layout()->addWidget(check);
  return check;
}

void TformOptions::BuildGeneralPage() {
  QGroupBox* box = PageBox(PageControl1, "tabGeneral", tr("General"));
  new QVBoxLayout(box);
  cbStartup = AddCheck(box, "cbStartup", tr("Launch on startup"), tr("Launch program on Windows startup"));
  cbMinimizeOnStart = AddCheck(box, "cbMinimizeOnStart", tr("Minimize on start"),
                               tr("Minimize program window on start"));
  cbMinimizeOnClose = AddCheck(box, "cbMinimizeOnClose", tr("Minimize on close"),
                               tr("Minimize program window on close. Select 'File/Exit' menu item "
                                  "to exit application"));
  cbContextMenu = AddCheck(box, "cbContextMenu", tr("Windows Explorer context menu"),
                           tr("Add menu items to the Windows Explorer context menu"));
  fileVerbSupported_ = plat::FileVerbSupported();
  if (!fileVerbSupported_) {
    // Shown, so the page reads the same everywhere, but never on.
    cbContextMenu->setEnabled(false);
    cbContextMenu->setToolTip(tr("Not available on Linux: the files a Linux file manager shows "
                                 "are not on the volumes Contigra works on."));
  }
  cbAnimateIcon = AddCheck(box, "cbAnimateIcon", tr("Animate icon in tray"), QString());
  cbShowScheduler = AddCheck(box, "cbShowScheduler", tr("Show schedule"),
                             tr("Show schedule for every profile"));
  static_cast<QVBoxLayout*>(box->layout())->addStretch();
}

void TformOptions::BuildConfirmationsPage() {
  QGroupBox* box = PageBox(PageControl1, "tabConfirmations", tr("Confirmations"));
  new QVBoxLayout(box);
  cbConfirmExit = AddCheck(box, "cbConfirmExit", tr("On program exit"), tr("Ask confirmation on exit"));
  static_cast<QVBoxLayout*>(box->layout())->addStretch();
}

void TformOptions::BuildLogPage() {
  QGroupBox* box = PageBox(PageControl1, "tabLog", tr("Log"));
  cbLogLevel = new QComboBox(box);
  cbLogLevel->setObjectName(QStringLiteral("cbLogLevel"));
  cbLogLevel->addItems({tr("None"), tr("Short"), tr("Verbose")});
  connect(cbLogLevel, &QComboBox::currentIndexChanged, this, &TformOptions::UpdateControls);
  seMaxLog = MakeSpinEdit(box, "seMaxLog", 1, kMaxLogLines, 10);
  auto* lblLogLevel = new QLabel(tr("Log level:"), box);
  lblLogLevel->setObjectName(QStringLiteral("lblLogLevel"));
  lblLogLevel->setBuddy(cbLogLevel);
  auto* lblMaxLines = new QLabel(tr("Maximum number of lines in log window:"), box);
  lblMaxLines->setObjectName(QStringLiteral("lblMaxLines"));
  lblMaxLines->setBuddy(seMaxLog);

  auto* grid = new QGridLayout(box);
  grid->addWidget(lblLogLevel, 0, 0);
  grid->addWidget(cbLogLevel, 0, 1);
  grid->addWidget(lblMaxLines, 1, 0);
  grid->addWidget(seMaxLog, 1, 1);
  grid->setColumnStretch(2, 1);
  grid->setRowStretch(2, 1);
}

void TformOptions::LoadFrom(const TOptions& options) {
  cbMinimizeOnStart->setChecked(options.MinimizeOnStartup);
  cbMinimizeOnClose->setChecked(options.MinimizeOnClose);
  cbAnimateIcon->setChecked(options.AnimateTray);
  cbStartup->setChecked(options.Startup);
  cbContextMenu->setChecked(options.ContextMenu && fileVerbSupported_);
  cbLogLevel->setCurrentIndex(std::clamp(options.LogLevel, 0, 2));
  seMaxLog->setValue(std::clamp(options.LogMaxLines, 1, kMaxLogLines));
  cbConfirmExit->setChecked(options.ConfirmExit);
  cbShowScheduler->setChecked(options.ShowSchedule);
  UpdateControls();
}

void TformOptions::StoreTo(TOptions& options) const {
  options.MinimizeOnStartup = cbMinimizeOnStart->isChecked();
  options.MinimizeOnClose = cbMinimizeOnClose->isChecked();
  options.AnimateTray = cbAnimateIcon->isChecked();
  options.Startup = cbStartup->isChecked();
  options.ContextMenu = cbContextMenu->isChecked() && fileVerbSupported_;
  options.ConfirmExit = cbConfirmExit->isChecked();
  options.LogLevel = cbLogLevel->currentIndex();
  options.LogMaxLines = SpinEditNumber(seMaxLog);
  options.ShowSchedule = cbShowScheduler->isChecked();
}

void TformOptions::UpdateControls() { seMaxLog->setEnabled(cbLogLevel->currentIndex() != 0); }

void TformOptions::accept() {
  if (systemPage_ && !systemPage_->Save()) return;
  QDialog::accept();
}

bool ShowOptions(TOptions& options, QWidget* parent) {
  TformOptions form(parent);
  form.LoadFrom(options);
  if (form.exec() != QDialog::Accepted) return false;
  form.StoreTo(options);
  return true;
}
