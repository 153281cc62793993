// Writes the sample photos of examples/photos: small pictures drawn here,
// some with an EXIF block and an embedded preview, one portrait, one bitmap.
//
//   make_sample_photos OUTPUT_FOLDER
#include <cmath>
#include <cstdio>
#include <string>

#include "platform/file_system.h"
#include "testing/image_builder.h"

using namespace tavirelle;

using namespace testing_images;

namespace {

using Scene = void (*)(double u, double v, double aspect, uint8_t* rgb);

uint8_t Clamp(double value) {
  return static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
}

void Mix(uint8_t* rgb, double r, double g, double b) {
  rgb[0] = Clamp(r);
  rgb[1] = Clamp(g);
  rgb[2] = Clamp(b);
}

// An orange sky over a dark sea, the sun low with its reflection.
void Sunset(double u, double v, double aspect, uint8_t* rgb) {
  double horizon = 0.62;
  double dx = (u - 0.5) * aspect, dy = v - 0.5;
  if (v < horizon) {
    double t = v / horizon;
    Mix(rgb, 80 + 175 * t, 40 + 110 * t, 120 - 60 * t);
    if (dx * dx + dy * dy < 0.012) Mix(rgb, 255, 230, 150);
  } else {
    double t = (v - horizon) / (1 - horizon);
    Mix(rgb, 40 - 20 * t, 50 - 20 * t, 90 - 30 * t);
    double ripple = std::sin(v * 180) * 0.02;
    if (std::fabs(dx + ripple) < 0.05 * (1 - t)) Mix(rgb, 240, 170, 90);
  }
}

// Rolling green hills under a pale sky.
void Hills(double u, double v, double, uint8_t* rgb) {
  double far = 0.45 + 0.06 * std::sin(u * 7.0);
  double near = 0.65 + 0.08 * std::sin(u * 4.0 + 1.3);
  if (v < far) {
    Mix(rgb, 170 + 60 * v, 205 + 40 * v, 240);
  } else if (v < near) {
    Mix(rgb, 70, 140 - 40 * (v - far), 70);
  } else {
    Mix(rgb, 40 + 30 * std::sin(u * 40), 110 + 30 * v, 40);
  }
}

// A striped lighthouse on a rock, blue sky behind.
void Lighthouse(double u, double v, double, uint8_t* rgb) {
  Mix(rgb, 90 + 80 * v, 150 + 60 * v, 230);
  double half_width = 0.08 + 0.06 * v;
  if (v > 0.2 && v < 0.85 && std::fabs(u - 0.5) < half_width) {
    bool red = static_cast<int>(v * 12) % 2 == 0;
    Mix(rgb, red ? 200 : 245, red ? 40 : 245, red ? 40 : 245);
  }
  if (v > 0.12 && v <= 0.2 && std::fabs(u - 0.5) < 0.06) Mix(rgb, 255, 220, 80);
  if (v >= 0.85) Mix(rgb, 90 + 40 * std::sin(u * 30), 85, 80);
}

// A meadow of flowers in warm light.
void Meadow(double u, double v, double, uint8_t* rgb) {
  if (v < 0.4) {
    Mix(rgb, 250, 220 - 60 * v, 150 + 100 * v);
    return;
  }
  Mix(rgb, 90 + 40 * v, 160, 60);
  double fx = std::fmod(u * 23.0 + std::sin(v * 31.0), 1.0);
  double fy = std::fmod(v * 17.0, 1.0);
  if ((fx - 0.5) * (fx - 0.5) + (fy - 0.5) * (fy - 0.5) < 0.02) {
    Mix(rgb, 240, 80 + 100 * u, 120);
  }
}

PixelFunction Draw(Scene scene, uint32_t width, uint32_t height) {
  double aspect = static_cast<double>(width) / height;
  return [=](uint32_t x, uint32_t y, uint8_t* rgb) {
    scene((x + 0.5) / width, (y + 0.5) / height, aspect, rgb);
  };
}


// A camera-like photo with its capture date and, optionally, a preview.
std::string CameraPhoto(Scene scene, uint32_t width, uint32_t height, const char* date,
                        uint32_t preview_width, uint32_t preview_height) {
  ExifBuilder exif(true);
  exif.ifd0.push_back(exif.Ascii(0x010F, "Sample Optics"));
  exif.ifd0.push_back(exif.Ascii(0x0132, date));
  exif.exif.push_back(exif.Short(0xA002, static_cast<uint16_t>(width)));
  exif.exif.push_back(exif.Short(0xA003, static_cast<uint16_t>(height)));
  if (preview_width != 0) {
    exif.preview = EncodeJpeg(preview_width, preview_height,
                              Draw(scene, preview_width, preview_height), {85});
  }
  return WithExif(EncodeJpeg(width, height, Draw(scene, width, height), {88}), exif);
}

std::string Bitmap(Scene scene, int32_t width, int32_t height) {
  BmpLayout layout;
  layout.width = width;
  layout.height = height;
  layout.bitsPerPixel = 24;
  PixelFunction pixel = Draw(scene, width, height);
  layout.rows = StoredRows(width, height, 24, [&](uint32_t x, uint32_t y) {
    uint8_t rgb[3];
    pixel(x, y, rgb);
    return (uint32_t{rgb[0]} << 16) | (uint32_t{rgb[1]} << 8) | rgb[2];
  });
  return BuildBmp(layout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_sample_photos OUTPUT_FOLDER\n");
    return 2;
  }
  std::string folder = std::string(argv[1]) + "/";
  struct Photo {
    const char* name;
    std::string bytes;
  } photos[] = {
      {"sunset.jpg", CameraPhoto(Sunset, 640, 480, "2026:06:21 20:45:10", 160, 120)},
      {"hills.jpg", CameraPhoto(Hills, 640, 480, "2026:06:22 10:15:00", 0, 0)},
      {"lighthouse.jpg", CameraPhoto(Lighthouse, 480, 640, "2026:06:23 16:30:45", 90, 120)},
      {"meadow.jpg", EncodeJpeg(800, 450, Draw(Meadow, 800, 450), {88})},
      {"postcard.bmp", Bitmap(Sunset, 200, 150)},
  };
  for (const auto& photo : photos) {
    if (!WriteWholeFile(DefaultFileSystem(), folder + photo.name, photo.bytes).ok()) {
      std::fprintf(stderr, "make_sample_photos: cannot write %s%s\n", folder.c_str(), photo.name);
      return 1;
    }
  }
  return 0;
}
