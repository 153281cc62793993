// The package reader on any file: the directory, every entry, the show
// description with its fall-back and repair, and the quick queries.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_memory.h"
#include "package/record_format.h"
#include "package/show_info.h"
#include "package/show_package.h"

using namespace tavirelle;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = "/fuzz/show.qx";
  PutInput(path, data, size);

  std::vector<PackageEntry> entries;
  ReadDirectory(FuzzFileSystem(), path, entries).IgnoreError();

  ShowPackage package(FuzzFileSystem());
  if (!package.OpenPackage(path, false).ok()) return 0;
  std::vector<PackageEntry> listed = package.entries();
  size_t count = 0;
  for (const PackageEntry& entry : listed) {
    if (++count > 32) break;
    std::string bytes;
    package.ReadEntry(entry.name, &bytes);
    std::string head;
    package.ReadEntryHead(entry, 64, &head);
  }
  package.ReadEntryText("meta.xml");
  QuickShowInfo(package);
  ReadShowCode(package);
  ReadServerModTime(package);
  ReadLocalModified(package);
  package.GetMetaText();
  package.ClosePackage();

  // Opening with validation repairs a broken description in place.
  ShowPackage validated(FuzzFileSystem());
  if (validated.OpenPackage(path, true).ok()) QuickShowInfo(validated);
  return 0;
}
