// The private per-user folder that holds the lock files of the named mutex
// and the single-instance guard: CONTIGRA_RUNTIME_DIR, else
// $XDG_RUNTIME_DIR/contigra, else /tmp/contigra-UID.
#pragma once

#include <string>

namespace plat {

std::string RuntimeFolder();
// Creates the folder if needed; false unless it is a folder owned by us
// that nobody else can enter, or another user could plant or hold our locks.
bool EnsurePrivateFolder(const std::string& dir);

}  // namespace plat
