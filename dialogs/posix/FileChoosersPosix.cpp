// On POSIX the engine's files live inside the mapped volumes, which the
// system's file dialogs cannot see: the choosers browse the volumes.
#include "FileChoosers.h"
#include "VolumeBrowser.h"

std::vector<std::string> ChooseFiles(QWidget* parent) {
  TVolumeBrowser browser(TVolumeBrowser::Mode::Files, QString(), parent);
  if (browser.exec() != QDialog::Accepted) return {};
  return browser.Chosen();
}

std::string ChooseFolder(QWidget* parent, const QString& caption) {
  TVolumeBrowser browser(TVolumeBrowser::Mode::Folder, caption, parent);
  if (browser.exec() != QDialog::Accepted) return {};
  const std::vector<std::string> chosen = browser.Chosen();
  return chosen.empty() ? std::string() : chosen.front();
}
