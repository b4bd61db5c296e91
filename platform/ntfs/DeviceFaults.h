// A test hook in the backend's device layer: makes the Nth read, write or
// flush that libntfs-3g asks of a volume fail with a chosen errno, as a
// failing disk or a full host file system would. Always compiled in and
// inert until armed; the programs never arm it.
//
// Operations are counted over every volume of the process from the last
// ArmDeviceFault or ResetDeviceOpCounts on. A failed operation writes or
// reads nothing. Arm and disarm with no engine call under way (the counts
// are atomics, the fault itself is read under the library lock).
#pragma once

#include <cstdint>

namespace ntfs {

enum class DeviceOp { Read, Write, Sync };

struct DeviceFault {
  DeviceOp Op = DeviceOp::Write;
  std::uint64_t Nth = 0;  // 1 for the first operation of that kind
  int Error = 0;          // errno of the failure, EIO or ENOSPC
  bool Sticky = false;    // every operation of that kind from the Nth on fails
};

void ArmDeviceFault(const DeviceFault& fault);
void DisarmDeviceFault();
void ResetDeviceOpCounts();
std::uint64_t DeviceOpCount(DeviceOp op);
// How many operations the armed fault failed so far.
std::uint64_t DeviceFaultsInjected();

// For the device: counts `op` and answers whether it is to fail (errno
// set when it is).
bool DeviceOpFails(DeviceOp op);

}  // namespace ntfs
