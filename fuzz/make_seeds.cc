// Writes the seed inputs of every fuzz target, made by the system's own
// writers and the test builders, into DIR/<target>/:
//
//   make_seeds DIR [TEMPLATE_FOLDER]
//
// TEMPLATE_FOLDER holds the shipped style template and configuration, which
// seed the XML parser as they are.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "imaging/photo_image.h"
#include "package/show_package.h"
#include "platform/file_system.h"
#include "com/registrar.h"
#include "com/registry.h"
#include "shell/registration_scripts.h"
#include "testing/image_builder.h"
#include "testing/memory_file_system.h"
#include "testing/package_builder.h"
#include "util/md5.h"
#include "xml/xml_document.h"

using namespace tavirelle;

namespace {

namespace fs = std::filesystem;
using namespace testing_images;

std::string g_out;

void Seed(const std::string& target, const std::string& name, const std::string& bytes) {
  fs::create_directories(g_out + "/" + target);
  std::ofstream(g_out + "/" + target + "/" + name, std::ios::binary) << bytes;
}

std::string ReadHostFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const char kMeta[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<qx>\n\t<show>\n"
    "\t\t<title>Summer%20in+the &amp; hills &#x263A;</title>\n"
    "\t\t<createdBy><![CDATA[Ann &lt;Lee&gt;]]></createdBy>\n"
    "\t\t<starring>Bo, Cy</starring>\n\t\t<icon>a.jpg</icon>\n\t</show>\n"
    "\t<images>\n\t\t<image onlineFilename=\"a.jpg\" caption=\"first\"/>\n"
    "\t\t<image onlineFilename=\"b.jpg\"/>\n\t</images>\n</qx>\n";

void XmlSeeds(const std::string& templates) {
  Seed("xml_load_text", "meta", kMeta);
  XmlDocument document;
  XmlNode* root = document.AddChild("qx");
  root->SetAttr("version", "2 < 3 & \"4\"");
  root->AddChild("title", "caf\xE9 & co");
  root->AddChild("body", "<raw> ]]", true);
  XmlNode* list = root->AddChild("list");
  for (int i = 0; i < 3; ++i) list->AddChild("item")->SetAttr("n", std::to_string(i).c_str());
  Seed("xml_load_text", "written", document.DocumentText());
  Seed("xml_load_text", "comment",
       "<?xml version=\"1.0\" encoding=\"windows-1252\"?><!-- note --><a x='1' y=\"2\">t<b/></a>");
  if (!templates.empty()) {
    for (const char* name : {"base_meta.xml", "config.xml"}) {
      std::string text = ReadHostFile(templates + "/" + name);
      if (!text.empty()) Seed("xml_load_text", name, text);
    }
  }
}

void MetaTextSeeds() {
  Seed("meta_text", "title", std::string("title\n") + kMeta);
  Seed("meta_text", "image", std::string("image\n") + kMeta);
  Seed("meta_text", "cdata",
       "createdBy\n<createdBy><![CDATA[a%41+b&#65;&#x42;&frasl;]]></createdBy>");
}

void ImageSeeds() {
  Seed("jpeg_image", "rgb", EncodeJpeg(40, 30));
  Seed("jpeg_image", "grey", EncodeJpeg(17, 9, GradientPixel, {80, JpegColor::kGrey, false}));
  Seed("jpeg_image", "progressive", EncodeJpeg(33, 20, GradientPixel, {75, JpegColor::kRgb, true}));
  Seed("jpeg_image", "cmyk", EncodeJpeg(16, 16, GradientPixel, {90, JpegColor::kCmyk, false}));

  ExifBuilder exif;
  exif.ifd0.push_back(exif.Short(0x0112, 1));
  exif.exif.push_back(exif.Ascii(0x9003, "2009:07:14 18:02:11"));
  exif.exif.push_back(exif.Long(0xA002, 64));
  exif.exif.push_back(exif.Long(0xA003, 48));
  exif.preview = EncodeJpeg(16, 12);
  std::string photo = WithExif(EncodeJpeg(64, 48), exif);
  Seed("photo_metadata", "little", photo);
  Seed("jpeg_image", "exif", photo);
  ExifBuilder big(false);
  big.ifd0.push_back(big.Short(0x0112, 6));
  big.exif.push_back(big.Short(0xA002, 48));
  big.exif.push_back(big.Short(0xA003, 64));
  big.preview = EncodeJpeg(12, 16);
  Seed("photo_metadata", "big", WithExif(EncodeJpeg(48, 64), big, true));
  ExifBuilder bare;
  bare.ifd0.push_back(bare.Ascii(0x0132, "2010:01:02 03:04:05"));
  Seed("photo_metadata", "no_preview",
       WithSegments(WithExif(EncodeJpeg(8, 8), bare), {XmpSegment()}));

  auto pattern = [](uint32_t x, uint32_t y) { return (x * 7 + y * 3) & 0xFF; };
  BmpLayout bmp24{5, 3};
  bmp24.rows = StoredRows(5, 3, 24, [](uint32_t x, uint32_t y) { return x * 0x102030 + y; });
  Seed("bmp_image", "rgb24", BuildBmp(bmp24));
  BmpLayout bmp8{7, -4, 8};
  for (int i = 0; i < 256; ++i) {
    bmp8.table.push_back({uint8_t(i), uint8_t(255 - i), uint8_t(i / 2), 0});
  }
  bmp8.rows = StoredRows(7, -4, 8, pattern);
  Seed("bmp_image", "indexed8", BuildBmp(bmp8));
  BmpLayout bmp4{9, 2, 4};
  for (int i = 0; i < 16; ++i) bmp4.table.push_back({uint8_t(i * 16), 0, uint8_t(i), 0});
  bmp4.rows = StoredRows(9, 2, 4, [](uint32_t x, uint32_t) { return x & 15; });
  Seed("bmp_image", "indexed4", BuildBmp(bmp4));
  BmpLayout bmp1{13, 3, 1};
  bmp1.table = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  bmp1.rows = StoredRows(13, 3, 1, [](uint32_t x, uint32_t y) { return (x + y) & 1; });
  bmp1.headerSize = 12;
  Seed("bmp_image", "mono_core", BuildBmp(bmp1));
  BmpLayout bmp16{4, 4, 16, 3};
  bmp16.masks = {0xF800, 0x07E0, 0x001F};
  bmp16.rows = StoredRows(4, 4, 16, [](uint32_t x, uint32_t y) { return x * 0x0841 + y * 0x1000; });
  Seed("bmp_image", "masks16", BuildBmp(bmp16));
  BmpLayout bmp32{3, 2, 32, 3};
  bmp32.headerSize = 124;
  bmp32.masks = {0x00FF0000, 0x0000FF00, 0x000000FF};
  bmp32.rows = StoredRows(3, 2, 32, [](uint32_t x, uint32_t y) { return x * 0x010203 + y; });
  Seed("bmp_image", "v5_32", BuildBmp(bmp32));
  Seed("jpeg_image", "bmp_named_jpg", BuildBmp(bmp24));
}

void PackageSeeds() {
  MemoryFileSystem memory;
  memory.SetFile("/show/meta.xml", kMeta);
  memory.SetFile("/show/a.jpg", EncodeJpeg(8, 8));
  memory.SetFile("/show/b.jpg", EncodeJpeg(4, 4));
  memory.SetFile("/show/localInfo.xml", "<localInfo><modified>true</modified></localInfo>");
  memory.SetFile("/show/onlineInfo.xml",
                 "<onlineInfo><showCode> AB12 </showCode><modTime>1</modTime></onlineInfo>");
  memory.SetFile("/show/__w133_h100_a.jpg", EncodeJpeg(4, 3));
  memory.SetFile("/show/meta.xml.1", kMeta);
  memory.CreateDirectory("/out").IgnoreError();  // a new memory file system
  ShowPackage writer(memory);
  std::string name = "/out/show.qx";
  std::string bytes;
  if (writer.WritePackage(name, "/show").ok() && memory.GetFile(name, &bytes)) {
    Seed("package", "written", bytes);
  } else {
    std::fprintf(stderr, "make_seeds: the package writer failed\n");
  }

  // A package whose description is broken, with an older version to fall
  // back on.
  std::string broken = "<qx><show>";
  PackageBuilder b;
  b.Magic().DirectoryOffset();
  uint32_t offsets[3];
  b.StoredFile("meta.xml", broken, &offsets[0]);
  b.StoredFile("meta_1.xml", kMeta, &offsets[1]);
  b.StoredFile("a.jpg", "jpeg", &offsets[2]);
  b.DirectoryHead(3);
  b.Entry("meta.xml", offsets[0], broken.size(), Md5BufferHex(broken.data(), broken.size()));
  b.Entry("meta_1.xml", offsets[1], sizeof(kMeta) - 1, Md5BufferHex(kMeta, sizeof(kMeta) - 1));
  b.Entry("a.jpg", offsets[2], 4, Md5BufferHex("jpeg", 4));
  Seed("package", "fallback", b.PointAtDirectory().bytes());
}

void RegistrySeeds() {
  MemoryFileSystem memory;
  Registry registry(memory, "/registry");
  registry.SetValue("HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{1}", "", "Class");
  registry.SetValue("HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{1}\\InprocServer32", "",
                    "/usr/lib/x.so");
  registry.SetValue("HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{1}\\InprocServer32",
                    "ThreadingModel", "Apartment");
  registry.SetValue("HKEY_LOCAL_MACHINE\\Software\\Quotes", "a\"b", "c\\d\"e");
  // A hive that was not saved gives no seed.
  registry.Save().IgnoreError();
  std::string text;
  if (memory.GetFile("/registry/HKEY_LOCAL_MACHINE.reg", &text)) Seed("registry", "saved", text);
  Seed("registry", "typed",
       "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n"
       "\"n\"=dword:00000001\r\n\"h\"=hex:01,02,\\\r\n  03\r\n@=\"x\"\r\n"
       "[-HKEY_LOCAL_MACHINE\\B]\r\n");

  int index = 0;
  for (const char* script : {kAppIdScript, kClassScript, kTypeLibraryScript}) {
    Seed("registrar", "shipped" + std::to_string(index++), script);
  }
  Seed("registrar", "forms",
       "HKCU\n{\n  Delete Old\n  NoRemove Software\n  {\n    ForceRemove 'My Key' = s '100%%'\n"
       "    {\n      val Count = d '42'\n      val Path = s '%MODULE%'\n    }\n  }\n}\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: make_seeds DIR [TEMPLATE_FOLDER]\n");
    return 2;
  }
  g_out = argv[1];
  XmlSeeds(argc > 2 ? argv[2] : "");
  MetaTextSeeds();
  ImageSeeds();
  PackageSeeds();
  RegistrySeeds();
  return 0;
}
