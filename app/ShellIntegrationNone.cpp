// No session autostart or file-manager verb is registered yet: the options
// keep what config.cfg and the Options dialog gave them.
#include "ShellIntegration.h"

void LoadShellIntegration(TOptions&) {}
void SaveShellIntegration(const TOptions&) {}
