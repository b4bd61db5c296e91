// Output of contigra_aux: each line with CR LF, written at once; when
// standard output is missing or closed the line is dropped silently.
#pragma once

#include <string>

namespace aux {
void PrepareOutput();
void WriteLine(const std::string& line);
}
