// The functions behind the entries of the format table (image_format.cc),
// one group per format. Only the table and the tests call them directly.
#ifndef TAVIRELLE_IMAGING_DECODERS_H_
#define TAVIRELLE_IMAGING_DECODERS_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "imaging/image_format.h"
#include "platform/file_system.h"

namespace tavirelle {

// JPEG, through libjpeg (jpeg_decoder.cc): reduced inside the decoder
// towards the box, CMYK and YCCK turned into RGB.
bool IsJpegStart(const uint8_t* start, size_t size);
bool ReadJpegHeaderSize(FileSystem& fs, const std::string& path, PixelSize* size);
void DecodeJpeg(const DecodeRequest& request, DecodedImage* image, PictureOutcome* outcome);

// Windows bitmaps, through the parser of bitmap.h (bitmap_decoder.cc).
bool IsBitmapStart(const uint8_t* start, size_t size);
bool ReadBitmapSize(FileSystem& fs, const std::string& path, PixelSize* size);
void DecodeBitmap(const DecodeRequest& request, DecodedImage* image, PictureOutcome* outcome);

}  // namespace tavirelle

#endif  // TAVIRELLE_IMAGING_DECODERS_H_
