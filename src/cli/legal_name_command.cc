// tavirelle legal-name [--] TEXT
#include <cstdio>

#include "cli/command.h"
#include "cli/file_io_session.h"
#include "com/bstr.h"
#include "platform/code_page.h"

namespace tavirelle {

namespace {

int RunLegalName(const std::vector<std::string>& arguments) {
  std::vector<std::string> args = arguments;
  if (int status = ExpectOperands(args, 1, "legal-name")) return status;
  FileIOSession session;
  std::string error;
  if (!session.Create(&error)) return Fail(error);
  ScopedBstr text(BstrFromAnsi(Utf8ToAnsi(args[0])));
  ScopedBstr legal;
  HRESULT hr = session->Utils_MakeLegalName(text.get(), legal.Receive());
  if (FAILED(hr)) return Fail(args[0] + ": " + HresultInWords(hr));
  std::printf("%s\n", AnsiToUtf8(legal.Ansi()).c_str());
  std::fflush(stdout);
  return 0;
}

}  // namespace

TAVIRELLE_COMMAND("legal-name", "[--] TEXT",
                  "prints TEXT made into a legal file name", RunLegalName);

}  // namespace tavirelle
