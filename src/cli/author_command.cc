// tavirelle author: one show authored through IQXHelper, as a host would.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/interruption.h"
#include "cli/module_objects.h"
#include "cli/picture_failure.h"
#include "cli/player_data.h"
#include "cli/progress.h"
#include "cli/user_path.h"
#include "com/bstr.h"
#include "platform/file_system.h"
#include "platform/last_error.h"
#include "tavirelle/com_ptr.h"
#include "tavirelle/interfaces.h"
#include "util/file_utils.h"
#include "xml/meta_text.h"

namespace tavirelle {

namespace {

HRESULT PutText(IQXHelper* show, HRESULT (IQXHelper::*setter)(BSTR),
                const std::string& utf8) {
  ScopedBstr value(BstrFromUtf8(utf8));
  return (show->*setter)(value.get());
}

std::string GetText(IPhotoDesc* photo, HRESULT (IPhotoDesc::*getter)(BSTR*)) {
  ScopedBstr value;
  (photo->*getter)(value.Receive());
  return ToUtf8(value.Ansi());
}

// A show text (title, created-by, starring) as the component is to get it.
// Shows store these texts form-encoded, so "%" and "+" go in encoded and come
// back as typed; a character the code page lacks would silently become "?",
// so such a text is refused, naming what cannot be kept.
bool PrepareShowText(const char* option, std::string* text, std::string* problem) {
  std::vector<std::string> lacking = CharactersOutsideCodePage(*text);
  if (!lacking.empty()) {
    *problem = std::string(option) + " has characters a show cannot hold (outside Windows-1252):";
    for (const auto& character : lacking) *problem += " " + character;
    return false;
  }
  *text = EncodeTypedShowText(*text);
  return true;
}

// The output folder of one run. It must be new or empty, and the run claims
// it by creating meta.xml exclusively, so that of two runs into one folder
// only one goes on, even when both found it empty. A run that does not
// finish removes what it made there, and the folders it created, and
// nothing else.
class OutputFolder {
 public:
  explicit OutputFolder(const std::string& ansi) : folder_(ansi) {
    if (folder_.back() != '/' && folder_.back() != '\\') folder_ += '/';
  }
  ~OutputFolder() {
    if (done_) return;
    if (show_ != nullptr) show_->ClearPhotos();
    if (claimed_) DefaultFileSystem().DeleteFile(meta());
    for (auto it = created_.rbegin(); it != created_.rend(); ++it) {
      DefaultFileSystem().RemoveDirectory(*it);
    }
  }
  OutputFolder(const OutputFolder&) = delete;
  OutputFolder& operator=(const OutputFolder&) = delete;

  // Makes the missing folders and takes the claim; on failure returns the
  // cause in words.
  std::string Claim() {
    if (!ClaimEmptyFolder(DefaultFileSystem(), folder_, "meta.xml", &created_))
      return ErrorInWords(GetLastError());
    claimed_ = true;
    return {};
  }

  // Whether the show's description was written over the empty claim.
  bool MetaWritten() const {
    uint32_t size = FileSizeOf(DefaultFileSystem(), meta());
    return size != 0 && size != 0xFFFFFFFFu;
  }

  const std::string& path() const { return folder_; }
  void set_show(IQXHelper* show) { show_ = show; }
  void Keep() { done_ = true; }

 private:
  std::string meta() const { return folder_ + "meta.xml"; }

