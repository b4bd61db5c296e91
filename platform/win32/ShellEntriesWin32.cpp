// Both entries live under HKEY_LOCAL_MACHINE: the Run value starts the
// program at every logon, and the verb under the classes' "*" key is
// offered on files of every type. Explorer replaces %l with the chosen
// file's long path; the quotes around it keep paths with blanks whole,
// while the helper's own path is written unquoted.
#include "MachineRegistry.h"
#include "ShellEntries.h"

namespace plat {
namespace {

constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kRunValue = "Contigra";
constexpr const char* kVerbKey = "Software\\Classes\\*\\shell\\Defragment file";
constexpr const char* kVerbCommandKey = "Software\\Classes\\*\\shell\\Defragment file\\command";

bool PresentAndNotEmpty(const char* key, const char* name) {
  const auto value = win32::machine::ReadString(key, name);
  return value && !value->empty();
}

// The folder of `programPath` with its trailing backslash.
std::string FolderOf(const std::string& programPath) {
  const auto slash = programPath.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : programPath.substr(0, slash + 1);
}

}  // namespace

bool FileVerbSupported() { return true; }

bool StartupEntryPresent() { return PresentAndNotEmpty(kRunKey, kRunValue); }

bool FileVerbPresent() { return PresentAndNotEmpty(kVerbCommandKey, ""); }

void SaveStartupEntry(bool on, const std::string& programPath) {
  win32::machine::DeleteValue(kRunKey, kRunValue);
  if (on && !programPath.empty()) win32::machine::WriteString(kRunKey, kRunValue, programPath);
}

void SaveFileVerb(bool on, const std::string& programPath) {
  win32::machine::DeleteTree(kVerbKey);
  if (on && !programPath.empty())
    win32::machine::WriteString(kVerbCommandKey, "",
                                FolderOf(programPath) + "contigra_aux.exe -d \"%l\"");
}

}  // namespace plat
