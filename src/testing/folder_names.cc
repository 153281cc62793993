#include "testing/folder_names.h"

#include <algorithm>

namespace tavirelle {

std::vector<std::string> Names(const std::vector<FindData>& found) {
  std::vector<std::string> names;
  for (const FindData& entry : found) names.push_back(entry.name);
  return names;
}

std::vector<std::string> NamesIn(const std::string& folder, FileSystem& fs) {
  const char last = folder.empty() ? '/' : folder.back();
  std::vector<FindData> found;
  std::vector<std::string> names;
  if (!fs.Find(folder + (last == '/' || last == '\\' ? "*" : "/*"), &found).ok()) return names;
  for (const FindData& entry : found) {
    if (entry.name != "." && entry.name != "..") names.push_back(entry.name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace tavirelle
