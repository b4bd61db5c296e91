// The commands of the menus, toolbar and context menus, and their rules.
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QPlainTextEdit>
#include <QTreeWidget>

#include "Dialogs.h"
#include "FileChoosers.h"
#include "FragorForm.h"
#include "Log.h"
#include "OpenAddress.h"
#include "ProductInfo.h"

namespace {

QString Tr(const char* english) { return QString::fromStdString(TranslateText(english)); }

QString WithLineBreaks(const char* english) {
  return Tr(english).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

}  // namespace

QList<int> TFragorForm::SelectedRows() const {
  QList<int> rows;
  for (int row = 0; row < lvProfiles->topLevelItemCount(); ++row)
    if (lvProfiles->topLevelItem(row)->isSelected()) rows.append(row);
  return rows;
}

bool TFragorForm::actProfileDeleteUpdate() const { return !SelectedRows().isEmpty(); }
bool TFragorForm::actProfilePropsUpdate() const { return SelectedRows().size() == 1; }

bool TFragorForm::actProfileRunUpdate() const {
  for (int row : SelectedRows())
    if (profiles_[static_cast<std::size_t>(row)]->State == psIdle) return true;
  return false;
}

bool TFragorForm::actProfileRunAllUpdate() const {
  for (const auto& profile : profiles_)
    if (profile->State == psIdle) return true;
  return false;
}

bool TFragorForm::actLogCopyUpdate() const { return memoLog->textCursor().hasSelection(); }

void TFragorForm::UpdateActions() {
  for (const auto& [action, rule] : rules_) action->setEnabled(rule());
}

void TFragorForm::actProfileAddExecute() {
  auto profile = std::make_unique<TProfile>();
  if (ShowProfileProps(*profile, this) == QDialog::Accepted) AddProfileItem(std::move(profile));
}

void TFragorForm::actProfileDeleteExecute() {
  if (!Confirm(WithLineBreaks("Deleting profiles can't be undone!\r\nDo you wish to proceed?")))
    return;
  const QList<int> rows = SelectedRows();
  for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
    delete lvProfiles->takeTopLevelItem(*it);
    profiles_.erase(profiles_.begin() + *it);
  }
  BuildTrayRunMenu();
}

void TFragorForm::actProfilePropsExecute() {
  const QList<int> rows = SelectedRows();
  if (rows.size() != 1) return;
  if (ShowProfileProps(*profiles_[static_cast<std::size_t>(rows.front())], this) !=
      QDialog::Accepted)
    return;
  RefreshProfileItem(rows.front());
  BuildTrayRunMenu();
}

void TFragorForm::actProfileRunExecute() {
  *FStopRequested = false;
  for (int row : SelectedRows()) StartProfileRun(*profiles_[static_cast<std::size_t>(row)]);
}

void TFragorForm::actProfileRunAllExecute() {
  *FStopRequested = false;
  for (auto& profile : profiles_) StartProfileRun(*profile);
}

void TFragorForm::actProfileStopExecute() { *FStopRequested = true; }

void TFragorForm::actProfileSelectAllExecute() { lvProfiles->selectAll(); }

void TFragorForm::actToolsDefragmentFileExecute() {
  *FStopRequested = false;
  for (const std::string& path : ChooseFiles(this)) StartFileRun(path, 0);
}

void TFragorForm::actToolsWizardExecute() {
  std::vector<std::string> existing;
  for (const auto& profile : profiles_) existing.push_back(profile->Name);
  TProfileList added;
  if (ShowWizard(existing, added, this) != QDialog::Accepted) return;
  for (auto& profile : added) AppendProfileRow(std::move(profile));
  BuildTrayRunMenu();
}

void TFragorForm::actToolsAnalyzeExecute() {
  TFileRegionList results;
  if (!ShowAnalyze(results, this)) return;
  *FStopRequested = false;
  TProfile temporary;
  for (const auto& record : results)
    if (record.Checked) temporary.Files.push_back(record.FileName);
  temporary.SetName(TranslateText("most fragmented files"));
  StartProfileRun(temporary);
}

void TFragorForm::actFileOptionsExecute() {
  if (!ShowOptions(FOptions, this)) return;
  SaveSettings();
  ApplyOptions();
}

void TFragorForm::actHelpAboutExecute() {
  ShowAbout(QStringLiteral("Contigra"), QStringLiteral("beta"), this);
}

void TFragorForm::actViewLogExecute() {
  FOptions.ShowLogWindow = !FOptions.ShowLogWindow;
  ApplyLogWindow();
}

void TFragorForm::actLogCopyExecute() { memoLog->copy(); }
void TFragorForm::actLogSelectAllExecute() { memoLog->selectAll(); }

void TFragorForm::actLogClearExecute() { Logger.ClearView(); }

void TFragorForm::lvProfilesDblClick() {
  const QList<int> rows = SelectedRows();
  if (rows.isEmpty()) actProfileAddExecute();
  else if (rows.size() == 1) actProfilePropsExecute();
}

void TFragorForm::TBXItem15Click() { OpenWebAddress(QString::fromLatin1(kProductHomePage)); }
