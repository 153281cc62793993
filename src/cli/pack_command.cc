// tavirelle pack DIR TARGET
#include <cstdio>

#include "cli/command.h"
#include "cli/file_io_session.h"
#include "platform/bstr.h"
#include "util/file_utils.h"

namespace {

int RunPack(const std::vector<std::string>& args) {
  if (args.size() != 2) return UsageError("pack");
  // The writer packs whatever the folder holds, so a mistyped folder would
  // give an empty package that cannot be opened.
  if (!FolderExists(ToAnsi(args[0]))) return Fail(args[0] + ": no such folder");
  FileIOSession session;
  std::string error;
  if (!session.Create(&error)) return Fail(error);
  ScopedBstr folder(BstrFromUtf8(args[0]));
  ScopedBstr target(BstrFromUtf8(args[1]));
  ScopedBstr written;
  HRESULT status =
      session.get()->WriteDotTavirelle(target.get(), folder.get(), written.Receive());
  if (status != S_OK) return Fail(args[1] + ": " + DescribeWriteStatus(status));
  std::printf("written: %s\n", ToUtf8(written.Ansi()).c_str());
  return 0;
}

}  // namespace

TAVIRELLE_COMMAND("pack", "DIR TARGET",
                  "packs the show files of DIR into a new package (a unique "
                  "name is chosen when TARGET exists)",
                  RunPack);
