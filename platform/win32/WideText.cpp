#include "WideText.h"

#include <limits>

#include "WindowsHeaders.h"

namespace win32 {

std::optional<std::wstring> Widen(const std::string& text) {
  if (text.empty()) return std::wstring();
  if (text.find('\0') != std::string::npos ||
      text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
    return std::nullopt;
  const int inLength = static_cast<int>(text.size());
  const int length =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), inLength, nullptr, 0);
  if (length <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), inLength, wide.data(),
                          length) != length)
    return std::nullopt;
  return wide;
}

std::string Narrow(const wchar_t* text, std::size_t length) {
  if (length == 0 || length > static_cast<std::size_t>(std::numeric_limits<int>::max()))
    return {};
  const int inLength = static_cast<int>(length);
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, inLength, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string narrow(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, inLength, narrow.data(), size, nullptr, nullptr);
  return narrow;
}

std::string Narrow(const std::wstring& text) { return Narrow(text.data(), text.size()); }

}  // namespace win32
