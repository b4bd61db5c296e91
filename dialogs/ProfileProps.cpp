// The properties dialog's pages, the filling and writing back of a profile,
// the scheduler controls and the entry point.
#include "ProfileProps.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimeEdit>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ActionButton.h"
#include "CenterOnScreen.h"
#include "Dialogs.h"

namespace {

QTime TimeOfDay(TDateTime value) {
  int hour = 0, minute = 0, second = 0;
  DecodeTime(TimeOf(value), hour, minute, second);
  return QTime(hour, minute, second);
}

QString Utf8(const std::string& text) { return QString::fromStdString(text); }

constexpr int kMeasureFlushMs = 50;

}  // namespace

TProfilePropsForm::TProfilePropsForm(QWidget* parent, const TLocaleTimeFlags& timeFlags)
    : QDialog(parent),
      measureFlush_(new QTimer(this)),
      measures_([this] {
        QMetaObject::invokeMethod(measureFlush_, qOverload<>(&QTimer::start), Qt::QueuedConnection);
      }),
      timeFormat_(TimePickerFormat(timeFlags)) {
  setObjectName(QStringLiteral("TProfilePropsForm"));
  setWindowTitle(tr("Profile properties"));
  setMinimumSize(500, 363);
  resize(560, 400);
  CenterWhenShown(this);
  BuildActions();
  measureFlush_->setSingleShot(true);
  measureFlush_->setInterval(kMeasureFlushMs);
  connect(measureFlush_, &QTimer::timeout, this, &TProfilePropsForm::ApplyMeasures);

  PC = new QTabWidget(this);
  PC->setObjectName(QStringLiteral("PC"));
  PC->addTab(BuildGeneralPage(), tr("General"));
  PC->addTab(BuildFilesPage(), tr("Included file(s)"));
  PC->addTab(BuildSchedulerPage(), tr("Scheduler"));
  connect(PC, &QTabWidget::currentChanged, this, &TProfilePropsForm::PCChange);

  auto* btnOK = new QPushButton(tr("OK"), this);
  btnOK->setObjectName(QStringLiteral("btnOK"));
  btnOK->setDefault(true);
  connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
  auto* btnCancel = new QPushButton(tr("Cancel"), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnOK);
  buttons->addWidget(btnCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(PC, 1);
  layout->addLayout(buttons);

  // FormCreate: the General page first; drops only on the files page.
  PC->setCurrentIndex(0);
  PCChange(0);
  UpdateActions();
}

// Before any member goes: the worker posts to this form.
TProfilePropsForm::~TProfilePropsForm() { measures_.Stop(); }

QWidget* TProfilePropsForm::BuildGeneralPage() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("tabProfile"));
  edProfileName = new QLineEdit(page);
  edProfileName->setObjectName(QStringLiteral("edProfileName"));
  comboPosition = new QComboBox(page);
  comboPosition->setObjectName(QStringLiteral("comboPosition"));
  comboPosition->addItems({tr("start of disk"), tr("end of disk")});
  comboPosition->setCurrentIndex(0);

  auto* nameLabel = new QLabel(tr("Profile name"), page);
  nameLabel->setBuddy(edProfileName);
  auto* positionLabel = new QLabel(tr("Move files to the"), page);
  positionLabel->setBuddy(comboPosition);

  auto* layout = new QGridLayout(page);
  layout->addWidget(nameLabel, 0, 0, 1, 2);
  layout->addWidget(edProfileName, 1, 0, 1, 2);
  layout->addItem(new QSpacerItem(0, 8), 2, 0);
  layout->addWidget(positionLabel, 3, 0);
  layout->addWidget(comboPosition, 3, 1, Qt::AlignLeft);
  layout->setColumnStretch(1, 1);
  layout->setRowStretch(4, 1);
  return page;
}

QWidget* TProfilePropsForm::BuildFilesPage() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("tabIncluded"));
  BuildFileList();
  lvFiles->setParent(page);

  auto* column = new QVBoxLayout;
  const std::pair<const char*, QAction*> buttons[] = {{"btnAddFile", actAddFile},
                                                      {"btnAddDir", actAddDir},
                                                      {"btnDelete", actDelete},
                                                      {"btnDeleteAll", actDeleteAll},
                                                      {"btnRescan", actRescan}};
  for (const auto& [name, action] : buttons) {
    auto* button = new QPushButton(page);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    BindButton(button, action);
    column->addWidget(button);
  }
  column->addStretch();

  auto* hint = new QLabel(tr("Click on the 'Add file' or 'Add dir' buttons or drag and drop files "
                             "into this window from the Windows Explorer"),
                          page);
  hint->setObjectName(QStringLiteral("Label4"));
  hint->setWordWrap(true);

  auto* layout = new QGridLayout(page);
  layout->addWidget(lvFiles, 0, 0);
  layout->addLayout(column, 0, 1);
  layout->addWidget(hint, 1, 0, 1, 2);
  layout->setRowStretch(0, 1);
  layout->setColumnStretch(0, 1);
  return page;
}

