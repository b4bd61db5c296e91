// In-memory volumes for tests and benchmarks.
//
// Each drive letter has a drive type and, optionally, a volume: a cluster
// count, a bitmap, a folder tree and files made of extents. The platform
// answers the engine's requests with Windows semantics, and moves really
// relocate clusters and update the bitmap, so a test can assert the final
// layout. Every answer can be scripted: failed opens, the k-th request of a
// kind failing or answering STATUS_PENDING, and a hook that runs before
// each request (to take free space between the search and the move).
//
// Thread-safe: one lock serialises every call.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Platform.h"

namespace sim {

// One run of a file in VCN order; Lcn -1 is a virtual run (sparse or
// compressed space with no clusters on the volume).
struct Extent {
  std::int64_t Lcn = 0;
  std::int64_t Length = 0;
  bool operator==(const Extent&) const = default;
};

struct SimFile {
  std::vector<Extent> Extents;
  std::int64_t Size = 0;
  bool Resident = false;  // data held in the MFT record: no extents
  std::int64_t VcnCount() const;
};

class SimVolume {
 public:
  explicit SimVolume(std::int64_t clusterCount, std::uint32_t bytesPerCluster = 4096);

  std::int64_t ClusterCount() const { return clusters_; }
  std::uint32_t BytesPerCluster() const { return bytesPerCluster_; }

  bool IsUsed(std::int64_t lcn) const;
  // Marks clusters used or free without any file owning them (another
  // program's data, or space released behind our back).
  void SetUsed(std::int64_t lcn, std::int64_t count, bool used);
  std::int64_t UsedCount() const;
  // The raw LSB-first bitmap, for bulk set-up in benchmarks. Bits past the
  // last cluster must stay 0.
  std::vector<std::uint8_t>& Bitmap() { return bitmap_; }

  // Paths are relative to the root and use backslashes: "Mail\inbox.mbx".
  // Missing parent folders are created. Adding a file marks its clusters
  // used; size -1 means the clusters' whole byte size.
  void AddFolder(const std::string& path,
                 std::uint32_t attributes = plat::FILE_ATTRIBUTE_DIRECTORY);
  SimFile& AddFile(const std::string& path, std::vector<Extent> extents, std::int64_t size = -1,
                   std::uint32_t attributes = plat::FILE_ATTRIBUTE_ARCHIVE);
  SimFile& AddResidentFile(const std::string& path, std::int64_t size,
                           std::uint32_t attributes = plat::FILE_ATTRIBUTE_ARCHIVE);
  // The file at `path`, or null. The pointer stays valid while the volume
  // lives.
  SimFile* FindFile(const std::string& path);
  // Extents of a file (empty when missing), for assertions.
  std::vector<Extent> ExtentsOf(const std::string& path);

 private:
  friend class SimPlatform;
  struct Node {
    std::string Name;
    bool IsDir = false;
    std::uint32_t Attributes = 0;
    std::unique_ptr<SimFile> File;
    std::vector<std::string> Children;  // keys, in creation order
  };
  Node* Lookup(const std::string& path);
  Node& Ensure(const std::string& path, bool isDir, std::uint32_t attributes);

  std::int64_t clusters_;
  std::uint32_t bytesPerCluster_;
  std::vector<std::uint8_t> bitmap_;
  std::map<std::string, Node> nodes_;  // upper-cased relative path -> node; "" is the root
};

// A scripted answer to the Nth (0-based) control request with code Code.
// Without Pending the request does nothing and answers Status. With
// Pending it does its work, answers STATUS_PENDING and leaves Status (or
// the real result when Status is empty) in the IO status block.
struct RequestScript {
  std::uint32_t Code = 0;
  int Nth = 0;
  std::optional<std::int32_t> Status;
  bool Pending = false;
};

struct RequestRecord {
  std::uint32_t Code = 0;
  plat::HANDLE Handle = plat::INVALID_HANDLE_VALUE;
  std::vector<std::uint8_t> Input;
  std::int32_t Status = 0;
};

class SimPlatform final : public plat::Platform {
 public:
  SimPlatform();
  ~SimPlatform() override;

  // A volume on `letter` (type DRIVE_FIXED unless given). Letters without a
  // volume are DRIVE_NO_ROOT_DIR unless SetDriveType says otherwise.
  SimVolume& AddVolume(char letter, std::int64_t clusters,
                       std::uint32_t driveType = plat::DRIVE_FIXED,
                       std::uint32_t bytesPerCluster = 4096);
  void SetDriveType(char letter, std::uint32_t driveType);
  SimVolume* Volume(char letter);

  // Opens of `name` (compared without case) fail with `error`.
  void FailOpen(const std::string& name, std::uint32_t error);
  void Script(const RequestScript& script);
  // Runs before each control request with its code and per-code index,
  // outside the platform's lock (it may call SimVolume mutators).
  std::function<void(std::uint32_t code, int nth)> BeforeRequest;

  int RequestCount(std::uint32_t code) const;
  std::vector<RequestRecord> Requests() const;
  std::vector<std::string> OpenedNames() const;
  int OpenHandleCount() const;

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
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Makes a SimPlatform current for the lifetime of the guard (tests).
class ScopedSimPlatform {
 public:
  ScopedSimPlatform() : previous_(plat::SetCurrent(&platform_)) {}
  ~ScopedSimPlatform() { plat::SetCurrent(previous_); }
  ScopedSimPlatform(const ScopedSimPlatform&) = delete;
  ScopedSimPlatform& operator=(const ScopedSimPlatform&) = delete;
  SimPlatform* operator->() { return &platform_; }
  SimPlatform& operator*() { return platform_; }

 private:
  SimPlatform platform_;
  plat::Platform* previous_;
};

}  // namespace sim
