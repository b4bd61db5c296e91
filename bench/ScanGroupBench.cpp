// The fragmentation scan and group placement on real NTFS images, through
// the libntfs-3g backend.
//
//   bench_scan_group scan  [--files N] [--runs K] [--cache DIR] [--reader no]
//   bench_scan_group group [--files N] [--runs K] [--cache DIR] [--work DIR]
//
// scan: a tree of N small files (default 100,000; 100 folders of N/100),
// most of them in 2-4 pieces, some held in their file record. The image is
// built once and kept in the cache folder under a name made from a hash of
// its layout. The image is read through once so the page cache is warm,
// then ScanForFragmentedFiles walks the whole volume K times (default 3).
// The first walk also measures memory: the process's peak resident size
// (VmHWM, reset through /proc/self/clear_refs) over its size before the
// walk, less what the result list itself holds. Then an independent
// reader, libfsntfs's Python binding (bench/fsntfs_walk.py, run with
// /usr/bin/python3), walks the same image and counts each file's extents,
// K times as well (--reader no leaves it out); the best wall and the best
// CPU times are compared.
//
// group: N files of 4-16 KiB (default 10,000), those over one cluster in
// two pieces, in one folder. The pristine image is cached like the scan's;
// each run copies it into the work folder (default: the cache folder) and
// lays every file out with DefragmentList, in folder order, timing that
// call alone. Afterwards every file is checked to be one run starting where
// the one before it ends.
#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "DefragAPI.h"
#include "ImageBuilder.h"
#include "ImageLayout.h"
#include "NtfsPlatform.h"
#include "Records.h"

#ifndef CONTIGRA_BENCH_CACHE
#define CONTIGRA_BENCH_CACHE "/tmp/contigra-bench"
#endif
#ifndef CONTIGRA_BENCH_SOURCE
#define CONTIGRA_BENCH_SOURCE "."
#endif

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// User and system time of this process (or of its waited-for children).
double CpuSeconds(int who) {
  rusage u{};
  getrusage(who, &u);
  const auto s = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
  return s(u.ru_utime) + s(u.ru_stime);
}

struct Timing {
  double Wall = 0, Cpu = 0;
};

struct Options {
  std::string Mode;
  int Files = 0;
  int Runs = 3;
  std::string Cache = CONTIGRA_BENCH_CACHE;
  std::string Work;
  bool Reader = true;
};

bool ParseOptions(int argc, char** argv, Options& o) {
  if (argc < 2) return false;
  o.Mode = argv[1];
  if (o.Mode != "scan" && o.Mode != "group") return false;
  o.Files = o.Mode == "scan" ? 100000 : 10000;
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string key = argv[i], value = argv[i + 1];
    if (key == "--files") o.Files = std::max(100, std::atoi(value.c_str()));
    else if (key == "--runs") o.Runs = std::max(1, std::atoi(value.c_str()));
    else if (key == "--cache") o.Cache = value;
    else if (key == "--work") o.Work = value;
    else if (key == "--reader") o.Reader = value != "no";
    else return false;
  }
  if (argc % 2 != 0) return false;
  if (o.Work.empty()) o.Work = o.Cache;
  return true;
}

// A deterministic number in [0, n) from `i` and `salt`.
std::uint32_t Pick(std::uint32_t i, std::uint32_t salt, std::uint32_t n) {
  std::uint64_t x = (std::uint64_t{i} << 32) ^ salt;
  x ^= x >> 33;
  x *= 0xff51afd7ed558ccdull;
  x ^= x >> 33;
  x *= 0xc4ceb53fe1a85ec9ull;
  x ^= x >> 33;
  return static_cast<std::uint32_t>(x % n);
}

std::string ScanFolder(int i, int perFolder) {
  const int f = i / perFolder;
  return "Tree\\d" + std::to_string(f / 10) + "\\d" + std::to_string(f % 10);
}

// 100 folders in two levels; of every 10 files, 6 are in 2-4 pieces of one
// cluster or more, 3 are in one piece and 1 is small enough for its record.
std::string ScanLayout(int files) {
  const int perFolder = (files + 99) / 100;
  const std::uint64_t image = (std::uint64_t(files) * 24 * 1024 + (256u << 20)) >> 20;
  std::ostringstream l;
  l << "size " << image << "M\n";
  for (int i = 0; i < files; ++i) {
    const auto u = static_cast<std::uint32_t>(i);
    l << "file " << ScanFolder(i, perFolder) << "\\f" << i << ".dat size=";
    switch (i % 10) {
      case 0: l << 200 + Pick(u, 1, 400); break;
      case 1: case 2: case 3: l << 1000 + Pick(u, 2, 15000); break;
      default: l << 8192 + Pick(u, 3, 12288) << " frag=" << 2 + Pick(u, 4, 3);
    }
    l << '\n';
  }
  return l.str();
}

