#include "metaxml/meta_xml_generator.h"

#include <string>

#include "metaxml/template_selector.h"
#include "com/bstr.h"
#include "show/qx_helper.h"
#include "util/file_utils.h"
#include "util/text.h"
#include "xml/encoding.h"
#include "xml/meta_text.h"
#include "xml/xml_document.h"

namespace tavirelle {

namespace {

std::string TextOf(IPhotoDesc* photo, HRESULT (IPhotoDesc::*getter)(BSTR*)) {
  ScopedBstr value;
  (photo->*getter)(value.Receive());
  return value.Ansi();
}

LONG NumberOf(IPhotoDesc* photo, HRESULT (IPhotoDesc::*getter)(LONG*)) {
  LONG value = 0;
  (photo->*getter)(&value);
  return value;
}

// The show changed, or a photo did: the photos are asked in order until one
// reads 1, and a last value other than 0 counts as a change.
bool AnyChange(const CQXHelper& show) {
  if (show.show_changed()) return true;
  LONG last = 0;
  for (IPhotoDesc* photo : show.photos()) {
    last = NumberOf(photo, &IPhotoDesc::get__Changed);
    if (last == 1) break;
  }
  return last != 0;
}

void RemoveFirstAttr(_tagXMLNode* node, const char* name) {
  if (_tagXMLAttr* attr = node->FindAttr(name)) node->RemoveAttr(attr);
}

void RemoveFirstChild(_tagXMLNode* node, const char* name) {
  if (_tagXMLNode* child = node->FindChild(name)) node->RemoveChild(child);
}

void ApplyMusicRule(_tagXMLNode* image, const std::string& music_path) {
  if (music_path.empty() || music_path == kMusicNone) {
    RemoveFirstChild(image, "music");
  } else if (music_path != kMusicDefault) {
    RemoveFirstChild(image, "music");
    image->SetChild("music", nullptr, false)->SetAttr("file", music_path.c_str());
  }
}

void AddClips(_tagXMLNode* image, IPhotoDesc* photo) {
  LONG count = NumberOf(photo, &IPhotoDesc::get_ClipCount);
  if (count <= 0) return;
  _tagXMLNode* clips = image->FindChild("clips");
  if (clips == nullptr) clips = image->SetChild("clips", nullptr, false);
  for (LONG i = 0; i < count; ++i) {
    IClip* clip = nullptr;
    if (FAILED(photo->GetClip(i, &clip)) || clip == nullptr) continue;
    ScopedBstr path;
    clip->get_Path(path.Receive());
    FLOAT x = 0, y = 0, scale = 0;
    clip->get_xPos(&x);
    clip->get_yPos(&y);
    clip->get_scale(&scale);
    clip->Release();
    _tagXMLNode* element = clips->AddChild("clip");
    element->SetAttr("file", path.Ansi().c_str());
    element->SetAttr("locX", FormatText("%f", static_cast<double>(x)).c_str());
    element->SetAttr("locY", FormatText("%f", static_cast<double>(y)).c_str());
    element->SetAttr("scale", FormatText("%f", static_cast<double>(scale)).c_str());
  }
}

void FillImage(_tagXMLNode* image, IPhotoDesc* photo, const std::string& music_path) {
  image->SetAttr("playback_width", FormatText("%i", 800).c_str());
  image->SetAttr("playback_height", FormatText("%i", 600).c_str());
  if (NumberOf(photo, &IPhotoDesc::get__IsVideo) == 0) {
    image->SetAttr("exif_date", TextOf(photo, &IPhotoDesc::get__PhotoDateTaken).c_str());
    RemoveFirstAttr(image, "videoLength");
    RemoveFirstAttr(image, "includeAudio");
    RemoveFirstAttr(image, "isVideo");
  }
  ApplyMusicRule(image, music_path);
  PhotoOrientation orientation = Degree0;
  photo->get_Orientation(&orientation);
  static const char* const kRotations[] = {"0", "90", "180", "270"};
  if (orientation >= Degree0 && orientation <= Degree270) {
    image->SetAttr("rotation", kRotations[orientation]);
  }
  std::string online_name = TextOf(photo, &IPhotoDesc::get__OnlineName);
  std::string original_name = TextOf(photo, &IPhotoDesc::get__OriginalName);
  std::string display_date = TextOf(photo, &IPhotoDesc::get__DisplayDate);
  image->SetAttr("file", online_name.c_str());
  image->SetAttr("original_filename", original_name.c_str());
  image->SetAttr("onlineFilename", online_name.c_str());
  image->SetAttr("display_date", display_date.c_str());
  AddClips(image, photo);
  RemoveFirstChild(image, "titles");
}

// Puts the show's texts into the template text. The texts are in the process
// code page; a template that the parser reads as UTF-8 gets them as UTF-8,
// or every letter outside ASCII would turn into "?". No text may change the
// document's structure (close a CDATA section, open an element), so the
// characters that could are percent-encoded, as the readers decode them.
void ReplacePlaceholders(const CQXHelper& show, std::string& text) {
  bool utf8 = LoadTextReadsUtf8(text);
  auto as_template_text = [&](const std::string& value) {
    std::string quoted = QuoteShowTextMarkup(value);
    return utf8 ? MbToUtf8(quoted) : quoted;
  };
  ReplaceAll(text, "%SHOW_TITLE%", as_template_text(show.title()));
  ReplaceAll(text, "%CREATED_BY%", as_template_text(show.creat_by()));
  ReplaceAll(text, "%STARRING%", as_template_text(show.starring()));
  ReplaceAll(text, "%ONE_CLICK_STYLE%", as_template_text(show.style_id()));
}

void WriteMetaXml(const CQXHelper& show, const CTemplateSelector& selector) {
  std::string name = selector.TemplateFileFor(show.style_id());
  std::string text = ReadTextFile(HostFolder() + name, -1);
  ReplacePlaceholders(show, text);
  _tagXMLDocument document;
  document.LoadText(text);
  _tagXMLNode* qx = document.FindChild("qx");
  _tagXMLNode* images = qx != nullptr ? qx->FindChild("images") : nullptr;
  if (images == nullptr) return;
  // Without an image template there is nothing to copy; no file is written.
  _tagXMLNode* image_template = images->ChildAt(images->ChildCount() - 1);
  if (image_template == nullptr) return;
  for (IPhotoDesc* photo : show.photos()) {
    FillImage(images->AddCopy(image_template), photo, show.music_path());
  }
  images->RemoveChild(image_template);
  SaveTextToFile(show.output_path() + "meta.xml", document.DocumentText());
}

}  // namespace

void GenerateShowMetaXml(CQXHelper& show) {
  if (!AnyChange(show)) return;
  CTemplateSelector selector("config.xml");
  if (!show.photos().empty()) WriteMetaXml(show, selector);
  show.set_show_changed(false);
  for (IPhotoDesc* photo : show.photos()) photo->put__Changed(0);
}

}  // namespace tavirelle
