// The current user's hive (HKEY_CURRENT_USER), read only, and the system's
// expansion of environment references.
#include <string>
#include <vector>

#include "Registry.h"
#include "WideText.h"
#include "WindowsHeaders.h"

namespace plat {
namespace {

// An open key, closed on every path.
class Key {
 public:
  explicit Key(const std::string& path) {
    const auto wide = win32::Widen(path);
    if (!wide || RegOpenKeyExW(HKEY_CURRENT_USER, wide->c_str(), 0, KEY_READ, &key_) !=
                     ERROR_SUCCESS)
      key_ = nullptr;
  }
  ~Key() {
    if (key_) RegCloseKey(key_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  HKEY Get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

// The value's text without the terminating NULs the store may keep.
std::string TextOf(std::wstring text) {
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return win32::Narrow(text);
}

class Win32UserRegistry final : public UserRegistry {
 public:
  std::string ReadString(const std::string& keyPath, const std::string& name) override {
    const Key key(keyPath);
    const auto wideName = win32::Widen(name);
    if (!key.Get() || !wideName) return {};
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(key.Get(), wideName->c_str(), nullptr, &type, nullptr, &bytes) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
      return {};
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key.Get(), wideName->c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(text.data()), &bytes) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
      return {};
    text.resize(bytes / sizeof(wchar_t));
    return TextOf(std::move(text));
  }

  std::vector<std::string> SubkeyNames(const std::string& keyPath) override {
    std::vector<std::string> names;
    const Key key(keyPath);
    if (!key.Get()) return names;
    for (DWORD index = 0;; ++index) {
      wchar_t name[256];  // key names are at most 255 characters
      DWORD length = 256;
      if (RegEnumKeyExW(key.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS)
        break;
      names.push_back(win32::Narrow(name, length));
    }
    return names;
  }
};

}  // namespace

std::unique_ptr<UserRegistry> MakeUserRegistry() { return std::make_unique<Win32UserRegistry>(); }

std::string ExpandEnvironmentText(const std::string& text) {
  const auto wide = win32::Widen(text);
  if (!wide) return text;
  std::wstring out(wide->size() + 1, L'\0');
  for (;;) {
    const DWORD needed =
        ExpandEnvironmentStringsW(wide->c_str(), out.data(), static_cast<DWORD>(out.size()));
    if (needed == 0) return text;
    if (needed <= out.size()) {
      out.resize(needed);  // `needed` counts the terminating NUL
      return TextOf(std::move(out));
    }
    out.resize(needed);
  }
}

}  // namespace plat
