// tavirelle play SOURCE [--out DIR] [--open]
//
// Writes a player for a show into a new folder: the show's files (extracted
// from a package, each checked against its MD5, or copied from a show
// folder) and an index.html that plays them from file:// with nothing but a
// browser. Everything is written inside that folder, which must be new or
// empty so that nothing there is overwritten or written through a link.
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/package_checks.h"
#include "cli/player_data.h"
#include "package/show_package.h"
#include "showdata/show_data.h"
#include "com/bstr.h"
#include "platform/file_system.h"
#include "platform/last_error.h"
#include "util/file_utils.h"
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
  for (int n = 2; PathExists(DefaultFileSystem(), ToAnsi(candidate)); ++n)
    candidate = FormatText("%s (%i)", base.c_str(), n);
  return candidate;
}

bool IsMissingOrEmptyFolder(const std::string& folder) {
  if (!PathExists(DefaultFileSystem(), ToAnsi(folder))) return true;
  if (!FolderExists(DefaultFileSystem(), ToAnsi(folder))) return false;
  std::vector<FindData> found;
  DefaultFileSystem().Find(ToAnsi(WithoutTrailingSlashes(folder)) + "/*", &found);
  for (const FindData& entry : found) {
    if (entry.name != "." && entry.name != "..") return false;
  }
  return true;
}

// The show's files, taken from a show folder or a package into the player
// folder. A file the show lacks is reported and left out: the page says so
// on its slide. A file that cannot be written is a failure.
class FileGatherer {
 public:
  explicit FileGatherer(std::string out) : out_(std::move(out)) {}
  virtual ~FileGatherer() = default;

  bool Gather(const std::vector<PlayerSourceFile>& files, std::string* error) {
    for (const PlayerSourceFile& file : files) {
      std::string target = ToAnsi(out_) + file.local;
      if (PathExists(DefaultFileSystem(), target)) continue;
      if (!EnsureFolderFor(DefaultFileSystem(), target)) {
        *error = ToUtf8(target) + ": the folder cannot be created";
        return false;
      }
      if (!Take(file, target, error)) return false;
    }
    return true;
  }

  const std::vector<std::string>& notes() const { return notes_; }

 protected:
  // Puts the file at `target`; a file the source lacks is not an error.
  virtual bool Take(const PlayerSourceFile& file, const std::string& target,
                    std::string* error) = 0;

  std::string out_;
  std::vector<std::string> notes_;
};

class FolderGatherer : public FileGatherer {
 public:
  FolderGatherer(std::string folder, std::string out)
      : FileGatherer(std::move(out)), folder_(std::move(folder)) {}

 private:
  bool Take(const PlayerSourceFile& file, const std::string& target,
            std::string* error) override {
    std::string source = ToAnsi(folder_) + file.in_folder;
    if (!PathExists(DefaultFileSystem(), source) || FolderExists(DefaultFileSystem(), source))
      return true;
    if (!DefaultFileSystem().CopyFile(source, target, IfExists::kFail)) {
      *error = ToUtf8(target) + ": " + ErrorInWords(GetLastError());
      return false;
    }
    return true;
  }

  std::string folder_;
};

class PackageGatherer : public FileGatherer {
 public:
  PackageGatherer(ShowPackage& package, std::string out)
      : FileGatherer(std::move(out)), package_(package) {}

  // Sorts the outcome of saving one entry: a file that cannot be written
  // fails the command, a damaged one is named and left out, one the package
  // lacks is left to the page.
  bool Note(const std::string& name, const EntrySave& save, std::string* error) {
    switch (save.result) {
      case EntrySaveResult::kSaved:
      case EntrySaveResult::kMissing:
        return true;
      case EntrySaveResult::kDamaged:
      case EntrySaveResult::kMismatch:
        notes_.push_back("damaged: " + ToUtf8(name) + " (left out: " + DescribeEntrySave(save) +
                         ")");
        return true;
      case EntrySaveResult::kWriteFailed:
        break;
    }
    *error = out_ + ToUtf8(name) + ": " + DescribeEntrySave(save);
    return false;
  }

 private:
  bool Take(const PlayerSourceFile& file, const std::string& target,
            std::string* error) override {
    return Note(file.in_package, package_.SaveEntry(file.in_package, target), error);
  }

