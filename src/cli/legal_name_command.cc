// tavirelle legal-name [--] TEXT
#include <cstdio>

#include "api/package_api.h"
#include "cli/command.h"
#include "platform/code_page.h"

namespace tavirelle {

namespace {

int RunLegalName(const std::vector<std::string>& arguments) {
  std::vector<std::string> args = arguments;
  if (int status = ExpectOperands(args, 1, "legal-name")) return status;
  std::printf("%s\n", AnsiToUtf8(LegalFileName(Utf8ToAnsi(args[0]))).c_str());
  std::fflush(stdout);
  return 0;
}

}  // namespace

TAVIRELLE_COMMAND("legal-name", "[--] TEXT",
                  "prints TEXT made into a legal file name", RunLegalName);

}  // namespace tavirelle
