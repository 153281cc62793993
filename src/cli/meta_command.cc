// tavirelle meta PACKAGE
#include <cstdio>

#include "cli/command.h"
#include "cli/file_io_session.h"
#include "cli/package_checks.h"
#include "cli/user_path.h"
#include "com/bstr.h"
#include "package/show_package.h"
#include "platform/code_page.h"

namespace tavirelle {

namespace {

int RunMeta(const std::vector<std::string>& arguments) {
  std::vector<std::string> args = arguments;
  if (int status = ExpectOperands(args, 1, "meta")) return status;
  FileIOSession session;
  UserPaths paths;
  if (int status = session.OpenArgument(args[0], paths)) return status;
  // The interface reads the description with its fall-back to an older
  // version and the repair, and hands it over as UTF-16 read from UTF-8.
  ScopedBstr meta;
  if (session->GetMetaXml(meta.Receive()) != S_OK) {
    return Fail(args[0] + ": the show cannot be read");
  }
  std::string utf8 = WideToUtf8(BstrView(meta.get()));
  // It does not say whether that text is one a player can use, nor whether a
  // broken one was written back: the package as it stands now tells.
  ShowPackage package(DefaultFileSystem());
  // A package that no longer opens has no usable text, which the check tells.
  package.OpenPackage(session.package_path(), /*validateMeta=*/false).IgnoreError();
  if (!package.IsUsableMetaText(utf8)) {
    const char* why = package.FindEntry("meta.xml") == nullptr
                          ? "the package holds no meta.xml"
                          : "no usable show description: meta.xml and every older version "
                            "are missing, broken or name no photo of the package";
    return Fail(args[0] + ": " + why);
  }
  if (DescriptionNotRepaired(package, utf8)) WarnDescriptionNotRepaired(args[0]);
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
