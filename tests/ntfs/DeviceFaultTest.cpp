// A device that fails: the Nth read, write or flush of a whole single-file
// or group defragmentation (mount and unmount included) fails with EIO or
// ENOSPC, for every N the operation makes. Each time the engine must come
// back with a result code and a closing log line, every file must read as
// before through a fresh libntfs-3g mount, and ntfsresize must find nothing
// worse than leaked clusters. A failed write can cut the dirty mark off
// between the two copies of $Volume: the backend's next mount must mend it.
//
// CI runs each N once, with EIO and ENOSPC taking turns and the write and
// flush failures also in a lasting form (the device stays broken). With
// CONTIGRA_FAULT_SWEEP=full every N gets both errors, lasting and one-off,
// for reads as well (tests/aux/crash_trials.sh --faults).
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>

#include "DefragAPI.h"
#include "DeviceFaults.h"
#include "NtfsTestSupport.h"

namespace {

using namespace ntfstest;
using ntfs::DeviceFault;
using ntfs::DeviceOp;

constexpr char kLayout[] = R"(
size 16M
file frag.bin size=300000 frag=8
file other.bin size=120000 frag=6
file dir\plain.bin size=50000 frag=3
sparse holes.bin size=1048576 data=0+4096,300000+20000
file tiny.txt size=40
)";
const std::vector<std::string> kToolPaths = {"/frag.bin", "/other.bin", "/dir/plain.bin",
                                             "/holes.bin", "/tiny.txt"};

class LogLines : public TEngineLogSink {
 public:
  std::vector<std::string> Lines;
  void Line(const std::string& text) override { Lines.push_back(text); }
  void Error(std::int32_t code) override { Lines.push_back("error " + std::to_string(code)); }
  void SystemInfo() override {}
};

using Operation = std::function<std::int32_t()>;

const char* OpName(DeviceOp op) {
  return op == DeviceOp::Read ? "read" : op == DeviceOp::Write ? "write" : "flush";
}

class DeviceFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    BuildImage(kLayout, pristine_);
    std::string why;
    ASSERT_TRUE(ReadThroughLibrary(pristine_, kToolPaths, before_, why)) << why;
    for (const auto& path : kToolPaths) ASSERT_FALSE(before_[path].Sha.empty()) << path;
    previousSink_ = SetEngineLogSink(&log_);
    previousLevel_ = GetEngineLogLevel();
    SetEngineLogLevel(2);
  }
  void TearDown() override {
    ntfs::DisarmDeviceFault();
    SetEngineLogSink(previousSink_);
    SetEngineLogLevel(previousLevel_);
  }

  // Runs `operation` on a fresh copy of the image, `fault` armed (none when
  // Nth is 0); returns the result code.
  std::int32_t RunOnce(const Operation& operation, const DeviceFault& fault) {
    std::filesystem::copy_file(pristine_, image_, std::filesystem::copy_options::overwrite_existing);
    log_.Lines.clear();
    ScopedNtfs ntfs("C=" + image_);
    if (fault.Nth) ntfs::ArmDeviceFault(fault);
    else ntfs::ResetDeviceOpCounts();
    const std::int32_t result = operation();  // its handles are closed: the volume is unmounted
    ntfs::DisarmDeviceFault();
    return result;
  }

  // How many operations of each kind a run without faults makes.
  std::map<DeviceOp, std::uint64_t> CountOps(const Operation& operation) {
    EXPECT_EQ(RunOnce(operation, {}), 0);
    std::map<DeviceOp, std::uint64_t> counts;
    for (DeviceOp op : {DeviceOp::Read, DeviceOp::Write, DeviceOp::Sync}) counts[op] = ntfs::DeviceOpCount(op);
    return counts;
  }

  // The checks after one run with a fault.
  void ExpectIntact(std::int32_t result) {
    ASSERT_FALSE(log_.Lines.empty());
    // The entry's closing line; a refused move ends a file without one,
    // right after its "processing block" line, and the code tells why.
    const std::string& last = log_.Lines.back();
    EXPECT_EQ(log_.Lines.front().rfind("<<<< ", 0), 0u) << log_.Lines.front();
    EXPECT_TRUE(last.rfind(">>>> ", 0) == 0 || (result != 0 && last.rfind("    processing block ", 0) == 0))
        << "result " << result << ", last line: " << last;
    std::map<std::string, LibraryFile> now;
    std::string why;
    if (!ReadThroughLibrary(image_, kToolPaths, now, why)) {
      // Only the mirror of $Volume may be left behind, and our next mount mends it.
      ++mended_;
      {
        ScopedNtfs ntfs("C=" + image_);
        const plat::HANDLE volume = OpenVolume('C');
        ASSERT_NE(volume, plat::INVALID_HANDLE_VALUE) << why;
        plat::CloseHandle(volume);
      }
      ASSERT_TRUE(ReadThroughLibrary(image_, kToolPaths, now, why)) << "still refused: " << why;
    }
    for (const auto& path : kToolPaths) ASSERT_EQ(now[path].Sha, before_[path].Sha) << path;
    int leaked = 0;
    std::string report;
    ASSERT_TRUE(VolumeCheck(image_, leaked, &report).empty()) << report;
    leakedRuns_ += leaked > 0;
  }

  void Sweep(const Operation& operation) {
    const char* sweep = std::getenv("CONTIGRA_FAULT_SWEEP");
    const bool full = sweep && std::string(sweep) == "full";
    const auto counts = CountOps(operation);
    int runs = 0, failedCodes = 0;
    for (const auto& [op, count] : counts) {
      ASSERT_GT(count, 0u) << OpName(op);
      // A failed read writes nothing itself, so CI tries every 7th read
      // (each kind of step still gets some); the full sweep tries them all.
      const std::uint64_t step = op == DeviceOp::Read && !full ? 7 : 1;
      for (std::uint64_t nth = 1; nth <= count; nth += step) {
        std::vector<DeviceFault> faults = {{op, nth, nth % 2 ? EIO : ENOSPC, false}};
        if (op != DeviceOp::Read || full) faults.push_back({op, nth, nth % 2 ? ENOSPC : EIO, true});
        if (full) {
          faults.push_back({op, nth, nth % 2 ? ENOSPC : EIO, false});
          faults.push_back({op, nth, nth % 2 ? EIO : ENOSPC, true});
        }
        for (const DeviceFault& fault : faults) {
          SCOPED_TRACE(std::string(OpName(op)) + " " + std::to_string(nth) + " of " + std::to_string(count) +
                       " fails with " + (fault.Error == EIO ? "EIO" : "ENOSPC") +
                       (fault.Sticky ? ", and every one after it" : ""));
          const std::int32_t result = RunOnce(operation, fault);
          ++runs;
          failedCodes += result != 0;
          ExpectIntact(result);
          if (HasFatalFailure()) return;
        }
      }
    }
    std::printf("%d runs (reads %llu, writes %llu, flushes %llu per run): %d ended with an error code, "
                "%d left leaked clusters, %d left $Volume's mirror behind (mended by the next mount)\n",
                runs, static_cast<unsigned long long>(counts.at(DeviceOp::Read)),
                static_cast<unsigned long long>(counts.at(DeviceOp::Write)),
                static_cast<unsigned long long>(counts.at(DeviceOp::Sync)), failedCodes, leakedRuns_, mended_);
    // A failed write of the mirror's copy of $Volume is among them.
    EXPECT_GT(mended_, 0);
  }

  TempDir dir_;
  std::string pristine_ = dir_ / "pristine.img";
  std::string image_ = dir_ / "c.img";
  std::map<std::string, LibraryFile> before_;
  LogLines log_;
  TEngineLogSink* previousSink_ = nullptr;
  std::int32_t previousLevel_ = 0;
  int mended_ = 0, leakedRuns_ = 0;
};

TEST_F(DeviceFaults, SingleFileDefragmentationSurvivesEveryFailingOperation) {
  Sweep([] { return DefragmentFile("C:\\frag.bin"); });
}

TEST_F(DeviceFaults, GroupDefragmentationSurvivesEveryFailingOperation) {
  Sweep([] { return DefragmentList({"C:\\frag.bin", "C:\\other.bin", "C:\\dir\\plain.bin"}, false); });
}

// The dirty mark is on the disk for as long as a batch changes the volume
// (a copy of the image taken mid-way mounts and shows it) and gone after.
TEST_F(DeviceFaults, VolumeIsMarkedDirtyWhileABatchWritesAndCleanAfter) {
  ASSERT_EQ(VolumeFlags(pristine_) & 1, 0);
  std::string seen;  // per check: d dirty, c clean, x the copy did not mount
  const TStopCallback stop = [&](std::int32_t) {
    const std::string copy = dir_ / "midway.img";
    std::filesystem::copy_file(image_, copy, std::filesystem::copy_options::overwrite_existing);
    const int flags = VolumeFlags(copy);
    seen += flags < 0 ? 'x' : (flags & 1) ? 'd' : 'c';
    return false;
  };
  EXPECT_EQ(RunOnce([&] { return DefragmentList({"C:\\frag.bin", "C:\\other.bin"}, false, stop); }, {}), 0);
  // Clean until the first move writes the mark, dirty from then on.
  const auto firstDirty = seen.find('d');
  ASSERT_NE(firstDirty, std::string::npos) << seen;
  EXPECT_EQ(seen.find_first_not_of('c'), firstDirty) << seen;
  EXPECT_EQ(seen.find_first_not_of('d', firstDirty), std::string::npos) << seen;
  EXPECT_GE(seen.size() - firstDirty, 2u) << seen;
  EXPECT_EQ(VolumeFlags(image_) & 1, 0) << "the mark stayed after the batch";
}

}  // namespace
