// The two ways the desktop program ties itself into the user's system:
// it can be started when a session begins, and the file manager can offer
// a "Defragment file" verb on every file that starts contigra_aux -d on it.
//
// Windows keeps both under HKEY_LOCAL_MACHINE (the Run value "Contigra"
// and the verb's command key), opened with full access, so a user who may
// not change those keys reads both as absent. Elsewhere the session start
// is an XDG autostart entry, and there is no verb (FileVerbSupported).
//
// Nothing here reports a failure: a read that fails answers "absent", a
// write that fails leaves the system as it was.
#pragma once

#include <string>

namespace plat {

// Whether this system's file manager shows the files the program works on,
// so that a verb on them could reach the engine. When false, the verb is
// never read as present and never written.
bool FileVerbSupported();

// True when the session-start entry exists and names a program (on POSIX:
// the autostart file exists and is not switched off). It is not compared
// with the running program: a copy in another folder counts as well.
bool StartupEntryPresent();

// True when the verb's command exists and is not empty.
bool FileVerbPresent();

// Removes the session-start entry and, when `on`, writes it again so that
// it starts `programPath` (the running executable's full path) without
// arguments. An empty `programPath` only removes.
void SaveStartupEntry(bool on, const std::string& programPath);

// Removes the verb with everything below it and, when `on` and supported,
// writes it again with the command that starts the contigra_aux beside
// `programPath` with -d and the chosen file.
void SaveFileVerb(bool on, const std::string& programPath);

}  // namespace plat
