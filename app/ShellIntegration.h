// The two options that live outside config.cfg (start with the session,
// the file manager's "Defragment file" verb). Reading leaves the options
// as they are where the system keeps no entry; writing ignores failures.
#pragma once

class TOptions;

void LoadShellIntegration(TOptions& options);
void SaveShellIntegration(const TOptions& options);
