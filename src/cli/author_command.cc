// tavirelle author: one show authored through IQXHelper, as a host would.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <new>
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
#include "imaging/photo_image.h"
#include "metaxml/meta_text.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/last_error.h"
#include "platform/path.h"
#include "platform/status.h"
#include "show/photo_batch.h"
#include "tavirelle/com_ptr.h"
#include "tavirelle/interfaces.h"
#include "util/file_utils.h"
#include "util/parallel.h"

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
  return AnsiToUtf8(value.Ansi());
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
    // What cannot be removed stays; the run has failed either way.
    if (!music_.empty()) DefaultFileSystem().DeleteFile(folder_ + music_).IgnoreError();
    if (claimed_) DefaultFileSystem().DeleteFile(meta()).IgnoreError();
    for (auto it = created_.rbegin(); it != created_.rend(); ++it) {
      DefaultFileSystem().RemoveDirectory(*it).IgnoreError();
    }
  }
  OutputFolder(const OutputFolder&) = delete;
  OutputFolder& operator=(const OutputFolder&) = delete;

  // Makes the missing folders and takes the claim; on failure returns the
  // cause in words.
  std::string Claim() {
    Status claimed = ClaimEmptyFolder(DefaultFileSystem(), folder_, "meta.xml", &created_);
    if (!claimed.ok()) return ErrorInWords(claimed.code());
    claimed_ = true;
    return {};
  }

  // Whether the show's description was written over the empty claim.
  bool MetaWritten() const {
    uint32_t size = 0;
    return FileSizeOf(DefaultFileSystem(), meta(), &size).ok() && size != 0;
  }

  // Copies the music file `source` into the show as `name` (code page); the
  // cause in words when it cannot.
  std::string TakeMusic(const std::string& source, const std::string& name) {
    Status copied = DefaultFileSystem().CopyFile(source, folder_ + name, IfExists::kFail);
    if (!copied.ok()) return ErrorInWords(copied.code());
    music_ = name;
    return {};
  }

  const std::string& path() const { return folder_; }
  void set_show(IQXHelper* show) { show_ = show; }
  void Keep() { done_ = true; }

 private:
  std::string meta() const { return folder_ + "meta.xml"; }

  std::string folder_;
  std::vector<std::string> created_;
  std::string music_;  // the music copied in, by name
  bool claimed_ = false;
  bool done_ = false;
  IQXHelper* show_ = nullptr;
};

// What the command line asks of one run.
struct AuthorOptions {
  std::string out, title, created_by, starring, style, music, display_date;
  // A music file of the user's (as typed), copied into the show; `music`
  // then names the copy.
  std::string music_file;
  // Every photo turned by `orientation`, or each by its own EXIF orientation.
  bool has_orientation = false;
  LONG orientation = 0;
  unsigned jobs = DefaultJobs();
  std::vector<std::string> photos;
};

// Music named by a path travels with the show: it is copied in under its
// own name, which meta.xml then gives. A package carries music only as
// ".mp3", so other music would be lost on the way to a player; the name must
// be one the show's code page holds.
int CheckMusicFile(AuthorOptions* options) {
  const std::string typed = options->music;
  struct stat st {};
  if (::stat(typed.c_str(), &st) != 0) {
    return Fail(typed + ": " + ErrorInWords(Win32ErrorFromErrno(errno)));
  }
  if (!S_ISREG(st.st_mode)) return Fail(typed + ": not a regular file");
  const std::string name = FileNameOf(typed);
  if (Extension(name) != ".mp3") {
    return Fail(typed + ": a show carries its music only as an MP3 file (.mp3)");
  }
  std::vector<std::string> lacking = CharactersOutsideCodePage(name);
  if (!lacking.empty() || HoldsWildcard(name)) {
    return Fail(typed + ": the name cannot be used in a show; give the music another name");
  }
  options->music_file = typed;
  options->music = name;
  return 0;
}

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
  options->has_orientation = TakeOption(args, "--orientation", &orientation_text, &bad);
  if (int status = TakeJobs(args, &options->jobs, "author")) return status;
  std::string unknown;
  if (!EndOfOptions(args, &unknown)) return UsageFail("unknown option " + unknown);
  if (bad || !has_out || args.empty()) return UsageError("author");
  std::string text_problem;
  if (!PrepareShowText("--title", &options->title, &text_problem) ||
      !PrepareShowText("--created-by", &options->created_by, &text_problem) ||
      !PrepareShowText("--starring", &options->starring, &text_problem)) {
    return Fail(text_problem);
  }
  if (options->out.empty()) return UsageFail("--out needs a folder name");
  if (options->has_orientation) {
    if (orientation_text.size() != 1 || orientation_text[0] < '0' || orientation_text[0] > '3') {
      return UsageFail("--orientation must be 0, 1, 2 or 3");
    }
    options->orientation = orientation_text[0] - '0';
  }
  if (options->music == "default") {
    options->music = "default_music";
  } else if (options->music == "none") {
    options->music = "none_music";
  } else if (!options->music.empty() && options->music != "default_music" &&
             options->music != "none_music") {
    if (int status = CheckMusicFile(options)) return status;
  }
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
  PutText(show, &IQXHelper::put_OutputPath, AnsiToUtf8(folder.path()));
  PutText(show, &IQXHelper::put_Title, options.title);
  PutText(show, &IQXHelper::put_CreatBy, options.created_by);
  PutText(show, &IQXHelper::put_Starring, options.starring);
  PutText(show, &IQXHelper::put_StyleId, options.style);
  PutText(show, &IQXHelper::put_MusicPath, options.music);
}

