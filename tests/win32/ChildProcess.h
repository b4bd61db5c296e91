// A real child process for the Windows tests: started with UTF-8
// arguments, its standard output collected, ended by the test if need be.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace wintest {

// The full path of `program` in the folder of the running test program
// (every executable of a Windows build lands in one folder).
std::string ProgramBeside(const std::string& program);

// One argument quoted the way the C runtime and CommandLineToArgvW read it.
std::wstring QuoteArgument(const std::wstring& argument);

class ChildProcess {
 public:
  // Starts `program` (UTF-8 path) with `args`; standard output goes to a
  // pipe read by a thread of ours, standard input and error are closed.
  ChildProcess(const std::string& program, const std::vector<std::string>& args);
  // The same with the command line exactly as given (as a shell hands it on).
  struct CommandLine {
    std::wstring Text;
  };
  ChildProcess(const std::string& program, CommandLine commandLine);
  ~ChildProcess();  // kills the child if it still runs
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return process_ != nullptr; }
  // Why the child did not start (the system's error code), 0 if it did.
  std::uint32_t StartError() const { return startError_; }
  // Waits up to `ms` for the output to contain `text`.
  bool WaitForOutput(const std::string& text, std::uint32_t ms);
  // The exit code once the child ended within `ms`; empty if it still runs.
  std::optional<std::uint32_t> Wait(std::uint32_t ms);
  // The output so far; after Wait succeeded, all of it.
  std::string Output();
  void Kill();

 private:
  void* process_ = nullptr;
  std::uint32_t startError_ = 0;
  void* readEnd_ = nullptr;
  std::thread reader_;
  std::mutex lock_;
  std::condition_variable changed_;
  std::string output_;
  bool closed_ = false;
};

// Runs a program to its end (at most `ms`) and returns exit code and output.
struct RunResult {
  std::optional<std::uint32_t> ExitCode;  // empty: it did not start or end in time
  std::string Output;
  std::uint32_t StartError = 0;
};
// For failure messages: what became of the run.
std::string Describe(const RunResult& result);
RunResult Run(const std::string& program, const std::vector<std::string>& args,
              std::uint32_t ms = 30000);
RunResult RunCommandLine(const std::string& program, const std::wstring& commandLine,
                         std::uint32_t ms = 30000);

// Wide/UTF-8 conversion for the tests' own use.
std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);

// A mutex or semaphore name no other test run uses.
std::string UniqueName(const std::string& stem);

}  // namespace wintest
