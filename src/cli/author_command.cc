// tavirelle author: one show authored through the library's API: its photos
// imported, its meta.xml written.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "api/show_api.h"
#include "cli/command.h"
#include "cli/interruption.h"
#include "cli/picture_failure.h"
#include "cli/progress.h"
#include "cli/user_path.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/last_error.h"
#include "platform/path.h"
#include "platform/status.h"
#include "util/file_utils.h"
#include "util/parallel.h"

namespace tavirelle {

namespace {

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
    for (const PhotoImport& photos : photos_) {
      RemoveImportedPhotos(DefaultFileSystem(), folder_, photos);
    }
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
  // Photos imported into the folder, removed again unless the run finishes.
  void TakePhotos(PhotoImport photos) { photos_.push_back(std::move(photos)); }
  void Keep() { done_ = true; }

 private:
  std::string meta() const { return folder_ + "meta.xml"; }

  std::string folder_;
  std::vector<std::string> created_;
  std::string music_;  // the music copied in, by name
  bool claimed_ = false;
  bool done_ = false;
  std::vector<PhotoImport> photos_;
};

// What the command line asks of one run.
struct AuthorOptions {
  std::string out, title, created_by, starring, style, music, display_date;
  // A music file of the user's (as typed), copied into the show; `music`
  // then names the copy.
  std::string music_file;
  // Every photo turned by `orientation`, or each by its own EXIF orientation.
  bool has_orientation = false;
  int orientation = 0;
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

// A text as the show holds it: in the code page, or empty when the code page
// cannot hold it (as a show object refuses such a text and keeps its own).
std::string ShowText(const std::string& utf8, const std::string& otherwise = {}) {
  bool lossy = false;
  std::string text = Utf8ToAnsi(utf8, &lossy);
  return lossy ? otherwise : text;
}

// The photos of one run, imported on several cores through the library's
// import, with every result told on this thread in the photos' order.
class PhotoImporter {
 public:
  PhotoImporter(OutputFolder& folder, const AuthorOptions& options, Interruption& interruption)
      : folder_(folder), options_(options), interruption_(interruption) {}

  // Imports every photo or stops at the first that fails, or at Ctrl-C; the
  // failure in words (empty when all were imported). Adds a result line and
  // a description per photo, and a warning for each that got no thumbnail.
  std::string Run(std::vector<std::string>* lines, std::vector<std::string>* warnings,
                  std::vector<PhotoDescription>* described) {
    const std::vector<std::string>& photos = options_.photos;
    ProgressBar progress(photos.size());
    progress.Update(0);
    // An alias holds a descriptor open while its photo is in the batch: a
    // batch of a bounded size keeps any number of photos within the limit.
    const size_t batch_size = std::min<size_t>(512, std::max<size_t>(64, 8 * options_.jobs));
    PhotoImportOptions import_options;
    import_options.jobs = options_.jobs;
    import_options.cancel = [this] { return interruption_.signal() != 0; };
    for (size_t first = 0; first < photos.size(); first += batch_size) {
      const size_t count = std::min(batch_size, photos.size() - first);
      UserPaths paths;
      std::vector<std::string> sources;
      import_options.names.clear();
      for (size_t i = 0; i < count; ++i) {
        sources.push_back(Utf8ToAnsi(paths.In(photos[first + i])));
        // A name outside the code page is reached through an alias; the name
        // keeps its extension, and every character the code page holds.
        import_options.names.push_back(Utf8ToAnsi(photos[first + i]));
      }
      import_options.progress = [&](uint64_t done, uint64_t) { progress.Update(first + done); };
      PhotoImport import =
          ImportPhotos(DefaultFileSystem(), folder_.path(), sources, import_options);
      for (size_t i = 0; i < import.photos.size(); ++i) {
        const ImportedPhotoResult& photo = import.photos[i];
        if (!photo.status.ok()) break;
        Tell(photo, photos[first + i], lines, warnings, described);
      }
      if (import.status.code() == ERROR_CANCELLED) return Interrupted();
      if (!import.status.ok()) {
        return photos[first + import.photos.size() - 1] +
               ": cannot import it: " + HresultInWords(ToHresult(import.status));
      }
      folder_.TakePhotos(std::move(import));
    }
    progress.Update(photos.size());
    return {};
  }

 private:
  // The result line of one photo (as typed), its warning and its
  // description.
  void Tell(const ImportedPhotoResult& photo, const std::string& typed,
            std::vector<std::string>* lines, std::vector<std::string>* warnings,
            std::vector<PhotoDescription>* described) {
    lines->push_back("photo: " + AnsiToUtf8(photo.online_name) + " " +
                     std::to_string(photo.width) + " " + std::to_string(photo.height) + " " +
                     AnsiToUtf8(photo.date_taken));
    if (!photo.thumbnail) warnings->push_back(typed + ": no thumbnail: " + photo.no_thumbnail);
    PhotoDescription& description = described->emplace_back();
    description.online_name = photo.online_name;
    // The original name as the code page holds it: a character it lacks
    // stands as '?' (the photo is reached through an alias, whose number is
    // no name at all).
    description.original_name = photo.original_name;
    description.date_taken = photo.date_taken;
    description.display_date = ShowText(options_.display_date);
    // A phone keeps a portrait photo sideways and says how to turn it.
    description.orientation =
        options_.has_orientation ? options_.orientation : photo.exif_quarter_turns;
  }

  std::string Interrupted() const {
    return options_.out + ": interrupted; nothing of this run is kept";
  }

  OutputFolder& folder_;
  const AuthorOptions& options_;
  Interruption& interruption_;
};

int RunAuthor(const std::vector<std::string>& arguments) {
  AuthorOptions options;
  if (int status = ParseAuthorOptions(arguments, &options)) return status;
  const std::string& out = options.out;

  // A folder named outside the code page is made here, so that the library
  // can be handed an alias of it; a failed run removes it again below.
  UserPaths paths;
  const bool out_existed = UserPathExists(out);
  const std::string out_reachable = paths.OutFolder(out);
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
    ShowDescription show;
    show.output_path = folder.path();
    show.title = ShowText(options.title);
    show.created_by = ShowText(options.created_by);
    show.starring = ShowText(options.starring);
    show.style_id = ShowText(options.style);
    show.music_path = ShowText(options.music);

    // Told once the progress bar is gone.
    std::string failure =
        PhotoImporter(folder, options, interruption).Run(&lines, &warnings, &show.photos);
    if (!failure.empty()) {
      status = Fail(failure);
    } else {
      Status written = WriteShowDescription(DefaultFileSystem(), show);
      if (written.ok() && folder.MetaWritten()) {
        folder.Keep();
      } else if (written.ok() || written.code() == ERROR_FILE_NOT_FOUND ||
                 written.code() == ERROR_INVALID_DATA) {
        status = Fail("no meta.xml written: the style template was not found or did not load "
                      "(templates are looked up beside the tavirelle program, then in "
                      "share/tavirelle/)");
      } else {
        status = Fail(out + "/meta.xml: " + HresultInWords(ToHresult(written)));
      }
    }
  }
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
