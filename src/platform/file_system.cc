#include "platform/file_system.h"

#include <algorithm>
#include <string>
#include <utility>

#include "platform/file_system_common.h"

namespace tavirelle {

namespace {

// Folds to upper case, as the original platform's folder order does: "_"
// (between the two letter ranges) then sorts after every letter.
std::string Fold(std::string s) {
  for (char& c : s) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u >= 'a' && u <= 'z') c = static_cast<char>(u - 32);
    if (u >= 0xE0 && u <= 0xFE && u != 0xF7) c = static_cast<char>(u - 32);
  }
  return s;
}

bool IsDots(const FindData& entry) { return entry.name == "." || entry.name == ".."; }

}  // namespace

void SortFindMatches(std::vector<FindData>* matches) {
  auto others = std::stable_partition(matches->begin(), matches->end(), IsDots);
  std::sort(matches->begin(), others,
            [](const FindData& a, const FindData& b) { return a.name < b.name; });
  std::stable_sort(others, matches->end(), [](const FindData& a, const FindData& b) {
    std::string fa = Fold(a.name), fb = Fold(b.name);
    return fa != fb ? fa < fb : a.name < b.name;
  });
}

LocalTime LocalTimeOf(const std::tm& fields, int32_t nanoseconds) {
  LocalTime local;
  local.year = fields.tm_year + 1900;
  local.month = fields.tm_mon + 1;
  local.day = fields.tm_mday;
  local.hour = fields.tm_hour;
  local.minute = fields.tm_min;
  local.second = fields.tm_sec;
  local.milliseconds = nanoseconds / 1000000;
  return local;
}

Status ReadWholeFile(FileSystem& fs, const std::string& path, std::string* contents) {
  contents->clear();
  std::unique_ptr<File> file;
  Status opened = fs.Open(path, GENERIC_READ, Disposition::kOpenExisting, &file);
  if (!opened.ok()) return opened;
  char buffer[65536];
  for (;;) {
    DWORD done = 0;
    Status read = file->Read(buffer, sizeof buffer, &done);
    if (!read.ok()) return read;
    if (done == 0) break;
    contents->append(buffer, done);
  }
  return Status::Ok();
}

Status WriteWholeFile(FileSystem& fs, const std::string& path, const std::string& contents) {
  std::unique_ptr<File> file;
  Status opened = fs.Open(path, GENERIC_WRITE, Disposition::kCreateAlways, &file);
  if (!opened.ok()) return opened;
  size_t at = 0;
  while (at < contents.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(contents.size() - at, 1u << 30));
    DWORD done = 0;
    Status written = file->Write(contents.data() + at, chunk, &done);
    if (!written.ok()) return written;
    at += done;
  }
  return file->Close();
}

}  // namespace tavirelle