  ShowPackage& package_;
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

int RunPlay(const std::vector<std::string>& arguments) {
  std::vector<std::string> args = arguments;
  bool bad = false;
  std::string out;
  bool has_out = TakeOption(args, "--out", &out, &bad);
  bool open = TakeFlag(args, "--open");
  std::string unknown;
  if (!EndOfOptions(args, &unknown)) return UsageFail("unknown option " + unknown);
  if (bad || args.size() != 1 || (has_out && out.empty())) return UsageError("play");
  const std::string& source = args[0];

  bool is_folder = FolderExists(DefaultFileSystem(), ToAnsi(source));
  if (!is_folder && !PathExists(DefaultFileSystem(), ToAnsi(source)))
    return Fail(source + ": no such file or folder");
  if (!has_out) out = DefaultPlayerFolder(source, is_folder);
  if (!IsMissingOrEmptyFolder(out)) {
    return Fail(out + " is not an empty folder; give the player a new one");
  }
  std::string folder = AsOutputFolder(out);
  std::string show_folder = is_folder ? AsOutputFolder(source) : std::string();

  // Opening the package first: a file that is not a package leaves no folder behind.
  ShowPackage package(DefaultFileSystem());
  if (!is_folder) {
    if (!package.OpenPackage(ToAnsi(source), /*validateMeta=*/false)) {
      return Fail(source + ": " + DescribeOpenError(package.openError()));
    }
  } else if (!PathExists(DefaultFileSystem(), ToAnsi(show_folder) + "meta.xml")) {
    return Fail(source + ": no meta.xml in the show folder");
  }
  std::string error;
  if (!CreateFolderPath(DefaultFileSystem(), ToAnsi(folder)))
    return Fail(out + ": the folder cannot be created");

  // The show's own files come out through the component's extraction, as
  // for a host; what the page uses beyond them (clip-art, thumbnails, stills)
  // follows below.
  std::string meta_path = ToAnsi(folder) + "meta.xml";
  std::unique_ptr<PackageGatherer> from_package;
  if (!is_folder) {
    from_package = std::make_unique<PackageGatherer>(package, folder);
    ExtractReport report;
    ExtractShow(package, ToAnsi(folder), &report);
    if (report.repair_failed) WarnDescriptionNotRepaired(source);
    if (!report.meta_saved) {
      return Fail(ToUtf8(meta_path) + ": " + ErrorInWords(report.meta_error));
    }
    for (const ExtractedFile& file : report.files) {
      if (!file.outside && !from_package->Note(file.name, file.save, &error)) return Fail(error);
    }
  } else if (!DefaultFileSystem().CopyFile(ToAnsi(show_folder) + "meta.xml", meta_path,
                                           IfExists::kFail)) {
    return Fail(ToUtf8(meta_path) + ": " + ErrorInWords(GetLastError()));
  }
  std::string meta;
  PlayerShow show;
  if (!ReadWholeFile(DefaultFileSystem(), meta_path, &meta))
    return Fail(ToUtf8(meta_path) + ": cannot be read");
  if (!ReadPlayerShow(meta, &show)) {
    return Fail(source + ": the show description (meta.xml) does not load");
  }

  FolderGatherer from_folder(show_folder, folder);
  FileGatherer& gatherer = is_folder ? static_cast<FileGatherer&>(from_folder) : *from_package;
  if (!gatherer.Gather(PlayerSourceFiles(show), &error)) return Fail(error);

  std::string local_root = ToAnsi(folder);
  ResolvePlayerFiles(&show, [&](const std::string& local) {
    std::string path = local_root + local;
    return PathExists(DefaultFileSystem(), path) && !FolderExists(DefaultFileSystem(), path);
  });
  std::string page = folder + "index.html";
  if (!SaveTextToFile(DefaultFileSystem(), ToAnsi(page), PlayerPage(show))) {
    return Fail(page + ": " + ErrorInWords(GetLastError()));
  }

  for (const std::string& note : gatherer.notes()) std::printf("%s\n", note.c_str());
  for (const PlayerSlide& slide : show.slides) {
    if (slide.missing) std::printf("missing: %s\n", ToUtf8(slide.stored).c_str());
  }
  std::printf("images: %zu\nplayer: %s\n", show.slides.size(), page.c_str());
  if (open && !OpenInBrowser(page, &error)) return Fail("cannot open " + page + ": " + error);
  return 0;
}

}  // namespace

TAVIRELLE_COMMAND("play", "SOURCE [--out DIR] [--open]",
                  "writes a web page that plays the show of a package or show folder "
                  "into DIR (default: SOURCE-player beside it)",
                  RunPlay);

}  // namespace tavirelle
