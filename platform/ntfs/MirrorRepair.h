// Puts $MFT and $MFTMirr back in step after a write of the $Volume record
// was cut off between its two copies.
//
// The backend marks a volume dirty while it changes it and clears the mark
// afterwards; each time, libntfs-3g writes the $Volume record to $MFT and
// then to its copy in $MFTMirr. A process killed (or a device failing)
// between the two leaves copies that differ, and libntfs-3g then refuses
// to mount the volume. The difference is harmless: only the volume's flags
// changed, and file data never depends on them. So, as ntfsfix would, the
// copy that is a whole record (its update sequence intact) is written over
// the other, and only when the first three records of both agree, so a
// mirror damaged in any other way is left for chkdsk or ntfsfix.
#pragma once

#include <cstdint>
#include <string>

namespace ntfs {

enum class MirrorRepair {
  InStep,      // the copies of $Volume agree: nothing to do
  Repaired,    // one copy was rewritten from the other and flushed
  NotOurCase,  // not NTFS, or a difference this repair does not touch
  Failed,      // reading or writing the device failed
};

// The volume starts at byte `offset` of `fd`, which is open for writing and
// locked by the caller. `what` says which copy was rewritten.
MirrorRepair RepairVolumeRecordMirror(int fd, std::uint64_t offset, std::string& what);

}  // namespace ntfs
