// tavirelle xml FILE
//
// Loads FILE the way the system loads a style template or meta.xml and
// writes the document text back out, so that a template author can see what
// the system makes of a template, and why it does not load.
#include <cstdio>
#include <string>

#include "api/show_api.h"
#include "cli/command.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "util/file_utils.h"

namespace tavirelle {

namespace {

int RunXml(const std::vector<std::string>& arguments) {
  std::vector<std::string> args = arguments;
  if (int status = ExpectOperands(args, 1, "xml")) return status;
  const std::string path = Utf8ToAnsi(args[0]);
  if (FolderExists(DefaultFileSystem(), path)) return Fail(args[0] + ": a folder, not a file");
  LoadedXml loaded = LoadXmlFile(DefaultFileSystem(), path);
  // Nothing on stdout when it does not load: what a failed load leaves is
  // no document, and a script that keeps the output must not take it for
  // one.
  if (!loaded.status.ok()) {
    return Fail(args[0] + ": " +
                (loaded.status.words().empty() ? ErrorInWords(loaded.status.code())
                                               : loaded.status.words()));
  }
  const std::string& text = loaded.text;
  std::fwrite(text.data(), 1, text.size(), stdout);
  return std::fflush(stdout) == 0 && !std::ferror(stdout)
             ? 0
             : Fail("the document text cannot be written out");
}

}  // namespace

TAVIRELLE_COMMAND("xml", "FILE",
                  "prints FILE as the system loads and writes it; tells why it does not load",
                  RunXml);

}  // namespace tavirelle
