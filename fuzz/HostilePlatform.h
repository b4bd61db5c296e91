// A platform whose every answer comes from the fuzz input: any status
// (pending ones included, with any final status), any StartingVcn, extent
// count, NextVcn and Lcn in a map answer, any StartingLcn, bitmap size and
// bitmap bytes in a bitmap answer, any status for a move.
//
// Most answers follow the request (the StartingVcn or StartingLcn asked
// for) so the engine gets past its first checks; the rest are raw values.
// Once the input is used up, each request gets the last answer of its kind
// again, byte for byte, like a device stuck on one reply: the engine must
// end by itself then too. Before any answer of a kind, the request fails.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Platform.h"

class HostilePlatform final : public plat::Platform {
 public:
  static constexpr plat::HANDLE kFile = 0x100;
  static constexpr plat::HANDLE kVolume = 0x200;

  explicit HostilePlatform(FuzzedDataProvider& input) : input_(input) {}

  // Requests of each control code so far.
  int Requests(std::uint32_t code) const;
  // Handles opened and not yet closed.
  int OpenHandles() const { return openHandles_; }

  std::uint32_t GetDriveTypeA(const std::string& rootPath) override;
  plat::HANDLE CreateFileA(const std::string& name, std::uint32_t access, std::uint32_t share,
                           std::uint32_t disposition, std::uint32_t flags) override;
  bool CloseHandle(plat::HANDLE handle) override;
  std::int32_t NtFsControlFile(plat::HANDLE handle, plat::IO_STATUS_BLOCK& iosb,
                               std::uint32_t controlCode, const void* input,
                               std::uint32_t inputLength, void* output,
                               std::uint32_t outputLength) override;
  std::uint32_t WaitForSingleObject(plat::HANDLE handle, std::uint32_t milliseconds) override;
  plat::HANDLE FindFirstFileA(const std::string& pattern, plat::FindData& data) override;
  bool FindNextFileA(plat::HANDLE find, plat::FindData& data) override;
  bool FindClose(plat::HANDLE find) override;
  bool GetFileSizeEx(plat::HANDLE file, std::int64_t& size) override;
  std::uint32_t GetFileAttributesA(const std::string& path) override;

 private:
  // One answer as the engine sees it: the returned status, the status left
  // in the IO status block, and the output: the bytes given, then Fill up
  // to the buffer's end.
  struct Answer {
    std::int32_t Sent = plat::STATUS_INVALID_PARAMETER;
    std::int32_t Final = plat::STATUS_INVALID_PARAMETER;
    std::vector<std::uint8_t> Output;
    std::uint8_t Fill = 0;
  };

  std::int32_t PickStatus();
  Answer MakeAnswer(std::uint32_t code, std::int64_t asked, std::uint32_t outputLength);
  void FillMap(std::vector<std::uint8_t>& out, std::int64_t asked, std::size_t room);
  void FillBitmap(Answer& answer, std::int64_t asked, std::size_t room);

  FuzzedDataProvider& input_;
  std::map<std::uint32_t, Answer> last_;
  std::map<std::uint32_t, int> counts_;
  int openHandles_ = 0;
};
