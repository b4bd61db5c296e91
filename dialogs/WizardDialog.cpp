#include "WizardDialog.h"

#include <algorithm>

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "CenterOnScreen.h"
#include "CheckBoxDelegate.h"
#include "Dialogs.h"
#include "WizardOffers.h"

namespace {

QPushButton* Button(const char* name, const QString& text, const QString& hint, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setToolTip(hint);
  button->setAutoDefault(false);
  return button;
}

}  // namespace

TWizardForm::TWizardForm(const std::vector<std::string>& existingNames, plat::UserRegistry& registry,
                         QWidget* parent)
    : QDialog(parent), existingNames_(existingNames), offers_(BuildWizardOffers(registry)) {
  setObjectName(QStringLiteral("TWizardForm"));
  setWindowTitle(tr("Wizard"));
  CenterWhenShown(this);

  auto* box = new QGroupBox(tr(" Profiles "), this);
  box->setObjectName(QStringLiteral("GroupBox3"));
  clbProfiles = new QListWidget(box);
  clbProfiles->setObjectName(QStringLiteral("clbProfiles"));
  clbProfiles->setItemDelegate(new TCheckBoxDelegate(clbProfiles));
  for (const auto& offer : offers_) {
    auto* line = new QListWidgetItem(QString::fromStdString(offer->Name), clbProfiles);
    line->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    line->setCheckState(Qt::Unchecked);
  }
  auto* btnCheckAll = Button("btnCheckAll", tr("Check all"), tr("Checks all profiles"), box);
  auto* btnUncheckAll = Button("btnUncheckAll", tr("Reset all"), tr("Unchecks all profiles"), box);
  auto* btnDefault = Button("btnDefault", tr("Default"), tr("Resets all profiles to default state"), box);
  connect(btnCheckAll, &QPushButton::clicked, this, [this] { SetAllChecks(true); });
  connect(btnUncheckAll, &QPushButton::clicked, this, [this] { SetAllChecks(false); });
  connect(btnDefault, &QPushButton::clicked, this, &TWizardForm::SetDefaultChecks);
  auto* lblDescription = new QLabel(
      tr("Select profiles and press OK button. Existing profiles are unchecked by default."), box);
  lblDescription->setObjectName(QStringLiteral("lblDescription"));
  lblDescription->setWordWrap(true);

  auto* column = new QVBoxLayout;
  for (QPushButton* b : {btnCheckAll, btnUncheckAll, btnDefault}) column->addWidget(b);
  column->addStretch();
  auto* grid = new QGridLayout(box);
  grid->addWidget(clbProfiles, 0, 0);
  grid->addLayout(column, 0, 1);
  grid->addWidget(lblDescription, 1, 0, 1, 2);

  auto* btnOK = Button("btnOK", tr("OK"), QString(), this);
  btnOK->setDefault(true);
  connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
  auto* btnCancel = Button("btnCancel", tr("Cancel"), QString(), this);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnOK);
  buttons->addWidget(btnCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(box);
  layout->addLayout(buttons);
  resize(380, 260);
  setFixedSize(size());  // a fixed-size dialog box

  SetDefaultChecks();
}

TWizardForm::~TWizardForm() = default;

void TWizardForm::SetDefaultChecks() {
  for (int i = 0; i < clbProfiles->count(); ++i) {
    const QString name = clbProfiles->item(i)->text();
    const bool exists = std::any_of(existingNames_.begin(), existingNames_.end(), [&](const std::string& n) {
      return QString::fromStdString(n).compare(name, Qt::CaseInsensitive) == 0;
    });
    clbProfiles->item(i)->setCheckState(exists ? Qt::Unchecked : Qt::Checked);
  }
}

void TWizardForm::SetAllChecks(bool checked) {
  for (int i = 0; i < clbProfiles->count(); ++i)
    clbProfiles->item(i)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

void TWizardForm::TakeChecked(TProfileList& profiles) {
  for (int i = 0; i < clbProfiles->count(); ++i)
    if (clbProfiles->item(i)->checkState() == Qt::Checked && offers_[static_cast<std::size_t>(i)])
      profiles.push_back(std::move(offers_[static_cast<std::size_t>(i)]));
}

int ShowWizardWith(plat::UserRegistry& registry, const std::vector<std::string>& existingNames,
                   TProfileList& profiles, QWidget* parent) {
  TWizardForm form(existingNames, registry, parent);
  const int result = form.exec();
  if (result == QDialog::Accepted) form.TakeChecked(profiles);
  return result;
}

int ShowWizard(const std::vector<std::string>& existingNames, TProfileList& profiles, QWidget* parent) {
  const std::unique_ptr<plat::UserRegistry> registry = plat::MakeUserRegistry();
  return ShowWizardWith(*registry, existingNames, profiles, parent);
}
