#include "metaxml/stored_show.h"

#include <string_view>

#include "metaxml/meta_text.h"
#include "xml/xml_document.h"

namespace tavirelle {

namespace {

// A child element wins over an attribute of the same name, even when its
// text is empty: a writer that uses elements says "none" that way.
std::string ValueOf(XmlNode* node, const char* name) {
  if (node == nullptr) return {};
  if (XmlNode* child = node->FindChild(name)) {
    if (child->kind == XMLNodeKind::Element) return child->Text();
  }
  return node->AttrText(name);
}

bool IsElement(const XmlNode* node, const char* name) {
  return node != nullptr && node->kind == XMLNodeKind::Element && node->name == name;
}

StoredClip ReadClip(XmlNode* node) {
  StoredClip clip;
  clip.file = ValueOf(node, "file");
  clip.loc_x = ValueOf(node, "locX");
  clip.loc_y = ValueOf(node, "locY");
  clip.scale = ValueOf(node, "scale");
  return clip;
}

StoredImage ReadImage(XmlNode* node) {
  StoredImage image;
  image.online_filename = ValueOf(node, "onlineFilename");
  image.file = ValueOf(node, "file");
  image.is_video = ValueOf(node, "isVideo");
  image.rotation = ValueOf(node, "rotation");
  image.duration = ValueOf(node, "duration");
  image.transition = ValueOf(node, "transition");
  image.display_date = ValueOf(node, "display_date");
  image.exif_date = ValueOf(node, "exif_date");
  image.playback_width = ValueOf(node, "playback_width");
  image.playback_height = ValueOf(node, "playback_height");
  image.audio_caption = ValueOf(node->FindChild("audioCaption"), "file");
  if (XmlNode* music = node->FindChild("music")) {
    image.music = StoredMusic{ValueOf(music, "file"), ValueOf(music, "volume")};
  }
  if (XmlNode* clips = node->FindChild("clips")) {
    for (int32_t i = 0; i < clips->ChildCount(); ++i) {
      if (IsElement(clips->ChildAt(i), "clip")) image.clips.push_back(ReadClip(clips->ChildAt(i)));
    }
  }
  return image;
}

}  // namespace

Status ReadStoredShow(const std::string& meta_text, StoredShow* show) {
  *show = StoredShow();
  XmlDocument document;
  XmlNode* qx = document.LoadText(meta_text).ok() ? document.FindChild("qx") : nullptr;
  if (qx == nullptr || qx->kind != XMLNodeKind::Element) {
    return Status::Error(ERROR_INVALID_DATA, "does not load as a show description");
  }
  if (XmlNode* about = qx->FindChild("show")) {
    show->title = DecodeShowText(about->ChildText("title"));
    show->created_by = DecodeShowText(about->ChildText("createdby"));
    show->starring = DecodeShowText(about->ChildText("starring"));
    show->icon = ValueOf(about, "icon");
  }
  if (XmlNode* images = qx->FindChild("images")) {
    for (int32_t i = 0; i < images->ChildCount(); ++i) {
      if (IsElement(images->ChildAt(i), "image")) {
        show->images.push_back(ReadImage(images->ChildAt(i)));
      }
    }
  }
  return Status::Ok();
}

ShowHead ScanShowHead(const std::string& head) {
  const std::string show = ExtractElementText(head, "show");
  ShowHead scanned;
  scanned.title = DecodeShowText(ExtractElementText(show, "title"));
  scanned.created_by = DecodeShowText(ExtractElementText(show, "createdby"));
  scanned.starring = DecodeShowText(ExtractElementText(show, "starring"));
  scanned.icon = ExtractElementText(show, "icon");
  return scanned;
}

size_t ImagesScanStart(const std::string& text) {
  static constexpr std::string_view kImages = "<images>";
  size_t images = text.find(kImages);
  return images == std::string::npos ? 0 : images + kImages.size();
}

ImageScan ScanNextImageName(const std::string& text, size_t* position, std::string* name) {
  static constexpr std::string_view kImage = "<image ";
  static constexpr std::string_view kOnline = "onlineFilename=\"";
  size_t image = text.find(kImage, *position);
  if (image == std::string::npos) return ImageScan::kNone;
  size_t value = text.find(kOnline, image);
  if (value == std::string::npos) return ImageScan::kCut;
  value += kOnline.size();
  size_t quote = text.find('"', value);
  if (quote == std::string::npos) return ImageScan::kCut;
  *name = text.substr(value, quote - value);
  *position = quote;
  return ImageScan::kFound;
}

std::optional<std::string> ScanFirstImageName(const std::string& text) {
  for (const char* frame : {"<qx>", "</qx>", "<show>", "</show>", "<images>"}) {
    if (text.find(frame) == std::string::npos) return std::nullopt;
  }
  size_t position = ImagesScanStart(text);
  std::string name;
  if (ScanNextImageName(text, &position, &name) != ImageScan::kFound) return std::nullopt;
  return name;
}

}  // namespace tavirelle