std::string GroupLayout(int files) {
  const std::uint64_t image = (std::uint64_t(files) * 40 * 1024 + (128u << 20)) >> 20;
  std::ostringstream l;
  l << "size " << image << "M\n";
  for (int i = 0; i < files; ++i) {
    const std::uint32_t size = 4096 + Pick(static_cast<std::uint32_t>(i), 5, 12289);
    l << "file Group\\g" << 100000 + i << ".dat size=" << size << (size > 4096 ? " frag=2" : "")
      << '\n';
  }
  return l.str();
}

std::string Hash(const std::string& text) {
  std::uint64_t h = 1469598103934665603ull;
  for (unsigned char c : text) h = (h ^ c) * 1099511628211ull;
  char buf[17];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
  return buf;
}

// The cached image for `layoutText`, built when missing.
std::string CachedImage(const std::string& cache, const std::string& kind,
                        const std::string& layoutText) {
  std::filesystem::create_directories(cache);
  const std::string path = cache + "/" + kind + "-" + Hash(layoutText) + ".img";
  if (std::filesystem::exists(path)) {
    std::cout << "image: " << path << " (cached)\n";
    return path;
  }
  imagekit::Layout layout;
  std::string error;
  if (!imagekit::ParseLayout(layoutText, layout, error)) {
    std::cerr << "layout: " << error << '\n';
    std::exit(1);
  }
  std::cout << "image: building " << path << " ..." << std::flush;
  const auto start = Clock::now();
  const std::string partial = path + ".partial";
  if (!imagekit::BuildImage(layout, partial, error)) {
    std::cerr << "\nbuild: " << error << '\n';
    std::exit(1);
  }
  std::filesystem::rename(partial, path);
  std::ofstream(path + ".layout") << layoutText;
  std::cout << " " << Seconds(start) << " s\n";
  return path;
}

// Reads the whole file so the page cache holds it.
void WarmPageCache(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  std::vector<char> buf(1 << 20);
  while (fd >= 0 && read(fd, buf.data(), buf.size()) > 0) {
  }
  if (fd >= 0) close(fd);
}

std::int64_t StatusKiB(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::string k = std::string(key) + ":";
  while (std::getline(in, line))
    if (line.rfind(k, 0) == 0) return std::atoll(line.c_str() + k.size());
  return -1;
}

void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// Heap bytes the result list holds (its array and the names' buffers).
std::int64_t ListBytes(const TFileRegionList& list) {
  std::int64_t bytes = static_cast<std::int64_t>(list.capacity() * sizeof(TFileRegionPair));
  for (const auto& r : list)
    if (r.FileName.capacity() >= sizeof(std::string)) bytes += static_cast<std::int64_t>(r.FileName.capacity() + 1);
  return bytes;
}

class Backend {
 public:
  explicit Backend(const std::string& image)
      : platform_(ntfs::MakeNtfsPlatform(ntfs::ParseDriveTable("C=" + image, ';'))),
        previous_(plat::SetCurrent(platform_.get())) {}
  ~Backend() { plat::SetCurrent(previous_); }

 private:
  std::unique_ptr<plat::Platform> platform_;
  plat::Platform* previous_;
};

// Runs a command; returns its wall and CPU time, its output in `out`.
Timing TimeCommand(const std::vector<std::string>& argv, std::string& out) {
  const double cpu = CpuSeconds(RUSAGE_CHILDREN);
  const auto start = Clock::now();
  out.clear();
  const int rc = imagekit::RunProgram(argv, &out);
  const Timing t{Seconds(start), CpuSeconds(RUSAGE_CHILDREN) - cpu};
  if (rc != 0) {
    std::cerr << argv[0] << " failed (" << rc << "): " << out << '\n';
    std::exit(1);
  }
  return t;
}

double Best(const std::vector<Timing>& runs, double Timing::*field) {
  double best = runs.front().*field;
  for (const Timing& t : runs) best = std::min(best, t.*field);
  return best;
}

