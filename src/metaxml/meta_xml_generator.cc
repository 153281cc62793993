#include "metaxml/meta_xml_generator.h"

#include <string>

#include "metaxml/meta_text.h"
#include "platform/code_page.h"
#include "util/file_utils.h"
#include "util/text.h"
#include "xml/encoding.h"
#include "xml/xml_document.h"

namespace tavirelle {

namespace {

void RemoveFirstAttr(XmlNode* node, const char* name) {
  if (XmlAttr* attr = node->FindAttr(name)) node->RemoveAttr(attr);
}

void RemoveFirstChild(XmlNode* node, const char* name) {
  if (XmlNode* child = node->FindChild(name)) node->RemoveChild(child);
}

void ApplyMusicRule(XmlNode* image, const std::string& music_path) {
  if (music_path.empty() || music_path == kMusicNone) {
    RemoveFirstChild(image, "music");
  } else if (music_path != kMusicDefault) {
    RemoveFirstChild(image, "music");
    image->SetChild("music", nullptr, /*asCData=*/false)->SetAttr("file", music_path.c_str());
  }
}

void AddClips(XmlNode* image, const std::vector<ClipDescription>& clips) {
  if (clips.empty()) return;
  XmlNode* element = image->FindChild("clips");
  if (element == nullptr) element = image->SetChild("clips", nullptr, /*asCData=*/false);
  for (const ClipDescription& clip : clips) {
    XmlNode* child = element->AddChild("clip");
    child->SetAttr("file", clip.path.c_str());
    child->SetAttr("locX", FormatText("%f", static_cast<double>(clip.x)).c_str());
    child->SetAttr("locY", FormatText("%f", static_cast<double>(clip.y)).c_str());
    child->SetAttr("scale", FormatText("%f", static_cast<double>(clip.scale)).c_str());
  }
}

void FillImage(XmlNode* image, const PhotoDescription& photo, const std::string& music_path) {
  image->SetAttr("playback_width", FormatText("%i", 800).c_str());
  image->SetAttr("playback_height", FormatText("%i", 600).c_str());
  if (!photo.is_video) {
    image->SetAttr("exif_date", photo.date_taken.c_str());
    RemoveFirstAttr(image, "videoLength");
    RemoveFirstAttr(image, "includeAudio");
    RemoveFirstAttr(image, "isVideo");
  }
  ApplyMusicRule(image, music_path);
  static const char* const kRotations[] = {"0", "90", "180", "270"};
  if (photo.orientation >= 0 && photo.orientation <= 3) {
    image->SetAttr("rotation", kRotations[photo.orientation]);
  }
  image->SetAttr("file", photo.online_name.c_str());
  image->SetAttr("original_filename", photo.original_name.c_str());
  image->SetAttr("onlineFilename", photo.online_name.c_str());
  image->SetAttr("display_date", photo.display_date.c_str());
  AddClips(image, photo.clips);
  RemoveFirstChild(image, "titles");
}

// Puts the show's texts into the template text. The texts are in the process
// code page; a template that the parser reads as UTF-8 gets them as UTF-8,
// or every letter outside ASCII would turn into "?". No text may change the
// document's structure (close a CDATA section, open an element), so the
// characters that could are percent-encoded, as the readers decode them.
void ReplacePlaceholders(const ShowDescription& show, std::string& text) {
  bool utf8 = LoadTextReadsUtf8(text);
  auto as_template_text = [&](const std::string& value) {
    std::string quoted = QuoteShowTextMarkup(value);
    return utf8 ? AnsiToUtf8(quoted.c_str()) : quoted;
  };
  ReplaceAll(text, "%SHOW_TITLE%", as_template_text(show.title));
  ReplaceAll(text, "%CREATED_BY%", as_template_text(show.created_by));
  ReplaceAll(text, "%STARRING%", as_template_text(show.starring));
  ReplaceAll(text, "%ONE_CLICK_STYLE%", as_template_text(show.style_id));
}

}  // namespace

bool MetaXmlIsOutOfDate(bool show_changed, size_t photo_count,
                        const std::function<int32_t(size_t)>& photo_changed) {
  if (show_changed) return true;
  int32_t last = 0;
  for (size_t i = 0; i < photo_count; ++i) {
    last = photo_changed(i);
    if (last == 1) break;
  }
  return last != 0;
}

Status ComposeMetaXml(const ShowDescription& show, const CTemplateSelector& templates,
                      std::string* text) {
  std::string filled;
  Status read = templates.ReadTemplate(show.style_id, &filled);
  if (!read.ok()) return read;
  ReplacePlaceholders(show, filled);
  XmlDocument document;
  document.LoadText(filled);
  XmlNode* qx = document.FindChild("qx");
  XmlNode* images = qx != nullptr ? qx->FindChild("images") : nullptr;
  if (images == nullptr) return Status::Error(ERROR_INVALID_DATA);
  // Without an image template there is nothing to copy.
  XmlNode* image_template = images->ChildAt(images->ChildCount() - 1);
  if (image_template == nullptr) return Status::Error(ERROR_INVALID_DATA);
  for (const PhotoDescription& photo : show.photos) {
    FillImage(images->AddCopy(image_template), photo, show.music_path);
  }
  images->RemoveChild(image_template);
  *text = document.DocumentText();
  return Status::Ok();
}

Status WriteMetaXml(const ShowDescription& show, const CTemplateSelector& templates,
                    FileSystem& fs) {
  if (show.photos.empty()) return Status::Ok();
  std::string text;
  Status composed = ComposeMetaXml(show, templates, &text);
  if (!composed.ok()) return composed;
  return SaveTextToFile(fs, show.output_path + "meta.xml", text);
}

}  // namespace tavirelle
