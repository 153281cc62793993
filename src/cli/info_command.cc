// tavirelle info PACKAGE [--out DIR]
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "cli/command.h"
#include "cli/file_io_session.h"
#include "cli/user_path.h"
#include "com/bstr.h"
#include "package/show_package.h"
#include "platform/file_system.h"
#include "platform/last_error.h"
#include "showdata/qx_file_io.h"
#include "showdata/show_data.h"
#include "util/file_utils.h"

namespace tavirelle {

namespace {

// The object always saves the icon into its output folder. Without --out
// that folder is a scratch one, removed afterwards, so that looking at a
// package leaves nothing behind.
class ScratchFolder {
 public:
  ScratchFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string base = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
    path_ = AsOutputFolder(base) + "tavirelle-info-" + NewGuidText(false) + "/";
    created_ = DefaultFileSystem().CreateDirectory(path_);
  }
  ~ScratchFolder() {
    if (!created_) return;
    if (!icon_.empty() && IsNameInsideFolder(icon_)) DefaultFileSystem().DeleteFile(path_ + icon_);
    DefaultFileSystem().RemoveDirectory(path_);
  }
  bool created() const { return created_; }
  const std::string& path() const { return path_; }
  void set_icon(const std::string& icon) { icon_ = icon; }

 private:
  std::string path_;
  std::string icon_;
  bool created_ = false;
};

std::string Utf8Of(BSTR text) { return ToUtf8(AnsiFromBstr(text)); }

int RunInfo(const std::vector<std::string>& arguments) {
  std::vector<std::string> args = arguments;
  std::string out;
  bool bad = false;
  bool has_out = TakeOption(args, "--out", &out, &bad);
  std::string unknown;
  if (!bad && !EndOfOptions(args, &unknown)) return Fail("unknown option " + unknown);
  if (bad || args.size() != 1) return UsageError("info");

  FileIOSession session;
  std::string error;
  if (!session.Create(&error)) return Fail(error);
  IQXFileIO* io = session.get();
  UserPaths paths;
  if (!session.Open(paths.In(args[0]), false, &error)) return Fail(paths.Typed(error));

  std::unique_ptr<ScratchFolder> scratch;
  std::string folder;
  if (has_out) {
    folder = ToAnsi(AsOutputFolder(paths.OutFolder(out)));
    if (!CreateFolderPath(DefaultFileSystem(), folder)) {
      return Fail(out + ": the folder cannot be created (" + ErrorInWords(GetLastError()) + ")");
    }
  } else {
    scratch = std::make_unique<ScratchFolder>();
    if (!scratch->created()) {
      return Fail(scratch->path() + ": cannot create a scratch folder (" +
                  ErrorInWords(GetLastError()) + ")");
    }
    folder = scratch->path();
  }
  ScopedBstr output(BstrFromAnsi(folder));
  io->put_OutputPath(output.get());

  ScopedBstr icon, title;
  if (io->QuickGetShowInfo(icon.Receive(), title.Receive()) != S_OK) {
    return Fail(args[0] + ": the show cannot be read");
  }
  std::string icon_name = icon.Ansi();
  if (scratch != nullptr) {
    scratch->set_icon(icon_name);
  } else if (!icon_name.empty()) {
    const EntrySave& saved = session.object()->last_icon_save();
    if (!IsNameInsideFolder(icon_name)) {
      return Fail(args[0] + ": the icon " + ToUtf8(icon_name) +
                  " cannot be saved: its name leaves the folder");
    }
    if (saved.result == EntrySaveResult::kWriteFailed && FileNameOf(icon_name) != icon_name &&
        !FolderExists(DefaultFileSystem(), FolderOf(folder + icon_name))) {
      // A thumbnail icon lives in subfolders that must exist before the
      // object can save it there.
      EnsureFolderFor(DefaultFileSystem(), folder + icon_name);
      io->QuickGetShowInfo(icon.Receive(), title.Receive());
    }
    std::string problem = DescribeEntrySave(session.object()->last_icon_save());
    if (!problem.empty()) {
      return Fail(AsOutputFolder(out) + ToUtf8(icon_name) + ": the icon cannot be saved: " +
                  problem);
    }
  }

  ScopedBstr code, mod_time;
  LONG local_modified = 0;
  if (io->GetShowCode(code.Receive()) != S_OK ||
      io->GetServerModTime(mod_time.Receive()) != S_OK ||
      io->GetLocalModified(&local_modified) != S_OK) {
    return Fail(args[0] + ": the show cannot be read");
  }
  std::printf("icon: %s\n", Utf8Of(icon.get()).c_str());
  std::printf("title: %s\n", Utf8Of(title.get()).c_str());
  std::printf("show-code: %s\n", Utf8Of(code.get()).c_str());
  std::printf("server-mod-time: %s\n", Utf8Of(mod_time.get()).c_str());
  std::printf("local-modified: %d\n", local_modified != 0 ? 1 : 0);
  return 0;
}

}  // namespace

TAVIRELLE_COMMAND("info", "PACKAGE [--out DIR]",
                  "prints the show's icon, title, show code, server modification "
                  "time and local-modified flag; with --out the icon is saved in DIR",
                  RunInfo);

}  // namespace tavirelle
