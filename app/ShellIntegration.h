// The two options that live outside config.cfg: start with the session
// (`Startup`) and the file manager's "Defragment file" verb
// (`ContextMenu`). Loading sets each from the system's entry (present and
// not empty: on; missing or unreadable: off). Saving removes both entries
// and writes them again from the options for the running executable, so
// every save also moves entries left by a copy in another folder to this
// one. Failures are ignored. Where the system has no useful verb, it reads
// as off and is never written.
#pragma once

class TOptions;

void LoadShellIntegration(TOptions& options);
void SaveShellIntegration(const TOptions& options);
