// Expanding entries into files and running a profile.
#include "Platform.h"
#include "Profile.h"

using namespace plat;

void ExpandEntry(const std::string& path, std::vector<std::string>& into,
                 const TStopCallback& checkStop) {
  const std::uint32_t attributes = Current().GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    into.push_back(path);
    return;
  }
  const std::string folder = !path.empty() && path.back() == '\\' ? path : path + "\\";
  FindData item;
  const HANDLE find = Current().FindFirstFileA(folder + "*.*", item);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if (checkStop && checkStop(0)) break;
    if (item.Attributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (item.Name != "." && item.Name != "..") ExpandEntry(folder + item.Name, into, checkStop);
    } else {
      into.push_back(folder + item.Name);
    }
  } while (Current().FindNextFileA(find, item));
  Current().FindClose(find);
}

void TProfile::Run(const TStopCallback& checkStop) {
  // Idle again on every way out, engine exceptions included.
  struct BackToIdle {
    TProfile& p;
    ~BackToIdle() { p.State = psIdle; }
  } idle{*this};
  State = psRunning;
  auto stopped = [&] { return checkStop && checkStop(0); };
  if (stopped()) return;
  std::vector<std::string> working;
  for (const std::string& entry : Files) {
    ExpandEntry(entry, working, checkStop);
    if (stopped()) return;
    if (!working.empty() && OnFiles) OnFiles(working);
    if (working.size() >= 2)
      DefragmentList(working, RunMethod != 0, checkStop);
    else if (working.size() == 1)
      RunMethod == 0 ? DefragmentFile(working[0], checkStop)
                     : DefragmentFileToTail(working[0], checkStop);
    working.clear();
  }
}