int Scan(const Options& o) {
  const std::string image = CachedImage(o.Cache, "scan", ScanLayout(o.Files));
  WarmPageCache(image);
  std::vector<Timing> ours;
  std::int64_t fragmented = 0;
  for (int run = 0; run < o.Runs; ++run) {
    Backend backend(image);
    TFileRegionList list;
    malloc_trim(0);
    const std::int64_t before = StatusKiB("VmRSS");
    ResetPeak();
    const double cpu = CpuSeconds(RUSAGE_SELF);
    const auto start = Clock::now();
    ScanForFragmentedFiles("C:\\", 0, list, 0);
    ours.push_back({Seconds(start), CpuSeconds(RUSAGE_SELF) - cpu});
    if (run == 0) {
      const std::int64_t peak = StatusKiB("VmHWM"), listKiB = ListBytes(list) / 1024;
      std::printf("memory: RSS before %.1f MiB, peak %.1f MiB, result list %.1f MiB, "
                  "peak beyond the list %.1f MiB\n",
                  double(before) / 1024, double(peak) / 1024, double(listKiB) / 1024,
                  double(peak - before - listKiB) / 1024);
    }
    if (list.size() != static_cast<std::size_t>(o.Files)) {
      std::cerr << "scan listed " << list.size() << " files, expected " << o.Files << '\n';
      return 1;
    }
    fragmented = std::count_if(list.begin(), list.end(), [](const auto& r) { return r.Fragments > 1; });
    std::printf("contigra run %d: %.3f s (CPU %.3f s), %.0f files/s\n", run + 1, ours.back().Wall,
                ours.back().Cpu, o.Files / ours.back().Wall);
  }
  std::printf("files %d, of which fragmented %lld\n", o.Files, static_cast<long long>(fragmented));

  if (!o.Reader) return 0;
  std::vector<Timing> theirs;
  const std::string script = std::string(CONTIGRA_BENCH_SOURCE) + "/fsntfs_walk.py";
  std::string out;
  for (int run = 0; run < o.Runs; ++run) {
    theirs.push_back(TimeCommand({"/usr/bin/python3", script, image}, out));
    std::printf("libfsntfs run %d: %.3f s (CPU %.3f s), %.0f files/s (%s)\n", run + 1,
                theirs.back().Wall, theirs.back().Cpu, o.Files / theirs.back().Wall,
                out.substr(0, out.find('\n')).c_str());
  }
  const double wall = Best(ours, &Timing::Wall), cpu = Best(ours, &Timing::Cpu);
  const double wallTheirs = Best(theirs, &Timing::Wall), cpuTheirs = Best(theirs, &Timing::Cpu);
  std::printf("best wall: contigra %.3f s (%.0f files/s), libfsntfs %.3f s (%.0f files/s): "
              "contigra %.2fx as fast\n",
              wall, o.Files / wall, wallTheirs, o.Files / wallTheirs, wallTheirs / wall);
  std::printf("best CPU:  contigra %.3f s, libfsntfs %.3f s: contigra %.2fx as fast\n", cpu,
              cpuTheirs, cpuTheirs / cpu);
  return 0;
}

// Every file one run, each starting where the one before ends.
bool GroupIsContiguous(const std::vector<std::string>& files) {
  std::int64_t next = -1;
  std::vector<std::uint8_t> out(plat::rec::kMapBufferSize);
  plat::HANDLE volume;  // one mount for the whole check
  if (OpenVolumeHandle(files.front(), volume) != 0) return false;
  struct Closer {
    plat::HANDLE h;
    ~Closer() { plat::CloseHandle(h); }
  } closer{volume};
  for (const std::string& f : files) {
    plat::HANDLE h;
    if (OpenFileHandle(f, h) != 0) return false;
    std::uint8_t in[8] = {};
    plat::IO_STATUS_BLOCK iosb;
    const auto s = plat::NtFsControlFile(h, iosb, plat::FSCTL_GET_RETRIEVAL_POINTERS, in, 8,
                                         out.data(), static_cast<std::uint32_t>(out.size()));
    plat::CloseHandle(h);
    if (s != plat::STATUS_SUCCESS || plat::rec::LoadU32(out.data(), 0) != 1) {
      std::cerr << f << " is not one run\n";
      return false;
    }
    const std::int64_t lcn = plat::rec::LoadI64(out.data(), 24);
    if (next >= 0 && lcn != next) {
      std::cerr << f << " starts at " << lcn << ", not at " << next << '\n';
      return false;
    }
    next = lcn + plat::rec::LoadI64(out.data(), 16);
  }
  return true;
}

int Group(const Options& o) {
  const std::string pristine = CachedImage(o.Cache, "group", GroupLayout(o.Files));
  std::filesystem::create_directories(o.Work);
  const std::string image = o.Work + "/group-work.img";
  std::vector<std::string> files;
  for (int i = 0; i < o.Files; ++i) files.push_back("C:\\Group\\g" + std::to_string(100000 + i) + ".dat");
  for (int run = 0; run < o.Runs; ++run) {
    std::filesystem::copy_file(pristine, image, std::filesystem::copy_options::overwrite_existing);
    WarmPageCache(image);
    Backend backend(image);
    const auto start = Clock::now();
    const std::int32_t r = DefragmentList(files, false);
    const double t = Seconds(start);
    const bool ok = r == 0 && GroupIsContiguous(files);
    std::printf("run %d: %.3f s, %.0f files/s%s\n", run + 1, t, o.Files / t,
                ok ? "" : "  (NOT laid out as one group)");
    if (!ok) return 1;
  }
  std::filesystem::remove(image);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!ParseOptions(argc, argv, o)) {
    std::cerr << "usage: bench_scan_group scan|group [--files N] [--runs K] [--cache DIR]"
                 " [--work DIR] [--reader no]\n";
    return 2;
  }
  return o.Mode == "scan" ? Scan(o) : Group(o);
}
