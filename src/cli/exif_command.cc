// tavirelle exif PHOTO [--preview OUT]
#include <cstdio>
#include <memory>
#include <string>

#include "cli/command.h"
#include "cli/picture_failure.h"
#include "cli/user_path.h"
#include "imaging/photo_image.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/last_error.h"
#include "util/file_utils.h"

namespace tavirelle {

namespace {

// Where the preview goes when the user did not ask for it: the reader
// always writes the preview to decide whether to keep it, so it gets a
// scratch file that is removed again.
std::string ScratchPreviewPath(UserPaths& paths) {
  return paths.ScratchFolder() + "tavirelle-exif-" + NewGuidText(false) + ".jpg";
}

// Whether the file starts as a picture of a format the imaging code reads.
bool LooksLikeAPicture(const std::string& path) {
  std::unique_ptr<File> file;
  uint8_t start[16] = {};
  DWORD done = 0;
  if (!DefaultFileSystem().Open(path, GENERIC_READ, Disposition::kOpenExisting, &file).ok() ||
      !file->Read(start, sizeof start, &done).ok()) {
    return false;
  }
  return RecogniseFormat(start, done) != nullptr;
}

int RunExif(const std::vector<std::string>& arguments) {
  std::vector<std::string> args = arguments;
  std::string previewOption;
  bool bad = false;
  const bool wantsPreview = TakeOption(args, "--preview", &previewOption, &bad);
  if (bad) return UsageError("exif");
  if (int status = ExpectOperands(args, 1, "exif")) return status;

  UserPaths paths;
  if (!UserPathExists(args[0])) return Fail(args[0] + ": no such file");
  const std::string reachable = paths.In(args[0]);
  const std::string photo = Utf8ToAnsi(reachable);
  // The metadata is read from the headers: a photo the decoder cannot take
  // still has them.
  const std::string problem = FileProblem(reachable);
  if (!problem.empty()) return Fail(args[0] + ": " + problem);
  // Checked before anything is written: the preview would replace the
  // photo, whatever the spelling or link that names it twice.
  if (wantsPreview && SameFile(args[0], previewOption)) {
    return Fail(previewOption + ": is the photo itself; give another file");
  }
  const std::string preview =
      wantsPreview ? Utf8ToAnsi(paths.OutFile(previewOption)) : ScratchPreviewPath(paths);

  PhotoImage image(DefaultFileSystem());
  PhotoMetadata info;
  const PreviewResult result = image.ReadPhotoMetadata(photo, preview, &info);
  const bool kept = result.kept();
  if (!wantsPreview) DefaultFileSystem().DeleteFile(preview).IgnoreError();  // scratch
  if (result.outcome == PreviewOutcome::kUnwritable) {
    const std::string cause = ErrorInWords(result.status.code());
    if (wantsPreview) return Fail(previewOption + ": the preview cannot be written: " + cause);
    return Fail(args[0] + ": its preview cannot be checked in the scratch folder " +
                paths.Typed(AnsiToUtf8(FolderOf(preview))) + ": " + cause);
  }
  if (info.width == 0 || info.height == 0) {
    ReadJpegFrameSize(DefaultFileSystem(), photo, &info.width, &info.height);
  }
  if (info.width == 0 || info.height == 0) {
    if (kept) DefaultFileSystem().DeleteFile(preview).IgnoreError();
    return Fail(args[0] + ": " +
                (LooksLikeAPicture(photo) ? "cannot be decoded: its headers "
                                            "give no picture size"
                                          : NotAPicture()));
  }
  std::string error;
  if (!paths.Commit(true, &error)) return Fail(error);

  std::printf("date: %s\n", AnsiToUtf8(info.dateTaken).c_str());
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

}  // namespace tavirelle
