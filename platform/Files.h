// File operations the settings code needs, with per-OS implementations.
#pragma once

#include <string>

namespace plat {

// Replaces `path` with `bytes` so that a crash or a full disk at any moment
// leaves either the old file or the new one: a temporary file beside it is
// written and flushed, then renamed over it. False when nothing changed.
bool ReplaceFileContents(const std::string& path, const std::string& bytes);

// The folder for the program's settings, log and drive table, with a
// trailing separator: the executable's folder when it is writable and not
// a system folder (under /usr), otherwise the per-user configuration folder
// (created on demand).
std::string SettingsFolder();

}  // namespace plat
