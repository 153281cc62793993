// tavirelle play SOURCE [--out DIR] [--default-music FILE] [--open]
//
// Writes a player for a show into a folder of its own: the show's files
// (extracted from a package, each checked against its MD5, or copied from a
// show folder) and an index.html that plays them from file:// with nothing
// but a browser. The run claims a new or empty folder, so that nothing there
// is overwritten or written through a link and of two runs into one folder
// only one goes on; a run that does not finish (Ctrl-C, a full disk, a show
// that cannot be read) takes back everything it made.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "api/package_api.h"
#include "api/player_show.h"
#include "cli/command.h"
#include "cli/interruption.h"
#include "cli/player_page.h"
#include "cli/user_path.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/path.h"
#include "platform/status.h"
#include "util/file_utils.h"
#include "util/parallel.h"
#include "util/text.h"

extern char** environ;

namespace tavirelle {

namespace {

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) path.pop_back();
  return path;
}

// "trip.tavirelle" -> "trip-player", "myshow/" -> "myshow-player", then
// "trip-player (2)" and so on while the name is taken.
std::string DefaultPlayerFolder(const std::string& source, bool is_folder) {
  std::string base = WithoutTrailingSlashes(source);
  std::string last = FileNameOf(base);
  if (last == "." || last == "..") {
    // "play ." names the folder it is run in: the player goes beside it, by its name.
    if (char* real = ::realpath(base.c_str(), nullptr)) {
      base = real;
      std::free(real);
    }
  }
  if (!is_folder) {
    std::string name = FileNameOf(base);
    std::string stem = WithoutExtension(name);
    if (!stem.empty()) base = base.substr(0, base.size() - name.size()) + stem;
  }
  base += "-player";
  std::string candidate = base;
  for (int n = 2; UserPathExists(candidate); ++n)
    candidate = FormatText("%s (%i)", base.c_str(), n);
  return candidate;
}

// Whether writing a file failed for its name alone (a name the platform
// refuses, one too long, one whose folder is a file), so that the file is
// left out while the rest of the player is made.
bool NameCannotBeUsed(DWORD error) {
  return error == ERROR_INVALID_NAME || error == ERROR_FILENAME_EXCED_RANGE ||
         error == ERROR_PATH_NOT_FOUND || error == ERROR_DIRECTORY;
}

// An open descriptor, closed with its holder. The platform layer reaches the
// file it holds as path().
class OpenFile {
 public:
  OpenFile() = default;
  explicit OpenFile(int fd) : fd_(fd) {}
  ~OpenFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  OpenFile(OpenFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  OpenFile& operator=(OpenFile&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }
  int fd() const { return fd_; }
  std::string path() const { return "/proc/self/fd/" + std::to_string(fd_); }

 private:
  int fd_ = -1;
};

// The files of a show folder. A file is taken only when it is a regular file
// inside the folder: a link is followed when it leads to one, and any other
// is refused by name, so that nothing from elsewhere on the machine ends up
// in a player that others may read.
class ShowFolder {
 public:
  // `folder`: a path the platform layer takes (code page), with a separator
  // at its end.
  explicit ShowFolder(std::string folder) : folder_(std::move(folder)) {
    if (char* real = ::realpath(NativePath(folder_).c_str(), nullptr)) {
      inside_ = real;
      std::free(real);
      if (inside_.back() != '/') inside_ += '/';
    }
  }

  enum class Reach { kFile, kMissing, kRefused };

