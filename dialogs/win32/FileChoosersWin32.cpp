// On Windows the engine's files are the machine's own: the system's file
// and folder dialogs choose them.
#include <QDir>
#include <QFileDialog>

#include "FileChoosers.h"

namespace {

std::string WindowsPath(const QString& path) { return QDir::toNativeSeparators(path).toStdString(); }

}  // namespace

std::vector<std::string> ChooseFiles(QWidget* parent) {
  std::vector<std::string> files;
  const QStringList chosen = QFileDialog::getOpenFileNames(parent, QString(), QString(), QString(),
                                                           nullptr, QFileDialog::DontResolveSymlinks);
  for (const QString& file : chosen) files.push_back(WindowsPath(file));
  return files;
}

std::string ChooseFolder(QWidget* parent, const QString& caption) {
  const QString folder = QFileDialog::getExistingDirectory(
      parent, caption, QString(), QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
  return folder.isEmpty() ? std::string() : WindowsPath(folder);
}
