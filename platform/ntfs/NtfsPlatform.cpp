// Handles and dispatch of the libntfs-3g backend. Every entry point takes
// LibraryLock() for its whole duration: the library has no locks, and the
// handle table and mounts are shared by all threads.
#include "NtfsPlatform.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "DriveType.h"
#include "FsControl.h"
#include "Inode.h"
#include "Library.h"
#include "MountedVolume.h"
#include "PathLookup.h"
#include "Records.h"
#include "Utf16.h"
#include "WinPath.h"

namespace ntfs {
namespace {

using plat::HANDLE;

struct Handle {
  enum class Kind { File, Volume, Find } Type = Kind::File;
  // File, Volume and Find: a listing keeps its volume mounted, so a walk
  // that opens each file it lists does not mount the volume for each one.
  std::shared_ptr<MountedVolume> Mount;
  std::uint64_t Mref = 0;                // File
  std::vector<plat::FindData> Found;     // Find: the whole listing
  std::size_t Next = 0;
};

using Clock = std::chrono::steady_clock;

class NtfsPlatform final : public plat::Platform {
 public:
  NtfsPlatform(DriveTable table, NtfsOptions options)
      : table_(std::move(table)), options_(options) {}
  ~NtfsPlatform() override {
    {
      std::lock_guard lock(LibraryLock());
      stopping_ = true;
    }
    wake_.notify_all();
    if (reaper_.joinable()) reaper_.join();
    std::lock_guard lock(LibraryLock());
    kept_.clear();
    handles_.clear();  // unmounts under the lock
  }

  std::uint32_t GetDriveTypeA(const std::string& rootPath) override;
  HANDLE CreateFileA(const std::string& name, std::uint32_t access, std::uint32_t share,
                     std::uint32_t disposition, std::uint32_t flags) override;
  bool CloseHandle(HANDLE handle) override;
  std::int32_t NtFsControlFile(HANDLE handle, plat::IO_STATUS_BLOCK& iosb,
                               std::uint32_t controlCode, const void* input,
                               std::uint32_t inputLength, void* output,
                               std::uint32_t outputLength) override;
  std::uint32_t WaitForSingleObject(HANDLE handle, std::uint32_t milliseconds) override;
  HANDLE FindFirstFileA(const std::string& pattern, plat::FindData& data) override;
  bool FindNextFileA(HANDLE find, plat::FindData& data) override;
  bool FindClose(HANDLE find) override;
  bool GetFileSizeEx(HANDLE file, std::int64_t& size) override;
  std::uint32_t GetFileAttributesA(const std::string& path) override;

 private:
  // Mounts (or shares) the volume of drive `letter`; sets the last error.
  std::shared_ptr<MountedVolume> MountDrive(char letter, bool wantWrite);
  // Resolves a parsed path on its mounted volume; sets the last error.
  bool Resolve(const WinPath& path, std::shared_ptr<MountedVolume>& mount, std::uint64_t& mref,
               bool wantWrite);
  HANDLE Add(Handle h);
  Handle* Find(HANDLE h, Handle::Kind kind);
  std::int32_t Move(Handle& volume, const void* input, std::uint32_t inputLength);
  std::vector<plat::FindData> List(MountedVolume& mount, std::uint64_t dirMref,
                                   const std::string& mask);
  // Keeps `mount` for options_.KeepMounted from now, whoever else holds it.
  void KeepMounted(const std::shared_ptr<MountedVolume>& mount);
  // The reaper thread: drops kept mounts whose time is up (unmounting those
  // no handle holds), until the platform goes.
  void Reap();

  DriveTable table_;
  // The mount each drive letter got last, while some handle holds it.
  std::map<char, std::weak_ptr<MountedVolume>> mounted_;
  std::map<HANDLE, Handle> handles_;
  HANDLE next_ = 0x100;

