// contigra_aux on Windows: arguments from the UTF-16 command line, output
// through the standard output handle as raw bytes (UTF-8, CR LF).
#include "HelperOutput.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace aux {
namespace {

std::string Utf8(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string narrow(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow.data(), size, nullptr, nullptr);
  narrow.pop_back();  // the NUL
  return narrow;
}

// The command line after the program's own name. The file manager's verb
// names the program unquoted, so a folder with blanks ("C:\Program Files\")
// would split it into several arguments: when the line starts with the
// program's full path as it is, that path is cut off whole.
std::wstring ArgumentText() {
  const std::wstring line = GetCommandLineW();
  wchar_t module[32768];
  const DWORD length = GetModuleFileNameW(nullptr, module, 32768);
  if (length > 0 && length < 32768 && line.size() >= length &&
      CompareStringOrdinal(line.c_str(), static_cast<int>(length), module,
                           static_cast<int>(length), TRUE) == CSTR_EQUAL &&
      (line.size() == length || line[length] == L' ' || line[length] == L'\t'))
    return L"x" + line.substr(length);
  return line;
}

}  // namespace

void PrepareOutput() {
  // A drive without its medium must fail the open, not ask the user.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

std::vector<std::string> Arguments(int, char**) {
  // The C runtime's argv is in the ANSI code page and loses other names.
  std::vector<std::string> args;
  int count = 0;
  const std::wstring text = ArgumentText();
  if (LPWSTR* wide = CommandLineToArgvW(text.c_str(), &count)) {
    for (int i = 1; i < count; ++i) args.push_back(Utf8(wide[i]));
    LocalFree(wide);
  }
  return args;
}

void WriteLine(const std::string& line) {
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
  const std::string bytes = line + "\r\n";
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD written = 0;
    if (!WriteFile(out, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written,
                   nullptr) ||
        written == 0)
      return;  // no usable standard output: drop the line
    done += written;
  }
}

}  // namespace aux
