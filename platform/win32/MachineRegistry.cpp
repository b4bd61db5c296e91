#include "MachineRegistry.h"

#include "WideText.h"
#include "WindowsHeaders.h"

namespace win32::machine {
namespace {

// A key of HKEY_LOCAL_MACHINE with full access, opened or created, and
// closed on every path.
class FullAccessKey {
 public:
  FullAccessKey(const std::string& path, bool create) {
    const auto wide = Widen(path);
    if (!wide) return;
    const LONG result =
        create ? RegCreateKeyExW(HKEY_LOCAL_MACHINE, wide->c_str(), 0, nullptr,
                                 REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key_, nullptr)
               : RegOpenKeyExW(HKEY_LOCAL_MACHINE, wide->c_str(), 0, KEY_ALL_ACCESS, &key_);
    if (result != ERROR_SUCCESS) key_ = nullptr;
  }
  ~FullAccessKey() {
    if (key_) RegCloseKey(key_);
  }
  FullAccessKey(const FullAccessKey&) = delete;
  FullAccessKey& operator=(const FullAccessKey&) = delete;
  HKEY Get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

bool IsString(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

}  // namespace

std::optional<std::string> ReadString(const std::string& keyPath, const std::string& name) {
  const FullAccessKey key(keyPath, false);
  const auto wideName = Widen(name);
  if (!key.Get() || !wideName) return std::nullopt;
  DWORD type = 0;
  DWORD bytes = 0;
  if (RegQueryValueExW(key.Get(), wideName->c_str(), nullptr, &type, nullptr, &bytes) !=
          ERROR_SUCCESS ||
      !IsString(type))
    return std::nullopt;
  std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
  bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  if (RegQueryValueExW(key.Get(), wideName->c_str(), nullptr, &type,
                       reinterpret_cast<BYTE*>(text.data()), &bytes) != ERROR_SUCCESS ||
      !IsString(type))
    return std::nullopt;
  text.resize(bytes / sizeof(wchar_t));
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return Narrow(text);
}

bool WriteString(const std::string& keyPath, const std::string& name, const std::string& value) {
  const FullAccessKey key(keyPath, true);
  const auto wideName = Widen(name);
  const auto wideValue = Widen(value);
  if (!key.Get() || !wideName || !wideValue) return false;
  const auto bytes = static_cast<DWORD>((wideValue->size() + 1) * sizeof(wchar_t));
  return RegSetValueExW(key.Get(), wideName->c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(wideValue->c_str()), bytes) == ERROR_SUCCESS;
}

bool DeleteValue(const std::string& keyPath, const std::string& name) {
  const FullAccessKey key(keyPath, false);
  const auto wideName = Widen(name);
  return key.Get() && wideName && RegDeleteValueW(key.Get(), wideName->c_str()) == ERROR_SUCCESS;
}

bool DeleteTree(const std::string& keyPath) {
  const auto wide = Widen(keyPath);
  // RegDeleteTreeW with a subkey name deletes that key itself as well.
  return wide && RegDeleteTreeW(HKEY_LOCAL_MACHINE, wide->c_str()) == ERROR_SUCCESS;
}

}  // namespace win32::machine
