// Settings files on Windows: a replacement is written beside the file,
// flushed to the disk and moved over the old one in one step.
#include <algorithm>
#include <filesystem>

#include "Files.h"
#include "SystemInfo.h"
#include "WideText.h"
#include "WindowsHeaders.h"

namespace plat {
namespace {

bool WriteAndFlush(const std::wstring& path, const std::string& bytes) {
  const ::HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const std::size_t chunk = std::min<std::size_t>(bytes.size() - done, 1u << 30);
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + done, static_cast<DWORD>(chunk), &written, nullptr) ||
        written == 0)
      break;
    done += written;
  }
  const bool ok = done == bytes.size() && FlushFileBuffers(file);
  return CloseHandle(file) && ok;
}

}  // namespace

bool ReplaceFileContents(const std::string& path, const std::string& bytes) {
  const auto target = win32::Widen(path);
  const auto temp = win32::Widen(path + ".tmp");
  if (!target || !temp) return false;
  // MOVEFILE_WRITE_THROUGH returns only once the rename is on the disk.
  if (!WriteAndFlush(*temp, bytes) ||
      !MoveFileExW(temp->c_str(), target->c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileW(temp->c_str());
    return false;
  }
  return true;
}

std::string SettingsFolder() {
  const std::string exe = ExecutablePath();
  const std::size_t cut = exe.find_last_of("\\/");
  if (cut != std::string::npos && FolderIsWritable(exe.substr(0, cut)))
    return exe.substr(0, cut + 1);
  const std::string folder = ConfigFolder();
  if (const auto wide = win32::Widen(folder)) {
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(*wide), ignored);
  }
  return folder + "\\";
}

}  // namespace plat
