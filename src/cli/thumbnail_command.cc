// tavirelle thumbnail PHOTO OUT [--width 133] [--height 100] [--quality 100]
// tavirelle thumbnail --out-dir DIR [--jobs N] [--overwrite] PHOTO... [same options]
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>

#include "api/show_api.h"
#include "cli/command.h"
#include "cli/interruption.h"
#include "cli/picture_failure.h"
#include "cli/user_path.h"
#include "platform/code_page.h"
#include "platform/last_error.h"
#include "platform/status.h"
#include "util/parallel.h"

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

// One photo's thumbnail, from making it to giving it its name. Both forms of
// the command go through it, so a photo fails with the same words in both.
struct Thumbnail {
  UserPaths paths;
  bool made = false;
  std::string failure;  // the message line when not made
  uint32_t width = 0, height = 0;
};

// Writes the thumbnail of `photo` for `out` (both as typed); it gets its
// own name from Publish.
void Make(const std::string& photo, const std::string& out, const ThumbnailOptions& settings,
          bool whole, Thumbnail* thumbnail) {
  // The photo may be reached through an alias without its extension: the
  // name as typed says which formats it is read as.
  ThumbnailOptions options = settings;
  options.format_name = photo;
  const ThumbnailMade made =
      WriteThumbnail(DefaultFileSystem(), Utf8ToAnsi(thumbnail->paths.In(photo)),
                     Utf8ToAnsi(thumbnail->paths.OutFile(out, whole)), options);
  thumbnail->made = made.status.ok();
  if (!thumbnail->made) {
    thumbnail->failure = made.write_failed
                             ? out + ": cannot be written: " + made.status.words()
                             : photo + ": " + made.status.words();
    return;
  }
  thumbnail->width = made.width;
  thumbnail->height = made.height;
}

// Gives a made thumbnail its own name, replacing what had it when `taken`
// says so; false, with the reason in `failure`, when it was not made or
// cannot take the name.
bool Publish(Thumbnail* thumbnail, UserPaths::Taken taken = UserPaths::Taken::kReplace) {
  if (!thumbnail->made) return false;
  if (Status committed = thumbnail->paths.Commit(taken); !committed.ok()) {
    thumbnail->made = false;
    thumbnail->failure = committed.words();
  }
  return thumbnail->made;
}

// The name a photo's thumbnail takes in the output folder: the photo's own
// name with ".jpg" for its extension. A leading dot starts a hidden name,
// not an extension.
std::string ThumbnailNameOf(const std::string& photo) {
  std::string name = photo;
  while (name.size() > 1 && name.back() == '/') name.pop_back();
  const size_t slash = name.rfind('/');
  if (slash != std::string::npos) name.erase(0, slash + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot != 0) name.erase(dot);
  return name + ".jpg";
}

// Why the batch must not start, checked before anything is written: two
// photos whose thumbnails would take one name, or a thumbnail that would
// replace one of the photos. Empty when it may.
std::string BatchProblem(const std::vector<std::string>& photos,
                         const std::vector<std::string>& outs) {
  std::unordered_map<std::string, size_t> first;
  for (size_t i = 0; i < outs.size(); ++i) {
    auto [at, fresh] = first.emplace(outs[i], i);
    if (!fresh) {
      return photos[at->second] + " and " + photos[i] + " would both make " + outs[i] +
             "; give them one at a time";
    }
  }
  // By identity, not by name: a link or another spelling is the photo too.
  // One look-up per file, however many photos there are.
  std::map<std::pair<dev_t, ino_t>, size_t> identities;
  for (size_t i = 0; i < photos.size(); ++i) {
    struct stat st {};
    if (::stat(photos[i].c_str(), &st) == 0) identities.emplace(std::pair(st.st_dev, st.st_ino), i);
  }
  for (const std::string& out : outs) {
    struct stat st {};
    if (::stat(out.c_str(), &st) != 0) continue;
    auto photo = identities.find(std::pair(st.st_dev, st.st_ino));
    if (photo != identities.end()) {
      return out + ": is the photo " + photos[photo->second] + " itself; give another folder";
    }
  }
  return {};
}

