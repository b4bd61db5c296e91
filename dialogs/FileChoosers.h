// The file and folder choosers of the dialogs. On Windows they are the
// system's own dialogs; on POSIX, where the engine's files live inside
// mapped volumes, they browse the volumes of the drive table through the
// platform's enumeration. Paths are Windows paths ("C:\Mail\inbox.mbx").
#pragma once

#include <string>
#include <vector>

class QString;
class QWidget;

// Existing files, several at once, hidden ones shown, in the order the
// chooser returns them; empty when the user cancelled.
std::vector<std::string> ChooseFiles(QWidget* parent);

// One folder, titled `caption`, with nothing preselected and no way to make
// a new one; empty when the user cancelled. The path has no trailing
// delimiter, except a drive's root ("C:\").
std::string ChooseFolder(QWidget* parent, const QString& caption);
