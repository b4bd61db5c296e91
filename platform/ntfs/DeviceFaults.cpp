#include "DeviceFaults.h"

#include <atomic>
#include <cerrno>

namespace ntfs {
namespace {

std::atomic<std::uint64_t> gCounts[3];
std::atomic<std::uint64_t> gInjected{0};
std::atomic<bool> gArmed{false};
DeviceFault gFault;

std::atomic<std::uint64_t>& Count(DeviceOp op) { return gCounts[static_cast<int>(op)]; }

}  // namespace

void ResetDeviceOpCounts() {
  for (auto& c : gCounts) c = 0;
  gInjected = 0;
}

void ArmDeviceFault(const DeviceFault& fault) {
  gArmed = false;
  ResetDeviceOpCounts();
  gFault = fault;
  gArmed = true;
}

void DisarmDeviceFault() { gArmed = false; }

std::uint64_t DeviceOpCount(DeviceOp op) { return Count(op); }

std::uint64_t DeviceFaultsInjected() { return gInjected; }

bool DeviceOpFails(DeviceOp op) {
  const std::uint64_t n = ++Count(op);
  if (!gArmed || gFault.Op != op) return false;
  if (n != gFault.Nth && !(gFault.Sticky && n > gFault.Nth)) return false;
  ++gInjected;
  errno = gFault.Error;
  return true;
}

}  // namespace ntfs
