// contigra_clustermap [--image IMG[:N]] [--drive X] --out MAP.png
//                     [--highlight PATH] [--columns N] [--scale N]
// Draws a volume's clusters: free white, used by no listed file (metafiles,
// leaked clusters) grey, each file its own colour, the highlighted file red.
#include <algorithm>
#include <array>
#include <cctype>
#include <iostream>
#include <map>

#include "Png.h"
#include "Records.h"
#include "ToolPlatform.h"

namespace {

using Rgb = std::array<std::uint8_t, 3>;

struct Options {
  char Drive = 'Z';
  std::string Out, Highlight;
  std::uint32_t Columns = 256, Scale = 3;
};

// Every file under `folder` ("Z:" for the root) with its runs.
void Walk(const std::string& folder, std::map<std::string, std::vector<tools::Extent>>& files) {
  plat::FindData d;
  const plat::HANDLE f = plat::Current().FindFirstFileA(folder + "\\*.*", d);
  if (f == plat::INVALID_HANDLE_VALUE) return;
  do {
    if (d.Name == "." || d.Name == "..") continue;
    const std::string path = folder + "\\" + d.Name;
    if (d.Attributes & plat::FILE_ATTRIBUTE_DIRECTORY) {
      Walk(path, files);
      continue;
    }
    const plat::HANDLE h = plat::CreateFileA(path, plat::GENERIC_READ, 0, plat::OPEN_EXISTING, 0);
    if (h == plat::INVALID_HANDLE_VALUE) continue;
    tools::ReadExtents(h, files[path]);
    plat::CloseHandle(h);
  } while (plat::Current().FindNextFileA(f, d));
  plat::Current().FindClose(f);
}

// The volume's used-cluster bits, one bool per cluster.
std::vector<bool> ReadBitmap(char drive) {
  namespace rec = plat::rec;
  std::vector<bool> used;
  const plat::HANDLE v = plat::CreateFileA(std::string("\\\\.\\") + drive + ":", plat::GENERIC_READ,
                                           0, plat::OPEN_EXISTING, 0);
  if (v == plat::INVALID_HANDLE_VALUE) return used;
  std::vector<std::uint8_t> out(rec::kBitmapBufferSize);
  for (std::int64_t lcn = 0;;) {
    std::uint8_t in[8];
    rec::StoreI64(in, 0, lcn);
    plat::IO_STATUS_BLOCK iosb;
    const auto s = plat::NtFsControlFile(v, iosb, plat::FSCTL_GET_VOLUME_BITMAP, in, 8, out.data(),
                                         static_cast<std::uint32_t>(out.size()));
    if (s != plat::STATUS_SUCCESS && s != plat::STATUS_BUFFER_OVERFLOW) break;
    const std::int64_t size = rec::LoadI64(out.data(), rec::kBitmapSizeOffset);
    const std::int64_t bits = std::min<std::int64_t>(size, static_cast<std::int64_t>(iosb.Information - 16) * 8);
    for (std::int64_t i = 0; i < bits; ++i)
      used.push_back((out[16 + static_cast<std::size_t>(i / 8)] >> (i % 8)) & 1);
    if (s == plat::STATUS_SUCCESS) break;
    lcn += bits;
  }
  plat::CloseHandle(v);
  return used;
}

Rgb ColourOf(const std::string& path) {
  std::uint32_t h = 2166136261u;
  for (unsigned char c : path) h = (h ^ c) * 16777619u;
  // Blues and greens, kept away from the highlight red and from grey.
  return {static_cast<std::uint8_t>(40 + (h & 0x3F)), static_cast<std::uint8_t>(90 + ((h >> 8) & 0x7F)),
          static_cast<std::uint8_t>(120 + ((h >> 16) & 0x7F))};
}

bool ParseOptions(std::vector<std::string>& args, Options& o) {
  for (std::size_t i = 0; i + 1 < args.size(); i += 2) {
    const std::string& k = args[i];
    const std::string& v = args[i + 1];
    if (k == "--out") o.Out = v;
    else if (k == "--highlight") o.Highlight = v;
    else if (k == "--drive" && v.size() == 1) o.Drive = static_cast<char>(std::toupper(v[0]));
    else if (k == "--columns") o.Columns = static_cast<std::uint32_t>(std::stoul(v));
    else if (k == "--scale") o.Scale = static_cast<std::uint32_t>(std::stoul(v));
    else return false;
  }
  return args.size() % 2 == 0 && !o.Out.empty() && o.Columns > 0 && o.Scale > 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  auto platform = tools::StartPlatform(args);
  Options o;
  if (!ParseOptions(args, o)) {
    std::cerr << "usage: contigra_clustermap [--image IMG[:N]] [--drive X] --out MAP.png "
                 "[--highlight PATH] [--columns N] [--scale N]\n";
    return 2;
  }
  const std::vector<bool> used = ReadBitmap(o.Drive);
  if (used.empty()) {
    std::cerr << "contigra_clustermap: cannot read the bitmap of " << o.Drive << ":\n";
    return 1;
  }
  std::vector<Rgb> colour(used.size());
  for (std::size_t i = 0; i < used.size(); ++i)
    colour[i] = used[i] ? Rgb{150, 150, 150} : Rgb{255, 255, 255};
  std::map<std::string, std::vector<tools::Extent>> files;
  Walk(std::string(1, o.Drive) + ":", files);
  std::string highlight = o.Highlight;
  if (!highlight.empty() && (highlight.size() < 2 || highlight[1] != ':'))
    highlight = std::string(1, o.Drive) + ":\\" + highlight;
  for (const auto& [path, extents] : files) {
    const bool hi = !highlight.empty() && path == highlight;
    const Rgb c = hi ? Rgb{220, 30, 30} : ColourOf(path);
    for (const auto& e : extents)
      for (std::int64_t k = 0; e.Lcn >= 0 && k < e.Length; ++k)
        if (static_cast<std::size_t>(e.Lcn + k) < colour.size()) colour[static_cast<std::size_t>(e.Lcn + k)] = c;
  }
  const std::uint32_t rows = static_cast<std::uint32_t>((used.size() + o.Columns - 1) / o.Columns);
  const std::uint32_t w = o.Columns * o.Scale, h = rows * o.Scale;
  std::vector<std::uint8_t> rgb(std::size_t{w} * h * 3, 255);
  for (std::size_t i = 0; i < colour.size(); ++i) {
    const std::uint32_t cx = static_cast<std::uint32_t>(i % o.Columns) * o.Scale;
    const std::uint32_t cy = static_cast<std::uint32_t>(i / o.Columns) * o.Scale;
    for (std::uint32_t y = 0; y < o.Scale; ++y)
      for (std::uint32_t x = 0; x < o.Scale; ++x)
        for (int ch = 0; ch < 3; ++ch)
          rgb[(std::size_t{cy + y} * w + cx + x) * 3 + static_cast<std::size_t>(ch)] = colour[i][static_cast<std::size_t>(ch)];
  }
  if (!tools::WritePng(o.Out, w, h, rgb)) {
    std::cerr << "contigra_clustermap: cannot write " << o.Out << '\n';
    return 1;
  }
  return 0;
}
