// The meta text scanners and the description reader on any text. The first line (up to 32 bytes) names
// the element searched for, the rest is the text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "metaxml/meta_text.h"
#include "metaxml/stored_show.h"

using namespace tavirelle;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  std::string name = "title";
  size_t newline = input.find('\n');
  if (newline != std::string::npos && newline <= 32) {
    name = input.substr(0, newline);
    input.erase(0, newline + 1);
  }
  int32_t position = -1;
  // Every occurrence in turn, as a caller walking a list would.
  for (int round = 0; round < 64; ++round) {
    std::string element = ExtractElementText(input, name, &position);
    DecodeShowText(element);
    if (position < 0) break;
    ++position;
  }
  StripCData(input);
  DecodeUrlText(input);
  StoredShow show;
  ReadStoredShow(input, &show).IgnoreError();
  ScanShowHead(input);
  ScanFirstImageName(input);
  size_t at = ImagesScanStart(input);
  std::string image;
  while (ScanNextImageName(input, &at, &image) == ImageScan::kFound) {
  }
  return 0;
}
