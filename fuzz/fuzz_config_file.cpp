// config.cfg: the bytes are the file's content, loaded as the program does
// at start. Whatever loaded is then saved and loaded again, and must come
// back the same: a profile or option the program accepted once must not
// change or disappear at the next start.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "ConfigFile.h"
#include "DateTime.h"
#include "FuzzCheck.h"

namespace fs = std::filesystem;

namespace {

// One private folder per process, in memory where the system has one.
const fs::path& Folder() {
  static const fs::path folder = [] {
    const fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    fs::path f = base / ("contigra-fuzz-config-" + std::to_string(getpid()));
    fs::create_directories(f);
    std::atexit([] { std::error_code e; fs::remove_all(Folder(), e); });
    return f;
  }();
  return folder;
}

void CheckSame(const TProfile& a, const TProfile& b) {
  FUZZ_CHECK(a.Name == b.Name);
  FUZZ_CHECK(a.Files == b.Files);
  FUZZ_CHECK(a.RunMethod == b.RunMethod);
  FUZZ_CHECK(a.SchedulerActive == b.SchedulerActive);
  FUZZ_CHECK(FormatShortTime(a.Start) == FormatShortTime(b.Start));
  FUZZ_CHECK(a.Days == b.Days);
}

void CheckSame(const TOptions& a, const TOptions& b) {
  FUZZ_CHECK(a.MinimizeOnStartup == b.MinimizeOnStartup);
  FUZZ_CHECK(a.MinimizeOnClose == b.MinimizeOnClose);
  FUZZ_CHECK(a.AnimateTray == b.AnimateTray);
  FUZZ_CHECK(a.ConfirmExit == b.ConfirmExit);
  FUZZ_CHECK(a.Language == b.Language);
  FUZZ_CHECK(a.LogLevel == b.LogLevel);
  FUZZ_CHECK(a.LogMaxLines == b.LogMaxLines);
  FUZZ_CHECK(a.ShowLogWindow == b.ShowLogWindow);
  FUZZ_CHECK(a.ShowSchedule == b.ShowSchedule);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Schedules are computed from now; a fixed now keeps runs repeatable.
  SetClock([] { return EncodeDateTime(2024, 5, 15, 12, 30); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string file = (Folder() / "config.cfg").string();
  const std::string saved = (Folder() / "saved.cfg").string();
  std::error_code error;
  fs::remove(file + ".bak", error);
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }

  TProfileList profiles;
  TOptions options;
  const TConfigLoadReport report = LoadConfigFile(file, profiles, options, "en");
  if (!report.FileRead) FUZZ_CHECK(profiles.empty());
  const bool damaged = !report.FileRead || report.ProfilesSkipped > 0;
  FUZZ_CHECK(report.BackupWritten == damaged);
  FUZZ_CHECK(fs::exists(file + ".bak") == damaged);

  FUZZ_CHECK(SaveConfigFile(saved, profiles, options));
  TProfileList again;
  TOptions againOptions;
  const TConfigLoadReport second = LoadConfigFile(saved, again, againOptions, "en");
  FUZZ_CHECK(second.FileRead && second.ProfilesSkipped == 0);
  FUZZ_CHECK(again.size() == profiles.size());
  for (std::size_t i = 0; i < again.size(); ++i) CheckSame(*profiles[i], *again[i]);
  CheckSame(options, againOptions);
  return 0;
}
