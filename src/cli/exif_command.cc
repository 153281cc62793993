// tavirelle exif PHOTO [--preview OUT]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/command.h"
#include "imaging/photo_image.h"
#include "platform/file_system.h"
#include "util/file_utils.h"

namespace {

// Where the preview goes when the user did not ask for it: the reader
// always writes the preview to decide whether to keep it, so it gets a
// scratch file that is removed again.
std::string ScratchPreviewPath() {
  const char* folder = std::getenv("TMPDIR");
  std::string path = folder != nullptr && *folder != '\0' ? folder : "/tmp";
  if (path.back() != '/') path += '/';
  return path + "tavirelle-exif-" + NewGuidText(false) + ".jpg";
}

int RunExif(const std::vector<std::string>& arguments) {
  std::vector<std::string> args = arguments;
  std::string previewOption;
  bool bad = false;
  const bool wantsPreview = TakeOption(args, "--preview", &previewOption, &bad);
  if (bad || args.size() != 1) return UsageError("exif");

  const std::string photo = ToAnsi(args[0]);
  if (!PathExists(photo)) return Fail("no such file: '" + args[0] + "'");
  const std::string preview =
      wantsPreview ? ToAnsi(previewOption) : ScratchPreviewPath();

  PhotoImage image;
  PhotoMetadata info;
  const bool kept = image.ReadPhotoMetadata(photo, preview, &info);
  if (!wantsPreview) GetFileSystem()->DeleteFile(preview);

  std::printf("date: %s\n", ToUtf8(info.dateTaken).c_str());
  std::printf("width: %d\n", info.width);
  std::printf("height: %d\n", info.height);
  std::printf("preview: %s\n", kept ? "kept" : "none");
  return 0;
}

}  // namespace

TAVIRELLE_COMMAND("exif", "PHOTO [--preview OUT]",
                  "prints a photo's capture date and size and extracts its "
                  "embedded preview",
                  RunExif);
