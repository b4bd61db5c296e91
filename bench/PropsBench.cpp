// The profile properties dialog opened on a profile of 10,000 entries on a
// real NTFS image (libntfs-3g backend), with real widgets on Qt's
// offscreen platform.
//
//   bench_props [--files N] [--runs K] [--cache DIR]
//
// The image holds N files (default 10,000) of 4-16 KiB in one folder,
// those over one cluster in two pieces; it is built once and kept in the
// cache folder under a name made from its layout. Each run creates the
// dialog with the Included file(s) page showing, fills it from the profile
// (LoadFrom), shows it and runs the event loop, and notes:
//   first paint  from the start of the run to the end of the list's first
//                paint;
//   all filled   to the moment the last row's cells were written;
//   longest stall the longest time the event loop went without serving a
//                1 ms timer while the rows filled in.
// The same entries are then measured directly, one after another on this
// thread (what the dialog did on its own thread before it showed itself).
// K runs (default 5), medians reported; a run whose cells differ from the
// direct measures fails the program.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

#include "Dialogs.h"
#include "FileMeasure.h"
#include "ImageBuilder.h"
#include "ImageLayout.h"
#include "NtfsPlatform.h"
#include "ProfileProps.h"

#ifndef CONTIGRA_BENCH_CACHE
#define CONTIGRA_BENCH_CACHE "/tmp/contigra-bench"
#endif

namespace {

std::string EntryName(int i) { return "Props\\p" + std::to_string(100000 + i) + ".dat"; }

std::string PropsLayout(int files) {
  std::ostringstream l;
  l << "size " << ((std::uint64_t(files) * 40 * 1024 + (128u << 20)) >> 20) << "M\n";
  for (int i = 0; i < files; ++i) {
    const std::uint32_t size = 4096 + (static_cast<std::uint32_t>(i) * 2654435761u) % 12289;
    l << "file " << EntryName(i) << " size=" << size << (size > 4096 ? " frag=2" : "") << '\n';
  }
  return l.str();
}

std::string Image(const std::string& cache, int files) {
  const std::string text = PropsLayout(files);
  const std::string path = cache + "/props-" + std::to_string(files) + "-" +
                           std::to_string(std::hash<std::string>{}(text)) + ".img";
  if (std::filesystem::exists(path)) return path;
  std::filesystem::create_directories(cache);
  imagekit::Layout layout;
  std::string error;
  if (!imagekit::ParseLayout(text, layout, error) ||
      !imagekit::BuildImage(layout, path + ".partial", error)) {
    std::cerr << "image: " << error << '\n';
    std::exit(1);
  }
  std::filesystem::rename(path + ".partial", path);
  return path;
}

// Ends the list's first paint: the paint event has been handled when the
// filter sees the next event of any kind, so the time is taken from a
// zero timer queued behind it.
class PaintWatch final : public QObject {
 public:
  double Ms = -1;
  QElapsedTimer* Clock = nullptr;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint && Ms < 0)
      QTimer::singleShot(0, this, [this] { if (Ms < 0) Ms = static_cast<double>(Clock->nsecsElapsed()) / 1e6; });
    return false;
  }
};

struct RunTimes {
  double FirstPaint = 0, AllFilled = 0, LongestStall = 0;
  bool Same = true;
};

RunTimes OneRun(const TProfile& profile, const std::vector<TFileMeasure>& direct) {
  RunTimes t;
  QElapsedTimer clock;
  PaintWatch paint;
  paint.Clock = &clock;
  clock.start();
  TProfilePropsForm form;
  auto* list = form.findChild<QTreeWidget*>(QStringLiteral("lvFiles"));
  form.findChild<QTabWidget*>(QStringLiteral("PC"))->setCurrentIndex(1);
  list->viewport()->installEventFilter(&paint);
  form.LoadFrom(profile);
  form.show();
  QElapsedTimer sinceTick;
  sinceTick.start();
  QTimer tick;
  tick.setInterval(1);
  QObject::connect(&tick, &QTimer::timeout, [&] {
    t.LongestStall = std::max(t.LongestStall, static_cast<double>(sinceTick.nsecsElapsed()) / 1e6);
    sinceTick.restart();
  });
  tick.start();
  while (form.MeasuresPending() || paint.Ms < 0) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  t.AllFilled = static_cast<double>(clock.nsecsElapsed()) / 1e6;
  t.FirstPaint = paint.Ms;
  for (int i = 0; i < form.EntryCount(); ++i) {
    const TFileInfo& info = form.Entry(i);
    const TFileMeasure& want = direct[static_cast<std::size_t>(i)];
    t.Same = t.Same && info.Size == want.Size && info.Fragments == want.Fragments;
  }
  return t;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  int files = 10000, runs = 5;
  std::string cache = CONTIGRA_BENCH_CACHE;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string key = argv[i], value = argv[i + 1];
    if (key == "--files") files = std::max(1, std::stoi(value));
    else if (key == "--runs") runs = std::max(1, std::stoi(value));
    else if (key == "--cache") cache = value;
    else {
      std::cerr << "usage: bench_props [--files N] [--runs K] [--cache DIR]\n";
      return 2;
    }
  }
  const std::string image = Image(cache, files);
  const auto platform = ntfs::MakeNtfsPlatform(ntfs::ParseDriveTable("C=" + image, ';'));
  plat::SetCurrent(platform.get());
  TProfile profile;
  for (int i = 0; i < files; ++i) profile.Files.push_back("C:\\" + EntryName(i));

  std::vector<TFileMeasure> direct;
  const auto start = std::chrono::steady_clock::now();
  for (const std::string& path : profile.Files) direct.push_back(MeasureFile(path));
  const double directMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  std::int64_t fragments = 0;
  for (const TFileMeasure& m : direct) fragments += std::max<std::int64_t>(m.Fragments, 0);

  std::vector<double> paint, filled, stall;
  bool same = true;
  std::printf("entries %d (fragments in all: %lld), image %s\n", files,
              static_cast<long long>(fragments), image.c_str());
  std::printf("%4s %16s %16s %18s\n", "run", "first paint ms", "all filled ms", "longest stall ms");
  for (int r = 0; r < runs; ++r) {
    const RunTimes t = OneRun(profile, direct);
    std::printf("%4d %16.1f %16.1f %18.1f%s\n", r + 1, t.FirstPaint, t.AllFilled, t.LongestStall,
                t.Same ? "" : "  (cells differ from the direct measures)");
    paint.push_back(t.FirstPaint);
    filled.push_back(t.AllFilled);
    stall.push_back(t.LongestStall);
    same = same && t.Same;
  }
  std::printf("median %14.1f %16.1f %18.1f\n", Median(paint), Median(filled), Median(stall));
  std::printf("direct, on the window's thread: %.1f ms\n", directMs);
  plat::SetCurrent(nullptr);
  return same ? 0 : 1;
}
