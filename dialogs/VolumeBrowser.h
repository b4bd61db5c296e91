// Browses the folders and files of the mapped volumes through the
// platform's enumeration, for systems whose own file dialogs cannot see
// inside them. The drives are the letters the platform knows (every letter
// whose drive type is not "no root"); folders are listed when first opened.
#pragma once

#include <string>
#include <vector>

#include <QDialog>

class QDialogButtonBox;
class QTreeWidget;
class QTreeWidgetItem;

class TVolumeBrowser : public QDialog {
  Q_OBJECT

 public:
  enum class Mode {
    Files,   // several files; folders only lead the way
    Folder,  // one folder (a drive's root included); files are not shown
  };

  // An empty caption gives the mode's own title.
  TVolumeBrowser(Mode mode, const QString& caption, QWidget* parent = nullptr);

  // The chosen files in list order, or the chosen folder (no trailing
  // delimiter, except a root such as "C:\"); empty when nothing is chosen.
  std::vector<std::string> Chosen() const;

  // The item for `path` ("C:\", "C:\Mail\", "C:\Mail\a.mbx"), opening the
  // folders on the way; null when it is not there. For callers that start
  // from a known place.
  QTreeWidgetItem* Reveal(const std::string& path);

 private:
  void AddDrives();
  void Populate(QTreeWidgetItem* folder);
  QTreeWidgetItem* AddChild(QTreeWidgetItem* folder, const std::string& path, bool isFolder,
                            std::uint64_t size);
  void ItemActivated(QTreeWidgetItem* item);
  void UpdateOk();

  Mode mode_;
  QTreeWidget* tvVolumes = nullptr;
  QDialogButtonBox* buttons_ = nullptr;
};
