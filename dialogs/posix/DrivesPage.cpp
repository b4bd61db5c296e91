#include "DrivesPage.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "DriveEntryDialog.h"
#include "Dialogs.h"
#include "Files.h"

namespace {

constexpr int kLetterRole = Qt::UserRole;

std::string EntryText(const ntfs::DriveEntry& entry) {
  return entry.Partition ? entry.Path + ":" + std::to_string(entry.Partition) : entry.Path;
}

// Letters not in `entries`, plus `keep`.
std::vector<char> OfferedLetters(const TDriveEntries& entries, char keep) {
  std::vector<char> letters;
  for (char c = 'A'; c <= 'Z'; ++c)
    if (c == keep || !entries.count(c)) letters.push_back(c);
  return letters;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

std::string DriveTableText(const TDriveEntries& entries) {
  std::string text = "# Drive letters and the NTFS images or devices they stand for "
                     "(LETTER=PATH or LETTER=PATH:PARTITION)\n";
  for (const auto& [letter, entry] : entries) text += std::string(1, letter) + "=" + EntryText(entry) + "\n";
  return text;
}

TDrivesPage::TDrivesPage(QWidget* parent, std::string tableFile)
    : TSystemOptionsPage(parent), tableFile_(std::move(tableFile)) {
  setObjectName(QStringLiteral("tabDrives"));
  lvDrives = new QTreeWidget(this);
  lvDrives->setObjectName(QStringLiteral("lvDrives"));
  lvDrives->setHeaderLabels({tr("Drive"), tr("Image or device"), tr("Volume")});
  lvDrives->setRootIsDecorated(false);
  lvDrives->setAllColumnsShowFocus(true);
  lvDrives->setTextElideMode(Qt::ElideMiddle);
  lvDrives->header()->setStretchLastSection(true);
  lvDrives->header()->resizeSection(0, 50);
  lvDrives->header()->resizeSection(1, 190);
  lvDrives->setMinimumSize(520, 150);
  connect(lvDrives, &QTreeWidget::itemSelectionChanged, this, &TDrivesPage::UpdateButtons);
  connect(lvDrives, &QTreeWidget::itemActivated, this, &TDrivesPage::ChangeClicked);

  btnDriveAdd = new QPushButton(tr("Add..."), this);
  btnDriveAdd->setObjectName(QStringLiteral("btnDriveAdd"));
  btnDriveChange = new QPushButton(tr("Change..."), this);
  btnDriveChange->setObjectName(QStringLiteral("btnDriveChange"));
  btnDriveRemove = new QPushButton(tr("Remove"), this);
  btnDriveRemove->setObjectName(QStringLiteral("btnDriveRemove"));
  connect(btnDriveAdd, &QPushButton::clicked, this, &TDrivesPage::AddClicked);
  connect(btnDriveChange, &QPushButton::clicked, this, &TDrivesPage::ChangeClicked);
  connect(btnDriveRemove, &QPushButton::clicked, this, [this] { RemoveEntry(SelectedLetter()); });
  auto* buttons = new QVBoxLayout;
  for (QPushButton* b : {btnDriveAdd, btnDriveChange, btnDriveRemove}) {
    b->setAutoDefault(false);
    buttons->addWidget(b);
  }
  buttons->addStretch();

  lblDrivesNote = new QLabel(this);
  lblDrivesNote->setObjectName(QStringLiteral("lblDrivesNote"));
  lblDrivesNote->setWordWrap(true);

  auto* box = new QGroupBox(this);
  auto* grid = new QGridLayout(box);
  grid->addWidget(lvDrives, 0, 0);
  grid->addLayout(buttons, 0, 1);
  grid->addWidget(lblDrivesNote, 1, 0, 1, 2);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(box);
  Load();
}

QString TDrivesPage::Title() const { return tr("Drives"); }

void TDrivesPage::Load() {
  const ntfs::DriveTable table = ntfs::ParseDriveTable(ReadFile(tableFile_), '\n');
  entries_ = table.Drives;
  QStringList notes;
  if (std::getenv("CONTIGRA_DRIVES"))
    notes << tr("CONTIGRA_DRIVES is set: while it is set, it takes the place of this table.");
  if (!table.Problems.empty()) {
    notes << tr("Lines of %1 that could not be read are left out when the table is saved:")
                 .arg(QString::fromStdString(tableFile_));
    for (const std::string& problem : table.Problems) notes << QString::fromStdString(problem);
  }
  notes << tr("Changes take effect when the program starts again.");
  lblDrivesNote->setText(notes.join(QLatin1Char('\n')));
  Refill();
}

bool TDrivesPage::Save() {
  if (!changed_) return true;
  QDir().mkpath(QFileInfo(QString::fromStdString(tableFile_)).absolutePath());
  if (plat::ReplaceFileContents(tableFile_, DriveTableText(entries_))) {
    changed_ = false;
    return true;
  }
  QMessageBox::warning(this, Title(), tr("The drive table could not be written to %1.")
                                          .arg(QString::fromStdString(tableFile_)));
  return false;
}

void TDrivesPage::SetEntry(char letter, const ntfs::DriveEntry& entry, char previous) {
  if (previous && previous != letter) {
    entries_.erase(previous);
    checks_.erase(previous);
  }
  entries_[letter] = entry;
  changed_ = true;
  Check(letter);
  Refill();
  for (int i = 0; i < lvDrives->topLevelItemCount(); ++i)
    if (lvDrives->topLevelItem(i)->data(0, kLetterRole).toInt() == letter)
      lvDrives->setCurrentItem(lvDrives->topLevelItem(i));
}

void TDrivesPage::RemoveEntry(char letter) {
  if (!entries_.erase(letter)) return;
  checks_.erase(letter);
  changed_ = true;
  Refill();
}

void TDrivesPage::showEvent(QShowEvent* event) {
  TSystemOptionsPage::showEvent(event);
  if (checkedAll_) return;
  checkedAll_ = true;
  // Let the page paint first: mounting a large volume takes a moment.
  QTimer::singleShot(0, this, [this] {
    for (const auto& entry : entries_)
      if (!checks_.count(entry.first)) Check(entry.first);
    Refill();
  });
}

void TDrivesPage::AddClicked() {
  const std::vector<char> letters = OfferedLetters(entries_, 0);
  if (letters.empty()) return;
  const auto firstFree = std::find_if(letters.begin(), letters.end(), [](char c) { return c >= 'C'; });
  TDriveEntryDialog dialog(this, letters, firstFree != letters.end() ? *firstFree : letters.front(), {});
  if (dialog.exec() == QDialog::Accepted) SetEntry(dialog.Letter(), dialog.Entry());
}

void TDrivesPage::ChangeClicked() {
  const char letter = SelectedLetter();
  if (!letter) return;
  TDriveEntryDialog dialog(this, OfferedLetters(entries_, letter), letter, entries_.at(letter));
  if (dialog.exec() == QDialog::Accepted) SetEntry(dialog.Letter(), dialog.Entry(), letter);
}

void TDrivesPage::Check(char letter) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  checks_[letter] = CheckDriveEntry(entries_.at(letter));
  QApplication::restoreOverrideCursor();
}

void TDrivesPage::Refill() {
  const char selected = SelectedLetter();
  lvDrives->clear();
  for (const auto& [letter, entry] : entries_) {
    auto* row = new QTreeWidgetItem(lvDrives);
    row->setData(0, kLetterRole, letter);
    row->setText(0, QStringLiteral("%1:").arg(QLatin1Char(letter)));
    row->setText(1, QString::fromStdString(entry.Path));
    if (entry.Partition) row->setText(1, tr("%1, partition %2").arg(row->text(1)).arg(entry.Partition));
    const auto check = checks_.find(letter);
    row->setText(2, check == checks_.end() ? tr("Checking...") : VolumeText(check->second));
    if (check != checks_.end() && !check->second.Usable()) row->setForeground(2, QColor(Qt::darkRed));
    for (int column = 0; column < 3; ++column) row->setToolTip(column, row->text(column));
    if (letter == selected) lvDrives->setCurrentItem(row);
  }
  UpdateButtons();
}

QString TDrivesPage::VolumeText(const TDriveCheck& check) const {
  if (!check.Usable()) return tr("Cannot be used: %1").arg(ProblemText(check));
  const QString label = check.Label.empty() ? tr("no label") : QString::fromStdString(check.Label);
  QString text = tr("%1, %2, clusters of %3 bytes")
                     .arg(label, FormatFileSize(static_cast<std::int64_t>(check.Bytes)))
                     .arg(check.ClusterBytes);
  if (check.ReadOnly == TDriveReadOnly::Hibernated)
    text += tr("; read only: Windows is hibernated on it");
  else if (check.ReadOnly == TDriveReadOnly::FileReadOnly)
    text += tr("; read only: the program may not write it");
  return text;
}

QString TDrivesPage::ProblemText(const TDriveCheck& check) const {
  const QString detail = QString::fromStdString(check.Detail);
  switch (check.Problem) {
    case TDriveProblem::CannotOpen: return tr("it cannot be opened (%1)").arg(detail);
    case TDriveProblem::NotFileOrDevice: return tr("it is neither a file nor a block device");
    case TDriveProblem::NoPartition: return tr("no such partition (%1)").arg(detail);
    case TDriveProblem::NotNtfs: return tr("it holds no NTFS volume");
    case TDriveProblem::PartitionTable: return tr("it holds a partition table: choose a partition");
    case TDriveProblem::Unreadable: return tr("the volume cannot be read (%1)").arg(detail);
    case TDriveProblem::None: break;
  }
  return {};
}

char TDrivesPage::SelectedLetter() const {
  const QTreeWidgetItem* row = lvDrives->currentItem();
  return row && row->isSelected() ? static_cast<char>(row->data(0, kLetterRole).toInt()) : 0;
}

void TDrivesPage::UpdateButtons() {
  const bool selected = SelectedLetter() != 0;
  btnDriveChange->setEnabled(selected);
  btnDriveRemove->setEnabled(selected);
  btnDriveAdd->setEnabled(entries_.size() < 26);
}