  // Opens the show's file `name` (relative, code page) into *file; when it
  // is refused, *why says why in words.
  Reach Open(const std::string& name, OpenFile* file, std::string* why) const {
    if (HoldsWildcard(name)) return Reach::kMissing;  // no file has a name the code page lost
    const std::string native = NativePath(folder_ + name);
    OpenFile opened(::open(native.c_str(), O_PATH | O_CLOEXEC));
    struct stat st {};
    if (opened.fd() < 0) {
      const int error = errno;
      if (::lstat(native.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        *why = "a link that leads to no file";
        return Reach::kRefused;
      }
      if (error == ENOENT || error == ENOTDIR) return Reach::kMissing;
      *why = "cannot be read: " + ErrorInWords(Win32ErrorFromErrno(error));
      return Reach::kRefused;
    }
    // Where the name led, as the open descriptor knows it: no link can be
    // swapped in between this check and the copy, which reads the descriptor.
    char resolved[PATH_MAX + 1];
    ssize_t length = ::readlink(opened.path().c_str(), resolved, PATH_MAX);
    if (length < 0 || ::fstat(opened.fd(), &st) != 0) {
      *why = "cannot be read: " + ErrorInWords(Win32ErrorFromErrno(errno));
      return Reach::kRefused;
    }
    const std::string target(resolved, static_cast<size_t>(length));
    const bool inside = !inside_.empty() && target.compare(0, inside_.size(), inside_) == 0;
    if (inside && S_ISREG(st.st_mode)) {
      *file = std::move(opened);
      return Reach::kFile;
    }
    const bool linked = target != inside_ + NativePath(name);
    if (!linked && S_ISDIR(st.st_mode)) return Reach::kMissing;  // a folder is not the file
    *why = !inside  ? "a link to a file outside the show folder; not followed"
           : linked ? "a link to something other than a file; not followed"
                    : "not a regular file";
    return Reach::kRefused;
  }

 private:
  std::string folder_;
  std::string inside_;  // the folder's real path with a slash at its end
};

// Keeps what this run makes from anyone who cannot read what it is made
// from: the group or the others lose every right to it when they cannot
// read `file` (the package, or the show folder's description) or cannot
// enter the show folder `folder`.
// Returns the file-creation mask to restore once the player is written.
mode_t WithholdFromWhoCannotRead(const std::string& file, const std::string& folder) {
  const mode_t previous = ::umask(0);
  ::umask(previous);
  struct stat of_file {};
  struct stat of_folder {};
  if (::stat(file.c_str(), &of_file) != 0) return previous;
  mode_t enter = S_IXGRP | S_IXOTH;
  if (!folder.empty()) {
    if (::stat(folder.c_str(), &of_folder) != 0) return previous;
    enter = of_folder.st_mode;
  }
  mode_t withheld = 0;
  if ((of_file.st_mode & S_IRGRP) == 0 || (enter & S_IXGRP) == 0) withheld |= S_IRWXG;
  if ((of_file.st_mode & S_IROTH) == 0 || (enter & S_IXOTH) == 0) withheld |= S_IRWXO;
  ::umask(static_cast<mode_t>(previous | withheld));
  return previous;
}

// The player folder of one run. The run claims it by creating index.html
// exclusively; a run that does not finish removes what it wrote there and
// the folders it created, and nothing else.
class PlayerFolder {
 public:
  explicit PlayerFolder(UserPaths& paths) : paths_(paths) {}
  ~PlayerFolder() {
    if (kept_) return;
    // What cannot be removed stays; the run has failed either way.
    FileSystem& fs = DefaultFileSystem();
    for (auto it = files_.rbegin(); it != files_.rend(); ++it) fs.DeleteFile(*it).IgnoreError();
    for (auto it = created_.rbegin(); it != created_.rend(); ++it) {
      fs.RemoveDirectory(*it).IgnoreError();
    }
    if (claimed_) fs.DeleteFile(folder_ + "index.html").IgnoreError();
    for (auto it = made_.rbegin(); it != made_.rend(); ++it) ::rmdir(it->c_str());
  }
  PlayerFolder(const PlayerFolder&) = delete;
  PlayerFolder& operator=(const PlayerFolder&) = delete;