// The photos of one run, imported on several cores through the show's batch
// interface, with every result told on this thread in the photos' order.
class PhotoImport {
 public:
  PhotoImport(IPhotoBatch* batch, const OutputFolder& folder, const AuthorOptions& options,
              Interruption& interruption)
      : batch_(batch), folder_(folder), options_(options), interruption_(interruption) {}

  // Imports every photo or stops at the first that fails, or at Ctrl-C; the
  // failure in words (empty when all were imported). Adds a result line per
  // photo, and a warning for each that got no thumbnail.
  std::string Run(std::vector<std::string>* lines, std::vector<std::string>* warnings) {
    lines_ = lines;
    warnings_ = warnings;
    const std::vector<std::string>& photos = options_.photos;
    ProgressBar progress(photos.size());
    progress_ = &progress;
    progress.Update(0);
    if (interruption_.signal() != 0) return Interrupted();
    // An alias holds a descriptor open while its photo is in the batch: a
    // batch of a bounded size keeps any number of photos within the limit.
    const size_t batch_size = std::min<size_t>(512, std::max<size_t>(64, 8 * options_.jobs));
    for (first_ = 0; first_ < photos.size() && failure_.empty(); first_ += batch_size) {
      ImportBatch(std::min(batch_size, photos.size() - first_));
    }
    if (failure_.empty()) progress.Update(photos.size());
    return failure_;
  }

 private:
  void ImportBatch(size_t count) {
    UserPaths paths;
    reachable_.clear();
    std::vector<ComPtr<IPhotoDesc>> photos;
    std::vector<IPhotoDesc*> pointers;
    ScopedBstr date(BstrFromUtf8(options_.display_date));
    for (size_t i = 0; i < count; ++i) {
      ComPtr<IPhotoDesc> photo = CreateModuleObject<IPhotoDesc>(CLSID_PhotoDesc);
      if (!photo) break;
      reachable_.push_back(paths.In(options_.photos[first_ + i]));
      ScopedBstr path(BstrFromUtf8(reachable_.back()));
      photo->put_Path(path.get());
      // A phone keeps a portrait photo sideways and says how to turn it.
      const LONG orientation =
          options_.has_orientation
              ? options_.orientation
              : QuarterTurnsOf(ReadExifOrientation(DefaultFileSystem(), Utf8ToAnsi(reachable_.back())));
      photo->put_Orientation(static_cast<PhotoOrientation>(orientation));
      photo->put__DisplayDate(date.get());
      pointers.push_back(photo.get());
      photos.push_back(std::move(photo));
    }
    photos_ = &photos;
    done_ = 0;
    LONG added = 0;
    HRESULT hr = batch_->AddPhotos(pointers.data(), static_cast<LONG>(pointers.size()),
                                   static_cast<LONG>(options_.jobs), &PhotoImport::PhotoDone,
                                   this, &added);
    photos_ = nullptr;
    if (out_of_memory_) throw std::bad_alloc();
    if (!failure_.empty()) return;  // told by PhotoDone, which stopped the batch
    if (FAILED(hr)) {
      failure_ = options_.photos[first_ + done_] + ": cannot import it: " + HresultInWords(hr);
    } else if (photos.size() < count) {
      failure_ = "cannot create a photo object";
    }
  }

  // The batch's progress: tells the result of the photo just dealt with, and
  // stops the batch at the first that was not added or at Ctrl-C.
  static HRESULT PhotoDone(void* context, LONG done) {
    auto* self = static_cast<PhotoImport*>(context);
    try {
      return self->Done(static_cast<size_t>(done));
    } catch (...) {
      // Nothing thrown here may reach the component; told after the batch.
      self->out_of_memory_ = true;
      return E_OUTOFMEMORY;
    }
  }
  HRESULT Done(size_t done) {
    done_ = done;
    size_t i = done - 1;
    failure_ = Tell((*photos_)[i].get(), options_.photos[first_ + i], reachable_[i]);
    if (!failure_.empty()) return S_FALSE;
    progress_->Update(first_ + done);
    if (first_ + done < options_.photos.size() && interruption_.signal() != 0) {
      failure_ = Interrupted();
      return S_FALSE;
    }
    return S_OK;
  }

