// Shared by the tests of the command: runs the built tavirelle command as a
// user would, reads and writes files under names of any script, and makes a
// small show folder to pack.
#ifndef TAVIRELLE_TESTING_SHOW_COMMAND_FIXTURE_H_
#define TAVIRELLE_TESTING_SHOW_COMMAND_FIXTURE_H_

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "gtest/gtest.h"
#include "platform/file_system.h"
#include "testing/run_command.h"
#include "testing/temp_dir.h"

namespace tavirelle {

// The file at a UTF-8 path, read behind the platform layer (which takes
// paths for code-page text); "<missing>" when it cannot be read.
inline std::string ReadUtf8Path(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return "<missing>";
  std::string text;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) text.append(buffer, n);
  std::fclose(f);
  return text;
}

// Writes a file at a UTF-8 path behind the platform layer, which would
// refuse names outside the code page.
inline void WriteUtf8Path(const std::string& path, const std::string& text) {
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr) << path;
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
}

// Starts the built command with `arguments` in the background, its output
// going to the file `out` and its errors to the descriptor `err` (/dev/null
// when -1). -1 when it cannot be started.
inline pid_t StartTavirelle(const std::vector<std::string>& arguments,
                            const std::string& out = "/dev/null", int err = -1) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (err < 0) {
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  } else {
    posix_spawn_file_actions_adddup2(&actions, err, 2);
  }
  const std::string program = TAVIRELLE_COMMAND_PATH;
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// How long a test waits for what must come at once, before it calls the
// wait a failure: far beyond any machine's slowness, far below CTest's
// time-out, so that a command that never stops fails the test instead of
// hanging it.
inline constexpr std::chrono::seconds kPatience{60};

// Waits until `done` holds, looking every few milliseconds; false when it
// still does not after kPatience.
inline bool WaitUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// Waits for the process `pid` to end and gives its wait status; when it has
// not ended after kPatience it is killed, and the result is false.
inline bool WaitForExit(pid_t pid, int* status) {
  const bool ended = WaitUntil([&] { return ::waitpid(pid, status, WNOHANG) == pid; });
  if (!ended) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, status, 0);
  }
  return ended;
}

class ShowCommandTest : public ::testing::Test {
 protected:
  // Runs "tavirelle ARGUMENTS" with the arguments split as a shell splits a
  // typed line (Quoted makes any path one word). `program` is another copy
  // of the command to run.
  CommandRun Tavirelle(const std::string& arguments, const CommandOptions& options = {},
                       const std::string& program = TAVIRELLE_COMMAND_PATH) {
    return RunCommand({"/bin/sh", "-c", "exec \"$0\" " + arguments, program}, options);
  }
  // The same with the arguments given one by one, as no shell reads them.
  CommandRun RunTavirelle(std::vector<std::string> arguments,
                          const CommandOptions& options = {}) {
    arguments.insert(arguments.begin(), TAVIRELLE_COMMAND_PATH);
    return RunCommand(arguments, options);
  }

  // The same, run from the test's folder.
  CommandRun TavirelleHere(const std::string& arguments) {
    return Tavirelle(arguments, In(dir_.path()));
  }
  static CommandOptions In(const std::string& folder) {
    CommandOptions options;
    options.folder = folder;
    return options;
  }
  // Run with these changes to the environment ("NAME=value", or "NAME" to
  // remove it).
  static CommandOptions Env(std::vector<std::string> changes) {
    CommandOptions options;
    options.environment = std::move(changes);
    return options;
  }
  // Run with `folder` for the command's scratch files.
  static CommandOptions Scratch(const std::string& folder) { return Env({"TMPDIR=" + folder}); }

  static bool Exists(const std::string& path) {
    DWORD attributes = 0;
    return DefaultFileSystem().GetFileAttributes(path, &attributes).ok();
  }

  static std::string Quoted(const std::string& path) { return ShellQuoted(path); }

  std::string Read(const std::string& path) {
    std::string text;
    return ReadWholeFile(DefaultFileSystem(), path, &text).ok() ? text : "<missing>";
  }

  // A show folder as the authoring side leaves it, plus files that are not
  // packed. The description is UTF-8 with an accented, CDATA-wrapped title.
  std::string MakeShowFolder() {
    std::string folder = dir_.Join("My Show/");
    EXPECT_TRUE(DefaultFileSystem().CreateDirectory(folder).ok());
    meta_ =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<qx>\n\t<show>\n"
        "\t\t<title><![CDATA[Caf\xC3\xA9 & Co!]]></title>\n\t\t<icon>show_icon.jpg</icon>\n"
        "\t</show>\n\t<images>\n\t\t<image onlineFilename=\"photo.jpg\" />\n"
        "\t\t<image onlineFilename=\"clip.swf\" />\n\t</images>\n</qx>";
    EXPECT_TRUE(WriteWholeFile(DefaultFileSystem(), folder + "meta.xml", meta_).ok());
    EXPECT_TRUE(
        WriteWholeFile(DefaultFileSystem(), folder + "photo.jpg", std::string(100000, 'p')).ok());
    EXPECT_TRUE(WriteWholeFile(DefaultFileSystem(), folder + "clip.swf", "video").ok());
    EXPECT_TRUE(WriteWholeFile(DefaultFileSystem(), folder + "show_icon.jpg", "icon").ok());
    EXPECT_TRUE(
        WriteWholeFile(DefaultFileSystem(), folder + "__w133_h100_photo.jpg", "thumb").ok());
    EXPECT_TRUE(WriteWholeFile(DefaultFileSystem(), folder + "onlineInfo.xml",
                               "<onlineInfo><showCode> XY12 </showCode>"
                               "<modTime>2024-05-06 07:08:09</modTime></onlineInfo>")
                    .ok());
    EXPECT_TRUE(WriteWholeFile(DefaultFileSystem(), folder + "localInfo.xml",
                               "<localInfo><localModified>TRUE</localModified></localInfo>")
                    .ok());
    EXPECT_TRUE(WriteWholeFile(DefaultFileSystem(), folder + "notes.txt", "not packed").ok());
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

#endif  // TAVIRELLE_TESTING_SHOW_COMMAND_FIXTURE_H_
