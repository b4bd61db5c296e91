// The analyze dialog's controls, actions and entry point.
#include "Analyze.h"

#include <algorithm>

#include <QAction>
#include <QComboBox>
#include <QFormLayout>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "ActionButton.h"
#include "AnalyzeList.h"
#include "CenterOnScreen.h"
#include "CheckBoxDelegate.h"
#include "Dialogs.h"
#include "SearchAnimation.h"
#include "SpinEdit.h"

namespace {

QLabel* NamedLabel(const char* name, const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  return label;
}

QLabel* ValueLabel(const char* name, const QString& text, QWidget* parent) {
  QLabel* label = NamedLabel(name, text, parent);
  QFont bold = label->font();
  bold.setBold(true);
  label->setFont(bold);
  return label;
}

QPushButton* ActionButton(const char* name, QAction* action, QWidget* parent) {
  auto* button = new QPushButton(parent);
  button->setObjectName(QString::fromLatin1(name));
  BindButton(button, action);
  return button;
}

}  // namespace

std::int64_t MinimumSizeBytes(int value, int unit) {
  return std::int64_t{value} << (10 * (unit + 1));
}

TformAnalyze::TformAnalyze(TFileRegionList& list, QWidget* parent) : QDialog(parent), list_(list) {
  setObjectName(QStringLiteral("TformAnalyze"));
  setWindowTitle(tr("Analyze disk"));
  setMinimumSize(350, 320);
  resize(540, 480);
  setSizeGripEnabled(true);
  CenterWhenShown(this);
  BuildActions();

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ActionButton("btnDefragment", actDefragment, this));
  btnCancel = new QPushButton(tr("Cancel"), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  btnCancel->setAutoDefault(false);
  connect(btnCancel, &QPushButton::clicked, this, &TformAnalyze::reject);
  buttons->addWidget(btnCancel);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(BuildParameters(), 1);
  layout->addLayout(buttons);
  btnAnalyze->setFocus();
}

void TformAnalyze::BuildActions() {
  actAnalyze = MakeAction(this, "actAnalyze", tr("Analyze"));
  actDefragment = MakeAction(this, "actDefragment", tr("Defragment"));
  actStop = MakeAction(this, "actStop", tr("Stop"));
  actSelectDir = MakeAction(this, "actSelectDir", tr("Select"));
  actSelect = MakeAction(this, "actSelect", tr("Check"));
  actReset = MakeAction(this, "actReset", tr("Reset"));
  actSelectAll = MakeAction(this, "actSelectAll", tr("Check all"));
  actUnselectAll = MakeAction(this, "actUnselectAll", tr("Reset all"));
  actStop->setEnabled(false);
  actDefragment->setEnabled(false);
  connect(actAnalyze, &QAction::triggered, this, &TformAnalyze::actAnalyzeExecute);
  connect(actDefragment, &QAction::triggered, this, &QDialog::accept);
  connect(actStop, &QAction::triggered, this, &TformAnalyze::actStopExecute);
  connect(actSelectDir, &QAction::triggered, this, &TformAnalyze::actSelectDirExecute);
  connect(actSelect, &QAction::triggered, this, [this] { SetSelectedChecked(true); });
  connect(actReset, &QAction::triggered, this, [this] { SetSelectedChecked(false); });
  connect(actSelectAll, &QAction::triggered, this, [this] { SetAllChecked(true); });
  connect(actUnselectAll, &QAction::triggered, this, [this] { SetAllChecked(false); });
}

QWidget* TformAnalyze::BuildParameters() {
  auto* box = new QGroupBox(tr(" Parameters "), this);
  box->setObjectName(QStringLiteral("gbWorkspace"));
  edtPath = new QLineEdit(QStringLiteral("C:\\"), box);
  edtPath->setObjectName(QStringLiteral("edtPath"));
  seMinFragments = MakeSpinEdit(box, "seMinFragments", 2, 99999);
  seMinFragments->setValue(30);
  seMinSize = MakeSpinEdit(box, "seMinSize", 0, 99999);
  cbMinSizePoints = new QComboBox(box);
  cbMinSizePoints->setObjectName(QStringLiteral("cbMinSizePoints"));
  cbMinSizePoints->addItems({tr("KBytes"), tr("MBytes"), tr("GBytes")});
  cbMinSizePoints->setCurrentIndex(0);
  btnAnalyze = ActionButton("btnAnalyze", actAnalyze, box);
  btnAnalyze->setDefault(true);
  btnStop = ActionButton("btnStop", actStop, box);
  BuildList(box);
  lblFoundValue = ValueLabel("lblFoundValue", QStringLiteral("--"), box);
  lblStatusValue = ValueLabel("lblStatusValue", tr("Not started"), box);
  // A long folder path must not widen the window: the value is clipped.
  lblStatusValue->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  LayOutParameters(box);
  return box;
}

