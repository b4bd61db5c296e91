#include "HostilePlatform.h"

#include <algorithm>
#include <cstring>

#include "Records.h"

using namespace plat;
namespace rec = plat::rec;

int HostilePlatform::Requests(std::uint32_t code) const {
  const auto it = counts_.find(code);
  return it == counts_.end() ? 0 : it->second;
}

std::uint32_t HostilePlatform::GetDriveTypeA(const std::string&) { return DRIVE_FIXED; }

HANDLE HostilePlatform::CreateFileA(const std::string& name, std::uint32_t, std::uint32_t,
                                    std::uint32_t, std::uint32_t) {
  ++openHandles_;
  return name.rfind("\\\\.\\", 0) == 0 ? kVolume : kFile;
}

bool HostilePlatform::CloseHandle(HANDLE handle) {
  if (handle != kFile && handle != kVolume) return false;
  --openHandles_;
  return true;
}

std::int32_t HostilePlatform::PickStatus() {
  switch (input_.ConsumeIntegralInRange<int>(0, 7)) {
    case 0:
    case 1: return STATUS_SUCCESS;
    case 2:
    case 3: return STATUS_BUFFER_OVERFLOW;
    case 4: return STATUS_END_OF_FILE;
    case 5: return STATUS_ALREADY_COMMITTED;
    case 6: return STATUS_PENDING;
    default: return input_.ConsumeIntegral<std::int32_t>();
  }
}

// StartingVcn, then extents whose NextVcn mostly moves forward by a small
// step and whose Lcn is mostly small, virtual (-1) now and then.
void HostilePlatform::FillMap(std::vector<std::uint8_t>& out, std::int64_t asked,
                              std::size_t room) {
  const bool follow = input_.ConsumeBool();
  std::int64_t vcn = follow ? asked : input_.ConsumeIntegral<std::int64_t>();
  const std::uint32_t count = input_.ConsumeBool()
                                  ? input_.ConsumeIntegralInRange<std::uint32_t>(0, 8)
                                  : input_.ConsumeIntegral<std::uint32_t>();
  const std::size_t extents = std::min<std::size_t>(count, room);
  out.assign(rec::kMapExtentsOffset + extents * rec::kMapExtentSize, 0);
  rec::StoreU32(out.data(), rec::kMapExtentCountOffset, count);
  rec::StoreI64(out.data(), rec::kMapStartingVcnOffset, vcn);
  for (std::size_t i = 0; i < extents; ++i) {
    std::int64_t next, lcn;
    if (input_.ConsumeBool()) {
      next = static_cast<std::int64_t>(static_cast<std::uint64_t>(vcn) +
                                       input_.ConsumeIntegralInRange<std::uint64_t>(1, 64));
      const int kind = input_.ConsumeIntegralInRange<int>(0, 3);
      lcn = kind == 0 ? -1 : input_.ConsumeIntegralInRange<std::int64_t>(0, 4096);
    } else {
      next = input_.ConsumeIntegral<std::int64_t>();
      lcn = input_.ConsumeIntegral<std::int64_t>();
    }
    const std::size_t at = rec::kMapExtentsOffset + i * rec::kMapExtentSize;
    rec::StoreI64(out.data(), at, next);
    rec::StoreI64(out.data(), at + 8, lcn);
    vcn = next;
  }
}

// StartingLcn, the bitmap size in clusters (rarely a full request: the
// reference walk takes its time over those), then the bitmap bytes: those
// the input still has, the rest of the buffer one repeated byte.
void HostilePlatform::FillBitmap(Answer& answer, std::int64_t asked, std::size_t room) {
  const bool follow = input_.ConsumeBool();
  const std::int64_t start = follow ? asked : input_.ConsumeIntegral<std::int64_t>();
  std::int64_t bits;
  const int kind = input_.ConsumeIntegralInRange<int>(0, 15);
  if (kind == 0)
    bits = rec::kBitmapMaxClusters;
  else if (kind == 1)
    bits = input_.ConsumeIntegral<std::int64_t>();
  else if (kind < 4)
    bits = input_.ConsumeIntegralInRange<std::int64_t>(0, 70000);
  else
    bits = input_.ConsumeIntegralInRange<std::int64_t>(0, 512);
  answer.Fill = input_.ConsumeIntegral<std::uint8_t>();
  const std::size_t given = std::min(room, input_.ConsumeIntegralInRange<std::size_t>(0, 512));
  std::vector<std::uint8_t>& out = answer.Output;
  out = input_.ConsumeBytes<std::uint8_t>(given);
  out.insert(out.begin(), rec::kBitmapBitsOffset, 0);
  rec::StoreI64(out.data(), rec::kBitmapStartingLcnOffset, start);
  rec::StoreI64(out.data(), rec::kBitmapSizeOffset, bits);
}

HostilePlatform::Answer HostilePlatform::MakeAnswer(std::uint32_t code, std::int64_t asked,
                                                    std::uint32_t outputLength) {
  Answer a;
  a.Sent = PickStatus();
  a.Final = a.Sent == STATUS_PENDING ? PickStatus() : a.Sent;
  if (a.Final == STATUS_PENDING) a.Final = STATUS_SUCCESS;
  if (code == FSCTL_GET_RETRIEVAL_POINTERS && outputLength >= rec::kMapExtentsOffset)
    FillMap(a.Output, asked, (outputLength - rec::kMapExtentsOffset) / rec::kMapExtentSize);
  else if (code == FSCTL_GET_VOLUME_BITMAP && outputLength >= rec::kBitmapBitsOffset)
    FillBitmap(a, asked, outputLength - rec::kBitmapBitsOffset);
  return a;
}

std::int32_t HostilePlatform::NtFsControlFile(HANDLE, IO_STATUS_BLOCK& iosb,
                                              std::uint32_t controlCode, const void* input,
                                              std::uint32_t inputLength, void* output,
                                              std::uint32_t outputLength) {
  ++counts_[controlCode];
  const std::int64_t asked = inputLength >= 8 ? rec::LoadI64(input, 0) : 0;
  if (input_.remaining_bytes() > 0) last_[controlCode] = MakeAnswer(controlCode, asked, outputLength);
  const auto it = last_.find(controlCode);
  if (it == last_.end()) return STATUS_INVALID_PARAMETER;
  const Answer& a = it->second;
  if (output) {
    const std::size_t given = std::min<std::size_t>(outputLength, a.Output.size());
    std::memcpy(output, a.Output.data(), given);
    std::memset(static_cast<std::uint8_t*>(output) + given, a.Fill, outputLength - given);
  }
  iosb.Status = a.Final;
  iosb.Information = 0;
  return a.Sent;
}

std::uint32_t HostilePlatform::WaitForSingleObject(HANDLE, std::uint32_t) { return WAIT_OBJECT_0; }

HANDLE HostilePlatform::FindFirstFileA(const std::string&, FindData&) {
  SetLastError(ERROR_FILE_NOT_FOUND);
  return INVALID_HANDLE_VALUE;
}
bool HostilePlatform::FindNextFileA(HANDLE, FindData&) { return false; }
bool HostilePlatform::FindClose(HANDLE) { return false; }
bool HostilePlatform::GetFileSizeEx(HANDLE, std::int64_t& size) {
  size = 0;
  return true;
}
std::uint32_t HostilePlatform::GetFileAttributesA(const std::string&) {
  return FILE_ATTRIBUTE_ARCHIVE;
}
