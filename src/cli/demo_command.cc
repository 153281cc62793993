// tavirelle demo: the whole road on the bundled sample photos, each step
// through the same command a user would type.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/command.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/host.h"
#include "util/file_utils.h"

namespace tavirelle {

namespace {

int RunStep(const char* what, const std::vector<std::string>& command) {
  std::printf("\n== %s\n$ tavirelle", what);
  for (const auto& word : command) {
    bool quote = word.find_first_of(" &!") != std::string::npos;
    std::printf(quote ? " '%s'" : " %s", word.c_str());
  }
  std::printf("\n");
  std::fflush(stdout);
  for (const Command& c : Commands()) {
    if (command[0] != c.name) continue;
    int status = c.run(std::vector<std::string>(command.begin() + 1, command.end()));
    std::fflush(stdout);
    return status;
  }
  return Fail(std::string("no command ") + command[0]);
}

int RunDemo(const std::vector<std::string>& arguments) {
  std::vector<std::string> args = arguments;
  std::string unknown;
  if (!EndOfOptions(args, &unknown)) return UsageFail("unknown option " + unknown);
  if (args.size() > 1) return UsageError("demo");
  // Beside the program in the build tree, in the data folder once installed.
  std::vector<std::string> photos;
  std::vector<std::string> searched;
  for (const std::string& folder : {HostFolder(), InstalledDataFolder()}) {
    if (folder.empty()) continue;
    std::string samples = folder + "sample-photos/";
    searched.push_back(AnsiToUtf8(samples));
    for (const char* pattern : {"*.jpg", "*.bmp"}) {
      for (const auto& path : FindFiles(DefaultFileSystem(), samples + pattern))
        photos.push_back(AnsiToUtf8(path));
    }
    if (!photos.empty()) break;
  }
  if (photos.empty()) {
    std::string where;
    for (const std::string& folder : searched) where += (where.empty() ? "" : " or ") + folder;
    return Fail("no sample photos in " + where);
  }

  std::string dir =
      args.empty() ? AnsiToUtf8(MakeUniqueName(DefaultFileSystem(), "tavirelle-demo")) : args[0];
  std::vector<FindData> found;
  if (DefaultFileSystem().Find(Utf8ToAnsi(dir) + "/*", &found).ok() && found.size() > 2) {
    return Fail(dir + " is not empty; give the demo a new folder");
  }
  std::string show = dir + "/show";
  std::string package = dir + "/Summer by the sea.tavirelle";
  std::string extracted = dir + "/extracted";
  std::string player = dir + "/player";

  std::vector<std::string> author = {"author", "--out", show, "--title", "Summer by the sea!",
                                     "--created-by", "Tavirelle demo", "--starring",
                                     "Sun, hills & a lighthouse", "--music", "default",
                                     "--display-date", "June 2026"};
  author.insert(author.end(), photos.begin(), photos.end());
  struct Step {
    const char* what;
    std::vector<std::string> command;
  } steps[] = {
      {"Author a show: import each photo (copy, date, thumbnail) and write meta.xml",
       author},
      {"Pack the show folder into one package", {"pack", show, package}},
      {"List the package's directory (name, offset, size, MD5)", {"list", package}},
      {"Check every entry against its MD5", {"verify", package}},
      {"Ask the package about its show", {"info", package}},
      {"Extract the show for playback", {"extract", package, extracted}},
      {"Write a player for the show: open its index.html in a browser",
       {"play", package, "--out", player}},
  };
  for (const auto& step : steps) {
    int status = RunStep(step.what, step.command);
    if (status != 0) return status;
  }
  std::printf("\ndemo: done; everything is in %s\nwatch the show: %s/index.html\n", dir.c_str(),
              player.c_str());
  return 0;
}

}  // namespace

TAVIRELLE_COMMAND("demo", "[--] [DIR]",
                  "authors, packs, inspects, verifies and extracts a show made of the "
                  "bundled sample photos and writes its player, in DIR (a new folder)",
                  RunDemo);

}  // namespace tavirelle
