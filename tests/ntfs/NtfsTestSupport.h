// Shared fixtures of the NTFS backend tests: temporary folders, images
// built with the real tools, the backend made current, and the ntfs-3g
// command-line tools as independent witnesses.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ImageBuilder.h"
#include "NtfsPlatform.h"

namespace ntfstest {

// A fresh folder under $TMPDIR (or /tmp), removed with its contents.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Builds an image from layout text; fails the test on error.
void BuildImage(const std::string& layoutText, const std::string& imagePath);

// Makes an NTFS backend over `table` ("C=/x.img;D=...") current while alive.
class ScopedNtfs {
 public:
  explicit ScopedNtfs(const std::string& table);
  ~ScopedNtfs();
  ScopedNtfs(const ScopedNtfs&) = delete;
  ScopedNtfs& operator=(const ScopedNtfs&) = delete;
  plat::Platform& operator*() { return *platform_; }
  plat::Platform* operator->() { return platform_.get(); }

 private:
  std::unique_ptr<plat::Platform> platform_;
  plat::Platform* previous_;
};

// Runs a program; returns its exit status and its stdout (stderr too when
// `withStderr`).
int RunTool(const std::vector<std::string>& argv, std::string& out, bool withStderr = false);

// A file's bytes as ntfscat reads them (empty on failure).
std::vector<std::uint8_t> NtfsCat(const std::string& image, const std::string& path);
std::string Sha256Hex(const std::vector<std::uint8_t>& data);
std::string FileSha256(const std::string& path);

struct ToolRun {
  std::int64_t Vcn, Lcn, Length;  // Lcn -1 for virtual
  bool operator==(const ToolRun&) const = default;
};
// The unnamed $DATA runs of `path` as ntfscluster reports them.
std::vector<ToolRun> NtfsclusterRuns(const std::string& image, const std::string& path);

// Every file of `paths` ("/dir/a.bin") as libntfs-3g reads it through a
// fresh read-only mount of its own (not through the backend). False, with
// the reason, when the library refuses to mount the image.
struct LibraryFile {
  std::string Sha;  // SHA-256 of the unnamed $DATA, empty when unreadable
  int Pieces = -1;  // physically separate runs of data, 0 when resident
  bool operator==(const LibraryFile&) const = default;
};
bool ReadThroughLibrary(const std::string& image, const std::vector<std::string>& paths,
                        std::map<std::string, LibraryFile>& files, std::string& why);
// The volume's flags in $Volume as libntfs-3g reads them, -1 when it
// cannot mount the image.
int VolumeFlags(const std::string& image);

// ntfsresize's consistency check; `output` gets its report. Returns the
// lines that name cluster-accounting errors other than leaked clusters
// ("extra cluster in $Bitmap"), plus a note when the check did not run.
std::vector<std::string> VolumeCheck(const std::string& image, int& leaked, std::string* output = nullptr);

// The runs of an open file through the backend (STATUS_* in `status`).
struct Extent {
  std::int64_t Vcn, Lcn, Length;
  bool operator==(const Extent&) const = default;
};
std::vector<Extent> ReadMap(plat::HANDLE file, std::int32_t* status = nullptr);
plat::HANDLE OpenFile(const std::string& path);
plat::HANDLE OpenVolume(char letter);
std::int32_t Move(plat::HANDLE volume, plat::HANDLE file, std::int64_t vcn, std::int64_t lcn,
                  std::uint32_t count);
// The volume's bitmap (one entry per cluster) through FSCTL_GET_VOLUME_BITMAP.
std::vector<bool> ReadBitmap(plat::HANDLE volume);
// Lowest free run of at least `count` clusters at or after `from`, or -1.
std::int64_t FindFree(const std::vector<bool>& used, std::int64_t count, std::int64_t from = 0);

}  // namespace ntfstest