  // Makes the folder `typed` (UTF-8) with its missing parents and claims it.
  // On failure returns the message that follows the folder's name.
  std::string Claim(const std::string& typed) {
    // The levels are made under their names as typed, so that a name in any
    // script is made, and taken back, the same way.
    const std::string path = WithoutTrailingSlashes(typed);
    for (size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
      const std::string level = path.substr(0, end);
      struct stat st {};
      if (::mkdir(level.c_str(), 0777) == 0) {
        made_.push_back(level);
      } else {
        const int error = errno;
        if (error == ENOTDIR || (::stat(level.c_str(), &st) == 0 && !S_ISDIR(st.st_mode))) {
          return ": not a folder";
        }
        if (error != EEXIST) {
          return ": the folder cannot be created: " + ErrorInWords(Win32ErrorFromErrno(error));
        }
      }
      if (end == std::string::npos) break;
    }
    folder_ = Utf8ToAnsi(AsOutputFolder(paths_.OutFolder(typed)));
    std::vector<std::string> none;  // every level is there by now
    Status claimed = ClaimEmptyFolder(DefaultFileSystem(), folder_, "index.html", &none);
    if (!claimed.ok()) {
      DWORD error = claimed.code();
      if (error == ERROR_DIR_NOT_EMPTY) return " is not an empty folder; give the player a new one";
      return ": the folder cannot be used: " + ErrorInWords(error);
    }
    claimed_ = true;
    return {};
  }

  // The folder, as the platform layer takes it, with a separator at its end.
  const std::string& path() const { return folder_; }

  // Makes the folders of the player's file `local`; false with the
  // platform's error when it cannot be made there, or ERROR_FILE_EXISTS
  // when something of this run stands there already.
  bool Prepare(const std::string& local, DWORD* error) {
    FileSystem& fs = DefaultFileSystem();
    if (HoldsWildcard(local)) {
      *error = ERROR_INVALID_NAME;
      return false;
    }
    for (size_t slash = local.find('/'); slash != std::string::npos;
         slash = local.find('/', slash + 1)) {
      if (reserved_.count(local.substr(0, slash)) != 0) {
        *error = ERROR_DIRECTORY;  // a file of this run is to stand there
        return false;
      }
      const std::string level = folder_ + local.substr(0, slash);
      DWORD attributes = 0;
      if (!fs.GetFileAttributes(level, &attributes).ok()) {
        Status made = fs.CreateDirectory(level);
        if (!made.ok()) {
          *error = made.code();
          return false;
        }
        created_.push_back(level);
      } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        *error = ERROR_DIRECTORY;
        return false;
      }
    }
    DWORD attributes = 0;
    if (fs.GetFileAttributes(folder_ + local, &attributes).ok()) {
      *error = ERROR_FILE_EXISTS;
      return false;
    }
    files_.push_back(folder_ + local);
    reserved_.insert(local);
    return true;
  }

  // Keeps the player: removes the folders made for files that never came,
  // and nothing else.
  void Keep() {
    // A folder that is not empty after all stays.
    for (auto it = created_.rbegin(); it != created_.rend(); ++it) {
      DefaultFileSystem().RemoveDirectory(*it).IgnoreError();
    }
    kept_ = true;
  }

 private:
  UserPaths& paths_;
  std::string folder_;
  std::vector<std::string> made_;     // levels of the typed name made, outermost first
  std::vector<std::string> created_;  // folders made inside for the files' names
  std::vector<std::string> files_;    // every file of this run, the claim aside
  std::set<std::string> reserved_;    // their local names
  bool claimed_ = false;
  bool kept_ = false;
};

// Starts the desktop's browser on the page; false when there is none.
bool OpenInBrowser(const std::string& page, std::string* error) {
  std::string program = "xdg-open";
  char* argv[] = {program.data(), const_cast<char*>(page.c_str()), nullptr};
  pid_t child = 0;
  if (posix_spawnp(&child, program.c_str(), nullptr, nullptr, argv, environ) != 0) {
    *error = "no desktop browser to open it with (xdg-open is not installed)";
    return false;
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    *error = "xdg-open could not open it";
    return false;
  }
  return true;
}

// What the command line asks of one run.
struct PlayOptions {
  std::string source;         // as typed
  std::string out;            // as typed; empty: beside the source
  std::string default_music;  // as typed; empty: none given
  bool open = false;
};

// One run: reads the show, claims the folder, gathers the files the page
// uses, writes the page. Every failure is one line and leaves nothing.
class PlayerRun {
 public:
  PlayerRun(const PlayOptions& options, Interruption& interruption)
      : options_(options), interruption_(interruption), folder_(paths_) {}

