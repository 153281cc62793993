// Time of GenerateMetaXML for shows of many photos with three clips each;
// the time should grow linearly with the number of photos.
#include <benchmark/benchmark.h>

#include <string>

#include "com/bstr.h"
#include "platform/file_system.h"
#include "automation/clip.h"
#include "automation/photo_desc.h"
#include "automation/qx_helper.h"
#include "util/file_utils.h"

using namespace tavirelle;

namespace {

constexpr char kTemplate[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<qx>\n\t<show>\n\t\t<title><![CDATA["
    "%SHOW_TITLE%]]></title>\n\t</show>\n\t<images>\n\t\t<image transition=\"fade\">"
    "<music file=\"m.mp3\"/><titles/></image>\n\t</images>\n</qx>";

CQXHelper* MakeShow(int photos, const std::string& out) {
  auto* show = new CQXHelper();
  ScopedBstr folder(BstrFromAnsi(out)), title(u"Caf\u00E9 benchmark!");
  show->put_OutputPath(folder.get());
  show->put_Title(title.get());
  for (int i = 0; i < photos; ++i) {
    auto* photo = new CPhotoDesc();
    ScopedBstr name(BstrFromAnsi(NewGuidText(false) + ".jpg")), date(u"2026:06:21 20:45:10");
    photo->put__OnlineName(name.get());
    photo->put__OriginalName(name.get());
    photo->put__PhotoDateTaken(date.get());
    for (int c = 0; c < 3; ++c) {
      auto* clip = new CClip();
      ScopedBstr path(u"clipart\\star.swf");
      clip->put_Path(path.get());
      clip->put_xPos(0.25f * c);
      photo->AddClip(clip);
      clip->Release();
    }
    show->AppendPhoto(photo);
    photo->Release();
  }
  return show;
}

void BM_GenerateMetaXml(benchmark::State& state) {
  // The default style template, beside this program where it is looked up.
  SaveTextToFile(DefaultFileSystem(), HostFolder() + "base_meta.xml", kTemplate).IgnoreError();
  std::string out = "/tmp/tavirelle-meta-bench/";
  CreateFolderPath(DefaultFileSystem(), out).IgnoreError();
  CQXHelper* show = MakeShow(static_cast<int>(state.range(0)), out);
  for (auto _ : state) {
    show->set_show_changed(true);
    show->GenerateMetaXML();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  uint32_t bytes = 0;
  FileSizeOf(DefaultFileSystem(), out + "meta.xml", &bytes).IgnoreError();
  state.counters["bytes"] = static_cast<double>(bytes);
  show->Release();
}
BENCHMARK(BM_GenerateMetaXml)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// A call after which nothing changed: only the change flags are read, in
// order, so its time is one pass over the photos' _Changed.
void BM_GenerateMetaXmlUnchanged(benchmark::State& state) {
  SaveTextToFile(DefaultFileSystem(), HostFolder() + "base_meta.xml", kTemplate).IgnoreError();
  std::string out = "/tmp/tavirelle-meta-bench/";
  CreateFolderPath(DefaultFileSystem(), out).IgnoreError();
  CQXHelper* show = MakeShow(static_cast<int>(state.range(0)), out);
  show->GenerateMetaXML();
  for (auto _ : state) show->GenerateMetaXML();
  state.SetItemsProcessed(state.iterations() * state.range(0));
  show->Release();
}
BENCHMARK(BM_GenerateMetaXmlUnchanged)->Arg(10000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
