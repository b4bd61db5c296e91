// Group placement: measure every file, find one free run for the sum, then
// place the files one after another with the offset placement.
#include "DefragAPI.h"

using namespace plat;

namespace {

const std::string kTitle = "\"Defragment list\"";

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

void LogFailure(const std::string& what, const std::string& file) {
  EngineLog(1, "    " + what + Quoted(file) + "! Exit with:");
  EngineLogLastError(1);
  EngineLog(1, ">>>> Escaped from " + kTitle + ".");
}

// The measuring pass: the sum of the clusters of every file that could be
// measured. Files that cannot be opened are logged and left out.
std::int64_t MeasureGroup(const std::vector<std::string>& files) {
  std::int64_t total = 0;
  for (const std::string& name : files) {
    HANDLE file;
    if (OpenFileHandle(name, file) == 0) {
      std::int64_t clusters = 0;
      // A group this large fits nowhere; the sum stops there rather than wrap.
      if (GetFileClusterCount(file, clusters) == STATUS_SUCCESS)
        total = clusters > INT64_MAX - total ? INT64_MAX : total + clusters;
    } else {
      LogFailure("Cannot open file handle for ", name);
    }
    CloseHandle(file);
  }
  return total;
}

// The first cluster of the group, or -1 when no free run holds it.
std::int64_t GroupStart(HANDLE volume, std::int64_t total, bool toTail) {
  TFreeRegionList regions;
  ListFreeRegions(volume, regions, total);
  if (regions.empty()) return -1;
  if (!toTail) return regions.front().Lcn;
  return regions.back().Lcn + regions.back().Length - total;
}

}  // namespace

std::int32_t GetFileClusterCount(HANDLE file, std::int64_t& clusters) {
  clusters = 0;
  TFileMap map;
  const std::int32_t status = GetFileMap(file, map);
  if (status == STATUS_SUCCESS) clusters = map.TotalClusters;
  return status;
}

std::int32_t DefragmentList(const std::vector<std::string>& files, bool toTail,
                            const TStopCallback& stop) {
  EngineLog(1, "<<<< " + kTitle + " started.");
  const std::string first = files.empty() ? std::string() : files.front();
  // The volume is opened before the files are measured so that a backend
  // which mounts per open keeps one mount for the whole group; a failure is
  // reported after the measuring pass, with the error it had.
  HANDLE volume;
  const std::int32_t volumeResult = OpenVolumeHandle(first, volume);
  const std::uint32_t volumeError = GetLastError();
  const std::int64_t total = MeasureGroup(files);
  if (volumeResult != 0) {
    SetLastError(volumeError);
    LogFailure("Cannot open volume for ", first);
    return DEFRAG_LIST_NO_VOLUME;
  }
  std::int64_t offset = GroupStart(volume, total, toTail);
  if (offset >= 0) {
    for (const std::string& name : files) {
      if (stop && stop(0)) break;
      DefragmentFileToOffset(name, offset, stop);
    }
  }
  CloseHandle(volume);
  EngineLog(1, ">>>> " + kTitle + " finished normally.");
  return 0;
}