QWidget* TProfilePropsForm::BuildSchedulerPage() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("tabScheduler"));
  cbSchedulerActive = new QCheckBox(tr("Activate scheduler"), page);
  cbSchedulerActive->setObjectName(QStringLiteral("cbSchedulerActive"));
  connect(cbSchedulerActive, &QCheckBox::clicked, this, &TProfilePropsForm::cbSchedulerActiveClick);

  auto* layout = new QVBoxLayout(page);
  layout->addWidget(cbSchedulerActive);
  layout->addWidget(BuildSchedulerParams());
  layout->addStretch();
  return page;
}

QGroupBox* TProfilePropsForm::BuildSchedulerParams() {
  auto* box = new QGroupBox;
  box->setObjectName(QStringLiteral("gbSchedulerParams"));
  dtpSchedulerStart = new QTimeEdit(box);
  dtpSchedulerStart->setObjectName(QStringLiteral("dtpSchedulerStart"));
  dtpSchedulerStart->setDisplayFormat(timeFormat_);
  dtpSchedulerStart->setTime(QTime(0, 0));
  auto* startLabel = new QLabel(tr("Start time:"), box);
  startLabel->setObjectName(QStringLiteral("Label1"));
  startLabel->setBuddy(dtpSchedulerStart);

  auto* grid = new QGridLayout(box);
  grid->addWidget(startLabel, 0, 0);
  grid->addWidget(dtpSchedulerStart, 0, 1, Qt::AlignLeft);
  static const char* const dayNames[7] = {
      QT_TR_NOOP("Monday"), QT_TR_NOOP("Tuesday"),  QT_TR_NOOP("Wednesday"), QT_TR_NOOP("Thursday"),
      QT_TR_NOOP("Friday"), QT_TR_NOOP("Saturday"), QT_TR_NOOP("Sunday")};
  for (int day = 0; day < 7; ++day) {
    auto* check = new QCheckBox(tr(dayNames[day]), box);
    check->setObjectName(QStringLiteral("cb%1").arg(day + 1));
    if (day >= 5) {
      QFont bold = check->font();
      bold.setBold(true);
      check->setFont(bold);
    }
    // Monday over Tuesday, Wednesday over Thursday, Friday over Saturday,
    // Sunday alone.
    grid->addWidget(check, 1 + day % 2, day / 2);
    cbDays[day] = check;
  }
  bCheckAll = new QPushButton(tr("Check all"), box);
  bCheckAll->setObjectName(QStringLiteral("bCheckAll"));
  bCheckAll->setAutoDefault(false);
  connect(bCheckAll, &QPushButton::clicked, this, [this] { SetAllDays(true); });
  bResetAll = new QPushButton(tr("Reset all"), box);
  bResetAll->setObjectName(QStringLiteral("bResetAll"));
  bResetAll->setAutoDefault(false);
  connect(bResetAll, &QPushButton::clicked, this, [this] { SetAllDays(false); });
  auto* dayButtons = new QHBoxLayout;
  dayButtons->addWidget(bCheckAll);
  dayButtons->addWidget(bResetAll);
  dayButtons->addStretch();
  grid->addLayout(dayButtons, 3, 0, 1, 4);
  grid->setColumnStretch(4, 1);
  return box;
}

void TProfilePropsForm::LoadFrom(const TProfile& profile) {
  // One insertion and one batch of jobs: a profile may hold thousands.
  QList<QTreeWidgetItem*> rows;
  for (const std::string& path : profile.Files)
    if (QTreeWidgetItem* row = NewRow(path)) rows.append(row);
  lvFiles->addTopLevelItems(rows);
  Measure(rows);
  UpdateActions();
  edProfileName->setText(Utf8(profile.Name));
  comboPosition->setCurrentIndex(profile.RunMethod == 0 ? 0 : 1);
  cbSchedulerActive->setChecked(profile.SchedulerActive);
  dtpSchedulerStart->setTime(TimeOfDay(profile.Start));
  for (int day = 0; day < 7; ++day) cbDays[day]->setChecked(profile.GetDay(day));
  cbSchedulerActiveClick();
}

void TProfilePropsForm::StoreTo(TProfile& profile) const {
  profile.Files.clear();
  for (int i = 0; i < EntryCount(); ++i) profile.Files.push_back(Entry(i).Path);
  profile.SetName(edProfileName->text().toStdString());
  profile.RunMethod = static_cast<std::uint8_t>(comboPosition->currentIndex());
  profile.SchedulerActive = cbSchedulerActive->isChecked();
  const QTime start = dtpSchedulerStart->time();
  profile.SetStart(EncodeTime(start.hour(), start.minute(), start.second()));
  for (int day = 0; day < 7; ++day) profile.SetDay(day, cbDays[day]->isChecked());
}

void TProfilePropsForm::cbSchedulerActiveClick() {
  const bool active = cbSchedulerActive->isChecked();
  dtpSchedulerStart->setEnabled(active);
  for (QCheckBox* day : cbDays) day->setEnabled(active);
  bCheckAll->setEnabled(active);
  bResetAll->setEnabled(active);
}

void TProfilePropsForm::SetAllDays(bool value) {
  for (QCheckBox* day : cbDays) day->setChecked(value);
}

int ShowProfileProps(TProfile& profile, QWidget* parent) {
  TProfilePropsForm form(parent);
  form.LoadFrom(profile);
  const int result = form.exec();
  if (result == QDialog::Accepted) form.StoreTo(profile);
  return result;
}
