// The command line of contigra_aux: which switch is present and which
// argument names the file.
#pragma once

#include <string>
#include <vector>

namespace aux {

// True when `arg` is "-x" or "/x" for the letter x, in either case.
bool IsSwitch(const std::string& arg, char letter);
bool HasSwitch(const std::vector<std::string>& args, char letter);

// Splits a list file's text into file names: lines end with LF or CR LF, a
// last line without an end counts, every other byte is kept as it is.
std::vector<std::string> SplitListLines(const std::string& text);

}  // namespace aux
