#include "NtfsTestSupport.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <sstream>

#include "Library.h"
#include "NtfsLib.h"
#include "Records.h"

namespace ntfstest {

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string tmpl = std::string(base && *base ? base : "/tmp") + "/contigra-ntfs-XXXXXX";
  if (!mkdtemp(tmpl.data())) ADD_FAILURE() << "mkdtemp failed";
  path_ = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void BuildImage(const std::string& layoutText, const std::string& imagePath) {
  imagekit::Layout layout;
  std::string error;
  ASSERT_TRUE(imagekit::ParseLayout(layoutText, layout, error)) << error;
  ASSERT_TRUE(imagekit::BuildImage(layout, imagePath, error)) << error;
}

ScopedNtfs::ScopedNtfs(const std::string& table)
    : platform_(ntfs::MakeNtfsPlatform(ntfs::ParseDriveTable(table, ';'))),
      previous_(plat::SetCurrent(platform_.get())) {}

ScopedNtfs::~ScopedNtfs() { plat::SetCurrent(previous_); }

int RunTool(const std::vector<std::string>& argv, std::string& out, bool withStderr) {
  int pipefd[2];
  if (pipe(pipefd) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(pipefd[1], 1);
    if (withStderr) dup2(pipefd[1], 2);
    else freopen("/dev/null", "w", stderr);
    close(pipefd[0]);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  close(pipefd[1]);
  out.clear();
  char buf[65536];
  ssize_t n;
  while ((n = read(pipefd[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<std::size_t>(n));
  close(pipefd[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::uint8_t> NtfsCat(const std::string& image, const std::string& path) {
  std::string out;
  if (RunTool({"ntfscat", "-f", image, path}, out) != 0) return {};
  return {out.begin(), out.end()};
}

std::string Sha256Hex(const std::vector<std::uint8_t>& data) {
  unsigned char md[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  EVP_Digest(data.data(), data.size(), md, &len, EVP_sha256(), nullptr);
  std::ostringstream hex;
  for (unsigned i = 0; i < len; ++i) hex << std::hex << std::setw(2) << std::setfill('0') << int{md[i]};
  return hex.str();
}

std::string FileSha256(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return Sha256Hex(data);
}

std::vector<ToolRun> NtfsclusterRuns(const std::string& image, const std::string& path) {
  std::string out;
  RunTool({"ntfscluster", "-f", "-F", path, image}, out);
  std::vector<ToolRun> runs;
  std::istringstream lines(out);
  std::string line;
  bool inData = false;
  while (std::getline(lines, line)) {
    if (line.find("0x80 - ") != std::string::npos) inData = true;
    else if (line.find(" - ") != std::string::npos && line.find("0x") != std::string::npos) inData = false;
    ToolRun r{};
    if (inData && std::istringstream(line) >> r.Vcn >> r.Lcn >> r.Length) runs.push_back(r);
  }
  return runs;
}

bool ReadThroughLibrary(const std::string& image, const std::vector<std::string>& paths,
                        std::map<std::string, LibraryFile>& files, std::string& why) {
  const std::lock_guard<std::mutex> lock(ntfs::LibraryLock());
  files.clear();
  ntfs_volume* vol = ntfs_mount(image.c_str(), NTFS_MNT_RDONLY);
  if (!vol) {
    why = std::string("mount refused: ") + std::strerror(errno);
    return false;
  }
  for (const auto& path : paths) {
    LibraryFile& out = files[path];
    ntfs_inode* ni = ntfs_pathname_to_inode(vol, nullptr, path.c_str());
    ntfs_attr* na = ni ? ntfs_attr_open(ni, AT_DATA, AT_UNNAMED, 0) : nullptr;
    if (na) {
      std::vector<std::uint8_t> data(static_cast<std::size_t>(na->data_size));
      if (ntfs_attr_pread(na, 0, na->data_size, data.data()) == na->data_size) out.Sha = Sha256Hex(data);
      if (!NAttrNonResident(na)) {
        out.Pieces = 0;
      } else if (ntfs_attr_map_whole_runlist(na) == 0) {
        out.Pieces = 0;
        LCN end = -1;
        for (const runlist_element* rl = na->rl; rl->length; ++rl) {
          if (rl->lcn < 0) continue;
          if (rl->lcn != end) ++out.Pieces;
          end = rl->lcn + rl->length;
        }
      }
      ntfs_attr_close(na);
    }
    if (ni) ntfs_inode_close(ni);
  }
  ntfs_umount(vol, FALSE);
  return true;
}

int VolumeFlags(const std::string& image) {
  const std::lock_guard<std::mutex> lock(ntfs::LibraryLock());
  ntfs_volume* vol = ntfs_mount(image.c_str(), NTFS_MNT_RDONLY);
  if (!vol) return -1;
  const int flags = le16_to_cpu(vol->flags);
  ntfs_umount(vol, FALSE);
  return flags;
}

std::vector<std::string> VolumeCheck(const std::string& image, int& leaked, std::string* output) {
  std::string out;
  const int rc = RunTool({"ntfsresize", "-i", "-f", "-v", "-P", image}, out, true);
  if (output) *output = out;
  std::vector<std::string> errors;
  leaked = 0;
  std::istringstream lines(out);
  std::string line;
  bool checked = false;
  while (std::getline(lines, line)) {
    if (line.find("Checking filesystem consistency") != std::string::npos) checked = true;
    if (line.find("extra cluster in $Bitmap") != std::string::npos) ++leaked;
    else if (line.find("Cluster accounting failed") != std::string::npos ||
             line.find("referenced multiple") != std::string::npos ||
             line.find("Outside of the volume") != std::string::npos ||
             (line.find("ERROR") != std::string::npos &&
              line.find("NTFS is inconsistent") == std::string::npos))  // said for leaks too
      errors.push_back(line);
  }
  // With only leaked clusters ntfsresize still exits 1 after listing them.
  if (!checked || (rc != 0 && leaked == 0 && errors.empty()))
    errors.push_back("ntfsresize did not check the volume (exit " + std::to_string(rc) + ")");
  return errors;
}

plat::HANDLE OpenFile(const std::string& path) {
  return plat::CreateFileA(path, plat::GENERIC_READ, plat::FILE_SHARE_READ | plat::FILE_SHARE_WRITE,
                           plat::OPEN_EXISTING, 0);
}

plat::HANDLE OpenVolume(char letter) {
  return plat::CreateFileA(std::string("\\\\.\\") + letter + ":", plat::GENERIC_READ | plat::GENERIC_WRITE,
                           plat::FILE_SHARE_READ | plat::FILE_SHARE_WRITE, plat::OPEN_EXISTING, 0);
}

std::vector<Extent> ReadMap(plat::HANDLE file, std::int32_t* status) {
  namespace rec = plat::rec;
  std::vector<Extent> extents;
  std::vector<std::uint8_t> out(rec::kMapBufferSize);
  std::int64_t vcn = 0;
  for (;;) {
    std::uint8_t in[8];
    rec::StoreI64(in, 0, vcn);
    plat::IO_STATUS_BLOCK iosb;
    const auto s = plat::NtFsControlFile(file, iosb, plat::FSCTL_GET_RETRIEVAL_POINTERS, in, 8,
                                         out.data(), static_cast<std::uint32_t>(out.size()));
    if (status) *status = s;
    if (s != plat::STATUS_SUCCESS && s != plat::STATUS_BUFFER_OVERFLOW) return extents;
    const auto n = rec::LoadU32(out.data(), 0);
    std::int64_t at = rec::LoadI64(out.data(), 8);
    for (std::uint32_t i = 0; i < n; ++i) {
      const std::int64_t next = rec::LoadI64(out.data(), 16 + 16 * i);
      extents.push_back({at, rec::LoadI64(out.data(), 24 + 16 * i), next - at});
      at = next;
    }
    if (s == plat::STATUS_SUCCESS) return extents;
    vcn = at;
  }
}

std::int32_t Move(plat::HANDLE volume, plat::HANDLE file, std::int64_t vcn, std::int64_t lcn,
                  std::uint32_t count) {
  namespace rec = plat::rec;
  std::uint8_t in[rec::kMoveDataSize] = {};
  rec::StoreU32(in, rec::kMoveFileHandleOffset, static_cast<std::uint32_t>(file));
  rec::StoreI64(in, rec::kMoveStartingVcnOffset, vcn);
  rec::StoreI64(in, rec::kMoveStartingLcnOffset, lcn);
  rec::StoreU32(in, rec::kMoveClusterCountOffset, count);
  plat::IO_STATUS_BLOCK iosb;
  return plat::NtFsControlFile(volume, iosb, plat::FSCTL_MOVE_FILE, in, sizeof in, nullptr, 0);
}

std::vector<bool> ReadBitmap(plat::HANDLE volume) {
  namespace rec = plat::rec;
  std::vector<bool> used;
  std::vector<std::uint8_t> out(rec::kBitmapBufferSize);
  for (std::int64_t lcn = 0;;) {
    std::uint8_t in[8];
    rec::StoreI64(in, 0, lcn);
    plat::IO_STATUS_BLOCK iosb;
    const auto s = plat::NtFsControlFile(volume, iosb, plat::FSCTL_GET_VOLUME_BITMAP, in, 8,
                                         out.data(), static_cast<std::uint32_t>(out.size()));
    if (s != plat::STATUS_SUCCESS && s != plat::STATUS_BUFFER_OVERFLOW) return used;
    const std::int64_t size = rec::LoadI64(out.data(), 8);
    const std::int64_t bits = std::min<std::int64_t>(size, static_cast<std::int64_t>(iosb.Information - 16) * 8);
    for (std::int64_t i = 0; i < bits; ++i) used.push_back((out[16 + static_cast<std::size_t>(i / 8)] >> (i % 8)) & 1);
    if (s == plat::STATUS_SUCCESS) return used;
    lcn += bits;
  }
}

std::int64_t FindFree(const std::vector<bool>& used, std::int64_t count, std::int64_t from) {
  std::int64_t run = 0;
  for (std::int64_t i = from; i < static_cast<std::int64_t>(used.size()); ++i) {
    run = used[static_cast<std::size_t>(i)] ? 0 : run + 1;
    if (run == count) return i - count + 1;
  }
  return -1;
}

}  // namespace ntfstest
