// tavirelle thumbnail PHOTO OUT [--width 133] [--height 100] [--quality 100]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/command.h"
#include "imaging/photo_image.h"

namespace {

// Reads an option's decimal value in [0, most]; false when it is not one.
bool ParseNumber(const std::string& text, unsigned long most,
                 uint32_t* value) {
  if (text.empty() || text.size() > 10) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  unsigned long number = std::strtoul(text.c_str(), nullptr, 10);
  if (number > most) return false;
  *value = static_cast<uint32_t>(number);
  return true;
}

int RunThumbnail(const std::vector<std::string>& arguments) {
  std::vector<std::string> args = arguments;
  ThumbnailSettings settings;
  settings.width = 133;
  settings.height = 100;
  uint32_t quality = 100;
  const struct {
    const char* name;
    unsigned long most;
    uint32_t* value;
  } options[] = {{"--width", 65500, &settings.width},
                 {"--height", 65500, &settings.height},
                 {"--quality", 100, &quality}};
  for (const auto& option : options) {
    std::string text;
    bool bad = false;
    if (TakeOption(args, option.name, &text, &bad) &&
        !ParseNumber(text, option.most, option.value)) {
      return Fail(std::string(option.name) +
                  " wants a whole number from 0 to " +
                  std::to_string(option.most) + ", not '" + text + "'");
    }
    if (bad) return UsageError("thumbnail");
  }
  if (args.size() != 2) return UsageError("thumbnail");
  settings.quality = static_cast<int32_t>(quality);

  PhotoImage image;
  bool made = image.MakeThumbnail(ToAnsi(args[0]), ToAnsi(args[1]), settings);
  if (!made) {
    image.ReleasePixels();
    if (!image.loaded) {
      return Fail("cannot decode '" + args[0] + "' as a JPEG or .bmp picture");
    }
    return Fail("cannot make the thumbnail '" + args[1] + "'");
  }
  // The same choice SaveScaled made: small pictures keep their own size.
  bool unscaled = image.pixelWidth < image.targetWidth &&
                  image.pixelHeight < image.targetHeight;
  std::printf("thumbnail: %u %u\n",
              unscaled ? image.pixelWidth : image.scaledWidth,
              unscaled ? image.pixelHeight : image.scaledHeight);
  image.ReleasePixels();
  return 0;
}

}  // namespace

TAVIRELLE_COMMAND(
    "thumbnail", "PHOTO OUT [--width 133] [--height 100] [--quality 100]",
    "writes a JPEG thumbnail of PHOTO: the box's height, width by aspect",
    RunThumbnail);
