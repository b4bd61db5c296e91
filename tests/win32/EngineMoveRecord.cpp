#include "EngineMoveRecord.h"

#include "DefragAPI.h"

namespace wintest {
namespace {

// Forwards every call to the real platform, keeping a copy of each
// request's input.
class CapturingPlatform final : public plat::Platform {
 public:
  explicit CapturingPlatform(plat::Platform& real) : real_(real) {}

  std::uint32_t GetDriveTypeA(const std::string& root) override { return real_.GetDriveTypeA(root); }
  plat::HANDLE CreateFileA(const std::string& name, std::uint32_t access, std::uint32_t share,
                           std::uint32_t disposition, std::uint32_t flags) override {
    return real_.CreateFileA(name, access, share, disposition, flags);
  }
  bool CloseHandle(plat::HANDLE h) override { return real_.CloseHandle(h); }
  std::int32_t NtFsControlFile(plat::HANDLE h, plat::IO_STATUS_BLOCK& iosb, std::uint32_t code,
                               const void* in, std::uint32_t inLength, void* out,
                               std::uint32_t outLength) override {
    const auto* bytes = static_cast<const std::uint8_t*>(in);
    Input.assign(bytes, bytes + inLength);
    return real_.NtFsControlFile(h, iosb, code, in, inLength, out, outLength);
  }
  std::uint32_t WaitForSingleObject(plat::HANDLE h, std::uint32_t ms) override {
    return real_.WaitForSingleObject(h, ms);
  }
  plat::HANDLE FindFirstFileA(const std::string& p, plat::FindData& d) override {
    return real_.FindFirstFileA(p, d);
  }
  bool FindNextFileA(plat::HANDLE h, plat::FindData& d) override { return real_.FindNextFileA(h, d); }
  bool FindClose(plat::HANDLE h) override { return real_.FindClose(h); }
  bool GetFileSizeEx(plat::HANDLE h, std::int64_t& s) override { return real_.GetFileSizeEx(h, s); }
  std::uint32_t GetFileAttributesA(const std::string& p) override {
    return real_.GetFileAttributesA(p);
  }
  std::uint32_t GetLastError() override { return real_.GetLastError(); }
  void SetLastError(std::uint32_t code) override { real_.SetLastError(code); }

  std::vector<std::uint8_t> Input;

 private:
  plat::Platform& real_;
};

}  // namespace

std::vector<std::uint8_t> EngineMoveRecord(plat::Platform& platform, plat::HANDLE file,
                                           std::int64_t startVcn, std::int64_t targetLcn,
                                           std::uint32_t clusters) {
  CapturingPlatform capturing(platform);
  plat::Platform* previous = plat::SetCurrent(&capturing);
  MoveClusters(file, file, startVcn, targetLcn, clusters);
  plat::SetCurrent(previous);
  return capturing.Input;
}

}  // namespace wintest
