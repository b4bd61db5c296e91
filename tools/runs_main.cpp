// contigra_runs [--image IMG[:N]] PATH...: prints each file's runs as the
// backend reports them (VCN, LCN or "virtual", length in clusters).
// Without --image, PATH uses the drive table ("C:\dir\file"); with it, a
// path without a drive letter is taken on Z:.
#include <algorithm>
#include <iostream>

#include "ToolPlatform.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const bool onImage = std::find(args.begin(), args.end(), "--image") != args.end();
  auto platform = tools::StartPlatform(args);
  if (args.empty()) {
    std::cerr << "usage: contigra_runs [--image IMG[:N]] PATH...\n";
    return 2;
  }
  int rc = 0;
  for (std::string path : args) {
    if (onImage && (path.size() < 2 || path[1] != ':')) path = "Z:\\" + path;
    const plat::HANDLE h = plat::CreateFileA(path, plat::GENERIC_READ, plat::FILE_SHARE_READ,
                                             plat::OPEN_EXISTING, 0);
    if (h == plat::INVALID_HANDLE_VALUE) {
      const auto e = plat::GetLastError();
      std::cerr << path << ": error " << e << ": " << plat::Current().FormatErrorMessage(e);
      rc = 1;
      continue;
    }
    std::vector<tools::Extent> extents;
    const std::int32_t s = tools::ReadExtents(h, extents);
    std::cout << path << ":";
    if (s == plat::STATUS_END_OF_FILE) std::cout << " no clusters (data in the file record)";
    else if (s != plat::STATUS_SUCCESS) std::cout << " status 0x" << std::hex << s << std::dec;
    std::cout << '\n';
    for (const auto& e : extents) {
      std::cout << "  vcn " << e.Vcn << "  ";
      if (e.Lcn < 0) std::cout << "virtual";
      else std::cout << "lcn " << e.Lcn;
      std::cout << "  length " << e.Length << '\n';
    }
    plat::CloseHandle(h);
  }
  return rc;
}
