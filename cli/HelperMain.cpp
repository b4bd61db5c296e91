// contigra_aux: defragments one file (-d FILE) or every file named in a
// list file (-l LISTFILE), taking turns with other helpers through the
// named mutex "contigra". Writes no log and never stops a file part-way.
//
// Exit codes: 0 normal end and usage errors; 1 the mutex could not be
// created, waited for (50 s) or released, or was found abandoned; 2 the
// list file could not be opened (so a script can tell it failed).
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "DefaultPlatform.h"
#include "DefragAPI.h"
#include "HelperArgs.h"
#include "HelperOutput.h"
#include "NamedMutex.h"

namespace {

constexpr std::uint32_t kMutexWaitMs = 50000;

void DefragmentOne(const std::string& name) {
  aux::WriteLine("Defragmenting file : \"" + name + "\"");
  DefragmentFile(name);
  aux::WriteLine("Done : \"" + name + "\"");
}

// The list file's name is UTF-8; a path built from char8_t keeps it so on
// every system (a plain char name would be read in Windows' ANSI code page).
std::ifstream OpenList(const std::string& listFile) {
  try {
    return std::ifstream(std::filesystem::path(std::u8string(listFile.begin(), listFile.end())),
                         std::ios::binary);
  } catch (const std::exception&) {
    return std::ifstream();  // not a valid name: it cannot be opened either
  }
}

// Runs the list; false when the list file cannot be opened.
bool DefragmentList(const std::string& listFile) {
  std::ifstream in = OpenList(listFile);
  if (!in) return false;
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  for (const std::string& name : aux::SplitListLines(text)) DefragmentOne(name);
  return true;
}

// The work after the usage checks: mutex, files, release. The platform is
// ended before the mutex is released: volumes the backend keeps mounted
// between files are unmounted (and their dirty mark cleared) before the
// next helper may start.
int Run(const std::vector<std::string>& args, std::unique_ptr<plat::Platform>& platform) {
  auto mutex = plat::NamedMutex::Create("contigra");
  if (!mutex) {
    aux::WriteLine("Cannot create mutex.");
    return 1;
  }
  switch (mutex->Wait(kMutexWaitMs)) {
    case plat::WAIT_OBJECT_0:
      break;
    case plat::WAIT_ABANDONED:
      // Left owned on purpose: the next waiting helper sees it abandoned too.
      aux::WriteLine("Got ownership of the abandoned mutex object.");
      return 1;
    case plat::WAIT_TIMEOUT:
      aux::WriteLine("Cannot get mutex ownership due to time-out.");
      return 1;
    default:
      return 0;
  }

  const std::string target = args.size() > 1 ? args[1] : std::string();
  int code = 0;
  if (aux::HasSwitch(args, 'd')) {
    DefragmentOne(target);
  } else if (aux::HasSwitch(args, 'l') && !DefragmentList(target)) {
    aux::WriteLine("Cannot open list file!");
    code = 2;
  }
  plat::SetCurrent(nullptr);
  platform.reset();
  if (!mutex->Release()) {
    aux::WriteLine("Cannot release mutex.");
    return 1;
  }
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  aux::PrepareOutput();
  const std::vector<std::string> args = aux::Arguments(argc, argv);
  // Usage errors end at once: no output, no mutex.
  if (args.empty() || aux::HasSwitch(args, 'h') || args.size() > 2) return 0;
  auto platform = plat::MakeDefaultPlatform();
  plat::SetCurrent(platform.get());
  const int code = Run(args, platform);
  plat::SetCurrent(nullptr);
  return code;
}
