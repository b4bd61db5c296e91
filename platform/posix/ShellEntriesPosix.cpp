// The session start is an XDG autostart entry in the user's configuration
// folder. There is no file-manager verb: the files a file manager shows
// here are not on the volumes the program works on (unmounted NTFS
// partitions and images reached through the drive table).
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "DesktopEntry.h"
#include "Files.h"
#include "ShellEntries.h"

namespace plat {
namespace {

std::filesystem::path AutostartEntryPath() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  std::filesystem::path config;
  if (xdg && *xdg == '/') {
    config = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (!home || !*home) return {};
    config = std::filesystem::path(home) / ".config";
  }
  return config / "autostart" / "contigra.desktop";
}

std::string AutostartEntry(const std::string& programPath) {
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Contigra\n"
         "Comment=File defragmenter\n"
         "Icon=contigra\n"
         "TryExec=" + desktop::StringValue(programPath) + "\n"
         "Exec=" + desktop::ExecValue(programPath) + "\n"
         "Terminal=false\n";
}

}  // namespace

bool FileVerbSupported() { return false; }

bool StartupEntryPresent() {
  const auto path = AutostartEntryPath();
  if (path.empty()) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  const std::string entry{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const auto exec = desktop::EntryValue(entry, "Exec");
  // Desktops switch an entry off by marking it rather than deleting it.
  return exec && !exec->empty() && desktop::EntryValue(entry, "Hidden") != "true" &&
         desktop::EntryValue(entry, "X-GNOME-Autostart-enabled") != "false";
}

bool FileVerbPresent() { return false; }

void SaveStartupEntry(bool on, const std::string& programPath) {
  const auto path = AutostartEntryPath();
  if (path.empty()) return;
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
  if (!on || programPath.empty()) return;
  std::filesystem::create_directories(path.parent_path(), ignored);
  ReplaceFileContents(path.string(), AutostartEntry(programPath));
}

void SaveFileVerb(bool, const std::string&) {}

}  // namespace plat
