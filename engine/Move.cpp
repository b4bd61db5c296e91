// One block move: a single FSCTL_MOVE_FILE request, no splitting, no retry.
#include "DefragAPI.h"
#include "Records.h"
#include "RequestStatus.h"

using namespace plat;
namespace rec = plat::rec;

std::int32_t MoveClusters(HANDLE volume, HANDLE file, std::int64_t startVcn,
                          std::int64_t targetLcn, std::uint32_t clusterCount) {
  std::uint8_t data[rec::kMoveDataSize] = {};
  rec::StoreU32(data, rec::kMoveFileHandleOffset, static_cast<std::uint32_t>(file));
  rec::StoreI64(data, rec::kMoveStartingVcnOffset, startVcn);
  rec::StoreI64(data, rec::kMoveStartingLcnOffset, targetLcn);
  rec::StoreU32(data, rec::kMoveClusterCountOffset, clusterCount);
  IO_STATUS_BLOCK iosb;
  const std::int32_t sent =
      NtFsControlFile(volume, iosb, FSCTL_MOVE_FILE, data, sizeof data, nullptr, 0);
  // A move is waited for on the file handle.
  return engine_detail::SettleRequest(sent, file, iosb);
}
