// What contigra_aux exchanges with its process, per OS: the arguments as
// UTF-8 and the output lines, each with CR LF, written at once; when
// standard output is missing or closed the line is dropped silently.
#pragma once

#include <string>
#include <vector>

namespace aux {
// Called first: keeps the helper quiet and alive whatever its output
// becomes (no signal for a reader that went away, no system dialogs).
void PrepareOutput();
// The arguments after the program name, in UTF-8.
std::vector<std::string> Arguments(int argc, char** argv);
void WriteLine(const std::string& line);
}