  int Run() {
    const std::string& typed = options_.source;
    if (!UserPathExists(typed)) return Fail(typed + ": no such file or folder");
    const std::string reachable = paths_.In(typed);
    const bool is_folder = FolderExists(DefaultFileSystem(), Utf8ToAnsi(reachable));
    const std::string out =
        options_.out.empty() ? DefaultPlayerFolder(typed, is_folder) : options_.out;
    out_ = AsOutputFolder(out);
    if (!options_.default_music.empty()) {
      if (int status = CheckDefaultMusic()) return status;
    }

    // The show is read and checked before anything is written.
    if (is_folder) {
      show_folder_typed_ = AsOutputFolder(typed);
      show_folder_ = std::make_unique<ShowFolder>(Utf8ToAnsi(AsOutputFolder(reachable)));
      if (int status = ReadFolderShow()) return status;
    } else if (int status = ReadPackageShow(reachable)) {
      return status;
    }
    PlayerShow show;
    if (!ReadPlayerShow(meta_text_, &show)) {
      return Fail(typed + ": the show description (meta.xml) does not load");
    }

    const mode_t creation_mask = WithholdFromWhoCannotRead(is_folder ? meta_file_.path() : typed,
                                                           is_folder ? typed : std::string());
    std::string problem = folder_.Claim(out);
    if (!problem.empty()) return Fail(WithoutTrailingSlashes(out) + problem);

    if (int status = WriteMeta()) return status;
    if (!options_.default_music.empty()) {
      if (int status = TakeDefaultMusic(&show)) return status;
    }
    if (int status = GatherFiles(PlayerSourceFiles(show))) return status;

    ResolvePlayerFiles(&show, [&](const std::string& local) { return written_.count(local) != 0; });
    for (PlayerSlide& slide : show.slides) {
      slide.shown_orientation = OrientationOf(slide.shown);
      slide.thumbnail_orientation = OrientationOf(slide.thumbnail);
    }
    if (interruption_.signal() != 0) return Interrupted();
    const std::string page = out_ + "index.html";
    Status saved =
        SaveTextToFile(DefaultFileSystem(), folder_.path() + "index.html", PlayerPage(show));
    if (!saved.ok()) return Fail(page + ": " + ErrorInWords(saved.code()));
    if (interruption_.signal() != 0) return Interrupted();
    folder_.Keep();
    ::umask(creation_mask);  // the browser started below makes files of its own

    for (const std::string& note : notes_) std::printf("%s\n", note.c_str());
    for (const PlayerSlide& slide : show.slides) {
      if (slide.missing) std::printf("missing: %s\n", AnsiToUtf8(slide.stored).c_str());
    }
    std::printf("images: %zu\nplayer: %s\n", show.slides.size(), page.c_str());
    std::fflush(stdout);
    std::string error;
    if (options_.open && !OpenInBrowser(page, &error)) {
      return Fail("cannot open " + page + ": " + error);
    }
    return 0;
  }

 private:
  int CheckDefaultMusic() {
    const std::string& typed = options_.default_music;
    struct stat st {};
    if (::stat(typed.c_str(), &st) != 0) {
      return Fail(typed + ": " + ErrorInWords(Win32ErrorFromErrno(errno)));
    }
    if (!S_ISREG(st.st_mode)) return Fail(typed + ": not a regular file");
    music_ = paths_.In(typed);
    return 0;
  }

  int ReadFolderShow() {
    std::string why;
    switch (show_folder_->Open("meta.xml", &meta_file_, &why)) {
      case ShowFolder::Reach::kFile:
        break;
      case ShowFolder::Reach::kMissing:
        return Fail(options_.source + ": no meta.xml in the show folder");
      case ShowFolder::Reach::kRefused:
        return Fail(show_folder_typed_ + "meta.xml: " + why);
    }
    Status read = ReadWholeFile(DefaultFileSystem(), meta_file_.path(), &meta_text_);
    if (!read.ok()) {
      return Fail(show_folder_typed_ + "meta.xml: cannot be read: " + ErrorInWords(read.code()));
    }
    return 0;
  }

