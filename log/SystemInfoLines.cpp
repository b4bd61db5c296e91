#include "SystemInfoLines.h"

#include "ContigraVersion.h"

std::string ProductLine() {
  if (!kContigraHasVersion) return " Contigra";
  return " Contigra " + std::to_string(kContigraVersionMajor) + "." +
         std::to_string(kContigraVersionMinor) + "." + std::to_string(kContigraVersionRelease) +
         " build " + std::to_string(kContigraVersionBuild);
}

std::string WindowsSystemName(const plat::OsVersion& os) {
  switch (os.Major) {
    case 3: return os.Minor == 51 ? "Windows NT 3.51" : "Unknown (NT 3.X ?)";
    case 4:
      if (os.Minor == 0) return os.WindowsNtFamily ? "Windows NT 4.0" : "Windows 95";
      if (os.Minor == 10) return "Windows 98";
      if (os.Minor == 90) return "Windows Me";
      return {};
    case 5:
      if (os.Minor == 0) return "Windows 2000";
      if (os.Minor == 1) return "Windows XP";
      if (os.Minor == 2) return "Windows Server 2003 family";
      return {};
    default: return {};
  }
}

std::optional<std::string> SystemLine(const plat::OsVersion& os) {
  if (!os.Known) return std::nullopt;
  const std::string name = os.Name.empty() ? WindowsSystemName(os) : os.Name;
  return " " + name + " (" + os.ServicePack + ")" + " Version " + std::to_string(os.Major) + "." +
         std::to_string(os.Minor) + " build " + std::to_string(os.Build);
}
