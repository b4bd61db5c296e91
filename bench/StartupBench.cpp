// Start-up of contigra to its painted main window, as real processes.
//
//   bench_startup [--runs K] [--profiles N,M,...] [--program PATH] [--keep yes]
//
// For each profile count (default 0 and 200) the program is copied into a
// fresh folder with a config.cfg of that many profiles beside it (three
// entries each, half of them scheduled), written by the model's own
// SaveConfigFile. Each run starts that copy with Qt's offscreen platform,
// a private runtime folder (so the single-instance guard of another
// contigra never turns it away) and a private configuration folder, and
// with bench_startup_probe preloaded. The probe notes the moment the main
// window has handled its first expose event and ends the process (see
// StartupProbe.cpp). A run's time is from just before fork to that moment,
// on the monotonic clock. One unmeasured run first warms the page cache;
// then K runs (default 5); the median is reported, with the row count the
// probe found in the window as a check that every profile was loaded.
// --keep yes leaves the folders (their path is printed) for a closer look,
// e.g. under a profiler.
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ConfigFile.h"
#include "DateTime.h"
#include "Options.h"

#ifndef CONTIGRA_PROGRAM
#define CONTIGRA_PROGRAM "contigra"
#endif
#ifndef CONTIGRA_PROBE
#define CONTIGRA_PROBE "libbench_startup_probe.so"
#endif

namespace {

namespace fs = std::filesystem;

long long NowNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

void WriteConfig(const fs::path& file, int count) {
  TProfileList profiles;
  for (int i = 0; i < count; ++i) {
    auto profile = std::make_unique<TProfile>();
    profile->SetName("Profile " + std::to_string(i));
    for (int e = 0; e < 3; ++e)
      profile->Files.push_back("C:\\Data\\p" + std::to_string(i) + "\\file" + std::to_string(e) + ".dat");
    profile->RunMethod = static_cast<std::uint8_t>(i % 2);
    profile->SchedulerActive = i % 2 == 0;
    profile->SetStart(EncodeTime(i % 24, (i * 7) % 60));
    for (int day = 0; day < 7; ++day) profile->SetDay(day, (i + day) % 3 == 0);
    profiles.push_back(std::move(profile));
  }
  TOptions options;
  if (!SaveConfigFile(file.string(), profiles, options)) {
    std::cerr << "cannot write " << file << "\n";
    std::exit(2);
  }
}

struct Run {
  double Ms = -1;
  int Rows = -1;
};

Run StartOnce(const fs::path& program, const fs::path& folder) {
  const fs::path probeFile = folder / "probe.txt";
  fs::remove(probeFile);
  // The guard insists on a private runtime folder.
  fs::create_directories(folder / "runtime");
  fs::permissions(folder / "runtime", fs::perms::owner_all, fs::perm_options::replace);
  fs::create_directories(folder / "xdg");
  const long long start = NowNs();
  const pid_t child = fork();
  if (child == 0) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("LD_PRELOAD", CONTIGRA_PROBE, 1);
    setenv("CONTIGRA_PROBE_FILE", probeFile.c_str(), 1);
    setenv("CONTIGRA_RUNTIME_DIR", (folder / "runtime").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (folder / "xdg").c_str(), 1);
    setenv("CONTIGRA_DRIVES", "", 1);
    setenv("XDG_RUNTIME_DIR", (folder / "runtime").c_str(), 1);
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  // Ten seconds at most; a program that never shows its window is killed.
  int status = 0;
  for (int waited = 0; waitpid(child, &status, WNOHANG) == 0; ++waited) {
    if (waited == 10000) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      return {};
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  std::ifstream in(probeFile);
  long long shown = 0;
  Run run;
  if (!(in >> shown >> run.Rows)) return {};
  run.Ms = static_cast<double>(shown - start) / 1e6;
  return run;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::vector<int> ParseCounts(const std::string& text) {
  std::vector<int> counts;
  std::stringstream in(text);
  for (std::string item; std::getline(in, item, ',');) counts.push_back(std::stoi(item));
  return counts;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  std::vector<int> counts = {0, 200};
  fs::path program = CONTIGRA_PROGRAM;
  bool keep = false;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    if (flag == "--runs") runs = std::stoi(argv[i + 1]);
    else if (flag == "--profiles") counts = ParseCounts(argv[i + 1]);
    else if (flag == "--program") program = argv[i + 1];
    else if (flag == "--keep") keep = std::string(argv[i + 1]) == "yes";
    else {
      std::cerr << "usage: bench_startup [--runs K] [--profiles N,M,...] [--program PATH] [--keep yes]\n";
      return 2;
    }
  }
  const fs::path base = fs::temp_directory_path() / ("contigra-startup-" + std::to_string(getpid()));
  std::printf("%-9s %-40s %10s %10s %10s %6s\n", "profiles", "runs (ms)", "median", "min", "max", "rows");
  bool ok = true;
  for (const int count : counts) {
    const fs::path folder = base / std::to_string(count);
    fs::create_directories(folder);
    fs::copy_file(program, folder / "contigra", fs::copy_options::overwrite_existing);
    WriteConfig(folder / "config.cfg", count);
    StartOnce(folder / "contigra", folder);  // warms the page cache
    std::vector<double> times;
    std::string shown;
    int rows = -1;
    for (int r = 0; r < runs; ++r) {
      const Run run = StartOnce(folder / "contigra", folder);
      if (run.Ms < 0) {
        std::cerr << "run " << r << " with " << count << " profiles showed no window\n";
        ok = false;
        continue;
      }
      times.push_back(run.Ms);
      rows = run.Rows;
      char one[16];
      std::snprintf(one, sizeof one, "%s%.0f", shown.empty() ? "" : " ", run.Ms);
      shown += one;
    }
    if (times.empty()) continue;
    std::printf("%-9d %-40s %10.1f %10.1f %10.1f %6d\n", count, shown.c_str(), Median(times),
                *std::min_element(times.begin(), times.end()),
                *std::max_element(times.begin(), times.end()), rows);
    if (rows != count) ok = false;
  }
  std::error_code ignored;
  if (keep) std::printf("folders kept in %s\n", base.c_str());
  else fs::remove_all(base, ignored);
  return ok ? 0 : 1;
}
