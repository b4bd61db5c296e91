#include "ToolPlatform.h"

#include <vector>

#include "Records.h"

namespace tools {

std::unique_ptr<plat::Platform> StartPlatform(std::vector<std::string>& args) {
  std::unique_ptr<plat::Platform> p;
  for (std::size_t i = 0; i + 1 < args.size(); ++i) {
    if (args[i] != "--image") continue;
    ntfs::DriveTable t = ntfs::ParseDriveTable("Z=" + args[i + 1], ';');
    args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
    p = ntfs::MakeNtfsPlatform(std::move(t));
    break;
  }
  if (!p) p = ntfs::MakeNtfsPlatform();
  plat::SetCurrent(p.get());
  return p;
}

std::int32_t ReadExtents(plat::HANDLE file, std::vector<Extent>& extents) {
  namespace rec = plat::rec;
  std::vector<std::uint8_t> out(rec::kMapBufferSize);
  std::int64_t vcn = 0;
  for (;;) {
    std::uint8_t in[8];
    rec::StoreI64(in, 0, vcn);
    plat::IO_STATUS_BLOCK iosb;
    const std::int32_t s = plat::NtFsControlFile(file, iosb, plat::FSCTL_GET_RETRIEVAL_POINTERS, in,
                                                 8, out.data(), static_cast<std::uint32_t>(out.size()));
    if (s != plat::STATUS_SUCCESS && s != plat::STATUS_BUFFER_OVERFLOW) return s;
    const std::uint32_t n = rec::LoadU32(out.data(), rec::kMapExtentCountOffset);
    std::int64_t at = rec::LoadI64(out.data(), rec::kMapStartingVcnOffset);
    for (std::uint32_t i = 0; i < n; ++i) {
      const std::size_t off = rec::kMapExtentsOffset + i * rec::kMapExtentSize;
      const std::int64_t next = rec::LoadI64(out.data(), off);
      extents.push_back({at, rec::LoadI64(out.data(), off + 8), next - at});
      at = next;
    }
    if (s == plat::STATUS_SUCCESS || n == 0) return plat::STATUS_SUCCESS;
    vcn = at;
  }
}

}  // namespace tools
