// Kills the desktop program with SIGKILL at random instants of a profile
// run over 500 fragmented files on an NTFS image mapped as C:, each time on
// a fresh copy of the image. The run is started the way a user's schedule
// starts it: config.cfg holds one profile due a few seconds after start-up,
// and the scheduler's tick (every 30 seconds) starts it. After each kill:
//   - every file must read as before through libntfs-3g's own mount (if the
//     kill cut the dirty mark off between $MFT and $MFTMirr the library
//     refuses the image; then the next run must mend it);
//   - ntfsresize must find nothing worse than leaked clusters;
//   - the next start of the program must run the profile to its end, leave
//     every file intact and in one piece, and end cleanly on SIGTERM. One
//     file is let off the piece count: in about 1 of 100 trials the file
//     the kill interrupted stays in a few pieces after the next run (its
//     data intact); the trial counts it, and a second such file fails.
// Trials run side by side in separate folders, since most of a trial is the
// wait for the scheduler's tick. CONTIGRA_APP_CRASH_TRIALS (default 10),
// CONTIGRA_APP_CRASH_SLOTS (default 5) and CONTIGRA_CRASH_SEED override the
// number of kills, how many run at once and the random seed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <random>
#include <sstream>
#include <thread>

#include "NtfsTestSupport.h"

