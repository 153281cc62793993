// tavirelle info PACKAGE [--out DIR]
#include <cstdio>
#include <memory>

#include "cli/command.h"
#include "cli/file_io_session.h"
#include "cli/package_checks.h"
#include "cli/user_path.h"
#include "com/bstr.h"
#include "package/show_package.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/last_error.h"
#include "util/file_utils.h"

namespace tavirelle {

namespace {

// The object always saves the icon into its output folder. Without --out
// that folder is a scratch one, removed afterwards, so that looking at a
// package leaves nothing behind.
class ScratchFolder {
 public:
  explicit ScratchFolder(UserPaths& paths) {
    path_ = paths.ScratchFolder() + "tavirelle-info-" + NewGuidText(false) + "/";
    created_ = DefaultFileSystem().CreateDirectory(path_);
  }
  ~ScratchFolder() {
    if (!created_.ok()) return;
    if (!icon_.empty() && StaysInsideFolder(icon_)) {
      DefaultFileSystem().DeleteFile(path_ + icon_).IgnoreError();
    }
    DefaultFileSystem().RemoveDirectory(path_).IgnoreError();
  }
  // How making the folder went.
  const Status& created() const { return created_; }
  const std::string& path() const { return path_; }
  void set_icon(const std::string& icon) { icon_ = icon; }

 private:
  std::string path_;
  std::string icon_;
  Status created_;
};

std::string Utf8Of(BSTR text) { return AnsiToUtf8(AnsiFromBstr(text)); }

int RunInfo(const std::vector<std::string>& arguments) {
  std::vector<std::string> args = arguments;
  std::string out;
  bool bad = false;
  bool has_out = TakeOption(args, "--out", &out, &bad);
  if (bad) return UsageError("info");
  if (int status = ExpectOperands(args, 1, "info")) return status;

  FileIOSession session;
  UserPaths paths;
  if (int status = session.OpenArgument(args[0], paths)) return status;

  std::unique_ptr<ScratchFolder> scratch;
  std::string folder;
  if (has_out) {
    folder = Utf8ToAnsi(AsOutputFolder(paths.OutFolder(out)));
    Status made = CreateFolderPath(DefaultFileSystem(), folder);
    if (!made.ok()) {
      return Fail(out + ": the folder cannot be created (" + ErrorInWords(made.code()) + ")");
    }
  } else {
    scratch = std::make_unique<ScratchFolder>(paths);
    if (!scratch->created().ok()) {
      return Fail(paths.Typed(AnsiToUtf8(scratch->path())) + ": cannot create a scratch folder (" +
                  ErrorInWords(scratch->created().code()) + ")");
    }
    folder = scratch->path();
  }
  ScopedBstr output(BstrFromAnsi(folder));
  session->put_OutputPath(output.get());

  ScopedBstr icon, title;
  if (session->QuickGetShowInfo(icon.Receive(), title.Receive()) != S_OK) {
    return Fail(args[0] + ": the show cannot be read");
  }
  std::string icon_name = icon.Ansi();
  if (scratch != nullptr) {
    scratch->set_icon(icon_name);
  } else if (!icon_name.empty()) {
    if (!StaysInsideFolder(icon_name)) {
      return Fail(args[0] + ": the icon " + AnsiToUtf8(icon_name) +
                  " cannot be saved: its name leaves the folder");
    }
    // The object's status ignores the icon: whether it was saved is checked
    // against the package.
    ShowPackage package(DefaultFileSystem());
    // A package that no longer opens saves nothing, which the check tells.
    package.OpenPackage(session.package_path(), /*validateMeta=*/false).IgnoreError();
    const std::string target = folder + icon_name;
    EntrySave saved = CheckSavedEntry(package, icon_name, target);
    if (saved.result == EntrySaveResult::kWriteFailed && FileNameOf(icon_name) != icon_name &&
        !FolderExists(DefaultFileSystem(), FolderOf(target))) {
      // A thumbnail icon lives in subfolders that must exist before the
      // object can save it there.
      // Whether that worked, saving the icon again tells.
      EnsureFolderFor(DefaultFileSystem(), target).IgnoreError();
      session->QuickGetShowInfo(icon.Receive(), title.Receive());
      saved = CheckSavedEntry(package, icon_name, target);
    }
    std::string problem = DescribeEntrySave(saved);
    if (!problem.empty()) {
      return Fail(AsOutputFolder(out) + AnsiToUtf8(icon_name) + ": the icon cannot be saved: " +
                  problem);
    }
  }

  ScopedBstr code, mod_time;
  LONG local_modified = 0;
  if (session->GetShowCode(code.Receive()) != S_OK ||
      session->GetServerModTime(mod_time.Receive()) != S_OK ||
      session->GetLocalModified(&local_modified) != S_OK) {
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
