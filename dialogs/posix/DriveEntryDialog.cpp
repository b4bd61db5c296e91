#include "DriveEntryDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

TDriveEntryDialog::TDriveEntryDialog(QWidget* parent, const std::vector<char>& letters,
                                     char letter, const ntfs::DriveEntry& entry)
    : QDialog(parent) {
  setObjectName(QStringLiteral("TDriveEntryDialog"));
  setWindowTitle(entry.Path.empty() ? tr("Add drive") : tr("Change drive"));
  cbDriveLetter = new QComboBox(this);
  cbDriveLetter->setObjectName(QStringLiteral("cbDriveLetter"));
  for (char c : letters) cbDriveLetter->addItem(QStringLiteral("%1:").arg(QLatin1Char(c)));
  cbDriveLetter->setCurrentText(QStringLiteral("%1:").arg(QLatin1Char(letter)));

  edDrivePath = new QLineEdit(QString::fromStdString(entry.Path), this);
  edDrivePath->setObjectName(QStringLiteral("edDrivePath"));
  edDrivePath->setMinimumWidth(320);
  edDrivePath->setPlaceholderText(tr("/path/to/disk.img or /dev/sdb2"));
  connect(edDrivePath, &QLineEdit::textChanged, this, &TDriveEntryDialog::UpdateOk);
  auto* browse = new QPushButton(tr("Browse..."), this);
  browse->setObjectName(QStringLiteral("btnDriveBrowse"));
  browse->setAutoDefault(false);
  connect(browse, &QPushButton::clicked, this, &TDriveEntryDialog::BrowseClicked);
  auto* pathRow = new QHBoxLayout;
  pathRow->addWidget(edDrivePath, 1);
  pathRow->addWidget(browse);

  seDrivePartition = new QSpinBox(this);
  seDrivePartition->setObjectName(QStringLiteral("seDrivePartition"));
  seDrivePartition->setRange(0, 128);
  seDrivePartition->setSpecialValueText(tr("whole file or device"));
  seDrivePartition->setValue(entry.Partition);
  seDrivePartition->setToolTip(tr("The partition of a disk image that holds the volume"));

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  btnOK = buttons->button(QDialogButtonBox::Ok);
  btnOK->setObjectName(QStringLiteral("btnOK"));
  buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("btnCancel"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* form = new QFormLayout;
  form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
  form->addRow(tr("Drive:"), cbDriveLetter);
  form->addRow(tr("Image or device:"), pathRow);
  form->addRow(tr("Partition:"), seDrivePartition);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  UpdateOk();
}

char TDriveEntryDialog::Letter() const {
  return static_cast<char>(cbDriveLetter->currentText().at(0).toLatin1());
}

ntfs::DriveEntry TDriveEntryDialog::Entry() const {
  return {edDrivePath->text().trimmed().toStdString(), seDrivePartition->value()};
}

void TDriveEntryDialog::BrowseClicked() {
  const QString current = edDrivePath->text().trimmed();
  QFileDialog chooser(this, tr("Select an image file or device"),
                      current.isEmpty() ? QString() : QFileInfo(current).absolutePath());
  // Device nodes are "system" entries to Qt; the user may pick those too.
  chooser.setOption(QFileDialog::DontUseNativeDialog);
  chooser.setFileMode(QFileDialog::ExistingFile);
  chooser.setFilter(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
  if (chooser.exec() == QDialog::Accepted && !chooser.selectedFiles().isEmpty())
    edDrivePath->setText(chooser.selectedFiles().first());
}

void TDriveEntryDialog::UpdateOk() {
  const QString path = edDrivePath->text().trimmed();
  btnOK->setEnabled(path.startsWith(QLatin1Char('/')) && cbDriveLetter->count() > 0);
}