  // The description is checked against the package's MD5 as every file the
  // page uses is: a damaged one would play a show nobody made.
  int ReadPackageShow(const std::string& reachable) {
    const std::string& typed = options_.source;
    PackageOpening opened = OpenShowPackage(DefaultFileSystem(), Utf8ToAnsi(reachable));
    if (!opened.status.ok()) return Fail(typed + ": " + opened.status.words());
    package_ = std::move(opened.package);
    MetaText meta = package_->ReadMetaText();
    // A repair that could not be written closes the package; the show is
    // still in it as it stands.
    if (!package_->IsOpen()) {
      opened = OpenShowPackage(DefaultFileSystem(), Utf8ToAnsi(reachable));
      if (!opened.status.ok()) return Fail(typed + ": " + opened.status.words());
      package_ = std::move(opened.package);
      WarnDescriptionNotRepaired(typed);
    }
    if (meta.entry.empty()) {
      return Fail(typed + ": the show description (meta.xml) cannot be read from the package");
    }
    if (!meta.intact) {
      return Fail(typed + ": the show description (" + AnsiToUtf8(meta.entry) +
                  ") is damaged in the package (checksum mismatch)");
    }
    meta_text_ = std::move(meta.text);
    return 0;
  }

  int WriteMeta() {
    const std::string target = folder_.path() + "meta.xml";
    DWORD error = 0;
    bool written = folder_.Prepare("meta.xml", &error);
    if (written) {
      Status saved = show_folder_
                         ? DefaultFileSystem().CopyFile(meta_file_.path(), target, IfExists::kFail)
                         : SaveTextToFile(DefaultFileSystem(), target, meta_text_);
      written = saved.ok();
      error = saved.code();
    }
    return written ? 0 : Fail(out_ + "meta.xml: " + ErrorInWords(error));
  }

  // Copies the music given for the application's default into the player.
  int TakeDefaultMusic(PlayerShow* show) {
    std::string extension = Extension(FileNameOf(options_.default_music));
    for (char c : extension) {
      if (c != '.' && !std::isalnum(static_cast<unsigned char>(c))) extension.clear();
    }
    const std::string local = "default_music" + extension;
    DWORD error = 0;
    if (folder_.Prepare(local, &error)) {
      error = DefaultFileSystem()
                  .CopyFile(Utf8ToAnsi(music_), folder_.path() + local, IfExists::kFail)
                  .code();
    }
    if (error != 0) {
      return Fail(options_.default_music +
                  ": cannot be copied into the player: " + ErrorInWords(error));
    }
    written_.insert(local);
    UseDefaultMusic(show, local);
    return 0;
  }

  // Takes the files into the player folder: a file the show lacks is left
  // to the page, which says so on its slide; so is one whose name cannot be
  // a file here, or that is damaged in the package, each named in a note.
  // A file that cannot be written fails the run.
  int GatherFiles(const std::vector<PlayerSourceFile>& files) {
    std::vector<const PlayerSourceFile*> from_package;
    for (const PlayerSourceFile& file : files) {
      if (interruption_.signal() != 0) return Interrupted();
      OpenFile source;
      if (show_folder_) {
        std::string why;
        ShowFolder::Reach reach = show_folder_->Open(file.in_folder, &source, &why);
        if (reach == ShowFolder::Reach::kMissing) continue;
        if (reach == ShowFolder::Reach::kRefused) {
          return Fail(show_folder_typed_ + AnsiToUtf8(file.in_folder) + ": " + why);
        }
      }
      DWORD error = 0;
      if (!folder_.Prepare(file.local, &error)) {
        if (!LeaveOut(file.local, error)) {
          return Fail(out_ + AnsiToUtf8(file.local) + ": " + ErrorInWords(error));
        }
        continue;
      }
      if (!show_folder_) {
        from_package.push_back(&file);
        continue;
      }
      Status copied =
          DefaultFileSystem().CopyFile(source.path(), folder_.path() + file.local, IfExists::kFail);
      if (copied.ok()) {
        written_.insert(file.local);
      } else if (!LeaveOut(file.local, copied.code())) {
        return Fail(out_ + AnsiToUtf8(file.local) + ": " + ErrorInWords(copied.code()));
      }
    }
    return from_package.empty() ? 0 : SaveFromPackage(from_package);
  }

