#include "ChildProcess.h"

#include <atomic>
#include <chrono>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace wintest {

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                    nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  return wide;
}

std::string Utf8(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                    nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), narrow.data(), n,
                      nullptr, nullptr);
  return narrow;
}

std::string UniqueName(const std::string& stem) {
  static std::atomic<int> counter{0};
  return stem + "-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
}

std::string ProgramBeside(const std::string& program) {
  wchar_t self[MAX_PATH * 4];
  const DWORD n = GetModuleFileNameW(nullptr, self, static_cast<DWORD>(std::size(self)));
  std::wstring folder(self, n);
  folder.resize(folder.find_last_of(L"\\/") + 1);
  return Utf8(folder) + program;
}

std::wstring QuoteArgument(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos)
    return argument;
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes count double only before a quote.
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted.push_back(c);
  }
  quoted.append(backslashes * 2, L'\\');  // before the closing quote
  quoted.push_back(L'"');
  return quoted;
}

namespace {

std::wstring QuotedCommandLine(const std::string& program, const std::vector<std::string>& args) {
  std::wstring commandLine = QuoteArgument(Wide(program));
  for (const std::string& a : args) commandLine += L" " + QuoteArgument(Wide(a));
  return commandLine;
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args)
    : ChildProcess(program, CommandLine{QuotedCommandLine(program, args)}) {}

ChildProcess::ChildProcess(const std::string& program, CommandLine line) {
  std::wstring& commandLine = line.Text;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
    startError_ = GetLastError();
    return;
  }
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  PROCESS_INFORMATION info{};
  const std::wstring path = Wide(program);
  const BOOL created = CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                      CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info);
  if (!created) startError_ = GetLastError();
  CloseHandle(writeEnd);  // the child's copy is the only one left
  if (!created) {
    CloseHandle(readEnd);
    return;
  }
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  readEnd_ = readEnd;
  reader_ = std::thread([this] {
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(readEnd_, buffer, sizeof buffer, &got, nullptr) && got > 0) {
      std::lock_guard guard(lock_);
      output_.append(buffer, got);
      changed_.notify_all();
    }
    std::lock_guard guard(lock_);
    closed_ = true;
    changed_.notify_all();
  });
}

ChildProcess::~ChildProcess() {
  if (!process_) return;
  Kill();
  if (reader_.joinable()) reader_.join();
  CloseHandle(readEnd_);
  CloseHandle(process_);
}

bool ChildProcess::WaitForOutput(const std::string& text, std::uint32_t ms) {
  std::unique_lock guard(lock_);
  return changed_.wait_for(guard, std::chrono::milliseconds(ms), [&] {
    return output_.find(text) != std::string::npos || closed_;
  }) && output_.find(text) != std::string::npos;
}

std::optional<std::uint32_t> ChildProcess::Wait(std::uint32_t ms) {
  if (!process_ || WaitForSingleObject(process_, ms) != WAIT_OBJECT_0) return std::nullopt;
  // Everything the child wrote is in the pipe; read it to the end.
  if (reader_.joinable()) reader_.join();
  DWORD code = 0;
  GetExitCodeProcess(process_, &code);
  return code;
}

std::string ChildProcess::Output() {
  std::lock_guard guard(lock_);
  return output_;
}

void ChildProcess::Kill() {
  if (process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_, 9);
    WaitForSingleObject(process_, INFINITE);
  }
}

namespace {

RunResult RunToEnd(ChildProcess& child, std::uint32_t ms) {
  RunResult result;
  result.ExitCode = child.Wait(ms);
  result.Output = child.Output();
  result.StartError = child.StartError();
  return result;
}

}  // namespace

RunResult Run(const std::string& program, const std::vector<std::string>& args,
              std::uint32_t ms) {
  ChildProcess child(program, args);
  return RunToEnd(child, ms);
}

RunResult RunCommandLine(const std::string& program, const std::wstring& commandLine,
                         std::uint32_t ms) {
  ChildProcess child(program, ChildProcess::CommandLine{commandLine});
  return RunToEnd(child, ms);
}

std::string Describe(const RunResult& result) {
  if (result.StartError) return "did not start, error " + std::to_string(result.StartError);
  if (!result.ExitCode) return "did not end in time; output: " + result.Output;
  return "exit code " + std::to_string(*result.ExitCode) + "; output: " + result.Output;
}

}  // namespace wintest
