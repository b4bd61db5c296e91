// The simulated platform: drive letters, handles, enumeration and the
// scripted answers.
#include "SimPlatform.h"

#include "Records.h"
#include "SimInternal.h"
#include "SimPaths.h"

namespace sim {

using namespace plat;

SimPlatform::SimPlatform() : impl_(std::make_unique<Impl>()) {}
SimPlatform::~SimPlatform() = default;

SimVolume& SimPlatform::AddVolume(char letter, std::int64_t clusters, std::uint32_t driveType,
                                  std::uint32_t bytesPerCluster) {
  std::lock_guard guard(impl_->lock);
  letter = FoldLetter(letter);
  auto& slot = impl_->volumes[letter];
  slot = std::make_unique<SimVolume>(clusters, bytesPerCluster);
  impl_->driveTypes[letter] = driveType;
  return *slot;
}

void SimPlatform::SetDriveType(char letter, std::uint32_t driveType) {
  std::lock_guard guard(impl_->lock);
  impl_->driveTypes[FoldLetter(letter)] = driveType;
}

SimVolume* SimPlatform::Volume(char letter) {
  std::lock_guard guard(impl_->lock);
  auto it = impl_->volumes.find(FoldLetter(letter));
  return it == impl_->volumes.end() ? nullptr : it->second.get();
}

void SimPlatform::FailOpen(const std::string& name, std::uint32_t error) {
  std::lock_guard guard(impl_->lock);
  impl_->failedOpens[FoldKey(name)] = error;
}

void SimPlatform::Script(const RequestScript& script) {
  std::lock_guard guard(impl_->lock);
  impl_->scripts.push_back(script);
}

int SimPlatform::RequestCount(std::uint32_t code) const {
  std::lock_guard guard(impl_->lock);
  auto it = impl_->counts.find(code);
  return it == impl_->counts.end() ? 0 : it->second;
}

std::vector<RequestRecord> SimPlatform::Requests() const {
  std::lock_guard guard(impl_->lock);
  return impl_->records;
}

std::vector<std::string> SimPlatform::OpenedNames() const {
  std::lock_guard guard(impl_->lock);
  return impl_->opened;
}

int SimPlatform::OpenHandleCount() const {
  std::lock_guard guard(impl_->lock);
  return static_cast<int>(impl_->handles.size());
}

std::uint32_t SimPlatform::GetDriveTypeA(const std::string& rootPath) {
  std::lock_guard guard(impl_->lock);
  if (rootPath.size() < 2 || rootPath[1] != ':') return DRIVE_NO_ROOT_DIR;
  auto it = impl_->driveTypes.find(FoldLetter(rootPath[0]));
  return it == impl_->driveTypes.end() ? DRIVE_NO_ROOT_DIR : it->second;
}

HANDLE SimPlatform::CreateFileA(const std::string& name, std::uint32_t, std::uint32_t,
                                std::uint32_t, std::uint32_t) {
  std::lock_guard guard(impl_->lock);
  impl_->opened.push_back(name);
  auto fail = [this](std::uint32_t code) {
    SetLastError(code);
    return INVALID_HANDLE_VALUE;
  };
  if (auto it = impl_->failedOpens.find(FoldKey(name)); it != impl_->failedOpens.end())
    return fail(it->second);

  OpenHandle handle;
  if (char v = VolumeLetter(name)) {
    if (!impl_->volumes.count(v)) return fail(ERROR_FILE_NOT_FOUND);
    handle.kind = OpenHandle::Volume;
    handle.letter = v;
  } else {
    std::string rest;
    if (!SplitDrivePath(name, handle.letter, rest)) return fail(ERROR_PATH_NOT_FOUND);
    auto vol = impl_->volumes.find(handle.letter);
    if (vol == impl_->volumes.end()) return fail(ERROR_PATH_NOT_FOUND);
    SimVolume::Node* node = vol->second->Lookup(rest);
    if (!node) {
      const auto slash = rest.rfind('\\');
      const std::string parent = slash == std::string::npos ? "" : rest.substr(0, slash);
      SimVolume::Node* p = vol->second->Lookup(parent);
      return fail(p && p->IsDir ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
    }
    if (node->IsDir) return fail(ERROR_ACCESS_DENIED);
    handle.key = FoldKey(rest);
  }
  const HANDLE h = impl_->nextHandle++;
  impl_->handles.emplace(h, std::move(handle));
  SetLastError(ERROR_SUCCESS);
  return h;
}

bool SimPlatform::CloseHandle(HANDLE handle) {
  std::lock_guard guard(impl_->lock);
  if (impl_->handles.erase(handle) == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  return true;
}

std::int32_t SimPlatform::NtFsControlFile(HANDLE handle, IO_STATUS_BLOCK& iosb,
                                          std::uint32_t controlCode, const void* input,
                                          std::uint32_t inputLength, void* output,
                                          std::uint32_t outputLength) {
  int nth;
  {
    std::lock_guard guard(impl_->lock);
    nth = impl_->counts[controlCode]++;
  }
  if (BeforeRequest) BeforeRequest(controlCode, nth);

  std::lock_guard guard(impl_->lock);
  RequestRecord record{controlCode, handle, {}, 0};
  if (input && inputLength)
    record.Input.assign(static_cast<const std::uint8_t*>(input),
                        static_cast<const std::uint8_t*>(input) + inputLength);
  const RequestScript* script = nullptr;
  for (const RequestScript& s : impl_->scripts)
    if (s.Code == controlCode && s.Nth == nth) script = &s;

  std::int32_t status;
  if (script && !script->Pending) {
    status = script->Status.value_or(STATUS_UNEXPECTED_IO_ERROR);
  } else {
    OpenHandle* h = impl_->Find(handle);
    SimVolume* volume = nullptr;
    if (h) {
      auto v = impl_->volumes.find(h->letter);
      if (v != impl_->volumes.end()) volume = v->second.get();
    }
    if (!h || !volume) {
      status = STATUS_INVALID_HANDLE;
    } else if (controlCode == FSCTL_GET_RETRIEVAL_POINTERS && h->kind == OpenHandle::File) {
      SimFile* file = impl_->FileOf(*h);
      status = file ? SimRetrievalPointers(*file, input, inputLength, output, outputLength)
                    : STATUS_INVALID_HANDLE;
    } else if (controlCode == FSCTL_GET_VOLUME_BITMAP && h->kind == OpenHandle::Volume) {
      status = SimVolumeBitmap(*volume, input, inputLength, output, outputLength);
    } else if (controlCode == FSCTL_MOVE_FILE && h->kind == OpenHandle::Volume &&
               inputLength >= rec::kMoveDataSize) {
      const auto fileHandle = static_cast<HANDLE>(rec::LoadU32(input, rec::kMoveFileHandleOffset));
      OpenHandle* fh = impl_->Find(fileHandle);
      SimFile* file = fh && fh->kind == OpenHandle::File && fh->letter == h->letter
                          ? impl_->FileOf(*fh)
                          : nullptr;
      status = file ? SimMoveFile(*volume, *file, rec::LoadI64(input, rec::kMoveStartingVcnOffset),
                                  rec::LoadI64(input, rec::kMoveStartingLcnOffset),
                                  rec::LoadU32(input, rec::kMoveClusterCountOffset))
                    : STATUS_INVALID_HANDLE;
    } else {
      status = STATUS_INVALID_DEVICE_REQUEST;
    }
    if (script) {  // pending: the work is done, the final status waits in the block
      status = script->Status.value_or(status);
      iosb.Status = status;
      record.Status = STATUS_PENDING;
      impl_->records.push_back(std::move(record));
      return STATUS_PENDING;
    }
  }
  iosb.Status = status;
  record.Status = status;
  impl_->records.push_back(std::move(record));
  return status;
}

std::uint32_t SimPlatform::WaitForSingleObject(HANDLE handle, std::uint32_t) {
  std::lock_guard guard(impl_->lock);
  return impl_->Find(handle) ? WAIT_OBJECT_0 : WAIT_FAILED;
}

HANDLE SimPlatform::FindFirstFileA(const std::string& pattern, FindData& data) {
  std::lock_guard guard(impl_->lock);
  auto fail = [this](std::uint32_t code) {
    SetLastError(code);
    return INVALID_HANDLE_VALUE;
  };
  const auto slash = pattern.rfind('\\');
  char letter = 0;
  std::string folder;
  if (slash == std::string::npos || !SplitDrivePath(pattern.substr(0, slash + 1), letter, folder))
    return fail(ERROR_PATH_NOT_FOUND);
  const std::string mask = pattern.substr(slash + 1);
  auto vol = impl_->volumes.find(letter);
  if (vol == impl_->volumes.end()) return fail(ERROR_PATH_NOT_FOUND);
  SimVolume::Node* dir = vol->second->Lookup(folder);
  if (!dir || !dir->IsDir) return fail(ERROR_PATH_NOT_FOUND);

  const bool all = mask == "*" || mask == "*.*";
  OpenHandle handle;
  handle.kind = OpenHandle::Find;
  handle.letter = letter;
  if (all && !folder.empty()) {
    handle.entries.push_back({FILE_ATTRIBUTE_DIRECTORY, 0, "."});
    handle.entries.push_back({FILE_ATTRIBUTE_DIRECTORY, 0, ".."});
  }
  for (const std::string& key : dir->Children) {
    SimVolume::Node& child = vol->second->nodes_.at(key);
    if (!all && FoldKey(child.Name) != FoldKey(mask)) continue;
    const std::uint64_t size = child.File ? static_cast<std::uint64_t>(child.File->Size) : 0;
    handle.entries.push_back({child.Attributes, size, child.Name});
  }
  if (handle.entries.empty()) return fail(ERROR_FILE_NOT_FOUND);
  data = handle.entries[0];
  handle.next = 1;
  const HANDLE h = impl_->nextHandle++;
  impl_->handles.emplace(h, std::move(handle));
  return h;
}

bool SimPlatform::FindNextFileA(HANDLE find, FindData& data) {
  std::lock_guard guard(impl_->lock);
  OpenHandle* h = impl_->Find(find);
  if (!h || h->kind != OpenHandle::Find) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  if (h->next >= h->entries.size()) {
    SetLastError(ERROR_NO_MORE_FILES);
    return false;
  }
  data = h->entries[h->next++];
  return true;
}

bool SimPlatform::FindClose(HANDLE find) { return CloseHandle(find); }

bool SimPlatform::GetFileSizeEx(HANDLE file, std::int64_t& size) {
  std::lock_guard guard(impl_->lock);
  OpenHandle* h = impl_->Find(file);
  SimFile* f = h && h->kind == OpenHandle::File ? impl_->FileOf(*h) : nullptr;
  if (!f) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  size = f->Size;
  return true;
}

std::uint32_t SimPlatform::GetFileAttributesA(const std::string& path) {
  std::lock_guard guard(impl_->lock);
  char letter = 0;
  std::string rest;
  if (!SplitDrivePath(path, letter, rest)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
  }
  auto vol = impl_->volumes.find(letter);
  SimVolume::Node* node = vol == impl_->volumes.end() ? nullptr : vol->second->Lookup(rest);
  if (!node) {
    SetLastError(vol == impl_->volumes.end() ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
  }
  return node->Attributes;
}

}  // namespace sim