namespace {

using namespace ntfstest;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr int kFiles = 500;
constexpr char kStartLine[] = "<<<< \"Defragment list\" started.";
constexpr char kEndLine[] = ">>>> \"Defragment list\" finished normally.";

std::uint64_t EnvNumber(const char* name, std::uint64_t fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::strtoull(v, nullptr, 10) : fallback;
}

// 500 files of 24 to 80 KB in 2 to 6 pieces, one folder, one profile entry.
std::string Layout(std::vector<std::string>& paths) {
  std::ostringstream l;
  l << "size 96M\n";
  for (int i = 0; i < kFiles; ++i) {
    const std::string name = "f" + std::to_string(1000 + i) + ".dat";
    l << "file Docs\\" << name << " size=" << 24576 + (i * 37 % 15) * 4096 << " frag=" << 2 + i % 5 << '\n';
    paths.push_back("/Docs/" + name);
  }
  return l.str();
}

// config.cfg with one profile over C:\Docs, due every day `delaySeconds`
// from now (local time, to the second).
void WriteConfig(const std::string& file, int delaySeconds) {
  std::time_t t = std::time(nullptr);
  std::tm now{};
  localtime_r(&t, &now);
  // A start that would wrap past midnight reads as tomorrow's: wait it out.
  if (now.tm_hour * 3600 + now.tm_min * 60 + now.tm_sec > 86400 - delaySeconds - 2) {
    std::this_thread::sleep_for(std::chrono::seconds(delaySeconds + 4));
    t = std::time(nullptr);
    localtime_r(&t, &now);
  }
  t += delaySeconds;
  std::tm start{};
  localtime_r(&t, &start);
  char when[16];
  std::snprintf(when, sizeof when, "%d:%02d:%02d", start.tm_hour, start.tm_min, start.tm_sec);
  std::ofstream(file) << "<?xml version=\"1.0\"?>\n<Config><Profiles>"
                      << "<Profile Name=\"Documents\" RunMethod=\"0\"><Files><File>C:\\Docs</File></Files>"
                      << "<Scheduler><Active>true</Active><Start>" << when << "</Start>"
                      << "<Days Day0=\"True\" Day1=\"True\" Day2=\"True\" Day3=\"True\" Day4=\"True\""
                      << " Day5=\"True\" Day6=\"True\"/></Scheduler></Profile></Profiles>"
                      << "<Options ConfirmExit=\"False\" LogLevel=\"2\" MinimizeOnStartup=\"False\"/></Config>\n";
}

// One folder where a copy of the program runs with its own settings, log,
// runtime folder and image.
class Slot {
 public:
  Slot() {
    fs::copy_file(CONTIGRA_EXE, Exe());
    fs::permissions(Exe(), fs::perms::owner_exec, fs::perm_options::add);
  }
  std::string Exe() const { return dir_ / "contigra"; }
  std::string Image() const { return dir_ / "c.img"; }
  std::string Log() const { return dir_ / "contigra.log"; }
  // The log's lines that report a failure, each with the line after it.
  std::string LoggedFailures() const {
    std::ifstream in(Log(), std::ios::binary);
    std::string line, out;
    bool next = false;
    while (std::getline(in, line)) {
      if (next || line.find("Cannot") != std::string::npos) out += line + "\n";
      next = line.find("Exit with") != std::string::npos;
    }
    return out;
  }
  // What the program wrote to stdout and stderr.
  std::string Output() const {
    std::ifstream in(dir_ / "output.txt");
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

  // Starts the program with a profile due in a few seconds.
  pid_t Start() {
    fs::remove(Log());
    WriteConfig(dir_ / "config.cfg", 3);
    // The program makes its runtime folder itself (private, or it refuses it).
    const std::string runtime = dir_ / ("run" + std::to_string(++starts_));
    const std::string output = dir_ / "output.txt";
    const pid_t pid = fork();
    if (pid == 0) {
      setenv("QT_QPA_PLATFORM", "offscreen", 1);
      setenv("CONTIGRA_RUNTIME_DIR", runtime.c_str(), 1);
      setenv("CONTIGRA_DRIVES", ("C=" + Image()).c_str(), 1);
      if (!freopen(output.c_str(), "a", stdout) || !freopen(output.c_str(), "a", stderr)) _exit(126);
      execl(Exe().c_str(), Exe().c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    return pid;
  }

  // Waits until the log holds `line`; false when `seconds` passed or the
  // program ended first.
  bool WaitForLine(pid_t pid, const char* line, double seconds) const {
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
      std::ifstream in(Log(), std::ios::binary);
      const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      if (text.find(line) != std::string::npos) return true;
      siginfo_t info{};  // ended? (left for EndWith to collect)
      if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid)
        return false;
      if (Clock::now() >= deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

 private:
  TempDir dir_;
  int starts_ = 0;
};

int EndWith(pid_t pid, int signal) {
  kill(pid, signal);
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFSIGNALED(status)) return -WTERMSIG(status);
  return WEXITSTATUS(status);
}

struct Figures {
  std::mutex Lock;
  std::vector<std::string> Failures;
  double Span = 0;  // the shortest whole run seen
  int Trials = 0, KilledMidRun = 0, Leaked = 0, Mended = 0, LeftInPieces = 0;
};

class CrashTrials {
 public:
  CrashTrials(const std::string& pristine, std::vector<std::string> paths,
              std::map<std::string, LibraryFile> before, Figures& figures)
      : pristine_(pristine), paths_(std::move(paths)), before_(std::move(before)), figures_(figures) {}

  // A whole run on `slot`'s image: its length in seconds, or a failure.
  // `inPieces` (when given) may take one file left in pieces.
  bool WholeRun(Slot& slot, double& seconds, std::string& failure, int* inPieces = nullptr) {
    const pid_t pid = slot.Start();
    if (!slot.WaitForLine(pid, kStartLine, 90)) {
      failure = "the scheduled run did not start; exit " + std::to_string(EndWith(pid, SIGKILL)) + ", output:\n" +
                slot.Output();
      return false;
    }
    const auto started = Clock::now();
    const bool ended = slot.WaitForLine(pid, kEndLine, 600);
    seconds = std::chrono::duration<double>(Clock::now() - started).count();
    const int code = EndWith(pid, SIGTERM);
    if (!ended) failure = "the run did not finish";
    else if (code != 0) failure = "the program ended with " + std::to_string(code) + " on SIGTERM";
    else if (!CheckFiles(slot, true, failure, nullptr, inPieces))
      failure = "after a whole run: " + failure + "\n" + slot.LoggedFailures() + slot.Output();
    return failure.empty();
  }

  // One kill `fraction` of a run's length after the run started, and the
  // checks after it; an empty string when all held.
  std::string Trial(Slot& slot, double fraction) {
    fs::copy_file(pristine_, slot.Image(), fs::copy_options::overwrite_existing);
    const pid_t pid = slot.Start();
    if (!slot.WaitForLine(pid, kStartLine, 90)) {
      const int code = EndWith(pid, SIGKILL);
      return "the scheduled run did not start; exit " + std::to_string(code) + ", output:\n" + slot.Output();
    }
    double span;
    {
      std::lock_guard<std::mutex> lock(figures_.Lock);
      span = figures_.Span;
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(fraction * span));
    const bool midRun = !slot.WaitForLine(pid, kEndLine, 0);
    if (EndWith(pid, SIGKILL) != -SIGKILL) return "the program was not killed";
    std::string failure;
    bool refused = false;
    if (!CheckFiles(slot, false, failure, &refused)) return "after the kill: " + failure;
    int leaked = 0;
    std::string report;
    if (!refused && !VolumeCheck(slot.Image(), leaked, &report).empty()) return "after the kill:\n" + report;
    double seconds = 0;
    int inPieces = 0;
    if (!WholeRun(slot, seconds, failure, &inPieces)) return "the next run: " + failure;
    std::lock_guard<std::mutex> lock(figures_.Lock);
    ++figures_.Trials;
    figures_.KilledMidRun += midRun;
    figures_.Leaked += leaked > 0;
    figures_.Mended += refused;
    figures_.LeftInPieces += inPieces;
    figures_.Span = std::min(figures_.Span, seconds);
    return {};
  }

 private:
  // Every file as before (and in one piece when `whole`), and a volume
  // ntfsresize finds consistent but for leaked clusters. When the library
  // refuses the image and `refused` is given, that is noted instead.
  bool CheckFiles(const Slot& slot, bool whole, std::string& failure, bool* refused = nullptr,
                  int* inPieces = nullptr) {
    const std::string image = slot.Image();
    std::map<std::string, LibraryFile> now;
    std::string why;
    if (!ReadThroughLibrary(image, paths_, now, why)) {
      if (refused) *refused = true;
      else failure = why;
      return refused != nullptr;
    }
    for (const auto& p : paths_) {
      if (now[p].Sha != before_[p].Sha) {
        failure = p + " changed";
        return false;
      }
      if (whole && now[p].Pieces != 1) {
        if (inPieces && (*inPieces)++ == 0) continue;
        failure = p + " is in " + std::to_string(now[p].Pieces) + " pieces:";
        for (const ToolRun& r : NtfsclusterRuns(image, p))
          failure += " " + std::to_string(r.Vcn) + "@" + std::to_string(r.Lcn) + "+" + std::to_string(r.Length);
        failure += "\n" + LinesAbout(slot, p.substr(p.rfind('/') + 1));
        return false;
      }
    }
    int leaked = 0;
    std::string report;
    if (whole && !VolumeCheck(image, leaked, &report).empty()) {
      failure = report;
      return false;
    }
    return true;
  }

  static std::string LinesAbout(const Slot& slot, const std::string& name) {
    std::ifstream in(slot.Log(), std::ios::binary);
    std::string line, out;
    int after = 0;
    while (std::getline(in, line)) {
      if (line.find(name) != std::string::npos) after = 4;
      if (after-- > 0) out += line + "\n";
    }
    return out;
  }

  std::string pristine_;
  std::vector<std::string> paths_;
  std::map<std::string, LibraryFile> before_;
  Figures& figures_;
};

TEST(AppCrash, KilledProfileRunsLeaveEveryFileIntactAndTheNextRunWorks) {
  TempDir dir;
  std::vector<std::string> paths;
  const std::string pristine = dir / "pristine.img";
  BuildImage(Layout(paths), pristine);
  std::map<std::string, LibraryFile> before;
  std::string why;
  ASSERT_TRUE(ReadThroughLibrary(pristine, paths, before, why)) << why;
  for (const auto& p : paths) ASSERT_GT(before[p].Pieces, 1) << p;

  const std::uint64_t seed = EnvNumber("CONTIGRA_CRASH_SEED", std::random_device{}());
  const int trials = static_cast<int>(EnvNumber("CONTIGRA_APP_CRASH_TRIALS", 10));
  const int slots = std::max(1, static_cast<int>(EnvNumber("CONTIGRA_APP_CRASH_SLOTS", 5)));
  const auto began = Clock::now();
  Figures figures;
  CrashTrials runner(pristine, paths, before, figures);
  {
    // How long a whole run takes, and whether one works at all.
    Slot slot;
    fs::copy_file(pristine, slot.Image());
    std::string failure;
    ASSERT_TRUE(runner.WholeRun(slot, figures.Span, failure)) << failure;
  }

  // Every slot's copy of the program is made before any trial forks: a
  // child forked while another thread still writes a copy would inherit
  // the open file, and starting that copy would then fail (ETXTBSY).
  std::vector<std::unique_ptr<Slot>> slotList;
  for (int s = 0; s < std::min(slots, trials); ++s) slotList.push_back(std::make_unique<Slot>());
  std::atomic<int> next{0};
  std::vector<std::thread> threads;
  for (auto& owned : slotList) {
    threads.emplace_back([&, owned = owned.get()] {
      Slot& slot = *owned;
      for (int trial; (trial = next++) < trials;) {
        // Half the kills anywhere in the run, a quarter each in its first
        // and last sixth (the first moves and the dirty mark; the last
        // releases, the unmount and the mark cleared).
        std::mt19937_64 rng(seed + static_cast<std::uint64_t>(trial));
        const double u = std::uniform_real_distribution<double>(0.0, 1.0)(rng);
        const int where = static_cast<int>(rng() % 4);
        const double fraction = where == 0 ? u / 6 : where == 1 ? 5.0 / 6 + u / 6 : u;
        const std::string failure = runner.Trial(slot, fraction);
        if (failure.empty()) continue;
        std::lock_guard<std::mutex> lock(figures.Lock);
        figures.Failures.push_back("trial " + std::to_string(trial) + " (seed " + std::to_string(seed) +
                                   ", kill at " + std::to_string(fraction) + " of a run): " + failure);
      }
    });
  }
  for (auto& t : threads) t.join();
  for (const auto& f : figures.Failures) ADD_FAILURE() << f;
  const double minutes = std::chrono::duration<double>(Clock::now() - began).count() / 60;
  std::printf("contigra: %d of %d trials passed (seed %llu, %d at once, %.1f min, whole run %.2f s): "
              "%d killed mid-run, %d left leaked clusters, %d left $MFTMirr behind (mended by the "
              "next run), %d left one file in pieces, %zu failed\n",
              figures.Trials, trials, static_cast<unsigned long long>(seed), slots, minutes, figures.Span,
              figures.KilledMidRun, figures.Leaked, figures.Mended, figures.LeftInPieces,
              figures.Failures.size());
  EXPECT_GE(figures.KilledMidRun, trials / 2) << "most kills came after the run had ended";
}

}  // namespace
