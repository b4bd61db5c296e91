#include "ImageBuilder.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "NtfsLib.h"
#include "Utf16.h"

namespace imagekit {
namespace {

constexpr char kFiller[] = "$contigra.filler";

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string cur;
  for (char c : path) {
    if (c == '\\' || c == '/') {
      if (!cur.empty()) parts.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) parts.push_back(cur);
  return parts;
}

std::u16string ToDisk(const std::string& name) {
  std::u16string s = ntfs::Utf8ToUtf16(name).value_or(u"");
  for (auto& c : s) c = static_cast<char16_t>(cpu_to_le16(static_cast<u16>(c)));
  return s;
}

// The child `name` of `dir`, created with `type` if missing. Closes nothing.
ntfs_inode* OpenOrCreate(ntfs_inode* dir, const std::string& name, mode_t type) {
  const std::u16string u = ToDisk(name);
  if (u.empty() || u.size() > 255) return nullptr;
  const auto* un = reinterpret_cast<const ntfschar*>(u.data());
  const u64 mref = ntfs_inode_lookup_by_name(dir, un, static_cast<int>(u.size()));
  if (mref != static_cast<u64>(-1)) return ntfs_inode_open(dir->vol, MREF(mref));
  return ntfs_create(dir, 0, const_cast<ntfschar*>(un), static_cast<u8>(u.size()), type);
}

// Opens the parent folder of `parts` (creating folders on the way).
ntfs_inode* OpenParent(ntfs_volume* vol, const std::vector<std::string>& parts) {
  ntfs_inode* dir = ntfs_inode_open(vol, FILE_root);
  for (std::size_t i = 0; dir && i + 1 < parts.size(); ++i) {
    ntfs_inode* next = OpenOrCreate(dir, parts[i], S_IFDIR);
    ntfs_inode_close(dir);
    dir = next;
  }
  return dir;
}

ntfs_inode* CreateEntry(ntfs_volume* vol, const std::string& path, mode_t type) {
  const auto parts = SplitPath(path);
  if (parts.empty()) return nullptr;
  ntfs_inode* dir = OpenParent(vol, parts);
  if (!dir) return nullptr;
  ntfs_inode* ni = OpenOrCreate(dir, parts.back(), type);
  ntfs_inode_close(dir);
  return ni;
}

bool WriteAt(ntfs_inode* ni, const std::vector<std::uint8_t>& data, std::uint64_t off,
             std::uint64_t len) {
  ntfs_attr* na = ntfs_attr_open(ni, AT_DATA, AT_UNNAMED, 0);
  if (!na) return false;
  const s64 n = static_cast<s64>(len);
  bool ok = ntfs_attr_pwrite(na, static_cast<s64>(off), n, data.data() + off) == n;
  ok = ntfs_attr_pclose(na) == 0 && ok;
  ntfs_attr_close(na);
  return ok;
}

bool SetSize(ntfs_inode* ni, std::uint64_t size) {
  ntfs_attr* na = ntfs_attr_open(ni, AT_DATA, AT_UNNAMED, 0);
  if (!na) return false;
  const bool ok = na->data_size == static_cast<s64>(size) ||
                  ntfs_attr_truncate(na, static_cast<s64>(size)) == 0;
  ntfs_attr_close(na);
  return ok;
}

void AddAttributes(ntfs_inode* ni, std::uint32_t attrs) {
  if (!attrs) return;
  ni->flags = static_cast<FILE_ATTR_FLAGS>(ni->flags | cpu_to_le32(attrs));
  NInoSetDirty(ni);
  NInoFileNameSetDirty(ni);
}

bool WriteWhole(ntfs_volume* vol, const LayoutEntry& e) {
  ntfs_inode* ni = CreateEntry(vol, e.Path, e.Type == LayoutEntry::Kind::Dir ? S_IFDIR : S_IFREG);
  if (!ni) return false;
  bool ok = true;
  if (e.Type == LayoutEntry::Kind::Compressed) {
    // The data attribute takes compression from the file's flag.
    ni->flags = static_cast<FILE_ATTR_FLAGS>(ni->flags | FILE_ATTR_COMPRESSED);
    NInoSetDirty(ni);
  }
  const auto data = ExpectedContent(e);
  if (e.Type == LayoutEntry::Kind::Sparse) {
    for (const auto& [off, len] : e.Data) ok = ok && WriteAt(ni, data, off, len);
    ok = ok && SetSize(ni, e.Size);
  } else if (e.Type != LayoutEntry::Kind::Dir && e.Size) {
    ok = WriteAt(ni, data, 0, e.Size);
  }
  AddAttributes(ni, e.Attributes);
  return ntfs_inode_close(ni) == 0 && ok;
}

// Writes the fragmented files round-robin, one chunk each per round, with a
// cluster of filler between rounds; the filler is deleted afterwards so its
// clusters become the gaps between the pieces.
bool WriteInterleaved(ntfs_volume* vol, const std::vector<const LayoutEntry*>& files) {
  if (files.empty()) return true;
  const std::uint64_t cs = vol->cluster_size;
  std::vector<std::vector<std::uint8_t>> data;
  std::vector<std::uint64_t> chunk, done(files.size(), 0);
  int rounds = 0;
  for (const auto* e : files) {
    data.push_back(ExpectedContent(*e));
    const std::uint64_t clusters = (e->Size + cs - 1) / cs;
    chunk.push_back(std::max<std::uint64_t>(1, (clusters + e->Fragments - 1) / e->Fragments) * cs);
    rounds = std::max(rounds, e->Fragments);
  }
  std::vector<std::uint8_t> filler(static_cast<std::size_t>(cs) * static_cast<std::size_t>(rounds + 1), 0xF1);
  bool ok = true;
  for (int r = 0; r < rounds && ok; ++r) {
    for (std::size_t i = 0; i < files.size() && ok; ++i) {
      const std::uint64_t len = std::min(chunk[i], files[i]->Size - done[i]);
      if (len == 0) continue;
      ntfs_inode* ni = CreateEntry(vol, files[i]->Path, S_IFREG);
      ok = ni && WriteAt(ni, data[i], done[i], len);
      done[i] += len;
      if (ni) ntfs_inode_close(ni);
    }
    ntfs_inode* f = CreateEntry(vol, kFiller, S_IFREG);
    ok = ok && f && WriteAt(f, filler, static_cast<std::uint64_t>(r) * cs, cs);
    if (f) ntfs_inode_close(f);
  }
  for (std::size_t i = 0; i < files.size() && ok; ++i) {
    ntfs_inode* ni = CreateEntry(vol, files[i]->Path, S_IFREG);
    if (!ni) return false;
    AddAttributes(ni, files[i]->Attributes);
    ok = ntfs_inode_close(ni) == 0;
  }
  ntfs_inode* root = ntfs_inode_open(vol, FILE_root);
  ntfs_inode* f = root ? CreateEntry(vol, kFiller, S_IFREG) : nullptr;
  const std::u16string name = ToDisk(kFiller);
  ok = ok && f &&
       ntfs_delete(vol, kFiller, f, root, const_cast<ntfschar*>(reinterpret_cast<const ntfschar*>(name.data())),
                   static_cast<u8>(name.size())) == 0;
  if (root) ntfs_inode_close(root);
  return ok;
}

bool Populate(ntfs_volume* vol, const Layout& layout, std::string& error) {
  std::vector<const LayoutEntry*> fragmented;
  for (const auto& e : layout.Entries) {
    if (e.Type == LayoutEntry::Kind::File && e.Fragments > 1) {
      fragmented.push_back(&e);
    } else if (!WriteWhole(vol, e)) {
      error = "line " + std::to_string(e.Line) + ": cannot write " + e.Path + ": " + std::strerror(errno);
      return false;
    }
  }
  if (!WriteInterleaved(vol, fragmented)) {
    error = std::string("cannot write the fragmented files: ") + std::strerror(errno);
    return false;
  }
  return true;
}

std::string FindTool(const std::string& name) {
  for (const char* dir : {"/usr/sbin/", "/sbin/", "/usr/bin/", "/bin/"}) {
    const std::string p = dir + name;
    if (access(p.c_str(), X_OK) == 0) return p;
  }
  return name;
}

}  // namespace

int RunProgram(const std::vector<std::string>& argv, std::string* output) {
  int pipefd[2] = {-1, -1};
  if (output && pipe(pipefd) != 0) return -1;
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    const int sink = output ? pipefd[1] : open("/dev/null", O_WRONLY);
    dup2(sink, 1);
    dup2(sink, 2);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const std::string prog = argv[0].find('/') == std::string::npos ? FindTool(argv[0]) : argv[0];
    execv(prog.c_str(), args.data());
    _exit(127);
  }
  if (output) {
    close(pipefd[1]);
    char buf[4096];
    ssize_t n;
    while ((n = read(pipefd[0], buf, sizeof buf)) > 0) output->append(buf, static_cast<std::size_t>(n));
    close(pipefd[0]);
  }
  int status = 0;
  if (waitpid(pid, &status, 0) < 0) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool BuildImage(const Layout& layout, const std::string& path, std::string& error) {
  const int fd = open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0644);
  if (fd < 0 || ftruncate(fd, static_cast<off_t>(layout.ImageSize)) != 0) {
    error = "cannot create " + path;
    if (fd >= 0) close(fd);
    return false;
  }
  close(fd);
  if (RunProgram({"mkntfs", "-F", "-Q", "-T", "-q", "-c", std::to_string(layout.ClusterSize),
                  "-L", layout.Label, path}) != 0) {
    error = "mkntfs failed on " + path;
    return false;
  }
  ntfs_volume* vol = ntfs_mount(path.c_str(), NTFS_MNT_NONE);
  if (!vol) {
    error = "cannot mount the new image " + path;
    return false;
  }
  NVolSetCompression(vol);
  const bool ok = Populate(vol, layout, error);
  if (ntfs_umount(vol, FALSE) != 0 && ok) {
    error = "unmounting " + path + " failed";
    return false;
  }
  return ok;
}

}  // namespace imagekit
