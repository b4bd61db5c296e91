#include "VolumeBrowser.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include "Dialogs.h"
#include "Platform.h"

namespace {

constexpr int kPathRole = Qt::UserRole;        // folders end in "\"
constexpr int kFolderRole = Qt::UserRole + 1;
constexpr int kListedRole = Qt::UserRole + 2;  // the folder's entries are in

std::string PathOf(const QTreeWidgetItem* item) {
  return item->data(0, kPathRole).toString().toStdString();
}
bool IsFolder(const QTreeWidgetItem* item) { return item->data(0, kFolderRole).toBool(); }

bool SameName(const std::string& a, const std::string& b) {
  return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

}  // namespace

TVolumeBrowser::TVolumeBrowser(Mode mode, const QString& caption, QWidget* parent)
    : QDialog(parent), mode_(mode) {
  setObjectName(QStringLiteral("TVolumeBrowser"));
  setWindowTitle(!caption.isEmpty() ? caption
                 : mode == Mode::Files ? tr("Select files")
                                       : tr("Select directory"));
  setSizeGripEnabled(true);
  resize(520, 420);

  tvVolumes = new QTreeWidget(this);
  tvVolumes->setObjectName(QStringLiteral("tvVolumes"));
  tvVolumes->setHeaderLabels({tr("Name"), tr("Size")});
  tvVolumes->headerItem()->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
  tvVolumes->header()->setStretchLastSection(false);
  tvVolumes->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  tvVolumes->header()->resizeSection(1, 90);
  tvVolumes->setColumnHidden(1, mode == Mode::Folder);
  tvVolumes->setUniformRowHeights(true);
  tvVolumes->setSelectionMode(mode == Mode::Files ? QAbstractItemView::ExtendedSelection
                                                  : QAbstractItemView::SingleSelection);
  connect(tvVolumes, &QTreeWidget::itemExpanded, this, &TVolumeBrowser::Populate);
  connect(tvVolumes, &QTreeWidget::itemActivated, this, &TVolumeBrowser::ItemActivated);
  connect(tvVolumes, &QTreeWidget::itemSelectionChanged, this, &TVolumeBrowser::UpdateOk);

  buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons_->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("btnOK"));
  buttons_->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("btnCancel"));
  connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tvVolumes, 1);
  layout->addWidget(buttons_);
  AddDrives();
  UpdateOk();
}

void TVolumeBrowser::AddDrives() {
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    const std::string root = std::string(1, letter) + ":\\";
    const std::uint32_t type = plat::GetDriveTypeA(root);
    if (type == plat::DRIVE_NO_ROOT_DIR || type == plat::DRIVE_UNKNOWN) continue;
    auto* drive = new QTreeWidgetItem(tvVolumes, {QString::fromStdString(root.substr(0, 2))});
    drive->setIcon(0, style()->standardIcon(QStyle::SP_DriveHDIcon));
    drive->setData(0, kPathRole, QString::fromStdString(root));
    drive->setData(0, kFolderRole, true);
    drive->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
  }
  if (tvVolumes->topLevelItemCount() == 0) {
    auto* none = new QTreeWidgetItem(tvVolumes, {tr("No drives are mapped.")});
    none->setFlags(Qt::NoItemFlags);
  }
}

void TVolumeBrowser::Populate(QTreeWidgetItem* folder) {
  if (!IsFolder(folder) || folder->data(0, kListedRole).toBool()) return;
  folder->setData(0, kListedRole, true);
  const std::string path = PathOf(folder);
  plat::Platform& platform = plat::Current();
  plat::FindData entry;
  const plat::HANDLE find = platform.FindFirstFileA(path + "*.*", entry);
  if (find == plat::INVALID_HANDLE_VALUE) {
    const std::uint32_t error = platform.GetLastError();
    if (error != plat::ERROR_FILE_NOT_FOUND && error != plat::ERROR_NO_MORE_FILES) {
      auto* problem = new QTreeWidgetItem(folder, {QString::fromStdString(
                                                       platform.FormatErrorMessage(error)).trimmed()});
      problem->setFlags(Qt::NoItemFlags);
    }
    return;
  }
  std::vector<plat::FindData> files;
  do {
    if (entry.Name == "." || entry.Name == "..") continue;
    if (entry.Attributes & plat::FILE_ATTRIBUTE_DIRECTORY) AddChild(folder, path + entry.Name + "\\", true, 0);
    else if (mode_ == Mode::Files) files.push_back(entry);
  } while (platform.FindNextFileA(find, entry));
  platform.FindClose(find);
  for (const plat::FindData& file : files) AddChild(folder, path + file.Name, false, file.Size);
  if (folder->childCount() == 0)
    folder->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

QTreeWidgetItem* TVolumeBrowser::AddChild(QTreeWidgetItem* folder, const std::string& path,
                                          bool isFolder, std::uint64_t size) {
  const std::string trimmed = isFolder ? path.substr(0, path.size() - 1) : path;
  auto* item = new QTreeWidgetItem(folder);
  item->setText(0, QString::fromStdString(trimmed.substr(trimmed.rfind('\\') + 1)));
  item->setData(0, kPathRole, QString::fromStdString(path));
  item->setData(0, kFolderRole, isFolder);
  item->setIcon(0, style()->standardIcon(isFolder ? QStyle::SP_DirIcon : QStyle::SP_FileIcon));
  if (isFolder) {
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
  } else {
    item->setText(1, FormatFileSize(static_cast<std::int64_t>(size)));
    item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
  }
  return item;
}

void TVolumeBrowser::ItemActivated(QTreeWidgetItem* item) {
  if (!IsFolder(item) && mode_ == Mode::Files) accept();
}

void TVolumeBrowser::UpdateOk() {
  buttons_->button(QDialogButtonBox::Ok)->setEnabled(!Chosen().empty());
}

std::vector<std::string> TVolumeBrowser::Chosen() const {
  std::vector<std::string> chosen;
  for (QTreeWidgetItemIterator it(tvVolumes, QTreeWidgetItemIterator::Selected); *it; ++it) {
    if (IsFolder(*it) != (mode_ == Mode::Folder)) continue;
    std::string path = PathOf(*it);
    if (mode_ == Mode::Folder && path.size() > 3) path.pop_back();  // "C:\Mail\" -> "C:\Mail"
    chosen.push_back(std::move(path));
  }
  return chosen;
}

QTreeWidgetItem* TVolumeBrowser::Reveal(const std::string& path) {
  if (path.size() < 3) return nullptr;
  QTreeWidgetItem* item = nullptr;
  for (int i = 0; i < tvVolumes->topLevelItemCount() && !item; ++i)
    if (SameName(PathOf(tvVolumes->topLevelItem(i)), path.substr(0, 3))) item = tvVolumes->topLevelItem(i);
  std::size_t start = 3;
  while (item && start < path.size()) {
    const std::size_t end = std::min(path.find('\\', start), path.size());
    const std::string name = path.substr(start, end - start);
    start = end + 1;
    if (name.empty()) continue;
    item->setExpanded(true);  // lists it
    QTreeWidgetItem* next = nullptr;
    for (int i = 0; i < item->childCount() && !next; ++i)
      if (IsFolder(item->child(i)) || mode_ == Mode::Files)
        if (SameName(item->child(i)->text(0).toStdString(), name)) next = item->child(i);
    item = next;
  }
  if (item) tvVolumes->scrollToItem(item);
  return item;
}
