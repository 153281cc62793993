// Speed of the XML subsystem on a generated meta.xml (N images with three
// clips each; about 5 MB for 10,000 images), with pugixml parsing the same
// text as the yardstick when it is installed.
//
//   xml_bench --benchmark_filter=LoadText
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "xml/entity_table.h"
#include "xml/xml_document.h"

#ifdef TAVIRELLE_HAVE_PUGIXML
#include <pugixml.hpp>
#endif

namespace tavirelle {
namespace {

// A meta.xml as the authoring side writes it: the template's show block and
// one image element per photo, each with three clips.
std::string MakeMetaXml(int images) {
  XmlDocument document;
  XmlNode* qx = document.AddChild("qx");
  qx->SetAttr("version", "2");
  XmlNode* show = qx->AddChild("show");
  show->AddChild("title", "Summer at the lake & more!", true);
  show->AddChild("createdby", "Caf\xE9 Owner");
  show->AddChild("starring", "Everybody");
  show->AddChild("icon", "show_icon.jpg");
  XmlNode* list = qx->AddChild("images");
  char buffer[96];
  for (int i = 0; i < images; ++i) {
    XmlNode* image = list->AddChild("image");
    image->SetAttr("playback_width", "800");
    image->SetAttr("playback_height", "600");
    image->SetAttr("exif_date", "2024:07:14 12:30:45");
    image->SetAttr("rotation", "90");
    std::snprintf(buffer, sizeof buffer, "{6F9619FF-8B86-D011-B42D-%012d}.jpg", i);
    image->SetAttr("file", buffer);
    std::snprintf(buffer, sizeof buffer, "IMG_%05d (copy).JPG", i);
    image->SetAttr("original_filename", buffer);
    image->SetAttr("onlineFilename", image->AttrText("file"));
    image->SetAttr("display_date", "14.07.2024");
    XmlNode* clips = image->AddChild("clips");
    for (int c = 0; c < 3; ++c) {
      XmlNode* clip = clips->AddChild("clip");
      std::snprintf(buffer, sizeof buffer, "clipart\\star%d.swf", c);
      clip->SetAttr("file", buffer);
      clip->SetAttr("locX", "0.500000");
      clip->SetAttr("locY", "0.250000");
      clip->SetAttr("scale", "1.000000");
    }
  }
  return document.DocumentText();
}

const std::string& MetaXml(int images) {
  static std::map<int, std::string> texts;
  auto found = texts.find(images);
  if (found == texts.end()) found = texts.emplace(images, MakeMetaXml(images)).first;
  return found->second;
}

void BM_LoadText(benchmark::State& state) {
  const std::string& text = MetaXml(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    XmlDocument document;
    bool loaded = document.LoadText(text).ok();
    benchmark::DoNotOptimize(loaded);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
  state.counters["MB"] = static_cast<double>(text.size()) / 1e6;
}
BENCHMARK(BM_LoadText)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// The parse alone: the document is destroyed outside the timing.
void BM_LoadTextParseOnly(benchmark::State& state) {
  const std::string& text = MetaXml(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    auto document = std::make_unique<XmlDocument>();
    bool loaded = document->LoadText(text).ok();
    benchmark::DoNotOptimize(loaded);
    state.PauseTiming();
    document.reset();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_LoadTextParseOnly)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_DocumentText(benchmark::State& state) {
  const std::string& text = MetaXml(static_cast<int>(state.range(0)));
  XmlDocument document;
  document.LoadText(text);
  size_t size = 0;
  for (auto _ : state) {
    std::string written = document.DocumentText();
    size = written.size();
    benchmark::DoNotOptimize(written.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
}
BENCHMARK(BM_DocumentText)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// About 1 MB of display text heavy in characters that are written as entities.
const std::string& EntityHeavyText() {
  static const std::string text = [] {
    std::string piece = "Tom & Jerry's \"Caf\xE9\" <best> show! 100% fun\t\x80 ";
    std::string all;
    while (all.size() < (1u << 20)) all += piece;
    return all;
  }();
  return text;
}

void BM_Encode(benchmark::State& state) {
  const std::string& text = EntityHeavyText();
  XMLEntityTable table(DefaultXMLEntityTable());
  for (auto _ : state) {
    std::string encoded = table.Encode(text);
    benchmark::DoNotOptimize(encoded.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_Encode)->Unit(benchmark::kMillisecond);

void BM_Decode(benchmark::State& state) {
  XMLEntityTable writer(DefaultXMLEntityTable());
  const std::string encoded = writer.Encode(EntityHeavyText());
  XMLEntityTable table(DefaultXMLEntityTable());
  for (auto _ : state) {
    std::string decoded = table.Decode(encoded);
    benchmark::DoNotOptimize(decoded.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(encoded.size()));
}
BENCHMARK(BM_Decode)->Unit(benchmark::kMillisecond);

#ifdef TAVIRELLE_HAVE_PUGIXML
void BM_PugixmlParse(benchmark::State& state) {
  const std::string& text = MetaXml(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    pugi::xml_document document;
    pugi::xml_parse_result result = document.load_buffer(text.data(), text.size());
    benchmark::DoNotOptimize(result.status);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_PugixmlParse)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
}  // namespace tavirelle

BENCHMARK_MAIN();
