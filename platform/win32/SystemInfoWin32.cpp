// System facts on Windows: the real OS version (RtlGetVersion, which no
// compatibility manifest bends), the executable's path, the per-user
// configuration folder and the log's exclusive file.
#include <string>

#include "SystemInfo.h"
#include "WideText.h"
#include "WindowsHeaders.h"

namespace plat {
namespace {

using RtlGetVersionFn = LONG(NTAPI*)(OSVERSIONINFOEXW* info);

RtlGetVersionFn ResolveRtlGetVersion() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  const FARPROC proc = ntdll ? GetProcAddress(ntdll, "RtlGetVersion") : nullptr;
  return reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void (*)()>(proc));
}

std::wstring EnvironmentValue(const wchar_t* name) {
  std::wstring value(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    if (length == 0) return {};
    if (length < value.size()) {
      value.resize(length);
      return value;
    }
    value.resize(length);  // too small: `length` includes the NUL
  }
}

class Win32ExclusiveFile final : public ExclusiveFile {
 public:
  explicit Win32ExclusiveFile(::HANDLE file) : file_(file) {}
  ~Win32ExclusiveFile() override { CloseHandle(file_); }
  void Write(const std::string& bytes) override {
    // One write per line; a short or failed write loses the line, no more.
    DWORD written = 0;
    WriteFile(file_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  }

 private:
  ::HANDLE file_;
};

}  // namespace

OsVersion GetOsVersion() {
  OsVersion v;
  static const RtlGetVersionFn rtlGetVersion = ResolveRtlGetVersion();
  OSVERSIONINFOEXW info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (!rtlGetVersion || rtlGetVersion(&info) != 0) return v;
  v.Known = true;
  v.WindowsNtFamily = info.dwPlatformId == VER_PLATFORM_WIN32_NT;
  v.ServicePack = win32::Narrow(std::wstring(info.szCSDVersion));
  v.Major = info.dwMajorVersion;
  v.Minor = info.dwMinorVersion;
  v.Build = info.dwBuildNumber;
  return v;
}

std::string ExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) return win32::Narrow(path.data(), length);
    path.resize(path.size() * 2);  // cut short: try a larger buffer
  }
}

std::string ConfigFolder() {
  std::wstring base = EnvironmentValue(L"APPDATA");
  if (base.empty()) base = EnvironmentValue(L"LOCALAPPDATA");
  if (base.empty()) {
    wchar_t temp[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    base.assign(temp, length);
    while (!base.empty() && (base.back() == L'\\' || base.back() == L'/')) base.pop_back();
  }
  return win32::Narrow(base) + "\\Contigra";
}

bool FolderIsWritable(const std::string& folder) {
  // Attributes and ACLs both decide, so ask the system by creating a file.
  const auto wide = win32::Widen(folder + "\\contigra-" + std::to_string(GetCurrentProcessId()) +
                                 ".probe");
  if (folder.empty() || !wide) return false;
  const ::HANDLE probe =
      CreateFileW(wide->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (probe == INVALID_HANDLE_VALUE) return false;
  CloseHandle(probe);
  return true;
}

std::unique_ptr<ExclusiveFile> ExclusiveFile::Open(const std::string& path) {
  // No sharing: while we hold it nobody else opens it. Open first and
  // truncate after, so a file held by another process stays whole.
  const auto wide = win32::Widen(path);
  if (!wide) return nullptr;
  const ::HANDLE file = CreateFileW(wide->c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  if (!SetEndOfFile(file)) {
    CloseHandle(file);
    return nullptr;
  }
  return std::make_unique<Win32ExclusiveFile>(file);
}

}  // namespace plat
