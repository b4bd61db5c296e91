// Builds an NTFS image from a Layout: mkntfs on a file of the layout's
// size, then folders and files written through libntfs-3g.
#pragma once

#include <string>
#include <vector>

#include "ImageLayout.h"

namespace imagekit {

// Creates (or replaces) the image at `path`. False with a message on
// failure.
bool BuildImage(const Layout& layout, const std::string& path, std::string& error);

// Runs a program with arguments, stdout and stderr to /dev/null unless
// `output` is given (then stdout and stderr are captured there). Returns
// the exit status, or -1 if it could not run.
int RunProgram(const std::vector<std::string>& argv, std::string* output = nullptr);

}  // namespace imagekit
