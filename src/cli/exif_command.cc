// tavirelle exif PHOTO [--preview OUT]
#include <cstdio>
#include <string>

#include "api/show_api.h"
#include "cli/command.h"
#include "cli/picture_failure.h"
#include "cli/user_path.h"
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

  const PhotoFacts facts = ReadPhotoFacts(DefaultFileSystem(), photo, preview);
  if (!wantsPreview) DefaultFileSystem().DeleteFile(preview).IgnoreError();  // scratch
  if (facts.preview_unwritable) {
    const std::string cause = ErrorInWords(facts.status.code());
    if (wantsPreview) return Fail(previewOption + ": the preview cannot be written: " + cause);
    return Fail(args[0] + ": its preview cannot be checked in the scratch folder " +
                paths.Typed(AnsiToUtf8(FolderOf(preview))) + ": " + cause);
  }
  if (!facts.status.ok()) return Fail(args[0] + ": " + facts.status.words());
  if (Status committed = paths.Commit(true); !committed.ok()) return Fail(committed.words());

  std::printf("date: %s\n", AnsiToUtf8(facts.date_taken).c_str());
  std::printf("width: %d\n", facts.width);
  std::printf("height: %d\n", facts.height);
  std::printf("preview: %s\n", facts.preview_kept ? "kept" : "none");
  return 0;
}

}  // namespace

TAVIRELLE_COMMAND("exif", "PHOTO [--preview OUT]",
                  "prints a photo's capture date and size and extracts its "
                  "embedded preview",
                  RunExif);

}  // namespace tavirelle