  // The result line of one photo (as typed) and its warning; the reason in
  // words when it was not imported.
  std::string Tell(IPhotoDesc* photo, const std::string& typed, const std::string& reachable) {
    // An alias is a descriptor's number: the show keeps the photo's own name.
    ScopedBstr original(BstrFromUtf8(FileNameOf(typed)));
    photo->put__OriginalName(original.get());
    std::string online = GetText(photo, &IPhotoDesc::get__OnlineName);
    // The photo was checked, so it went away.
    if (online.empty()) return typed + ": cannot import it: " + ErrorInWords(ERROR_FILE_NOT_FOUND);
    LONG width = 0, height = 0;
    photo->get__Width(&width);
    photo->get__Height(&height);
    std::string taken = GetText(photo, &IPhotoDesc::get__PhotoDateTaken);
    lines_->push_back("photo: " + online + " " + std::to_string(width) + " " +
                      std::to_string(height) + " " + taken);
    if (!PathExists(DefaultFileSystem(), ThumbnailPathOf(folder_.path() + Utf8ToAnsi(online)))) {
      warnings_->push_back(typed + ": no thumbnail: " + WhyNoThumbnail(Utf8ToAnsi(reachable)));
    }
    return {};
  }

  std::string Interrupted() const {
    return options_.out + ": interrupted; nothing of this run is kept";
  }

  IPhotoBatch* batch_;
  const OutputFolder& folder_;
  const AuthorOptions& options_;
  Interruption& interruption_;
  ProgressBar* progress_ = nullptr;
  std::vector<std::string>* lines_ = nullptr;
  std::vector<std::string>* warnings_ = nullptr;
  // The batch under way: where it starts among the photos, its photos and
  // the paths handed for them, and how many it has dealt with.
  size_t first_ = 0;
  std::vector<ComPtr<IPhotoDesc>>* photos_ = nullptr;
  std::vector<std::string> reachable_;
  size_t done_ = 0;
  bool out_of_memory_ = false;
  std::string failure_;
};

int RunAuthor(const std::vector<std::string>& arguments) {
  AuthorOptions options;
  if (int status = ParseAuthorOptions(arguments, &options)) return status;
  const std::string& out = options.out;

  std::string load_error;
  if (LoadModuleExports(&load_error) == nullptr) return Fail(load_error);
  // A folder named outside the code page is made here, so that the component
  // can be handed an alias of it; a failed run removes it again below.
  UserPaths paths;
  const bool out_existed = UserPathExists(out);
  const std::string out_reachable = paths.OutFolder(out);
  ComPtr<IQXHelper> show = CreateModuleObject<IQXHelper>(CLSID_QXHelper);
  if (!show) return Fail("cannot create the show object");
  ComPtr<IPhotoBatch> batch = show.As<IPhotoBatch>(IPhotoBatch::kIid);
  if (!batch) return Fail("the loaded component cannot import photos in batches");
  std::vector<std::string> lines, warnings;
  int status = 0;
  // Ctrl-C stops the run between two photos, and the run then removes what
  // it made, as any failed run does.
  Interruption interruption;
  {
    OutputFolder folder(Utf8ToAnsi(out_reachable));
    std::string problem = folder.Claim();
    if (!problem.empty()) return Fail(out + ": " + problem);
    if (!options.music_file.empty()) {
      problem = folder.TakeMusic(Utf8ToAnsi(paths.In(options.music_file)), Utf8ToAnsi(options.music));
      if (!problem.empty()) {
        return Fail(options.music_file + ": cannot be copied into the show: " + problem);
      }
    }
    folder.set_show(show.get());
    SetShowTexts(show.get(), folder, options);

    // Told once the progress bar is gone.
    std::string failure = PhotoImport(batch.get(), folder, options, interruption)
                              .Run(&lines, &warnings);
    if (!failure.empty()) {
      status = Fail(failure);
    } else {
      const HRESULT generated = show->GenerateMetaXML();
      if (generated == S_OK && folder.MetaWritten()) {
        folder.Keep();
      } else if (generated == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) ||
                 generated == HRESULT_FROM_WIN32(ERROR_INVALID_DATA) || generated == S_OK) {
        status = Fail("no meta.xml written: the style template was not found or did not load "
                      "(templates are looked up beside the tavirelle program, then in "
                      "share/tavirelle/)");
      } else {
        status = Fail(out + "/meta.xml: " + HresultInWords(generated));
      }
    }
  }
  batch.Reset();
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
                  "[--jobs N] [--] PHOTO...",
                  "authors a show in DIR (a new or empty folder): checks every PHOTO, "
                  "imports each (N at once; default: one per core) and writes meta.xml",
                  RunAuthor);

}  // namespace tavirelle