  std::string folder_;
  std::vector<std::string> created_;
  bool claimed_ = false;
  bool done_ = false;
  IQXHelper* show_ = nullptr;
};

// What the command line asks of one run.
struct AuthorOptions {
  std::string out, title, created_by, starring, style, music, display_date;
  LONG orientation = 0;
  std::vector<std::string> photos;
};

// Reads and checks the options and every photo; 0, or the status of the
// one line already told.
int ParseAuthorOptions(std::vector<std::string> args, AuthorOptions* options) {
  bool bad = false;
  std::string orientation_text;
  bool has_out = TakeOption(args, "--out", &options->out, &bad);
  TakeOption(args, "--title", &options->title, &bad);
  TakeOption(args, "--created-by", &options->created_by, &bad);
  TakeOption(args, "--starring", &options->starring, &bad);
  TakeOption(args, "--style", &options->style, &bad);
  TakeOption(args, "--music", &options->music, &bad);
  TakeOption(args, "--display-date", &options->display_date, &bad);
  bool has_orientation = TakeOption(args, "--orientation", &orientation_text, &bad);
  std::string unknown;
  if (!EndOfOptions(args, &unknown)) return Fail("unknown option " + unknown);
  if (bad || !has_out || args.empty()) return UsageError("author");
  std::string text_problem;
  if (!PrepareShowText("--title", &options->title, &text_problem) ||
      !PrepareShowText("--created-by", &options->created_by, &text_problem) ||
      !PrepareShowText("--starring", &options->starring, &text_problem)) {
    return Fail(text_problem);
  }
  if (options->out.empty()) return Fail("--out needs a folder name");
  if (has_orientation) {
    if (orientation_text.size() != 1 || orientation_text[0] < '0' || orientation_text[0] > '3') {
      return Fail("--orientation must be 0, 1, 2 or 3");
    }
    options->orientation = orientation_text[0] - '0';
  }
  if (options->music == "default") options->music = "default_music";
  if (options->music == "none") options->music = "none_music";
  for (const auto& photo : args) {
    if (!UserPathExists(photo)) return Fail(photo + ": no such file");
    UserPaths reachable;
    std::string problem = PictureProblem(reachable.In(photo));
    if (!problem.empty()) return Fail(photo + ": " + problem);
  }
  options->photos = std::move(args);
  return 0;
}

void SetShowTexts(IQXHelper* show, const OutputFolder& folder, const AuthorOptions& options) {
  PutText(show, &IQXHelper::put_OutputPath, ToUtf8(folder.path()));
  PutText(show, &IQXHelper::put_Title, options.title);
  PutText(show, &IQXHelper::put_CreatBy, options.created_by);
  PutText(show, &IQXHelper::put_Starring, options.starring);
  PutText(show, &IQXHelper::put_StyleId, options.style);
  PutText(show, &IQXHelper::put_MusicPath, options.music);
}

// Adds one photo (as typed) to the show; the reason in words when it could
// not be imported. Adds its result line, and a warning when it got no
// thumbnail.
std::string ImportPhoto(IQXHelper* show, const OutputFolder& folder,
                        const AuthorOptions& options, const std::string& typed,
                        std::vector<std::string>* lines, std::vector<std::string>* warnings) {
  ComPtr<IPhotoDesc> photo = CreateModuleObject<IPhotoDesc>(CLSID_PhotoDesc);
  if (!photo) return "cannot create a photo object";
  UserPaths photo_path;  // one photo open at a time, however many there are
  const std::string reachable = photo_path.In(typed);
  ScopedBstr path(BstrFromUtf8(reachable));
  ScopedBstr date(BstrFromUtf8(options.display_date));
  photo->put_Path(path.get());
  photo->put_Orientation(static_cast<PhotoOrientation>(options.orientation));
  photo->put__DisplayDate(date.get());
  HRESULT hr = show->AddPhoto(photo.get());
  // An alias is a descriptor's number: the show keeps the photo's own name.
  ScopedBstr original(BstrFromUtf8(FileNameOf(typed)));
  photo->put__OriginalName(original.get());
  std::string online = GetText(photo.get(), &IPhotoDesc::get__OnlineName);
  LONG width = 0, height = 0;
  photo->get__Width(&width);
  photo->get__Height(&height);
  std::string taken = GetText(photo.get(), &IPhotoDesc::get__PhotoDateTaken);
  if (FAILED(hr) || online.empty()) {
    // The photo was checked, so it went away or the copy failed.
    return typed + ": cannot import it: " +
           (FAILED(hr) ? HresultInWords(hr) : ErrorInWords(ERROR_FILE_NOT_FOUND));
  }
  lines->push_back("photo: " + online + " " + std::to_string(width) + " " +
                   std::to_string(height) + " " + taken);
  if (!PathExists(DefaultFileSystem(), ThumbnailPathOf(folder.path() + ToAnsi(online)))) {
    warnings->push_back(typed + ": no thumbnail: " + WhyNoThumbnail(ToAnsi(reachable)));
  }
  return {};
}

int RunAuthor(const std::vector<std::string>& arguments) {
  AuthorOptions options;
  if (int status = ParseAuthorOptions(arguments, &options)) return status;
  const std::string& out = options.out;
  const std::vector<std::string>& photos = options.photos;

  std::string load_error;
  if (LoadModuleExports(&load_error) == nullptr) return Fail(load_error);
  // A folder named outside the code page is made here, so that the component
  // can be handed an alias of it; a failed run removes it again below.
  UserPaths paths;
  const bool out_existed = UserPathExists(out);
  const std::string out_reachable = paths.OutFolder(out);
  ComPtr<IQXHelper> show = CreateModuleObject<IQXHelper>(CLSID_QXHelper);
  if (!show) return Fail("cannot create the show object");
  std::vector<std::string> lines, warnings;
  int status = 0;
  // Ctrl-C stops the run between two photos, and the run then removes what
  // it made, as any failed run does.
  Interruption interruption;
  {
    OutputFolder folder(ToAnsi(out_reachable));
    std::string problem = folder.Claim();
    if (!problem.empty()) return Fail(out + ": " + problem);
    folder.set_show(show.get());
    SetShowTexts(show.get(), folder, options);

    std::string failure;  // told once the progress bar is gone
    {
      ProgressBar progress(photos.size());
      for (size_t i = 0; i < photos.size() && failure.empty(); ++i) {
        progress.Update(i);
        if (interruption.signal() != 0) {
          failure = out + ": interrupted; nothing of this run is kept";
          break;
        }
        failure = ImportPhoto(show.get(), folder, options, photos[i], &lines, &warnings);
      }
      if (failure.empty()) progress.Update(photos.size());
    }
    if (!failure.empty()) {
      status = Fail(failure);
    } else {
      show->GenerateMetaXML();
      if (folder.MetaWritten()) {
        folder.Keep();
      } else {
        status = Fail("no meta.xml written: the style template was not found or did not load "
                      "(templates are looked up beside the tavirelle program, then in "
                      "share/tavirelle/)");
      }
    }
  }
  show.Reset();
  if (status != 0) {
    if (!out_existed && out_reachable != out) ::rmdir(out.c_str());
    interruption.ReRaise();
    return status;
  }
  for (const auto& warning : warnings) {
    std::fprintf(stderr, "tavirelle: warning: %s\n", warning.c_str());
  }
  for (const auto& line : lines) std::printf("%s\n", line.c_str());
  std::fflush(stdout);
  return 0;
}

}  // namespace

TAVIRELLE_COMMAND("author",
                  "--out DIR [--title T] [--created-by C] [--starring S] [--style ID] "
                  "[--music PATH|default|none] [--display-date TEXT] [--orientation 0-3] "
                  "[--] PHOTO...",
                  "authors a show in DIR (a new or empty folder): checks every PHOTO, "
                  "imports each and writes meta.xml",
                  RunAuthor);

}  // namespace tavirelle
