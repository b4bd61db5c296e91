#include "ShellIntegration.h"

#include "Options.h"
#include "ShellEntries.h"
#include "SystemInfo.h"

void LoadShellIntegration(TOptions& options) {
  options.Startup = plat::StartupEntryPresent();
  options.ContextMenu = plat::FileVerbSupported() && plat::FileVerbPresent();
}

void SaveShellIntegration(const TOptions& options) {
  const std::string program = plat::ExecutablePath();
  plat::SaveStartupEntry(options.Startup, program);
  if (plat::FileVerbSupported()) plat::SaveFileVerb(options.ContextMenu, program);
}
