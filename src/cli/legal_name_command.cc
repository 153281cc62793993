// tavirelle legal-name [--] TEXT
#include <cstdio>

#include "cli/command.h"
#include "util/file_utils.h"

namespace tavirelle {

namespace {

int RunLegalName(const std::vector<std::string>& arguments) {
  std::vector<std::string> args = arguments;
  std::string unknown;
  if (!EndOfOptions(args, &unknown)) return Fail("unknown option " + unknown);
  if (args.size() != 1) return UsageError("legal-name");
  std::printf("%s\n", ToUtf8(MakeLegalName(ToAnsi(args[0]))).c_str());
  std::fflush(stdout);
  return 0;
}

}  // namespace

TAVIRELLE_COMMAND("legal-name", "[--] TEXT",
                  "prints TEXT made into a legal file name", RunLegalName);

}  // namespace tavirelle
