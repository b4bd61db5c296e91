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

// The cluster just past the last allocated run of `ni`'s data, or -1.
std::int64_t ClusterAfterData(ntfs_inode* ni) {
  ntfs_attr* na = ntfs_attr_open(ni, AT_DATA, AT_UNNAMED, 0);
  if (!na) return -1;
  std::int64_t after = -1;
  if (NAttrNonResident(na) && ntfs_attr_map_whole_runlist(na) == 0)
    for (const runlist_element* rl = na->rl; rl && rl->length; ++rl)
      if (rl->lcn >= 0) after = rl->lcn + rl->length;
  ntfs_attr_close(na);
  return after;
}

// Marks `lcn` used in $Bitmap when it is free, so that the file ending
// just before it cannot grow in place. True when the bit was set here.
bool Fence(ntfs_volume* vol, std::int64_t lcn) {
  if (lcn < 0 || lcn >= vol->nr_clusters) return false;
  u8 byte = 0;
  if (ntfs_attr_pread(vol->lcnbmp_na, lcn / 8, 1, &byte) != 1 || (byte >> (lcn % 8)) & 1)
    return false;
  return ntfs_bitmap_set_run(vol->lcnbmp_na, lcn, 1) == 0;
}

// Makes the next allocation start at the first free cluster at or after
// `cursor`. When a file cannot grow in place, libntfs-3g's allocator goes
// to its data-zone position and takes the longest free run within the
// 32,768 clusters from there; so the zone position is set to the cursor
// and, while one chunk is written, every other free cluster of that window
// is marked used, to be given back when this object goes.
class FirstFit {
 public:
  FirstFit(ntfs_volume* vol, std::int64_t cursor) : vol_(vol) {
    constexpr std::int64_t kWindow = 4096 * 8;  // the allocator's bitmap buffer
    const std::int64_t from = cursor & ~std::int64_t{7};
    const std::int64_t to = std::min<std::int64_t>(from + kWindow, vol->nr_clusters);
    if (from >= to) return;
    std::vector<u8> bits(static_cast<std::size_t>((to - from + 7) / 8));
    const s64 bytes = static_cast<s64>(bits.size());
    if (ntfs_attr_pread(vol->lcnbmp_na, from / 8, bytes, bits.data()) != bytes) return;
    const auto used = [&](std::int64_t lcn) {
      return (bits[static_cast<std::size_t>((lcn - from) / 8)] >> ((lcn - from) % 8)) & 1;
    };
    std::int64_t start = cursor;
    while (start < to && used(start)) ++start;
    if (start == to) return;  // nothing free here: leave the allocator alone
    std::int64_t end = start;
    while (end < to && !used(end)) ++end;
    // Only runs that would win against [start, end) need hiding: longer
    // ones, and as long ones before it (the first of equals wins).
    for (std::int64_t lcn = from; lcn < to;) {
      if (used(lcn) || lcn == start) {
        lcn = lcn == start ? end : lcn + 1;
        continue;
      }
      std::int64_t stop = lcn;
      while (stop < to && !used(stop)) ++stop;
      const std::int64_t length = stop - lcn;
      if ((length > end - start || (length == end - start && lcn < start)) &&
          ntfs_bitmap_set_run(vol->lcnbmp_na, lcn, length) == 0)
        hidden_.emplace_back(lcn, length);
      lcn = stop;
    }
    vol->data1_zone_pos = start;
  }
  ~FirstFit() {
    for (const auto& [lcn, count] : hidden_) ntfs_bitmap_clear_run(vol_->lcnbmp_na, lcn, count);
  }
  FirstFit(const FirstFit&) = delete;
  FirstFit& operator=(const FirstFit&) = delete;

 private:
  ntfs_volume* vol_;
  std::vector<std::pair<std::int64_t, std::int64_t>> hidden_;
};

// Writes the fragmented files round-robin, one chunk each per round, each
// chunk in the first free run after the previous one. After each chunk the
// cluster following the file is fenced off (marked used), so the file's
// next chunk has to start elsewhere; the fences are freed at the end and
// become one-cluster gaps between the pieces. A file with frag=N ends up in
// N pieces (more where a free run was shorter than a chunk).
bool WriteInterleaved(ntfs_volume* vol, const std::vector<const LayoutEntry*>& files) {
  if (files.empty()) return true;
  const std::uint64_t cs = vol->cluster_size;
  std::vector<std::vector<std::uint8_t>> data;
  std::vector<std::uint64_t> chunk, done(files.size(), 0);
  std::vector<std::int64_t> fences;
  int rounds = 0;
  for (const auto* e : files) {
    data.push_back(ExpectedContent(*e));
    const std::uint64_t clusters = (e->Size + cs - 1) / cs;
    chunk.push_back(std::max<std::uint64_t>(1, (clusters + e->Fragments - 1) / e->Fragments) * cs);
    rounds = std::max(rounds, e->Fragments);
  }
  std::int64_t cursor = vol->mft_zone_end;
  bool ok = true;
  for (int r = 0; r < rounds && ok; ++r) {
    for (std::size_t i = 0; i < files.size() && ok; ++i) {
      const std::uint64_t len = std::min(chunk[i], files[i]->Size - done[i]);
      if (len == 0) continue;
      ntfs_inode* ni = CreateEntry(vol, files[i]->Path, S_IFREG);
      {
        const FirstFit place(vol, cursor);
        ok = ni && WriteAt(ni, data[i], done[i], len);
      }
      done[i] += len;
      const std::int64_t after = ok ? ClusterAfterData(ni) : -1;
      if (after >= 0) {
        const bool fenced = done[i] < files[i]->Size && Fence(vol, after);
        if (fenced) fences.push_back(after);
        cursor = fenced ? after + 1 : after;
      }
      if (ni) ntfs_inode_close(ni);
    }
  }
  for (const std::int64_t lcn : fences) ok = ntfs_bitmap_clear_run(vol->lcnbmp_na, lcn, 1) == 0 && ok;
  for (std::size_t i = 0; i < files.size() && ok; ++i) {
    ntfs_inode* ni = CreateEntry(vol, files[i]->Path, S_IFREG);
    if (!ni) return false;
    AddAttributes(ni, files[i]->Attributes);
    ok = ntfs_inode_close(ni) == 0;
  }
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
