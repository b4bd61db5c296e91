// The profile list: rows, cells, the day columns, the tray's Run submenu.
#include <QHeaderView>
#include <QMenu>
#include <QTreeWidget>

#include "FormatNextStart.h"
#include "FragorForm.h"
#include "Translator.h"

namespace {

constexpr int FixedColumns = 5;
constexpr int AllColumns = 12;
constexpr int DayColumnWidth = 38;
const char* const DayNames[7] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};

}  // namespace

int TFragorForm::RowOf(const QTreeWidgetItem* item) const {
  return item ? lvProfiles->indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(item)) : -1;
}

void TFragorForm::AddProfileItem(std::unique_ptr<TProfile> profile) {
  AppendProfileRow(std::move(profile));
  BuildTrayRunMenu();
}

void TFragorForm::AppendProfileRow(std::unique_ptr<TProfile> profile) {
  auto* item = new QTreeWidgetItem(lvProfiles);
  // Every row carries all eleven sub-cells, shown or not.
  for (int column = 1; column < AllColumns; ++column) item->setText(column, QString());
  profiles_.push_back(std::move(profile));
  RefreshProfileItem(static_cast<int>(profiles_.size()) - 1);
}

void TFragorForm::RefreshProfileItem(int row) {
  const TProfile& p = *profiles_.at(static_cast<std::size_t>(row));
  QTreeWidgetItem* item = lvProfiles->topLevelItem(row);
  item->setText(0, QString::fromStdString(p.Name));
  QString files;
  if (p.Files.size() == 1) files = QString::fromStdString(p.Files.front());
  else if (p.Files.size() > 1) files = QString::number(p.Files.size()) + QStringLiteral(" ") + Tr("files");
  item->setText(1, files);
  item->setText(2, p.RunMethod == 0 ? Tr("start") : Tr("end"));
  item->setText(3, p.SchedulerActive ? FormatShortTimeText(p.Start) : Tr("manually"));
  item->setText(4, p.SchedulerActive && p.NextStart != 0 ? FormatNextStart(p.NextStart) : QString());
  for (int day = 0; day < 7; ++day)
    item->setText(FixedColumns + day, p.SchedulerActive && p.GetDay(day) ? QStringLiteral("+") : QString());
  for (int column = FixedColumns; column < AllColumns; ++column)
    item->setTextAlignment(column, Qt::AlignCenter);
}

void TFragorForm::RefreshProfileList() {
  for (int row = 0; row < static_cast<int>(profiles_.size()); ++row) RefreshProfileItem(row);
}

void TFragorForm::UpdateScheduleColumns() {
  QHeaderView* header = lvProfiles->header();
  lvProfiles->setUpdatesEnabled(false);
  // The day cells are always in the rows; showing the days is a matter of
  // the header's column count and captions.
  if (FOptions.ShowSchedule && lvProfiles->columnCount() == FixedColumns) {
    lvProfiles->setColumnCount(AllColumns);
    for (int column = FixedColumns; column < AllColumns; ++column) {
      header->setSectionResizeMode(column, QHeaderView::Fixed);
      header->resizeSection(column, DayColumnWidth);
    }
  } else if (!FOptions.ShowSchedule && lvProfiles->columnCount() > FixedColumns) {
    lvProfiles->setColumnCount(FixedColumns);
  }
  if (lvProfiles->columnCount() == AllColumns) {
    QTreeWidgetItem* captions = lvProfiles->headerItem();
    for (int day = 0; day < 7; ++day) {
      captions->setText(FixedColumns + day, Tr(DayNames[day]));
      captions->setTextAlignment(FixedColumns + day, Qt::AlignCenter);
    }
  }
  // "Files" stretches, so the header re-fits it by itself.
  lvProfiles->setUpdatesEnabled(true);
}

void TFragorForm::BuildTrayRunMenu() {
  popuptrayRun->clear();
  QAction* all = popuptrayRun->addAction(Tr("All Profiles"));
  all->setData(-1);
  connect(all, &QAction::triggered, this, [this] { TrayRunItemClick(-1); });
  popuptrayRun->addSeparator();
  for (int row = 0; row < static_cast<int>(profiles_.size()); ++row) {
    QAction* item = popuptrayRun->addAction(
        QString::fromStdString(profiles_[static_cast<std::size_t>(row)]->Name));
    item->setData(row);
    connect(item, &QAction::triggered, this, [this, row] { TrayRunItemClick(row); });
  }
}

void TFragorForm::TrayRunItemClick(int tag) {
  *FStopRequested = false;
  if (tag != -1) {
    if (tag < static_cast<int>(profiles_.size()))
      StartProfileRun(*profiles_[static_cast<std::size_t>(tag)]);
  } else {
    findChild<QAction*>(QStringLiteral("actProfileRunAll"))->trigger();
  }
}
