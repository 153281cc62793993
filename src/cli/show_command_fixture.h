// Shared by the tests of the package commands: runs the built tavirelle
// command and makes a small show folder to pack.
#ifndef TAVIRELLE_CLI_SHOW_COMMAND_FIXTURE_H_
#define TAVIRELLE_CLI_SHOW_COMMAND_FIXTURE_H_

#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "gtest/gtest.h"
#include "platform/file_system.h"
#include "testing/temp_dir.h"

namespace tavirelle {

struct CommandRun {
  int status = -1;
  std::string out, err;
};

class ShowCommandTest : public ::testing::Test {
 protected:
  // Runs "tavirelle ARGUMENTS" with `environment` ("NAME=value ...") in front;
  // `program` is another copy of the command to run.
  CommandRun Tavirelle(const std::string& arguments, const std::string& environment = "",
                       const std::string& program = TAVIRELLE_COMMAND_PATH) {
    std::string out = dir_.Join("stdout.txt"), err = dir_.Join("stderr.txt");
    std::string command = environment + " " + Quoted(program) + " " + arguments + " >'" + out +
                          "' 2>'" + err + "'";
    CommandRun run;
    int status = std::system(command.c_str());
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    ReadWholeFile(out, &run.out);
    ReadWholeFile(err, &run.err);
    return run;
  }

  static bool Exists(const std::string& path) {
    return GetFileSystem()->GetFileAttributes(path) != INVALID_FILE_ATTRIBUTES;
  }

  static std::string Quoted(const std::string& path) { return "'" + path + "'"; }

  std::string Read(const std::string& path) {
    std::string text;
    return ReadWholeFile(path, &text) ? text : "<missing>";
  }

  // A show folder as the authoring side leaves it, plus files that are not
  // packed. The description is UTF-8 with an accented, CDATA-wrapped title.
  std::string MakeShowFolder() {
    std::string folder = dir_.Join("My Show/");
    EXPECT_TRUE(GetFileSystem()->CreateDirectory(folder));
    meta_ =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<qx>\n\t<show>\n"
        "\t\t<title><![CDATA[Caf\xC3\xA9 & Co!]]></title>\n\t\t<icon>show_icon.jpg</icon>\n"
        "\t</show>\n\t<images>\n\t\t<image onlineFilename=\"photo.jpg\" />\n"
        "\t\t<image onlineFilename=\"clip.swf\" />\n\t</images>\n</qx>";
    EXPECT_TRUE(WriteWholeFile(folder + "meta.xml", meta_));
    EXPECT_TRUE(WriteWholeFile(folder + "photo.jpg", std::string(100000, 'p')));
    EXPECT_TRUE(WriteWholeFile(folder + "clip.swf", "video"));
    EXPECT_TRUE(WriteWholeFile(folder + "show_icon.jpg", "icon"));
    EXPECT_TRUE(WriteWholeFile(folder + "__w133_h100_photo.jpg", "thumb"));
    EXPECT_TRUE(WriteWholeFile(folder + "onlineInfo.xml",
                               "<onlineInfo><showCode> XY12 </showCode>"
                               "<modTime>2024-05-06 07:08:09</modTime></onlineInfo>"));
    EXPECT_TRUE(WriteWholeFile(folder + "localInfo.xml",
                               "<localInfo><localModified>TRUE</localModified></localInfo>"));
    EXPECT_TRUE(WriteWholeFile(folder + "notes.txt", "not packed"));
    return folder;
  }

  // Packs the show folder; returns the package's path.
  std::string PackShow() {
    std::string folder = MakeShowFolder();
    std::string target = dir_.Join("show.pkg");
    CommandRun run = Tavirelle("pack " + Quoted(folder) + " " + Quoted(target));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "written: " + target + "\n");
    return target;
  }

  TempDir dir_;
  std::string meta_;
};

}  // namespace tavirelle

#endif  // TAVIRELLE_CLI_SHOW_COMMAND_FIXTURE_H_
