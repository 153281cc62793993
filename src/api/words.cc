#include "api/words.h"

#include "util/text.h"

namespace tavirelle {

std::string ErrorInWords(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND: return "no such file";
    case ERROR_PATH_NOT_FOUND: return "no such folder";
    case ERROR_ACCESS_DENIED: return "permission denied";
    case ERROR_WRITE_PROTECT: return "the medium is write-protected";
    case ERROR_DISK_FULL: return "disk full";
    case ERROR_FILE_TOO_LARGE: return "file too large";
    case ERROR_FILENAME_EXCED_RANGE: return "name too long";
    case ERROR_INVALID_NAME: return "the name cannot be used here";
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return "it already exists";
    case ERROR_DIR_NOT_EMPTY: return "the folder is not empty";
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return "out of memory";
    case ERROR_TOO_MANY_OPEN_FILES: return "too many open files";
    case ERROR_SHARING_VIOLATION: return "the file is in use";
    case ERROR_NOT_READY: return "input/output error";
    case ERROR_CRC: return "damaged (checksum mismatch)";
    case ERROR_DIRECTORY: return "not a folder";
    default: return FormatText("system error %u", static_cast<unsigned>(code));
  }
}

}  // namespace tavirelle
