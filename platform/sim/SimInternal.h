// Shared state of SimPlatform's translation units.
#pragma once

#include <map>
#include <mutex>
#include <vector>

#include "SimPlatform.h"

namespace sim {

struct OpenHandle {
  enum Kind { File, Volume, Find } kind = File;
  char letter = 0;
  std::string key;                        // file key, for File
  std::vector<plat::FindData> entries;    // for Find
  std::size_t next = 0;                   // for Find
};

struct SimPlatform::Impl {
  mutable std::mutex lock;
  std::map<char, std::unique_ptr<SimVolume>> volumes;
  std::map<char, std::uint32_t> driveTypes;
  std::map<std::string, std::uint32_t> failedOpens;  // folded name -> error
  std::vector<RequestScript> scripts;
  std::map<std::uint32_t, int> counts;
  std::vector<RequestRecord> records;
  std::vector<std::string> opened;
  std::map<plat::HANDLE, OpenHandle> handles;
  plat::HANDLE nextHandle = 0x100;

  OpenHandle* Find(plat::HANDLE h) {
    auto it = handles.find(h);
    return it == handles.end() ? nullptr : &it->second;
  }
  SimFile* FileOf(const OpenHandle& h) {
    auto v = volumes.find(h.letter);
    return v == volumes.end() ? nullptr : v->second->FindFile(h.key);
  }
};

// The three control requests, run under the platform's lock on an
// already-validated handle.
std::int32_t SimRetrievalPointers(SimFile& file, const void* input, std::uint32_t inputLength,
                                  void* output, std::uint32_t outputLength);
std::int32_t SimVolumeBitmap(SimVolume& volume, const void* input, std::uint32_t inputLength,
                             void* output, std::uint32_t outputLength);
std::int32_t SimMoveFile(SimVolume& volume, SimFile& file, std::int64_t startVcn,
                         std::int64_t targetLcn, std::uint32_t clusterCount);

}  // namespace sim
