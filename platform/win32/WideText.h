// UTF-8 inside the program, UTF-16 at the Windows API: every name passed to
// a W function goes through Widen, every name coming back through Narrow.
#pragma once

#include <optional>
#include <string>

namespace win32 {

// Empty optional when `text` is not valid UTF-8 or holds a NUL (which would
// silently cut a Windows name short); callers report ERROR_INVALID_NAME.
std::optional<std::wstring> Widen(const std::string& text);

// Names from the system are well-formed UTF-16 except in rare corrupt or
// hand-made cases: an unpaired surrogate becomes U+FFFD.
std::string Narrow(const wchar_t* text, std::size_t length);
std::string Narrow(const std::wstring& text);

}  // namespace win32
