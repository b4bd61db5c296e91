#include "Log.h"

#include <filesystem>

#include "Files.h"
#include "Platform.h"
#include "SystemInfoLines.h"

TLog Logger;
std::mutex LogLock;

std::string LogFilePathFor(const std::string& executablePath) {
  std::filesystem::path p(executablePath);
  p.replace_extension(".log");
  return p.string();
}

std::string ErrorMessageText(std::int32_t code) {
  std::string text = plat::Current().FormatErrorMessage(static_cast<std::uint32_t>(code));
  while (!text.empty()) {
    const auto c = static_cast<unsigned char>(text.back());
    if (c > ' ' && c != '.' && c != 0x7F) break;
    text.pop_back();
  }
  return text.size() > 255 ? std::string() : text;
}

void TLog::Create() {
  const std::string exe = plat::ExecutablePath();
  if (exe.empty()) return;
  // Beside the executable, or in the configuration folder when that one
  // is not writable.
  Create(plat::SettingsFolder() + std::filesystem::path(LogFilePathFor(exe)).filename().string());
}

void TLog::Create(const std::string& path) {
  std::lock_guard guard(LogLock);
  file_.reset();  // our own lock must not stand in the new file's way
  file_ = plat::ExclusiveFile::Open(path);
}

void TLog::AddLine(const std::string& text) {
  std::lock_guard guard(LogLock);
  if (view_) {
    view_->BeginUpdate();
    view_->AppendLine(text);
    if (maxLines_ > 0) TrimView();
    view_->ScrollToLastLine();
    view_->EndUpdate();
  }
  if (file_) file_->Write(text + "\r\n");
}

void TLog::AddError(std::int32_t code) {
  AddLine("Error (" + std::to_string(code) + "): " + ErrorMessageText(code));
}

void TLog::SetView(TLogView* view) {
  std::lock_guard guard(LogLock);
  view_ = view;
  if (view_) view_->EnableDoubleBuffering();
}

void TLog::SetMaxLines(std::int32_t count) {
  std::lock_guard guard(LogLock);
  maxLines_ = count;
  if (view_ && maxLines_ > 0) TrimView();
}

void TLog::TrimView() {
  while (view_->LineCount() > maxLines_) view_->DeleteFirstLine();
}

void TLog::ClearView() {
  std::lock_guard guard(LogLock);
  if (view_) view_->Clear();
}

void TLog::WriteSystemInfo() {
  AddLine(kSystemInfoTopLine);
  AddLine(ProductLine());
  if (const auto line = SystemLine(plat::GetOsVersion())) AddLine(*line);
  AddLine(kSystemInfoBottomLine);
}
