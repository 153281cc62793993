#include "util/text.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace tavirelle {

namespace {
// Buffer sizes tried in turn; output that does not fit the last one is cut.
constexpr size_t kFormatSizes[] = {2048, 6144, 12288, 20480, 30720, 43008};
}  // namespace

std::string FormatText(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list measure;
  va_copy(measure, args);
  int needed = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (needed < 0) {
    va_end(args);
    return {};
  }
  std::string out;
  for (size_t size : kFormatSizes) {
    bool last = size == kFormatSizes[std::size(kFormatSizes) - 1];
    if (static_cast<size_t>(needed) > size && !last) continue;
    // One more byte for the terminator vsnprintf always writes.
    std::vector<char> buffer(size + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    out.assign(buffer.data(), std::min(static_cast<size_t>(needed), size));
    break;
  }
  va_end(args);
  return out;
}

size_t ReplaceAll(std::string& text, const std::string& pattern,
                  const char* replacement) {
  return ReplaceAll(text, pattern, std::string(replacement ? replacement : ""));
}

size_t ReplaceAll(std::string& text, const std::string& pattern,
                  const std::string& replacement) {
  if (pattern.empty()) return 0;
  size_t first = text.find(pattern);
  if (first == std::string::npos) return 0;
  // Build the result in one pass so that many replacements stay linear.
  std::string out;
  out.reserve(text.size());
  size_t count = 0, from = 0;
  for (size_t at = first; at != std::string::npos; at = text.find(pattern, from)) {
    out.append(text, from, at - from);
    out.append(replacement);
    from = at + pattern.size();
    ++count;
  }
  out.append(text, from, std::string::npos);
  text.swap(out);
  return count;
}

std::string& LowerCase(std::string& text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string& UpperCase(std::string& text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

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
