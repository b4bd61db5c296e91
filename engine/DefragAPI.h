// The defragmentation engine: file maps, free-space search, block moves
// and the single-file placement entries.
//
// Every entry opens its own handles, builds its own maps and region lists
// and releases them on every path before it returns; the only state kept
// between calls is the log verbosity. The engine never throws and shows
// nothing: it returns result codes and writes log lines through the hook.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Platform.h"

using plat::HANDLE;

// One run of a file map, in VCN order.
struct TFileBlock {
  std::int64_t StartVcn = 0;
  std::int64_t Lcn = 0;       // -1 for a virtual run
  std::int64_t Clusters = 0;  // clusters on the volume
  std::int64_t VcnSpan = 0;   // VCNs covered, folded virtual runs included
  bool operator==(const TFileBlock&) const = default;
};

struct TFileMap {
  std::vector<TFileBlock> Blocks;
  // Extents reported, less one per block removed by merging; after
  // merging it equals Blocks.size() and is the file's fragment count.
  std::int64_t BlockCount = 0;
  // The file's whole VCN range, virtual runs included: what a free region
  // must hold for the file to be placed in one piece.
  std::int64_t TotalClusters = 0;
};

struct TFreeRegion {
  std::int64_t Lcn = 0;
  std::int64_t Length = 0;
  bool operator==(const TFreeRegion&) const = default;
};
using TFreeRegionList = std::vector<TFreeRegion>;

// Cancellation: called between steps with 0 (DefragmentFileToOffset passes
// the index of the block about to move); true stops the entry. May be empty.
using TStopCallback = std::function<bool(std::int32_t)>;

// Result codes besides 0, 1, Windows error codes and NTSTATUS values.
inline constexpr std::int32_t DEFRAG_RESULT_OK = 0;
inline constexpr std::int32_t DEFRAG_RESULT_UNSUPPORTED_DRIVE = 1;
inline constexpr std::int32_t DEFRAG_LIST_NO_VOLUME = 0x20000001;

// --- Opening -------------------------------------------------------------
// Both handles are set to -1 first. Returns 0, 1 (unknown or network drive,
// nothing opened) or the Windows error code of the failed open; on a failed
// volume open the file handle stays open and the caller closes both.
std::int32_t OpenFileAndVolume(const std::string& fileName, HANDLE& file, HANDLE& volume);
std::int32_t OpenFileHandle(const std::string& fileName, HANDLE& file);
std::int32_t OpenVolumeHandle(const std::string& fileName, HANDLE& volume);
// "\\.\X:" for a file name whose first character is X.
std::string VolumePathFor(const std::string& fileName);

// --- File maps -----------------------------------------------------------
// Reads the whole retrieval-pointer map. Returns STATUS_SUCCESS, or the
// failing status (STATUS_END_OF_FILE: the data lives in the MFT record);
// blocks read before a failure stay in the map.
std::int32_t GetFileMap(HANDLE file, TFileMap& map);
// Folds virtual runs into the block before them and joins physically
// adjacent blocks, in place.
void MergeFileMap(TFileMap& map);
void FreeFileMap(TFileMap& map);

// --- Free space ----------------------------------------------------------
// Length of the lowest free run of at least `needed` clusters (and that run
// in `region`), or -1 when none fits or a bitmap request failed.
std::int64_t FindFirstFreeRegion(HANDLE volume, std::int64_t needed, TFreeRegion& region);
// Appends every free run of at least `needed` clusters in ascending LCN
// order. Returns 0 when the bitmap was read to its end, else the failing
// status (-1 when a pending request ended badly); what was found stays.
std::int32_t ListFreeRegions(HANDLE volume, TFreeRegionList& regions, std::int64_t needed);

// --- Moving --------------------------------------------------------------
std::int32_t MoveClusters(HANDLE volume, HANDLE file, std::int64_t startVcn,
                          std::int64_t targetLcn, std::uint32_t clusterCount);

// --- Single-file placement -------------------------------------------------
std::int32_t DefragmentFile(const std::string& fileName, const TStopCallback& stop = {});
std::int32_t DefragmentFileToTail(const std::string& fileName, const TStopCallback& stop = {});
// Places the file from `targetLcn` on and advances `targetLcn` by the
// clusters moved, also when it stops early or a move is refused part-way.
std::int32_t DefragmentFileToOffset(const std::string& fileName, std::int64_t& targetLcn,
                                    const TStopCallback& stop = {});

// --- Log hook ------------------------------------------------------------
// The hook filters by verbosity (0 None, 1 Short, 2 Verbose) and hands what
// passes to the sink. Without a sink the engine logs nothing.
class TEngineLogSink {
 public:
  virtual ~TEngineLogSink() = default;
  virtual void Line(const std::string& text) = 0;
  virtual void Error(std::int32_t code) = 0;
  // Asked for when the verbosity is raised above 0.
  virtual void SystemInfo() = 0;
};

// Installs `sink` (null removes it) and returns the previous one. The caller
// keeps ownership; install before the engine runs on other threads.
TEngineLogSink* SetEngineLogSink(TEngineLogSink* sink);
void EngineLog(std::int32_t level, const std::string& text);
void EngineLogError(std::int32_t level, std::int32_t code);
void EngineLogLastError(std::int32_t level);
void SetEngineLogLevel(std::int32_t level);
std::int32_t GetEngineLogLevel();

// --- Group placement -------------------------------------------------------
// The file's TotalClusters (0 unless the whole map was read); returns the
// map status.
std::int32_t GetFileClusterCount(HANDLE file, std::int64_t& clusters);
// Lays the files out one after another, in list order, in one free run of
// the first file's volume: from the start of the lowest run that holds them
// all, or (toTail) ending at the end of the highest. Returns 0, or
// DEFRAG_LIST_NO_VOLUME when that volume cannot be opened.
std::int32_t DefragmentList(const std::vector<std::string>& files, bool toTail,
                            const TStopCallback& stop = {});

// --- Fragmentation scan ----------------------------------------------------
// One file found by the scan.
struct TFileRegionPair {
  bool Checked = false;
  std::string FileName;
  std::int32_t Fragments = 0;
  std::int64_t Size = 0;
};
using TFileRegionList = std::vector<TFileRegionPair>;

// Called on entering each folder with its path (ending in "\") and the
// number of records so far; true stops the scan. May be empty.
using TScanProgressCallback = std::function<bool(const std::string& folder, std::int32_t found)>;

// Fragments of an open file: 0 when it has no clusters outside its MFT
// record or the first map request failed, -1 when the map failed later.
std::int64_t GetFileFragmentCount(HANDLE file);
// Walks `folder` (ending in "\") depth first, leaving out system entries,
// and appends every file with at least `minFragments` fragments and
// `minSize` bytes.
void ScanForFragmentedFiles(const std::string& folder, std::int32_t minFragments,
                            TFileRegionList& list, std::int64_t minSize,
                            const TScanProgressCallback& progress = {});

// Orders for the scan's results: negative when a goes first.
std::int32_t CompareByFragmentsDesc(const TFileRegionPair& a, const TFileRegionPair& b);
std::int32_t CompareByFragmentsAsc(const TFileRegionPair& a, const TFileRegionPair& b);
std::int32_t CompareBySizeDesc(const TFileRegionPair& a, const TFileRegionPair& b);
std::int32_t CompareBySizeAsc(const TFileRegionPair& a, const TFileRegionPair& b);
std::int32_t CompareByNameAsc(const TFileRegionPair& a, const TFileRegionPair& b);
std::int32_t CompareByNameDesc(const TFileRegionPair& a, const TFileRegionPair& b);
