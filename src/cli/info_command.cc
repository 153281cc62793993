// tavirelle info PACKAGE [--out DIR]
#include <cstdio>
#include <optional>

#include "api/package_api.h"
#include "cli/command.h"
#include "cli/user_path.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "util/file_utils.h"

namespace tavirelle {

namespace {

int RunInfo(const std::vector<std::string>& arguments) {
  std::vector<std::string> args = arguments;
  std::string out;
  bool bad = false;
  bool has_out = TakeOption(args, "--out", &out, &bad);
  if (bad) return UsageError("info");
  if (int status = ExpectOperands(args, 1, "info")) return status;

  UserPaths paths;
  PackageOpening opened = OpenShowPackage(DefaultFileSystem(), Utf8ToAnsi(paths.In(args[0])));
  if (!opened.status.ok()) return Fail(args[0] + ": " + opened.status.words());

  // Without --out the icon is not saved at all: looking at a package leaves
  // nothing behind.
  std::optional<IconSaving> icon;
  if (has_out) {
    icon = IconSaving{Utf8ToAnsi(AsOutputFolder(paths.OutFolder(out)))};
    Status made = CreateFolderPath(DefaultFileSystem(), icon->folder);
    if (!made.ok()) {
      return Fail(out + ": the folder cannot be created (" + ErrorInWords(made.code()) + ")");
    }
  }
  ShowQuery query = QueryShow(*opened.package, icon);
  if (query.icon_leaves_folder) {
    return Fail(args[0] + ": the icon " + AnsiToUtf8(query.icon) +
                " cannot be saved: its name leaves the folder");
  }
  if (!query.status.ok()) {
    return Fail(AsOutputFolder(out) + AnsiToUtf8(query.icon) + ": the icon cannot be saved: " +
                query.status.words());
  }
  std::printf("icon: %s\n", AnsiToUtf8(query.icon).c_str());
  std::printf("title: %s\n", AnsiToUtf8(query.title).c_str());
  std::printf("show-code: %s\n", AnsiToUtf8(query.show_code).c_str());
  std::printf("server-mod-time: %s\n", AnsiToUtf8(query.server_mod_time).c_str());
  std::printf("local-modified: %d\n", query.local_modified ? 1 : 0);
  return 0;
}

}  // namespace

TAVIRELLE_COMMAND("info", "PACKAGE [--out DIR]",
                  "prints the show's icon, title, show code, server modification "
                  "time and local-modified flag; with --out the icon is saved in DIR",
                  RunInfo);

}  // namespace tavirelle