  // Mounts kept after their last use: a run of files one after another
  // (a list in contigra_aux) mounts each volume once, writes the dirty mark
  // once, and other processes get the volume shortly after the run.
  NtfsOptions options_;
  struct Kept {
    std::shared_ptr<MountedVolume> Mount;
    Clock::time_point Until;
  };
  std::vector<Kept> kept_;
  std::thread reaper_;
  std::condition_variable wake_;  // waited on with LibraryLock()
  bool stopping_ = false;
};

void NtfsPlatform::KeepMounted(const std::shared_ptr<MountedVolume>& mount) {
  if (!mount || options_.KeepMounted.count() <= 0) return;
  const Clock::time_point until = Clock::now() + options_.KeepMounted;
  const auto it = std::find_if(kept_.begin(), kept_.end(), [&](const Kept& k) { return k.Mount == mount; });
  if (it != kept_.end()) {
    it->Until = until;  // later: the reaper finds out when it wakes for the old time
    return;
  }
  kept_.push_back({mount, until});
  if (!reaper_.joinable()) reaper_ = std::thread([this] { Reap(); });
  wake_.notify_all();
}

void NtfsPlatform::Reap() {
  std::unique_lock lock(LibraryLock());
  while (!stopping_) {
    if (kept_.empty()) {
      wake_.wait(lock);
      continue;
    }
    Clock::time_point next = kept_.front().Until;
    for (const Kept& k : kept_) next = std::min(next, k.Until);
    if (wake_.wait_until(lock, next) == std::cv_status::no_timeout) continue;
    const Clock::time_point now = Clock::now();
    // Dropped under the lock: the last reference unmounts.
    std::erase_if(kept_, [now](const Kept& k) { return k.Until <= now; });
  }
}

std::uint32_t NtfsPlatform::GetDriveTypeA(const std::string& rootPath) {
  const char letter = DriveOfRoot(rootPath);
  std::lock_guard lock(LibraryLock());
  const auto it = table_.Drives.find(letter);
  if (!letter || it == table_.Drives.end()) return plat::DRIVE_NO_ROOT_DIR;
  return DriveTypeOfPath(it->second.Path);
}

std::shared_ptr<MountedVolume> NtfsPlatform::MountDrive(char letter, bool wantWrite) {
  const auto it = table_.Drives.find(letter);
  if (it == table_.Drives.end()) {
    SetLastError(plat::ERROR_PATH_NOT_FOUND);
    return nullptr;
  }
  // A drive in use is shared without examining its image file again.
  if (auto live = mounted_[letter].lock()) {
    if (!wantWrite || !live->WriteRefusal()) {
      KeepMounted(live);
      return live;
    }
    SetLastError(live->WriteRefusal());
    return nullptr;
  }
  std::uint32_t error = 0;
  auto mount = MountedVolume::Acquire(it->second, wantWrite, error);
  if (!mount) SetLastError(error);
  else mounted_[letter] = mount;
  KeepMounted(mount);
  return mount;
}

bool NtfsPlatform::Resolve(const WinPath& path, std::shared_ptr<MountedVolume>& mount,
                           std::uint64_t& mref, bool wantWrite) {
  mount = MountDrive(path.Drive, wantWrite);
  if (!mount) return false;
  std::uint32_t error = 0;
  if (!ResolvePath(mount->Vol(), path.Components, mref, error, &mount->Lookups())) {
    SetLastError(error);
    return false;
  }
  return true;
}

HANDLE NtfsPlatform::Add(Handle h) {
  while (handles_.count(next_) || (next_ & 0xFFFFFFFF) == 0) next_ += 4;
  const HANDLE id = next_;
  next_ += 4;
  handles_.emplace(id, std::move(h));
  return id;
}

Handle* NtfsPlatform::Find(HANDLE h, Handle::Kind kind) {
  const auto it = handles_.find(h);
  return it != handles_.end() && it->second.Type == kind ? &it->second : nullptr;
}

HANDLE NtfsPlatform::CreateFileA(const std::string& name, std::uint32_t access,
                                 std::uint32_t /*share*/, std::uint32_t disposition,
                                 std::uint32_t /*flags*/) {
  std::lock_guard lock(LibraryLock());
  WinPath path;
  std::uint32_t error = 0;
  if (!ParseWinPath(name, path, error)) {
    SetLastError(error);
    return plat::INVALID_HANDLE_VALUE;
  }
  if (disposition != plat::OPEN_EXISTING) {
    SetLastError(plat::ERROR_ACCESS_DENIED);  // this backend never creates files
    return plat::INVALID_HANDLE_VALUE;
  }
  const bool wantWrite = (access & plat::GENERIC_WRITE) != 0;
  Handle h;
  if (path.IsVolume) {
    h.Type = Handle::Kind::Volume;
    h.Mount = MountDrive(path.Drive, wantWrite);
    if (!h.Mount) return plat::INVALID_HANDLE_VALUE;
    return Add(std::move(h));
  }
  if (!Resolve(path, h.Mount, h.Mref, wantWrite)) return plat::INVALID_HANDLE_VALUE;
  ScopedInode ni(h.Mount->Vol(), h.Mref);
  if (!ni) {
    SetLastError(plat::ERROR_FILE_NOT_FOUND);
    return plat::INVALID_HANDLE_VALUE;
  }
  if (IsDirectory(ni.get())) {
    SetLastError(plat::ERROR_ACCESS_DENIED);  // a folder is not opened as a file
    return plat::INVALID_HANDLE_VALUE;
  }
  return Add(std::move(h));
}

bool NtfsPlatform::CloseHandle(HANDLE handle) {
  std::lock_guard lock(LibraryLock());
  const auto it = handles_.find(handle);
  if (it == handles_.end() || it->second.Type == Handle::Kind::Find) {
    SetLastError(plat::ERROR_INVALID_HANDLE);
    return false;
  }
  KeepMounted(it->second.Mount);
  handles_.erase(it);  // the last handle of a volume unmounts it, unless kept
  return true;
}

std::int32_t NtfsPlatform::Move(Handle& volume, const void* input, std::uint32_t inputLength) {
  namespace rec = plat::rec;
  if (!input || inputLength < rec::kMoveDataSize) return plat::STATUS_INVALID_PARAMETER;
  const std::uint32_t fileId = rec::LoadU32(input, rec::kMoveFileHandleOffset);
  const Handle* file = nullptr;
  for (const auto& [id, h] : handles_)
    if (static_cast<std::uint32_t>(id) == fileId && h.Type == Handle::Kind::File) file = &h;
  if (!file) return plat::STATUS_INVALID_HANDLE;
  if (file->Mount != volume.Mount) return plat::STATUS_INVALID_PARAMETER;
  return MoveFileClusters(*volume.Mount, file->Mref, rec::LoadI64(input, rec::kMoveStartingVcnOffset),
                          rec::LoadI64(input, rec::kMoveStartingLcnOffset),
                          rec::LoadU32(input, rec::kMoveClusterCountOffset));
}

std::int32_t NtfsPlatform::NtFsControlFile(HANDLE handle, plat::IO_STATUS_BLOCK& iosb,
                                           std::uint32_t controlCode, const void* input,
                                           std::uint32_t inputLength, void* output,
                                           std::uint32_t outputLength) {
  std::lock_guard lock(LibraryLock());
  iosb = {};
  const auto it = handles_.find(handle);
  std::int32_t status = plat::STATUS_INVALID_HANDLE;
  if (it != handles_.end() && it->second.Type != Handle::Kind::Find) {
    Handle& h = it->second;
    const bool isFile = h.Type == Handle::Kind::File;
    switch (controlCode) {
      case plat::FSCTL_GET_RETRIEVAL_POINTERS:
        status = isFile ? GetRetrievalPointers(h.Mount->Vol(), h.Mref, input, inputLength, output,
                                               outputLength, iosb.Information)
                        : plat::STATUS_INVALID_PARAMETER;
        break;
      case plat::FSCTL_GET_VOLUME_BITMAP:
        // Clusters that moves gave up count as free once they are.
        if (!isFile) h.Mount->SettleDeferred();
        status = !isFile ? GetVolumeBitmap(h.Mount->Vol(), input, inputLength, output,
                                           outputLength, iosb.Information)
                         : plat::STATUS_INVALID_PARAMETER;
        break;
      case plat::FSCTL_MOVE_FILE:
        status = !isFile ? Move(h, input, inputLength) : plat::STATUS_INVALID_PARAMETER;
        break;
      default:
        status = plat::STATUS_INVALID_DEVICE_REQUEST;
    }
  }
  iosb.Status = status;
  return status;
}

std::uint32_t NtfsPlatform::WaitForSingleObject(HANDLE handle, std::uint32_t) {
  std::lock_guard lock(LibraryLock());
  if (handles_.count(handle)) return plat::WAIT_OBJECT_0;  // requests complete at once
  SetLastError(plat::ERROR_INVALID_HANDLE);
  return plat::WAIT_FAILED;
}

std::vector<plat::FindData> NtfsPlatform::List(MountedVolume& mount, std::uint64_t dirMref,
                                               const std::string& mask) {
  ntfs_volume* vol = mount.Vol();
  std::vector<plat::FindData> found;
  std::vector<ListedEntry> entries;
  {
    ScopedInode dir(vol, dirMref);
    if (!dir || !ListFolder(dir.get(), entries)) return found;
  }
  // A walk opens what it lists next: its names resolve without the index.
  mount.Lookups().AddListing(dirMref, entries);
  const auto mask16 = Utf8ToUtf16(mask);
  if (!mask16) return found;
  const std::u16string foldedMask = FoldCase(vol, *mask16);
  for (const ListedEntry& e : entries) {
    if (!WildcardMatch(foldedMask, FoldCase(vol, e.Name))) continue;
    ScopedInode ni(vol, e.Mref);
    if (!ni) continue;
    plat::FindData d;
    d.Name = Utf16ToUtf8(e.Name);
    d.Attributes = WindowsAttributes(ni.get());
    d.Size = IsDirectory(ni.get()) ? 0 : static_cast<std::uint64_t>(ni.get()->data_size);
    found.push_back(std::move(d));
  }
  return found;
}

HANDLE NtfsPlatform::FindFirstFileA(const std::string& pattern, plat::FindData& data) {
  std::lock_guard lock(LibraryLock());
  WinPath folder;
  std::string mask;
  std::uint32_t error = 0;
  if (!ParseFindPattern(pattern, folder, mask, error)) {
    SetLastError(error);
    return plat::INVALID_HANDLE_VALUE;
  }
  std::shared_ptr<MountedVolume> mount;
  std::uint64_t mref = 0;
  if (!Resolve(folder, mount, mref, false)) {
    if (GetLastError() == plat::ERROR_FILE_NOT_FOUND) SetLastError(plat::ERROR_PATH_NOT_FOUND);
    return plat::INVALID_HANDLE_VALUE;
  }
  Handle h;
  h.Type = Handle::Kind::Find;
  {
    ScopedInode dir(mount->Vol(), mref);
    if (!dir || !IsDirectory(dir.get())) {
      SetLastError(plat::ERROR_PATH_NOT_FOUND);
      return plat::INVALID_HANDLE_VALUE;
    }
  }
  h.Found = List(*mount, mref, mask);
  if (h.Found.empty()) {
    SetLastError(plat::ERROR_FILE_NOT_FOUND);
    return plat::INVALID_HANDLE_VALUE;
  }
  data = h.Found[0];
  h.Next = 1;
  h.Mount = std::move(mount);
  return Add(std::move(h));
}

bool NtfsPlatform::FindNextFileA(HANDLE find, plat::FindData& data) {
  std::lock_guard lock(LibraryLock());
  Handle* h = Find(find, Handle::Kind::Find);
  if (!h) {
    SetLastError(plat::ERROR_INVALID_HANDLE);
    return false;
  }
  if (h->Next >= h->Found.size()) {
    SetLastError(plat::ERROR_NO_MORE_FILES);
    return false;
  }
  data = h->Found[h->Next++];
  return true;
}

bool NtfsPlatform::FindClose(HANDLE find) {
  std::lock_guard lock(LibraryLock());
  Handle* h = Find(find, Handle::Kind::Find);
  if (!h) {
    SetLastError(plat::ERROR_INVALID_HANDLE);
    return false;
  }
  KeepMounted(h->Mount);
  handles_.erase(find);
  return true;
}

bool NtfsPlatform::GetFileSizeEx(HANDLE file, std::int64_t& size) {
  std::lock_guard lock(LibraryLock());
  Handle* h = Find(file, Handle::Kind::File);
  if (!h) {
    SetLastError(plat::ERROR_INVALID_HANDLE);
    return false;
  }
  ScopedInode ni(h->Mount->Vol(), h->Mref);
  if (!ni) {
    SetLastError(plat::ERROR_INVALID_HANDLE);
    return false;
  }
  ScopedData na(ni.get());
  size = na ? na.get()->data_size : 0;
  return true;
}

std::uint32_t NtfsPlatform::GetFileAttributesA(const std::string& path) {
  std::lock_guard lock(LibraryLock());
  WinPath p;
  std::uint32_t error = 0;
  if (!ParseWinPath(path, p, error) || p.IsVolume) {
    SetLastError(p.IsVolume ? plat::ERROR_INVALID_NAME : error);
    return plat::INVALID_FILE_ATTRIBUTES;
  }
  std::shared_ptr<MountedVolume> mount;
  std::uint64_t mref = 0;
  if (!Resolve(p, mount, mref, false)) return plat::INVALID_FILE_ATTRIBUTES;
  ScopedInode ni(mount->Vol(), mref);
  if (!ni) {
    SetLastError(plat::ERROR_FILE_NOT_FOUND);
    return plat::INVALID_FILE_ATTRIBUTES;
  }
  return WindowsAttributes(ni.get());
}

}  // namespace

std::unique_ptr<plat::Platform> MakeNtfsPlatform(DriveTable table, NtfsOptions options) {
  return std::make_unique<NtfsPlatform>(std::move(table), options);
}

std::chrono::milliseconds DefaultKeepMounted() {
  const char* env = std::getenv("CONTIGRA_NTFS_KEEP_MOUNTED_MS");
  if (env && *env) {
    char* end = nullptr;
    const long v = std::strtol(env, &end, 10);
    if (*end == '\0' && v >= 0 && v <= 600000) return std::chrono::milliseconds(v);
  }
  return std::chrono::milliseconds(500);
}

std::unique_ptr<plat::Platform> MakeNtfsPlatform() {
  return MakeNtfsPlatform(LoadDriveTable(), NtfsOptions{DefaultKeepMounted()});
}

}  // namespace ntfs
