// Windows' English message texts for the error codes that the non-Windows
// backends produce, exactly as FormatMessage returns them (final period and
// CR LF included; the logger trims them).
#include <cstdint>
#include <string>

#include "Platform.h"

namespace plat {

std::string StandardErrorText(std::uint32_t code) {
  switch (code) {
    case 0: return "The operation completed successfully.\r\n";
    case 1: return "Incorrect function.\r\n";
    case 2: return "The system cannot find the file specified.\r\n";
    case 3: return "The system cannot find the path specified.\r\n";
    case 4: return "The system cannot open the file.\r\n";
    case 5: return "Access is denied.\r\n";
    case 6: return "The handle is invalid.\r\n";
    case 8: return "Not enough memory resources are available to process this command.\r\n";
    case 13: return "The data is invalid.\r\n";
    case 15: return "The system cannot find the drive specified.\r\n";
    case 18: return "There are no more files.\r\n";
    case 19: return "The media is write protected.\r\n";
    case 21: return "The device is not ready.\r\n";
    case 23: return "Data error (cyclic redundancy check).\r\n";
    case 29: return "The system cannot write to the specified device.\r\n";
    case 30: return "The system cannot read from the specified device.\r\n";
    case 31: return "A device attached to the system is not functioning.\r\n";
    case 32:
      return "The process cannot access the file because it is being used by another "
             "process.\r\n";
    case 33:
      return "The process cannot access the file because another process has locked a "
             "portion of the file.\r\n";
    case 38: return "Reached the end of the file.\r\n";
    case 39: return "The disk is full.\r\n";
    case 50: return "The request is not supported.\r\n";
    case 87: return "The parameter is incorrect.\r\n";
    case 112: return "There is not enough space on the disk.\r\n";
    case 123: return "The filename, directory name, or volume label syntax is incorrect.\r\n";
    case 258: return "The wait operation timed out.\r\n";
    case 1005:
      return "The volume does not contain a recognized file system.\r\nPlease make sure that all "
             "required file system drivers are loaded and that the volume is not corrupted.\r\n";
    case 1117: return "The request could not be performed because of an I/O device error.\r\n";
    case 1392: return "The file or directory is corrupted and unreadable.\r\n";
    default: return {};
  }
}

}  // namespace plat
