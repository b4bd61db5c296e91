// The single-file placement entries: to the first free run that holds the
// file, to the end of the last one, or to a cluster the caller chooses.
#include "DefragAPI.h"

using namespace plat;

namespace {

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

// The handles and the map of one entry call, released on every path.
struct FileSession {
  HANDLE File = INVALID_HANDLE_VALUE;
  HANDLE Volume = INVALID_HANDLE_VALUE;
  TFileMap Map;
  FileSession() = default;
  FileSession(const FileSession&) = delete;
  FileSession& operator=(const FileSession&) = delete;
  ~FileSession() {
    CloseHandle(File);
    CloseHandle(Volume);
    FreeFileMap(Map);
  }
};

// The entry's name in its log lines, e.g. "Defragment file to tail".
struct EntryLog {
  std::string Title;
  std::string FileName;

  void Started() const {
    EngineLog(1, "<<<< " + Quoted(Title) + " started. File: " + Quoted(FileName));
  }
  void Escaped() const { EngineLog(1, ">>>> Escaped from " + Quoted(Title) + "."); }
  void Finished() const { EngineLog(1, ">>>> " + Quoted(Title) + " finished normally."); }

  void OpenFailed(std::int32_t code) const {
    EngineLog(1, "    Cannot open FILE or volume for " + Quoted(FileName) + "! Exit with:");
    EngineLogError(1, code);
    Escaped();
  }
  // The map could not be read: a file held in its MFT record is no error.
  void MapFailed(std::int32_t status) const {
    if (status == STATUS_END_OF_FILE) {
      EngineLog(1, "    File " + Quoted(FileName) + " alredy MFT placed. Just exitting.");
      Finished();
      return;
    }
    EngineLog(1, "    Cannot create FileMap for " + Quoted(FileName) + ". Exit with:");
    EngineLogError(1, status);
    Escaped();
  }
  void NoRegion(const std::string& needLine) const {
    EngineLog(1, "    No region to place file " + Quoted(FileName) + "!");
    EngineLog(1, needLine);
    EngineLog(1, "    Defragmentation will not performed.");
  }
};

bool StopRequested(const TStopCallback& stop, std::int32_t argument) {
  return stop && stop(argument);
}

std::int32_t MoveBlock(const FileSession& s, const TFileBlock& block, std::int64_t target) {
  return MoveClusters(s.Volume, s.File, block.StartVcn, target,
                      static_cast<std::uint32_t>(block.VcnSpan));
}

// The next block goes after the clusters really written, not the VCN span.
std::int64_t Advance(const TFileBlock& block) {
  return static_cast<std::uint32_t>(block.Clusters);
}

// Opens the file and reads its merged map. Returns true when the caller
// goes on; otherwise `result` holds the entry's result and the lines are
// logged.
bool OpenAndMap(const EntryLog& log, FileSession& s, std::int32_t& result) {
  result = OpenFileAndVolume(log.FileName, s.File, s.Volume);
  if (result != 0) {
    log.OpenFailed(result);
    return false;
  }
  result = GetFileMap(s.File, s.Map);
  if (result != STATUS_SUCCESS) {
    log.MapFailed(result);
    return false;
  }
  MergeFileMap(s.Map);
  return true;
}

}  // namespace

std::int32_t DefragmentFile(const std::string& fileName, const TStopCallback& stop) {
  const EntryLog log{"Defragment file", fileName};
  log.Started();
  FileSession s;
  std::int32_t result;
  if (!OpenAndMap(log, s, result)) return result;
  if (s.Map.BlockCount < 1) {
    log.Finished();
    return 0;
  }
  TFreeRegion region;
  if (FindFirstFreeRegion(s.Volume, s.Map.TotalClusters, region) < 0) {
    log.NoRegion("    Need at least " + std::to_string(s.Map.TotalClusters) +
                 " clusters to complete!");
    log.Finished();
    return 0;
  }
  std::int64_t target = region.Lcn;
  // Already in one piece at or before the free run: leave it.
  if (s.Map.BlockCount == 1 && s.Map.Blocks[0].Lcn <= target) {
    log.Finished();
    return 0;
  }
  for (std::size_t i = 0; i < s.Map.Blocks.size(); ++i) {
    if (StopRequested(stop, 0)) return 0;
    const TFileBlock& block = s.Map.Blocks[i];
    const std::int32_t status = MoveBlock(s, block, target);
    EngineLog(2, "    processing block " + std::to_string(i));
    if (status != STATUS_SUCCESS) return status;
    target += Advance(block);
  }
  log.Finished();
  return 0;
}

std::int32_t DefragmentFileToTail(const std::string& fileName, const TStopCallback& stop) {
  const EntryLog log{"Defragment file to tail", fileName};
  log.Started();
  FileSession s;
  std::int32_t result;
  if (!OpenAndMap(log, s, result)) return result;
  if (s.Map.BlockCount < 1) {
    log.Finished();
    return 0;
  }
  TFreeRegionList regions;
  ListFreeRegions(s.Volume, regions, s.Map.TotalClusters);
  if (regions.empty()) {
    log.NoRegion("    Need as minimum as " + std::to_string(s.Map.TotalClusters) +
                 " clusters to complete!");
    log.Finished();
    return 0;
  }
  const TFreeRegion& last = regions.back();
  std::int64_t target = last.Lcn + last.Length - s.Map.TotalClusters;
  if (s.Map.BlockCount == 1 && s.Map.Blocks[0].Lcn >= target) {
    EngineLog(2, "    File " + Quoted(fileName) + " is already in the good shape. Just skipping...");
    log.Finished();
    return 0;
  }
  for (const TFileBlock& block : s.Map.Blocks) {
    if (StopRequested(stop, 0)) return 0;
    const std::int32_t status = MoveBlock(s, block, target);
    if (status != STATUS_SUCCESS) return status;
    target += Advance(block);
  }
  log.Finished();
  return 0;
}

std::int32_t DefragmentFileToOffset(const std::string& fileName, std::int64_t& targetLcn,
                                    const TStopCallback& stop) {
  const EntryLog log{"Defragment file to offset", fileName};
  log.Started();
  EngineLog(2, "     \"Starting cluster for file: " + Quoted(fileName) + " is " +
                   std::to_string(targetLcn));
  FileSession s;
  std::int32_t result = OpenFileAndVolume(fileName, s.File, s.Volume);
  if (result != 0) {
    log.OpenFailed(result);
    return result;
  }
  if (StopRequested(stop, 0)) return 0;
  result = GetFileMap(s.File, s.Map);
  if (result != STATUS_SUCCESS) {
    log.MapFailed(result);
    return result;
  }
  MergeFileMap(s.Map);
  std::int64_t target = targetLcn;
  for (std::size_t i = 0; i < s.Map.Blocks.size(); ++i) {
    if (StopRequested(stop, static_cast<std::int32_t>(i))) return 0;
    const TFileBlock& block = s.Map.Blocks[i];
    const std::int32_t status = MoveBlock(s, block, target);
    if (status != STATUS_SUCCESS) {
      EngineLog(1, "    Cannot move FILE region to the new location " + Quoted(fileName) +
                       "! Exit with:");
      EngineLogError(1, status);
      EngineLog(1, "    Possibly disk state has changed.");
      EngineLog(1, "    Defragmentation will not performed.");
      log.Finished();
      return status;
    }
    target += Advance(block);
    targetLcn += Advance(block);
  }
  log.Finished();
  return 0;
}
