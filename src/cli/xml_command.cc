// tavirelle xml FILE
//
// Loads FILE the way the system loads a style template or meta.xml and
// writes the document text back out, so that a template author can see what
// the system makes of a template, and why it does not load.
#include <cstdio>
#include <string>

#include "cli/command.h"
#include "platform/file_system.h"
#include "xml/xml_document.h"

namespace {

int RunXml(const std::vector<std::string>& args) {
  if (args.size() != 1) return UsageError("xml");
  std::string bytes;
  if (!ReadWholeFile(ToAnsi(args[0]), &bytes)) return Fail("cannot read '" + args[0] + "'");

  _tagXMLDocument document;
  bool loaded = document.LoadText(bytes);
  // The document text goes out as it is, also after a failed load.
  std::string text = document.DocumentText();
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
  if (loaded) return 0;

  const XMLParseOptions& result = document.parseOptions;
  if (result.failed) {
    std::fprintf(stderr, "error: %d at %zu: %s\n", static_cast<int>(result.errorCode),
                 result.errorPos, ToUtf8(result.errorMessage).c_str());
  } else {
    std::fprintf(stderr, "error: no root element\n");
  }
  return 1;
}

}  // namespace

TAVIRELLE_COMMAND("xml", "FILE",
                  "prints FILE as the system loads and writes it; tells why it does not load",
                  RunXml);
