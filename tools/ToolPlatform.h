// Shared start-up of the developer tools: a backend over the drive table in
// force, or over one image given on the command line as drive Z.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "NtfsPlatform.h"

namespace tools {

// "--image IMG[:N]" among `args` maps drive Z to it (and is removed from
// `args`); otherwise the drive table is used. The platform is made current.
std::unique_ptr<plat::Platform> StartPlatform(std::vector<std::string>& args);

struct Extent {
  std::int64_t Vcn = 0;
  std::int64_t Lcn = 0;  // -1 virtual
  std::int64_t Length = 0;
};

// The runs of a file through FSCTL_GET_RETRIEVAL_POINTERS. Returns the
// final status (STATUS_SUCCESS, or STATUS_END_OF_FILE for no clusters).
std::int32_t ReadExtents(plat::HANDLE file, std::vector<Extent>& extents);

}  // namespace tools
