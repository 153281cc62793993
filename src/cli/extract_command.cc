// tavirelle extract PACKAGE DIR
#include <cstdio>

#include "cli/command.h"
#include "cli/file_io_session.h"
#include "platform/bstr.h"
#include "util/file_utils.h"

namespace {

int RunExtract(const std::vector<std::string>& args) {
  if (args.size() != 2) return UsageError("extract");
  FileIOSession session;
  std::string error;
  if (!session.Create(&error)) return Fail(error);
  if (!session.Open(args[0], false, &error)) return Fail(error);
  std::string folder = AsOutputFolder(args[1]);
  if (!CreateFolderPath(ToAnsi(folder))) {
    return Fail(args[1] + ": the folder cannot be created");
  }
  ScopedBstr output(BstrFromUtf8(folder));
  session.get()->put_OutputPath(output.get());
  if (session.get()->GenerateTavirelleData() != S_OK) {
    return Fail(args[0] + ": the show cannot be extracted");
  }
  std::printf("extracted: %s\n", folder.c_str());
  return 0;
}

}  // namespace

TAVIRELLE_COMMAND("extract", "PACKAGE DIR",
                  "copies the files the show refers to and its meta.xml into DIR",
                  RunExtract);
