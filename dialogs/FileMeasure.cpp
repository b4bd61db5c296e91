#include "FileMeasure.h"

#include "DefragAPI.h"

TFileMeasure MeasureFile(const std::string& path) {
  TFileMeasure measure;
  const plat::HANDLE file = plat::CreateFileA(path, plat::GENERIC_READ, plat::FILE_SHARE_READ,
                                              plat::OPEN_EXISTING, plat::FILE_ATTRIBUTE_NORMAL);
  if (file == plat::INVALID_HANDLE_VALUE) return measure;
  if (!plat::Current().GetFileSizeEx(file, measure.Size)) measure.Size = -1;
  measure.Fragments = GetFileFragmentCount(file);
  plat::CloseHandle(file);
  return measure;
}
