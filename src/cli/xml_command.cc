// tavirelle xml FILE
//
// Loads FILE the way the system loads a style template or meta.xml and
// writes the document text back out, so that a template author can see what
// the system makes of a template, and why it does not load.
#include <cstdio>
#include <string>

#include "cli/command.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "util/file_utils.h"
#include "xml/xml_document.h"

namespace tavirelle {

namespace {

int RunXml(const std::vector<std::string>& arguments) {
  std::vector<std::string> args = arguments;
  if (int status = ExpectOperands(args, 1, "xml")) return status;
  const std::string path = Utf8ToAnsi(args[0]);
  if (FolderExists(DefaultFileSystem(), path)) return Fail(args[0] + ": a folder, not a file");
  std::string bytes;
  Status read = ReadWholeFile(DefaultFileSystem(), path, &bytes);
  if (!read.ok()) return Fail(args[0] + ": " + ErrorInWords(read.code()));

  XmlDocument document;
  XMLParseResult result = document.LoadText(bytes);
  if (!result.ok()) {
    // Nothing on stdout: what a failed load leaves is no document, and a
    // script that keeps the output must not take it for one.
    if (result.error == XMLParseError::None) {
      return Fail(args[0] + ": does not load: no root element");
    }
    return Fail(args[0] + ": does not load: error " +
                std::to_string(static_cast<int>(result.error)) + " at " +
                std::to_string(result.position) + ": " + AnsiToUtf8(result.message));
  }
  const std::string text = document.DocumentText();
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