  // The package's files, read, checked and written on every core, a batch
  // at a time so that Ctrl-C is heard between two batches.
  int SaveFromPackage(const std::vector<const PlayerSourceFile*>& files) {
    const size_t kBatch = 64;
    for (size_t first = 0; first < files.size(); first += kBatch) {
      if (interruption_.signal() != 0) return Interrupted();
      std::vector<std::pair<std::string, std::string>> targets;
      for (size_t i = first; i < files.size() && i < first + kBatch; ++i) {
        targets.emplace_back(files[i]->in_package, folder_.path() + files[i]->local);
      }
      std::vector<EntrySave> saves = package_->SaveEntries(targets, DefaultJobs());
      for (size_t i = 0; i < saves.size(); ++i) {
        const PlayerSourceFile& file = *files[first + i];
        const EntrySave& save = saves[i];
        switch (save.result) {
          case EntrySaveResult::kSaved:
            written_.insert(file.local);
            break;
          case EntrySaveResult::kMissing:
            break;
          case EntrySaveResult::kDamaged:
          case EntrySaveResult::kMismatch:
            notes_.push_back("damaged: " + AnsiToUtf8(file.in_package) +
                             " (left out: " + EntrySaveInWords(save) + ")");
            break;
          case EntrySaveResult::kWriteFailed:
            if (!LeaveOut(file.local, save.error)) {
              return Fail(out_ + AnsiToUtf8(file.local) + ": " + EntrySaveInWords(save));
            }
            break;
        }
      }
    }
    return 0;
  }

  // Notes a file left out for its name; false when `error` is not about
  // the name.
  bool LeaveOut(const std::string& local, DWORD error) {
    if (!NameCannotBeUsed(error) && error != ERROR_FILE_EXISTS) return false;
    notes_.push_back("left out: " + AnsiToUtf8(local) + " (" +
                     (error == ERROR_FILE_EXISTS ? std::string("its name is taken in the player")
                                                 : ErrorInWords(error)) +
                     ")");
    return true;
  }

  int OrientationOf(const std::string& local) const {
    return local.empty() ? 0 : ReadPictureOrientation(DefaultFileSystem(), folder_.path() + local);
  }

  int Interrupted() const {
    return Fail(WithoutTrailingSlashes(out_) + ": interrupted; nothing of this run is kept");
  }

  const PlayOptions& options_;
  Interruption& interruption_;
  // Declared before the folder, whose clean-up reaches it through them.
  UserPaths paths_;
  PlayerFolder folder_;
  std::string out_;  // the player folder as typed, with a separator at its end
  std::string music_;
  std::unique_ptr<ShowPackage> package_;  // a package source, once open
  std::unique_ptr<ShowFolder> show_folder_;
  std::string show_folder_typed_;
  OpenFile meta_file_;
  std::string meta_text_;
  std::set<std::string> written_;  // the local names of the files the player holds
  std::vector<std::string> notes_;
};

int RunPlay(const std::vector<std::string>& arguments) {
  std::vector<std::string> args = arguments;
  PlayOptions options;
  bool bad = false;
  bool has_out = TakeOption(args, "--out", &options.out, &bad);
  bool has_music = TakeOption(args, "--default-music", &options.default_music, &bad);
  options.open = TakeFlag(args, "--open");
  if (bad) return UsageError("play");
  if (int status = ExpectOperands(args, 1, "play")) return status;
  if ((has_out && options.out.empty()) || (has_music && options.default_music.empty()))
    return UsageError("play");
  options.source = args[0];
  // Ctrl-C and SIGTERM stop the run at the next file, and the run then
  // takes back what it made, as any failed run does.
  Interruption interruption;
  int status = PlayerRun(options, interruption).Run();
  if (status != 0) interruption.ReRaise();
  return status;
}

}  // namespace

TAVIRELLE_COMMAND("play", "SOURCE [--out DIR] [--default-music FILE] [--open]",
                  "writes a web page that plays the show of a package or show folder "
                  "into DIR (default: SOURCE-player beside it); FILE plays where the show "
                  "names the application's default music",
                  RunPlay);

}  // namespace tavirelle