// Whether anything stands at `path`, a link that leads nowhere included.
bool Occupied(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

// Makes the thumbnails of many photos in one folder, on up to `jobs`
// threads, each exactly as the single form makes it; prints and publishes
// them in the order given. A file already standing under a thumbnail's name
// was named by nobody: it is replaced only with `overwrite`.
int RunBatch(const ThumbnailOptions& settings, const std::string& out_dir, unsigned jobs,
             bool overwrite, const std::vector<std::string>& photos) {
  const std::string folder = AsOutputFolder(out_dir);
  std::vector<std::string> outs;
  outs.reserve(photos.size());
  for (const std::string& photo : photos) outs.push_back(folder + ThumbnailNameOf(photo));
  std::string problem = BatchProblem(photos, outs);
  if (!problem.empty()) return Fail(problem);
  struct stat st {};
  const bool existed = ::stat(out_dir.c_str(), &st) == 0;
  if (existed && !S_ISDIR(st.st_mode)) return Fail(out_dir + ": not a folder");
  if (!existed && ::mkdir(out_dir.c_str(), 0777) != 0) {
    const int err = errno;
    return Fail(out_dir + ": cannot be made: " +
                ErrorInWords(err == ENOENT || err == ENOTDIR ? ERROR_PATH_NOT_FOUND
                                                             : Win32ErrorFromErrno(err)));
  }

  // Ctrl-C stops the run at the next photo to publish; thumbnails made ahead
  // of it are still under their temporary names and go with their objects.
  Interruption interruption;
  std::vector<std::unique_ptr<Thumbnail>> thumbnails(photos.size());
  int status = 0;
  size_t published = 0;
  RunInOrder(
      photos.size(), jobs,
      [&](size_t i) {
        if (interruption.signal() != 0) return;
        auto thumbnail = std::make_unique<Thumbnail>();
        if (!overwrite && Occupied(outs[i])) {
          thumbnail->failure = outs[i] + ": it already exists; --overwrite replaces it";
        } else {
          Make(photos[i], outs[i], settings, /*whole=*/true, thumbnail.get());
        }
        thumbnails[i] = std::move(thumbnail);
      },
      [&](size_t i) {
        std::unique_ptr<Thumbnail> thumbnail = std::move(thumbnails[i]);
        if (interruption.signal() != 0 || !thumbnail) return false;
        if (Publish(thumbnail.get(),
                    overwrite ? UserPaths::Taken::kReplace : UserPaths::Taken::kRefuse)) {
          std::printf("thumbnail: %s %u %u\n", ControlsEscaped(outs[i]).c_str(),
                      thumbnail->width, thumbnail->height);
          ++published;
        } else {
          status = Fail(thumbnail->failure);
        }
        return true;
      });
  thumbnails.clear();
  // A folder made for thumbnails that none became is not left behind.
  if (!existed && published == 0) ::rmdir(out_dir.c_str());
  if (interruption.signal() != 0) {
    Fail(out_dir + ": interrupted; " + std::to_string(published) + " of " +
         std::to_string(photos.size()) + " thumbnails made");
    interruption.ReRaise();
  }
  std::fflush(stdout);
  return status;
}

int RunThumbnail(const std::vector<std::string>& arguments) {
  std::vector<std::string> args = arguments;
  ThumbnailOptions settings;
  uint32_t quality = static_cast<uint32_t>(settings.quality);
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
      return UsageFail(std::string(option.name) + " wants a whole number from " +
                       std::to_string(option.least) + " to " + std::to_string(option.most) +
                       ", not '" + text + "'");
    }
    if (bad) return UsageError("thumbnail");
  }
  settings.quality = static_cast<int32_t>(quality);
  unsigned jobs = DefaultJobs();
  if (int status = TakeJobs(args, &jobs, "thumbnail")) return status;
  std::string out_dir, again;
  bool bad = false;
  const bool batch = TakeOption(args, "--out-dir", &out_dir, &bad);
  if (bad) return UsageError("thumbnail");
  // The one-photo form replaces the OUT it is given by name anyway.
  const bool overwrite = TakeFlag(args, "--overwrite");
  if (batch) {
    if (TakeOption(args, "--out-dir", &again, &bad) || bad) {
      return UsageFail("--out-dir given twice; the thumbnails go into one folder");
    }
    std::string unknown;
    if (!EndOfOptions(args, &unknown)) return UsageFail("unknown option " + unknown);
    if (args.empty()) return UsageFail("--out-dir " + out_dir + ": no photos given");
    if (out_dir.empty()) return UsageFail("--out-dir wants a folder, not ''");
    return RunBatch(settings, out_dir, jobs, overwrite, args);
  }

  if (int status = ExpectOperands(args, 2, "thumbnail")) return status;
  const std::string& photo = args[0];
  const std::string& out = args[1];
  // Checked before anything is written: the thumbnail would replace the
  // photo, whatever the spelling or link that names it twice.
  if (SameFile(photo, out)) return Fail(out + ": is the photo itself; give another file");

  Thumbnail thumbnail;
  Make(photo, out, settings, /*whole=*/false, &thumbnail);
  if (!Publish(&thumbnail)) return Fail(thumbnail.failure);
  std::printf("thumbnail: %u %u\n", thumbnail.width, thumbnail.height);
  return 0;
}

}  // namespace

TAVIRELLE_COMMAND(
    "thumbnail",
    "PHOTO OUT | --out-dir DIR [--jobs N] [--overwrite] PHOTO... [--width 133] "
    "[--height 100] [--quality 100]",
    "writes a JPEG thumbnail of PHOTO: the box's height, width by aspect; with --out-dir, "
    "DIR/NAME.jpg of each PHOTO, on N threads (a file there is replaced only with "
    "--overwrite)",
    RunThumbnail);

}  // namespace tavirelle
