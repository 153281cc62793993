// tavirelle pack DIR TARGET
//
// Checks that DIR holds a show before anything is written: a meta.xml that
// loads and names at least one photo, every photo it names, no file it names
// that a package cannot hold, no link out of the folder, and a size that one
// package can address. The
// component then writes the package under a temporary name and publishes it
// when complete; an interrupt (Ctrl-C, SIGTERM) removes the temporary file.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <set>

#include "cli/command.h"
#include "cli/file_io_session.h"
#include "cli/interruption.h"
#include "cli/progress.h"
#include "cli/user_path.h"
#include "com/bstr.h"
#include "metaxml/stored_show.h"
#include "package/show_package.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/last_error.h"
#include "platform/path.h"
#include "util/file_utils.h"
#include "util/text.h"

namespace tavirelle {

namespace {

std::string WithThousands(uint64_t value) {
  std::string digits = std::to_string(value);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, 1, ',');
  return digits;
}

std::string TooLarge(uint64_t size) {
  return "the show is too large for one package: " + WithThousands(size) + " bytes, at most " +
         WithThousands(kMaxPackageSize);
}

// What a show description names: its photos, as the package stores them,
// and every file it refers to (icon, photos, audio captions, music, clip
// art), as written.
struct ShowReferences {
  std::vector<std::string> photos;
  std::vector<std::string> files;
};

bool ReadReferences(const std::string& meta_text, ShowReferences* references) {
  StoredShow show;
  if (!ReadStoredShow(meta_text, &show).ok()) return false;
  std::set<std::string> seen;
  auto refer = [&](const std::string& name) {
    if (!name.empty() && seen.insert(name).second) references->files.push_back(name);
  };
  refer(show.icon);
  for (const StoredImage& image : show.images) {
    refer(image.online_filename);
    refer(image.audio_caption);
    if (image.music) refer(image.music->file);
    for (const StoredClip& clip : image.clips) refer(clip.file);
    std::string name = image.online_filename;
    std::replace(name.begin(), name.end(), '/', '\\');
    name.erase(0, name.find_first_not_of('\\'));
    if (!name.empty()) references->photos.push_back(name);
  }
  return true;
}

// Whether a package can hold a file of this name: it stores only these
// kinds, and a show that names another would lose it.
bool PackageHoldsKind(const std::string& name) {
  const std::string extension = Extension(name);
  return extension == ".jpg" || extension == ".mp3" || extension == ".swf" || extension == ".xml";
}

// The first show file that is a symbolic link leading anywhere but to a
// regular file inside the show folder, and why; empty when there is none. A
// link to a private file elsewhere (/etc/shadow) would otherwise go into a
// package made to be handed on.
std::string LinkLeavingTheFolder(const std::string& folder, const std::string& reachable,
                                 const std::vector<PackageSource>& sources) {
  char* resolved = ::realpath(NativePath(Utf8ToAnsi(reachable)).c_str(), nullptr);
  const std::string inside = resolved == nullptr ? std::string() : std::string(resolved) + "/";
  std::free(resolved);
  for (const PackageSource& source : sources) {
    const std::string native = NativePath(source.path);
    struct stat link {};
    if (::lstat(native.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) continue;
    const std::string name = AsOutputFolder(folder) + AnsiToUtf8(FileNameOf(source.path));
    struct stat target {};
    if (::stat(native.c_str(), &target) != 0 || !S_ISREG(target.st_mode)) {
      return name + ": a link to something that is not a file; not packed";
    }
    resolved = ::realpath(native.c_str(), nullptr);
    const bool within = resolved != nullptr && !inside.empty() &&
                        std::string(resolved).compare(0, inside.size(), inside) == 0;
    std::free(resolved);
    if (!within) {
      return name +
             ": a link that leads out of the show folder; only links to files "
             "inside it are packed";
    }
  }
  return {};
}

// The read permissions every show file grants: the package holds all of
// them, so it must not be readable by anyone one of them hides from.
mode_t ReadableByAll(const std::vector<PackageSource>& sources) {
  mode_t readable = S_IRUSR | S_IRGRP | S_IROTH;
  for (const PackageSource& source : sources) {
    struct stat st {};
    if (::stat(NativePath(source.path).c_str(), &st) == 0) readable &= st.st_mode;
  }
  return readable;
}

// Whether `folder` (a command argument) holds a show that can be packed;
// otherwise *problem is the line that says what is missing.
// `reachable` is the name the component can take for it (see user_path.h).
bool CheckShowFolder(const std::string& folder, const std::string& reachable,
                     std::vector<PackageSource>* sources, std::string* problem) {
  Status listed = ListPackageSources(DefaultFileSystem(), Utf8ToAnsi(reachable), sources);
  if (!listed.ok()) {
    *problem = folder + ": " + ErrorInWords(listed.code());
    return false;
  }
  *problem = LinkLeavingTheFolder(folder, reachable, *sources);
  if (!problem->empty()) return false;
  const std::string meta_name = AsOutputFolder(folder) + "meta.xml";
  const std::string meta_path = Utf8ToAnsi(AsOutputFolder(reachable) + "meta.xml");
  std::string meta_text;
  if (!PathExists(DefaultFileSystem(), meta_path) || FolderExists(DefaultFileSystem(), meta_path)) {
    *problem = meta_name + ": no such file (not a show folder)";
    return false;
  }
  ShowReferences references;
  Status read = ReadWholeFile(DefaultFileSystem(), meta_path, &meta_text);
  if (!read.ok()) {
    *problem = meta_name + ": " + ErrorInWords(read.code());
    return false;
  }
  if (!ReadReferences(meta_text, &references)) {
    *problem = meta_name + ": does not load as a show description";
    return false;
  }
  if (references.photos.empty()) {
    *problem = meta_name + ": the show has no photos";
    return false;
  }
  std::vector<std::string> lost;
  for (const std::string& file : references.files) {
    if (!PackageHoldsKind(file)) lost.push_back(AnsiToUtf8(file));
  }
  if (!lost.empty()) {
    *problem = meta_name +
               ": names files a package cannot hold (only .jpg, .mp3, .swf and "
               ".xml files are packed): " +
               lost[0];
    for (size_t i = 1; i < lost.size() && i < 5; ++i) *problem += ", " + lost[i];
    if (lost.size() > 5) *problem += FormatText(" and %zu more", lost.size() - 5);
    return false;
  }
  std::set<std::string> stored;
  for (const PackageSource& source : *sources) stored.insert(source.storedName);
  std::vector<std::string> missing;
  for (const std::string& photo : references.photos) {
    if (stored.count(photo) == 0) missing.push_back(photo);
  }
  if (!missing.empty()) {
    *problem =
        AsOutputFolder(folder) + AnsiToUtf8(missing[0]) + ": no such file (a photo the show names";
    if (missing.size() > 1) *problem += FormatText(", and %zu more missing", missing.size() - 1);
    *problem += ")";
    return false;
  }
  return true;
}

// After a failed write: a show file that cannot be read now is the likely
// cause, and the message names it rather than the package.
std::string UnreadableSource(const std::vector<PackageSource>& sources) {
  for (const PackageSource& source : sources) {
    std::unique_ptr<File> file;
    Status opened =
        DefaultFileSystem().Open(source.path, GENERIC_READ, Disposition::kOpenExisting, &file);
    if (!opened.ok()) return AnsiToUtf8(source.path) + ": " + ErrorInWords(opened.code());
  }
  return {};
}

// The temporary files of packages being written to `target` (process code
// page), as the component names them: ".NAME" + kPartialPackageMarker + a
// unique part, beside the target.
std::set<std::string> PartialPackagesOf(const std::string& target) {
  size_t separator = target.find_last_of("\\/");
  size_t start = separator == std::string::npos ? 0 : separator + 1;
  const std::string folder = target.substr(0, start);
  std::string prefix(1, '.');
  prefix.append(target, start, 60).append(kPartialPackageMarker);
  std::vector<FindData> found;
  // A folder that cannot be listed shows no partial packages.
  DefaultFileSystem().Find((folder.empty() ? "./" : folder) + "*", &found).IgnoreError();
  std::set<std::string> partial;
  for (const FindData& file : found) {
    if (file.name.compare(0, prefix.size(), prefix) == 0) partial.insert(folder + file.name);
  }
  return partial;
}

int RunPack(const std::vector<std::string>& arguments) {
  std::vector<std::string> args = arguments;
  if (int status = ExpectOperands(args, 2, "pack")) return status;
  UserPaths paths;
  const std::string from = paths.In(args[0]);
  if (!FolderExists(DefaultFileSystem(), Utf8ToAnsi(from))) return Fail(args[0] + ": no such folder");
  // Entry names are code-page text: a name outside it could not be stored.
  std::string unreachable = FirstUnreachableEntry(args[0]);
  if (!unreachable.empty()) {
    return Fail(AsOutputFolder(args[0]) + unreachable + ": the name cannot be stored in a package");
  }
  std::vector<PackageSource> sources;
  std::string problem;
  if (!CheckShowFolder(args[0], from, &sources, &problem)) return Fail(problem);
  uint64_t size = PackageSizeOf(sources);
  if (size > kMaxPackageSize) return Fail(args[0] + ": " + TooLarge(size));

  FileIOSession session;
  std::string error;
  if (!session.Create(&error)) return Fail(error);
  ScopedBstr folder(BstrFromUtf8(from));
  const std::string reachable_target = paths.OutFile(args[1]);
  ScopedBstr target(BstrFromUtf8(reachable_target));
  ScopedBstr written;
  // The component writes the package under a temporary name beside the
  // target; the ones there before this run are another writer's.
  const std::string ansi_target = Utf8ToAnsi(reachable_target);
  const std::set<std::string> others = PartialPackagesOf(ansi_target);
  auto ours = [&]() {
    std::vector<std::string> partial;
    for (const std::string& path : PartialPackagesOf(ansi_target)) {
      if (others.count(path) == 0) partial.push_back(path);
    }
    return partial;
  };
  // The package is created no more readable than the least readable file
  // it holds (the owner keeps reading it).
  const mode_t hidden = (S_IRGRP | S_IROTH) & ~ReadableByAll(sources);
  ::umask(::umask(0) | hidden);
  // An interrupt while the component writes removes the temporary file and
  // then ends the command as the signal would have.
  Interruption interruption;
  // The package grows under its temporary name while the component writes
  // it; its size against the planned size is the progress.
  constexpr int kMiB = 20;
  std::future<HRESULT> writing = std::async(std::launch::async, [&]() {
    return session->WriteDotTavirelle(target.get(), folder.get(), written.Receive());
  });
  {
    ProgressBar progress(static_cast<size_t>(size >> kMiB), 64, "MiB");
    progress.Update(0);
    while (writing.wait_for(std::chrono::milliseconds(200)) != std::future_status::ready &&
           interruption.signal() == 0) {
      for (const std::string& partial : ours()) {
        uint32_t now = 0;
        if (FileSizeOf(DefaultFileSystem(), partial, &now).ok()) progress.Update(now >> kMiB);
      }
    }
  }
  if (interruption.signal() != 0) {
    // Unlinked as the file it is: the writer keeps it read-only until done.
    for (const std::string& partial : ours()) ::unlink(partial.c_str());
    interruption.ReRaise();
  }
  HRESULT status = writing.get();
  if (status == HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE)) {
    // A show file grew after the check.
    // A listing that fails now leaves the size of the limit itself.
    ListPackageSources(DefaultFileSystem(), Utf8ToAnsi(from), &sources).IgnoreError();
    return Fail(args[0] + ": " + TooLarge(std::max(PackageSizeOf(sources), kMaxPackageSize + 1)));
  }
  if (status != S_OK) {
    std::string source = UnreadableSource(sources);
    if (!source.empty()) return Fail(paths.Typed(source));
    return Fail(args[1] + ": " + (status == E_FAIL ? std::string("the package could not be written")
                                                   : HresultInWords(status)));
  }
  if (!paths.Commit(false, &error)) return Fail(error);
  std::printf("written: %s\n", paths.Typed(AnsiToUtf8(written.Ansi())).c_str());
  return 0;
}

}  // namespace

TAVIRELLE_COMMAND("pack", "DIR TARGET",
                  "checks that DIR holds a show (meta.xml and every photo it names) and packs "
                  "its show files into a new package (a unique name is chosen when TARGET "
                  "exists)",
                  RunPack);

}  // namespace tavirelle