void TformAnalyze::LayOutParameters(QWidget* box) {
  auto* btnSelect = new QPushButton(QStringLiteral("..."), box);
  btnSelect->setObjectName(QStringLiteral("btnSelect"));
  btnSelect->setAutoDefault(false);
  btnSelect->setToolTip(actSelectDir->text());
  btnSelect->setFixedWidth(btnSelect->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 24);
  connect(btnSelect, &QPushButton::clicked, actSelectDir, &QAction::trigger);
  auto* bevel = new QFrame(box);
  bevel->setObjectName(QStringLiteral("Bevel1"));
  bevel->setFrameShape(QFrame::HLine);
  bevel->setFrameShadow(QFrame::Sunken);

  // In a narrow window a field moves under its label rather than clip it.
  auto* fields = new QFormLayout;
  fields->setRowWrapPolicy(QFormLayout::WrapLongRows);
  fields->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
  auto* pathRow = new QHBoxLayout;
  pathRow->addWidget(edtPath, 1);
  pathRow->addWidget(btnSelect);
  auto* sizeRow = new QHBoxLayout;
  sizeRow->addWidget(seMinSize);
  sizeRow->addWidget(cbMinSizePoints);
  sizeRow->addStretch();
  fields->addRow(NamedLabel("lblDisk", tr("Path:"), box), pathRow);
  fields->addRow(NamedLabel("lblFragments", tr("Number of fragments:"), box), seMinFragments);
  fields->addRow(NamedLabel("lblFileSizeGreaterThan", tr("File size greater than or equal to:"), box), sizeRow);

  auto* run = new QHBoxLayout;
  run->addStretch();
  run->addWidget(btnAnalyze);
  run->addWidget(btnStop);
  auto* status = new QHBoxLayout;
  status->addWidget(NamedLabel("lblFound", tr("Found:"), box));
  status->addWidget(lblFoundValue);
  status->addSpacing(16);
  status->addWidget(NamedLabel("lblStatus", tr("Status:"), box));
  status->addWidget(lblStatusValue, 1);
  auto* layout = new QVBoxLayout(box);
  layout->addLayout(fields);
  layout->addWidget(bevel);
  layout->addLayout(run);
  layout->addWidget(lvFiles, 1);
  layout->addLayout(status);
}

void TformAnalyze::BuildList(QWidget* parent) {
  lvFiles = new TResultListView(parent);
  lvFiles->setObjectName(QStringLiteral("lvFiles"));
  model_ = new TAnalyzeModel(list_, lvFiles);
  lvFiles->setModel(model_);
  lvFiles->setItemDelegate(new TCheckBoxDelegate(lvFiles));
  lvFiles->setRootIsDecorated(false);
  lvFiles->setUniformRowHeights(true);
  lvFiles->setAllColumnsShowFocus(true);
  lvFiles->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lvFiles->setSelectionBehavior(QAbstractItemView::SelectRows);
  lvFiles->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lvFiles->setTextElideMode(Qt::ElideMiddle);
  QHeaderView* header = lvFiles->header();
  header->setSectionsClickable(true);
  header->setStretchLastSection(false);
  header->setSectionResizeMode(0, QHeaderView::Stretch);
  // The number columns are as wide as their widest text, so the paths keep
  // what is left even in a narrow window.
  const QFontMetrics metrics = lvFiles->fontMetrics();
  header->resizeSection(1, metrics.horizontalAdvance(tr("Fragments")) + 24);
  header->resizeSection(2, std::max(80, metrics.horizontalAdvance(QStringLiteral("8,888.88 MB")) + 16));
  connect(header, &QHeaderView::sectionClicked, this, &TformAnalyze::lvFilesColumnClick);
  connect(lvFiles, &TResultListView::ToggleRequested, this, &TformAnalyze::Toggle);

  popupContextMenu = new QMenu(this);
  popupContextMenu->setObjectName(QStringLiteral("popupContextMenu"));
  popupContextMenu->addActions({actSelect, actReset, actSelectAll, actUnselectAll});
  lvFiles->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(lvFiles, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    popupContextMenu->popup(lvFiles->viewport()->mapToGlobal(at));
  });
  aniFind = new TSearchAnimation(lvFiles);
}

bool ShowAnalyze(TFileRegionList& list, QWidget* parent) {
  TformAnalyze form(list, parent);
  return form.exec() == QDialog::Accepted;
}
