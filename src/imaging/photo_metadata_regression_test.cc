// Inputs the fuzzer found that once broke the metadata reader, kept as they
// were found.
#include <gtest/gtest.h>

#include <string>

#include "imaging/photo_image.h"
#include "platform/file_system.h"
#include "testing/image_builder.h"
#include "testing/memory_file_system.h"

namespace tavirelle {

namespace {

using namespace testing_images;

struct Found {
  const char* name;
  std::string bytes;
};

class MetadataRegression : public testing::TestWithParam<Found> {};

TEST_P(MetadataRegression, ReadsWithoutFaultAndKeepsNoPreview) {
  MemoryFileSystem memory;
  memory.SetFile("/in/photo.jpg", GetParam().bytes);
  PhotoImage image(memory);
  PhotoMetadata info;
  EXPECT_FALSE(image.ReadPhotoMetadata("/in/photo.jpg", "/in/thumb.jpg", &info).kept());
  EXPECT_EQ(info.dateTaken, "");
  EXPECT_FALSE(memory.HasFile("/in/thumb.jpg"));
}

std::string EmptyDateBlock() {
  ExifBuilder exif;
  exif.ifd0.push_back(exif.Raw(0x0132, kAscii, 0, 0));
  return WithExif(EncodeJpeg(8, 8), exif);
}

INSTANTIATE_TEST_SUITE_P(
    Found, MetadataRegression,
    testing::Values(
        // A date entry of count 0 cut off inside IFD0: searching its empty
        // value for the terminator passed a null buffer.
        Found{"EmptyDateCutOff",
              std::string("\xFF\xD8\xFF\xE1\x03\x2B\x45\x78\x69\x66\x00\x00\x49\x49\x2A\x00"
                          "\x08\x00\x00\x00\x02\x00\x32\x01\x03\x00\x00\x00\x00\x00\x00\x00"
                          "\x00\x08\x00\x02\x01\x12\x00\x03\x00\x00\x00\x01\x06\x00\x00\x00"
                          "\x10\x03\x01",
                          51)},
        Found{"EmptyDateInAWholePhoto", EmptyDateBlock()}),
    [](const testing::TestParamInfo<Found>& info) { return info.param.name; });

}  // namespace

}  // namespace tavirelle
