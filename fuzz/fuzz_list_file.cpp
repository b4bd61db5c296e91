// The list file of contigra_aux (-l): the bytes are the file's content.
// Each name it yields goes the helper's way: through the Windows path
// syntax of the NTFS backend, then to DefragmentFile on a simulated volume
// holding a few fragmented files.
//
// Properties: the lines are the text cut at LF or CR LF with nothing else
// lost or added; accepted paths are well formed; whatever the names,
// defragmenting keeps every file's clusters and the volume's used count.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "DefragAPI.h"
#include "FuzzCheck.h"
#include "HelperArgs.h"
#include "SimPlatform.h"
#include "WinPath.h"

namespace {

// The lines must tile the text: each one, then its end (LF, CR LF, or the
// end of the text, where a lone CR may have been taken off).
void CheckLines(const std::string& text, const std::vector<std::string>& lines) {
  std::size_t at = 0;
  for (const std::string& line : lines) {
    FUZZ_CHECK(line.find('\n') == std::string::npos);
    FUZZ_CHECK(text.compare(at, line.size(), line) == 0);
    at += line.size();
    if (text.compare(at, 2, "\r\n") == 0) {
      at += 2;
    } else if (at < text.size() && text[at] == '\n') {
      at += 1;
    } else {
      if (at + 1 == text.size() && text[at] == '\r') ++at;
      FUZZ_CHECK(at == text.size());
    }
  }
  FUZZ_CHECK(at == text.size());
}

void CheckPath(const std::string& name) {
  ntfs::WinPath path;
  std::uint32_t error = 0;
  if (!ntfs::ParseWinPath(name, path, error)) {
    FUZZ_CHECK(error != 0);
    return;
  }
  FUZZ_CHECK(path.Drive >= 'A' && path.Drive <= 'Z');
  for (const std::string& c : path.Components) {
    FUZZ_CHECK(!c.empty());
    FUZZ_CHECK(c.find('\\') == std::string::npos && c.find('/') == std::string::npos);
  }
}

struct Layout {
  const char* Path;
  std::vector<sim::Extent> Extents;
};

const std::vector<Layout>& Files() {
  static const std::vector<Layout> files = {
      {"Mail\\inbox.mbx", {{10, 4}, {40, 3}, {-1, 2}, {60, 5}}},
      {"Mail\\sent.mbx", {{20, 2}, {30, 2}}},
      {"big.dat", {{100, 50}, {200, 50}}},
      {"one.dat", {{300, 8}}},
  };
  return files;
}

std::int64_t VcnCount(const std::vector<sim::Extent>& extents) {
  std::int64_t n = 0;
  for (const auto& e : extents) n += e.Length;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> lines = aux::SplitListLines(text);
  CheckLines(text, lines);

  sim::ScopedSimPlatform machine;
  sim::SimVolume& volume = machine->AddVolume('C', 512);
  for (const Layout& f : Files()) volume.AddFile(f.Path, f.Extents);
  machine->SetDriveType('R', plat::DRIVE_REMOTE);
  const std::int64_t used = volume.UsedCount();
  // Each name costs a few requests; past a few dozen nothing new happens.
  std::size_t runs = 0;
  for (const std::string& name : lines) {
    CheckPath(name);
    if (++runs <= 32) DefragmentFile(name);
  }
  FUZZ_CHECK(volume.UsedCount() == used);
  for (const Layout& f : Files())
    FUZZ_CHECK(VcnCount(volume.ExtentsOf(f.Path)) == VcnCount(f.Extents));
  FUZZ_CHECK(machine->OpenHandleCount() == 0);
  return 0;
}
