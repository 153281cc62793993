// Hostile files whose headers claim far more than they hold: each is opened
// in a child process whose address space is limited to 512 MiB and whose
// time is bounded, so that a reader that believes a count or a size, or
// loops on a cut-off text, dies there instead of passing.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "imaging/photo_image.h"
#include "package/show_info.h"
#include "package/show_package.h"
#include "platform/file_system.h"
#include "testing/image_builder.h"
#include "testing/memory_file_system.h"
#include "testing/package_builder.h"
#include "util/md5.h"
#include "metaxml/meta_text.h"
#include "xml/xml_document.h"

namespace tavirelle {

#if defined(__SANITIZE_ADDRESS__)
#define TAVIRELLE_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TAVIRELLE_UNDER_ASAN 1
#endif
#endif

namespace {

using namespace testing_images;

constexpr rlim_t kAddressSpace = rlim_t{512} << 20;
constexpr unsigned kSeconds = 60;

// What the child does with the files: true when the system answered as it
// must (refused the file, or read only what is there).
using Check = std::function<bool(MemoryFileSystem& files)>;

struct Hostile {
  const char* name;
  std::function<void(MemoryFileSystem& files)> make;
  Check check;
};

// Runs `c` in a child under the bounds; "" when it passed, else what went
// wrong.
std::string RunBounded(const Hostile& c) {
  pid_t child = fork();
  if (child < 0) return "fork failed";
  if (child == 0) {
#ifndef TAVIRELLE_UNDER_ASAN
    rlimit limit{kAddressSpace, kAddressSpace};
    if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(3);
#endif
    alarm(kSeconds);
    // Nothing may unwind into the test framework's copy in this process.
    try {
      MemoryFileSystem files;
      c.make(files);
      _exit(c.check(files) ? 0 : 1);
    } catch (...) {
      _exit(2);
    }
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child) return "waitpid failed";
  if (WIFSIGNALED(status)) {
    int sig = WTERMSIG(status);
    return sig == SIGALRM ? "did not finish in time" : "died of signal " + std::to_string(sig);
  }
  if (WEXITSTATUS(status) == 1) return "wrong result";
  if (WEXITSTATUS(status) == 2) return "threw (out of memory?)";
  if (WEXITSTATUS(status) != 0) return "exit " + std::to_string(WEXITSTATUS(status));
  return "";
}

std::string Md5Of(const std::string& data) { return Md5BufferHex(data.data(), data.size()); }

void PackageWithHugeDirectoryCount(MemoryFileSystem& files) {
  PackageBuilder b;
  b.Magic().DirectoryOffset();
  uint32_t a = 0;
  b.StoredFile("a.jpg", "A", &a);
  b.DirectoryHead(0x7FFFFFFF).Entry("a.jpg", a, 1, Md5Of("A"));
  files.SetFile("/p.pkg", b.PointAtDirectory().bytes());
}

void PackageWithHugeEntry(MemoryFileSystem& files) {
  PackageBuilder b;
  b.Magic().DirectoryOffset();
  uint32_t a = 0, m = 0;
  const std::string meta =
      "<qx><show></show><images><image onlineFilename=\"a.jpg\"/></images></qx>";
  b.StoredFile("a.jpg", "A", &a).StoredFile("meta.xml", meta, &m);
  b.DirectoryHead(2).Entry("a.jpg", a, 0xFFFFFFFF, Md5Of("A"));
  b.Entry("meta.xml", m, static_cast<uint32_t>(meta.size()), Md5Of(meta));
  files.SetFile("/p.pkg", b.PointAtDirectory().bytes());
}

// A show description of 10 MB whose first image's name never ends.
void PackageWithEndlessValue(MemoryFileSystem& files) {
  std::string meta = "<qx><show><title>T</title><icon>x.jpg</icon></show><images>"
                     "<image onlineFilename=\"";
  meta.append(10u << 20, 'n');
  PackageBuilder b;
  b.Magic().DirectoryOffset();
  uint32_t m = 0;
  b.StoredFile("meta.xml", meta, &m);
  b.DirectoryHead(1).Entry("meta.xml", m, static_cast<uint32_t>(meta.size()), Md5Of(meta));
  files.SetFile("/p.pkg", b.PointAtDirectory().bytes());
}

bool LoadFails(FileSystem& fs, const std::string& path, uint32_t boxWidth, uint32_t boxHeight) {
  PhotoImage image(fs);
  DecodedImage decoded;
  return !image.Load(path, {boxWidth, boxHeight}, &decoded).ok();
}

std::string NestedXml(size_t depth) {
  std::string text;
  text.reserve(depth * 7);
  for (size_t i = 0; i < depth; ++i) text += "<a>";
  for (size_t i = 0; i < depth; ++i) text += "</a>";
  return text;
}

const Hostile kCases[] = {
    {"DirectoryCountOfTwoBillion", PackageWithHugeDirectoryCount,
     [](MemoryFileSystem& files) {
       std::vector<PackageEntry> entries;
       ShowPackage package(files);
       return !ReadDirectory(files, "/p.pkg", entries).ok() &&
              !package.OpenPackage("/p.pkg", true).ok();
     }},
    {"EntryOfFourGigabytes", PackageWithHugeEntry,
     [](MemoryFileSystem& files) {
       ShowPackage package(files);
       if (!package.OpenPackage("/p.pkg", true).ok()) return true;
       std::string data;
       bool read = package.ReadEntry("a.jpg", &data);
       QuickShowInfo(package);
       return !read && data.size() < 4096;
     }},
    {"DescriptionValueWithoutClosingQuote", PackageWithEndlessValue,
     [](MemoryFileSystem& files) {
       ShowPackage package(files);
       if (!package.OpenPackage("/p.pkg", false).ok()) return false;
       ShowInfo info = QuickShowInfo(package);
       package.GetMetaText();
       return info.title == "T";
     }},
    {"ExifCountOfFourBillion",
     [](MemoryFileSystem& files) {
       ExifBuilder exif;
       exif.ifd0.push_back(exif.Raw(0x0132, kAscii, 0xFFFFFFFF, 8));
       exif.exif.push_back(exif.Raw(0xA002, kLong, 0xFFFFFFFF, 8));
       exif.preview = EncodeJpeg(8, 8);
       exif.previewLength = 0xFFFFFFFF;
       files.SetFile("/photo.jpg", WithExif(EncodeJpeg(16, 16), exif));
     },
     [](MemoryFileSystem& files) {
       PhotoImage image(files);
       PhotoMetadata info;
       bool kept = image.ReadPhotoMetadata("/photo.jpg", "/thumb.jpg", &info).kept();
       std::string thumb;
       files.GetFile("/thumb.jpg", &thumb);
       return !kept && info.dateTaken.empty() && thumb.size() < 4096;
     }},
    {"BitmapOf65535Squared",
     [](MemoryFileSystem& files) {
       BmpLayout bmp{65535, 65535};
       bmp.rows = std::string(300, '\x7F');
       files.SetFile("/big.bmp", BuildBmp(bmp));
     },
     [](MemoryFileSystem& files) {
       return LoadFails(files, "/big.bmp", 0, 0) && LoadFails(files, "/big.bmp", 160, 120);
     }},
    {"JpegClaiming65500Squared",
     [](MemoryFileSystem& files) {
       files.SetFile("/big.jpg", WithFrameSize(EncodeJpeg(16, 16), 65500, 65500));
     },
     [](MemoryFileSystem& files) {
       int32_t width = 0, height = 0;
       bool sized = ReadImageSize(files, "/big.jpg", &width, &height);
       return sized && width == 65500 && height == 65500 && LoadFails(files, "/big.jpg", 0, 0) &&
              LoadFails(files, "/big.jpg", 160, 120);
     }},
    // A progressive photo keeps all its coefficients while it decodes:
    // 3.2 GB for these 40000 x 40000 grey pixels, whatever the box. Padded
    // to the size such a file has, so that only that bound can refuse it.
    {"ProgressiveJpegClaiming40000Squared",
     [](MemoryFileSystem& files) {
       JpegOptions options;
       options.progressive = true;
       options.color = JpegColor::kGrey;
       std::vector<std::string> padding(90, Segment(0xFE, std::string(65000, 'x')));
       files.SetFile(
           "/big.jpg",
           WithSegments(WithFrameSize(EncodeJpeg(16, 16, GradientPixel, options), 40000, 40000),
                        padding));
     },
     [](MemoryFileSystem& files) {
       PhotoImage image(files);
       DecodedImage decoded;
       const PictureOutcome outcome = image.Load("/big.jpg", {133, 100}, &decoded);
       return outcome.failure == PictureFailure::kTooLarge && outcome.multiScan &&
              outcome.source.width == 40000;
     }},
    {"XmlNested100000Deep", [](MemoryFileSystem&) {},
     [](MemoryFileSystem&) {
       XmlDocument document;
       XMLParseResult result = document.LoadText(NestedXml(100000));
       return !result.ok() && result.error == XMLParseError::NestingTooDeep;
     }},
    {"AttributeWithoutClosingQuoteAfter10MB", [](MemoryFileSystem&) {},
     [](MemoryFileSystem&) {
       std::string text = "<qx><show><title>";
       text.append(10u << 20, 't');
       text += "</title></show><images><image onlineFilename=\"a.jpg";
       XmlDocument document;
       bool loaded = document.LoadText(text).ok();
       std::string head = ExtractElementText(text, "image", nullptr);
       return !loaded && head.empty();
     }},
};

class ResourceBounds : public testing::TestWithParam<Hostile> {};

TEST_P(ResourceBounds, HostileFileIsRefusedWithinBounds) {
  EXPECT_EQ(RunBounded(GetParam()), "");
}

INSTANTIATE_TEST_SUITE_P(Files, ResourceBounds, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Hostile>& info) {
                           return std::string(info.param.name);
                         });

// The bounds themselves hold: a child that allocates past them dies.
TEST(ResourceBoundsHarness, AllocationBeyondTheLimitFails) {
#ifdef TAVIRELLE_UNDER_ASAN
  GTEST_SKIP() << "the address sanitizer reserves more address space than the limit";
#else
  Hostile greedy{"greedy", [](MemoryFileSystem&) {},
                 [](MemoryFileSystem&) {
                   std::string huge(size_t{600} << 20, 'x');
                   return huge[12345] == 'x';
                 }};
  EXPECT_NE(RunBounded(greedy), "");
#endif
}

}  // namespace

}  // namespace tavirelle
