// How every command reads its options: wrong arguments are a usage error
// (status 2, one line), and an option's value may follow an "=".
#include <algorithm>
#include <regex>

#include "testing/image_builder.h"
#include "testing/show_command_fixture.h"

namespace tavirelle {

namespace {

class UsageTest : public ShowCommandTest {
 protected:
  void SetUp() override {
    package_ = PackShow();
    photo_ = dir_.Join("photo.jpg");
    ASSERT_TRUE(
        WriteWholeFile(DefaultFileSystem(), photo_, testing_images::EncodeJpeg(64, 48)).ok());
  }
  std::string package_, photo_;
};

TEST_F(UsageTest, WrongArgumentsExitTwoWithOneLine) {
  const std::string pkg = Quoted(package_), photo = Quoted(photo_);
  const std::string out = Quoted(dir_.Join("out"));
  const std::string cases[] = {
      "meta --bogus " + pkg,
      "info --bogus " + pkg,
      "list --bogus " + pkg,
      "verify --bogus " + pkg,
      "extract --bogus " + pkg + " " + out,
      "pack --bogus " + Quoted(dir_.Join("My Show")) + " " + out,
      "exif --bogus " + photo,
      "xml --bogus " + photo,
      "legal-name --bogus x",
      "play --bogus " + pkg,
      "demo --bogus",
      "register --bogus",
      "author --out " + out + " --bogus " + photo,
      "thumbnail --bogus " + photo + " " + out,
      "thumbnail --out-dir " + out + " --bogus " + photo,
      // Values an option cannot take, in either spelling.
      "verify --jobs 0 " + pkg,
      "verify --jobs=257 " + pkg,
      "extract --jobs=x " + pkg + " " + out,
      "author --out " + out + " --jobs=0 " + photo,
      "author --out " + out + " --orientation=9 " + photo,
      "author --out= " + photo,
      "thumbnail --jobs 0 --out-dir " + out + " " + photo,
      "thumbnail --width=0 " + photo + " " + out,
      "thumbnail " + photo + " " + out + " --quality=101",
      "thumbnail --out-dir=" + out,
      "thumbnail --out-dir= " + photo,
      "register --registry=",
      // Operands missing or too many.
      "verify",
      "extract " + pkg,
      "exif " + photo + " " + photo,
      "play",
  };
  for (const std::string& arguments : cases) {
    SCOPED_TRACE(arguments);
    CommandRun run = Tavirelle(arguments);
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  }
  EXPECT_FALSE(Exists(dir_.Join("out")));
}

// "--name=VALUE" is "--name VALUE": the same work, the same output.
TEST_F(UsageTest, AnOptionsValueMayFollowAnEqualsSign) {
  const std::string pkg = Quoted(package_), photo = Quoted(photo_);
  const struct {
    std::string spaced, joined;  // "@" stands for the output of the run
  } cases[] = {
      {"verify --jobs 2 " + pkg, "verify --jobs=2 " + pkg},
      {"extract --jobs 1 " + pkg + " @", "extract --jobs=1 " + pkg + " @"},
      {"info " + pkg + " --out @", "info " + pkg + " --out=@"},
      {"exif " + photo + " --preview @", "exif " + photo + " --preview=@"},
      {"thumbnail " + photo + " @ --width 30 --height 20 --quality 50",
       "thumbnail " + photo + " @ --width=30 --height=20 --quality=50"},
      {"thumbnail --jobs 1 --out-dir @ " + photo, "thumbnail --jobs=1 --out-dir=@ " + photo},
      {"author --out @ --title T --starring S --created-by C --music none "
       "--display-date D --orientation 1 --jobs 1 " +
           photo,
       "author --out=@ --title=T --starring=S --created-by=C --music=none "
       "--display-date=D --orientation=1 --jobs=1 " +
           photo},
      {"play " + pkg + " --out @", "play " + pkg + " --out=@"},
      {"register --user --registry @", "register --user --registry=@"},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.joined);
    std::string outputs[2];
    for (int form = 0; form < 2; ++form) {
      std::string arguments = form == 0 ? c.spaced : c.joined;
      const std::string at = dir_.Join("o" + std::to_string(n++));
      if (arguments.find('@') != std::string::npos) arguments.replace(arguments.find('@'), 1, at);
      CommandRun run = Tavirelle(arguments);
      EXPECT_EQ(run.status, 0) << run.err;
      EXPECT_EQ(run.err, "");
      // A show made by author tells its texts and orientation in meta.xml.
      outputs[form] = run.out + ReadUtf8Path(at + "/meta.xml");
      // The output names its own folder and photo copies; the rest must be
      // alike.
      for (size_t found; (found = outputs[form].find(at)) != std::string::npos;) {
        outputs[form].replace(found, at.size(), "@");
      }
      static const std::regex kGuid("[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}");
      outputs[form] = std::regex_replace(outputs[form], kGuid, "GUID");
    }
    EXPECT_EQ(outputs[0], outputs[1]);
  }
}

}  // namespace

}  // namespace tavirelle
