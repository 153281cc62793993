// tavirelle meta PACKAGE
#include <cstdio>

#include "cli/command.h"
#include "cli/file_io_session.h"
#include "platform/bstr.h"
#include "platform/code_page.h"

namespace {

int RunMeta(const std::vector<std::string>& args) {
  if (args.size() != 1) return UsageError("meta");
  FileIOSession session;
  std::string error;
  if (!session.Create(&error)) return Fail(error);
  if (!session.Open(args[0], false, &error)) return Fail(error);
  ScopedBstr meta;
  HRESULT status = session.get()->GetMetaXml(meta.Receive());
  if (status != S_OK) return Fail(args[0] + ": the show description cannot be read");
  if (meta.get() == nullptr) return Fail(args[0] + ": the package holds no meta.xml");
  std::string text = WideToUtf8(BstrView(meta.get()));
  std::fwrite(text.data(), 1, text.size(), stdout);
  return 0;
}

}  // namespace

TAVIRELLE_COMMAND("meta", "PACKAGE",
                  "prints the package's show description (meta.xml) as UTF-8; "
                  "a broken one is replaced by the newest usable version",
                  RunMeta);
