// tavirelle meta PACKAGE
#include <cstdio>

#include "cli/command.h"
#include "cli/file_io_session.h"
#include "cli/user_path.h"
#include "package/show_package.h"
#include "com/bstr.h"
#include "platform/code_page.h"

namespace tavirelle {

namespace {

int RunMeta(const std::vector<std::string>& arguments) {
  std::vector<std::string> args = arguments;
  std::string unknown;
  if (!EndOfOptions(args, &unknown)) return Fail("unknown option " + unknown);
  if (args.size() != 1) return UsageError("meta");
  FileIOSession session;
  std::string error;
  if (!session.Create(&error)) return Fail(error);
  UserPaths paths;
  if (!session.Open(paths.In(args[0]), false, &error)) return Fail(paths.Typed(error));
  ShowPackage& package = session.package();
  // The same reading, fall-back and repair as GetMetaXml; the command also
  // needs to know whether the text it got is one a player can use, which
  // the interface does not say.
  std::string text = package.GetMetaText();
  if (!package.IsUsableMetaText(text)) {
    const char* why = package.FindEntry("meta.xml") == nullptr
                          ? "the package holds no meta.xml"
                          : "no usable show description: meta.xml and every older version "
                            "are missing, broken or name no photo of the package";
    return Fail(args[0] + ": " + why);
  }
  if (!package.IsOpen()) {
    std::fprintf(stderr,
                 "tavirelle: warning: %s: the broken meta.xml was read from an older "
                 "version, but the package could not be repaired\n",
                 args[0].c_str());
  }
  // As the interface hands it to a host: read as UTF-8 into UTF-16.
  ScopedBstr wide(BstrFromUtf8(text));
  std::string utf8 = WideToUtf8(BstrView(wide.get()));
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  std::fflush(stdout);
  return 0;
}

}  // namespace

TAVIRELLE_COMMAND("meta", "PACKAGE",
                  "prints the package's show description (meta.xml) as UTF-8; "
                  "a broken one is replaced by the newest usable version",
                  RunMeta);

}  // namespace tavirelle
