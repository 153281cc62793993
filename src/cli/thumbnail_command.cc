// tavirelle thumbnail PHOTO OUT [--width 133] [--height 100] [--quality 100]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/command.h"
#include "cli/picture_failure.h"
#include "cli/user_path.h"
#include "imaging/photo_image.h"

namespace tavirelle {

namespace {

// Reads an option's decimal value in [least, most]; false when it is not one.
bool ParseNumber(const std::string& text, unsigned long least, unsigned long most,
                 uint32_t* value) {
  if (text.empty() || text.size() > 10) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  unsigned long number = std::strtoul(text.c_str(), nullptr, 10);
  if (number < least || number > most) return false;
  *value = static_cast<uint32_t>(number);
  return true;
}

int RunThumbnail(const std::vector<std::string>& arguments) {
  std::vector<std::string> args = arguments;
  ThumbnailSettings settings;
  settings.width = 133;
  settings.height = 100;
  uint32_t quality = 100;
  // A box side of 0 could hold no thumbnail at all.
  const struct {
    const char* name;
    unsigned long least, most;
    uint32_t* value;
  } options[] = {{"--width", 1, 65500, &settings.width},
                 {"--height", 1, 65500, &settings.height},
                 {"--quality", 0, 100, &quality}};
  for (const auto& option : options) {
    std::string text;
    bool bad = false;
    if (TakeOption(args, option.name, &text, &bad) &&
        !ParseNumber(text, option.least, option.most, option.value)) {
      return Fail(std::string(option.name) + " wants a whole number from " +
                  std::to_string(option.least) + " to " + std::to_string(option.most) +
                  ", not '" + text + "'");
    }
    if (bad) return UsageError("thumbnail");
  }
  if (int status = ExpectOperands(args, 2, "thumbnail")) return status;
  settings.quality = static_cast<int32_t>(quality);
  const std::string& photo = args[0];
  const std::string& out = args[1];
  // Checked before anything is written: the thumbnail would replace the
  // photo, whatever the spelling or link that names it twice.
  if (SameFile(photo, out)) return Fail(out + ": is the photo itself; give another file");

  PhotoImage image(DefaultFileSystem());
  UserPaths paths;
  std::string error;
  const bool made = image.MakeThumbnail(ToAnsi(paths.In(photo)), ToAnsi(paths.OutFile(out)),
                                        settings) &&
                    paths.Commit(true, &error);
  image.ReleasePixels();
  if (!error.empty()) return Fail(error);
  if (!made) {
    if (image.failure == PictureFailure::kUnwritable) {
      return Fail(out + ": cannot be written: " + PictureFailureInWords(image));
    }
    return Fail(photo + ": " + PictureFailureInWords(image));
  }
  // The same choice SaveScaled made: small pictures keep their own size.
  const bool unscaled = image.pixelWidth < image.targetWidth &&
                        image.pixelHeight < image.targetHeight;
  std::printf("thumbnail: %u %u\n", unscaled ? image.pixelWidth : image.scaledWidth,
              unscaled ? image.pixelHeight : image.scaledHeight);
  return 0;
}

}  // namespace

TAVIRELLE_COMMAND(
    "thumbnail", "PHOTO OUT [--width 133] [--height 100] [--quality 100]",
    "writes a JPEG thumbnail of PHOTO: the box's height, width by aspect",
    RunThumbnail);

}  // namespace tavirelle
