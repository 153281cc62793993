#include "api/player_show.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <set>

#include "imaging/photo_image.h"
#include "metaxml/stored_show.h"
#include "platform/code_page.h"
#include "showdata/show_data.h"
#include "util/file_utils.h"
#include "util/text.h"
#include "xml/encoding.h"

namespace tavirelle {

namespace {

bool HasExtension(const std::string& name, std::initializer_list<const char*> extensions) {
  std::string found = Extension(name);
  for (const char* extension : extensions) {
    if (found == extension) return true;
  }
  return false;
}

// Pictures every browser draws; a slide may also be a BMP, which browsers
// draw too, while a clip-art overlay needs transparency-capable formats.
bool IsSlidePicture(const std::string& name) {
  return HasExtension(name, {".jpg", ".jpeg", ".png", ".gif", ".bmp"});
}
bool IsClipPicture(const std::string& name) {
  return HasExtension(name, {".jpg", ".jpeg", ".png", ".gif"});
}

bool ParseNumber(const std::string& text, double* value) {
  if (IsBlankText(text)) return false;
  errno = 0;
  char* end = nullptr;
  double parsed = std::strtod(text.c_str(), &end);
  while (end != nullptr && (*end == ' ' || *end == '\t')) ++end;
  if (end == nullptr || *end != '\0' || errno != 0 || !std::isfinite(parsed)) return false;
  *value = parsed;
  return true;
}

// Quarter turns only; "-90" is 270 and "450" is 90. Anything else, which no
// writer of ours produces, shows the picture unturned.
int ParseRotation(const std::string& text) {
  double degrees = 0;
  if (!ParseNumber(text, &degrees) || std::fabs(degrees) > 1e6) return 0;
  if (degrees != std::floor(degrees)) return 0;
  long whole = static_cast<long>(degrees);
  if (whole % 90 != 0) return 0;
  return static_cast<int>(((whole % 360) + 360) % 360);
}

double ParseWithDefault(const std::string& text, double fallback, double low, double high) {
  double value = 0;
  if (!ParseNumber(text, &value)) return fallback;
  return value < low ? low : value > high ? high : value;
}

// "2024:06:01 14:30:00", the camera's form, reads better as "2024-06-01 14:30".
std::string CaptionFromExifDate(const std::string& date) {
  bool camera_form = date.size() == 19 && date[4] == ':' && date[7] == ':' && date[10] == ' ';
  if (!camera_form) return date;
  std::string shown = date.substr(0, 16);
  shown[4] = '-';
  shown[7] = '-';
  return shown;
}

std::string StillOf(const std::string& local) {
  return local.empty() ? std::string() : WithoutExtension(local) + ".jpg";
}

std::string ThumbnailName(const std::string& prefix, const std::string& local) {
  if (local.empty()) return {};
  std::string picture = IsSlidePicture(local) ? local : StillOf(local);
  return prefix + FileNameOf(picture);
}

PlayerClip ReadClip(const StoredClip& stored) {
  PlayerClip clip;
  clip.stored = stored.file;
  clip.local = PlayerLocalName(clip.stored);
  clip.picture = IsClipPicture(clip.local);
  clip.x = ParseWithDefault(stored.loc_x, 0.5, -1e5, 1e5);
  clip.y = ParseWithDefault(stored.loc_y, 0.5, -1e5, 1e5);
  double scale = ParseWithDefault(stored.scale, 1.0, 0, 100);
  clip.scale = scale > 0 ? scale : 1.0;
  return clip;
}

PlayerSlide ReadSlide(const StoredImage& image) {
  PlayerSlide slide;
  slide.stored = image.online_filename;
  if (slide.stored.empty()) slide.stored = image.file;
  slide.local = PlayerLocalName(slide.stored);
  std::string is_video = image.is_video;
  LowerCase(is_video);
  slide.video = is_video == "1" || is_video == "true" || !IsSlidePicture(slide.local);
  slide.rotation = ParseRotation(image.rotation);
  // A duration of no time or less is no duration at all: the default holds.
  double duration = ParseWithDefault(image.duration, 5, 0, 3600);
  slide.duration = duration <= 0 ? 5 : duration < 0.5 ? 0.5 : duration;
  std::string transition = image.transition;
  LowerCase(transition);
  slide.crossfade = transition == "crossfade";
  std::string caption = image.display_date;
  if (IsBlankText(caption)) caption = CaptionFromExifDate(image.exif_date);
  slide.caption = IsBlankText(caption) ? std::string() : AnsiToUtf8(caption);
  slide.width = static_cast<int>(ParseWithDefault(image.playback_width, 800, 1, 1e5));
  slide.height = static_cast<int>(ParseWithDefault(image.playback_height, 600, 1, 1e5));
  if (image.music) {
    PlayerMusic played;
    played.stored = image.music->file;
    played.local = PlayerLocalName(played.stored);
    played.volume = static_cast<int>(ParseWithDefault(image.music->volume, 100, 0, 100));
    std::string file = FileNameOf(played.local);
    LowerCase(file);
    played.application = file == kDefaultMusicFile;
    if (!played.local.empty()) slide.music = played;
  }
  for (const StoredClip& clip : image.clips) slide.clips.push_back(ReadClip(clip));
  return slide;
}

// JSON text of a UTF-8 string. "<", ">" and "&" are escaped so that no text
// can end the script element the data stands in or open a comment there.
std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '<': case '>': case '&':
        out += FormatText("\\u%04x", c);
        break;
      default:
        if (c < 0x20) {
          out += FormatText("\\u%04x", c);
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string JsonName(const std::string& code_page_name) {
  return JsonString(AnsiToUtf8(code_page_name));
}

std::string JsonNumber(double value) { return FormatText("%.6g", value); }

const char* JsonBool(bool value) { return value ? "true" : "false"; }

}  // namespace

std::string PlayerLocalName(const std::string& stored) {
  std::string name = stored;
  static const std::string kFileUrl = "file:///";
  if (name.compare(0, kFileUrl.size(), kFileUrl) == 0) name.erase(0, kFileUrl.size());
  StripLeadingSeparators(name);
  ReplaceChar(name, '\\', '/');
  if (!IsNameInsideFolder(name)) name = FileNameOf(name);
  if (name.empty() || name == "." || name == ".." || !IsNameInsideFolder(name)) return {};
  if (name.back() == '/') return {};
  for (const std::string& part : SplitText(name, "/")) {
    if (part.empty() || part == ".") return {};
  }
  return name;
}

bool ReadPlayerShow(const std::string& meta_text, PlayerShow* show) {
  StoredShow stored;
  if (!ReadStoredShow(meta_text, &stored).ok()) return false;
  *show = PlayerShow();
  show->title = AnsiToUtf8(stored.title);
  show->created_by = AnsiToUtf8(stored.created_by);
  show->starring = AnsiToUtf8(stored.starring);
  for (const StoredImage& image : stored.images) show->slides.push_back(ReadSlide(image));
  return true;
}

std::vector<PlayerSourceFile> PlayerSourceFiles(const PlayerShow& show) {
  std::vector<PlayerSourceFile> files;
  std::set<std::string> seen;
  auto add = [&](const std::string& local, std::string in_folder, std::string in_package) {
    if (local.empty() || !seen.insert(local).second) return;
    ReplaceChar(in_package, '/', '\\');
    files.push_back({local, std::move(in_folder), std::move(in_package)});
  };
  auto add_same = [&](const std::string& local) { add(local, local, local); };
  auto add_thumbnail = [&](const std::string& local) {
    add(ThumbnailName(kThumbnailPrefix, local), ThumbnailName(kThumbnailPrefix, local),
        ThumbnailName(kPackageThumbnailFolder, local));
  };
  for (const PlayerSlide& slide : show.slides) {
    if (slide.video) {
      add_same(StillOf(slide.local));
    } else {
      add_same(slide.local);
    }
    add_thumbnail(slide.local);
    if (slide.music && !slide.music->supplied) add_same(slide.music->local);
    for (const PlayerClip& clip : slide.clips) {
      if (clip.picture) {
        add_same(clip.local);
      } else {
        add_same(StillOf(clip.local));
        add_thumbnail(clip.local);
      }
    }
  }
  return files;
}

void UseDefaultMusic(PlayerShow* show, const std::string& local) {
  for (PlayerSlide& slide : show->slides) {
    if (!slide.music || !slide.music->application) continue;
    slide.music->local = local;
    slide.music->supplied = true;
  }
}

void ResolvePlayerFiles(PlayerShow* show,
                        const std::function<bool(const std::string& local)>& present) {
  auto first_present = [&](std::initializer_list<std::string> candidates) {
    for (const std::string& candidate : candidates) {
      if (!candidate.empty() && present(candidate)) return candidate;
    }
    return std::string();
  };
  for (PlayerSlide& slide : show->slides) {
    std::string thumbnail = ThumbnailName(kThumbnailPrefix, slide.local);
    slide.thumbnail = first_present({thumbnail});
    if (slide.video) {
      slide.missing = false;
      slide.shown = first_present({StillOf(slide.local), thumbnail});
    } else {
      slide.shown = first_present({slide.local});
      slide.missing = slide.shown.empty();
      if (slide.missing) slide.thumbnail.clear();
    }
    if (slide.music) slide.music->missing = !present(slide.music->local);
    for (PlayerClip& clip : slide.clips) {
      clip.shown = clip.picture
                       ? first_present({clip.local})
                       : first_present({StillOf(clip.local),
                                        ThumbnailName(kThumbnailPrefix, clip.local)});
    }
  }
}

std::string PlayerDataJson(const PlayerShow& show) {
  std::string json = "{\"title\":" + JsonString(show.title) +
                     ",\"createdBy\":" + JsonString(show.created_by) +
                     ",\"starring\":" + JsonString(show.starring) + ",\"slides\":[";
  for (size_t i = 0; i < show.slides.size(); ++i) {
    const PlayerSlide& slide = show.slides[i];
    if (i != 0) json += ",";
    json += "\n{\"name\":" + JsonName(slide.stored) + ",\"picture\":" + JsonName(slide.shown) +
            ",\"thumbnail\":" + JsonName(slide.thumbnail) +
            ",\"pictureOrientation\":" + std::to_string(slide.shown_orientation) +
            ",\"thumbnailOrientation\":" + std::to_string(slide.thumbnail_orientation) +
            ",\"video\":" + JsonBool(slide.video) + ",\"missing\":" + JsonBool(slide.missing) +
            ",\"rotation\":" + std::to_string(slide.rotation) +
            ",\"duration\":" + JsonNumber(slide.duration) +
            ",\"crossfade\":" + JsonBool(slide.crossfade) +
            ",\"caption\":" + JsonString(slide.caption) +
            ",\"width\":" + std::to_string(slide.width) +
            ",\"height\":" + std::to_string(slide.height) + ",\"music\":";
    if (slide.music) {
      json += "{\"name\":" + JsonName(slide.music->stored) +
              ",\"file\":" + JsonName(slide.music->local) +
              ",\"volume\":" + std::to_string(slide.music->volume) +
              ",\"missing\":" + JsonBool(slide.music->missing) +
              ",\"application\":" + JsonBool(slide.music->application) + "}";
    } else {
      json += "null";
    }
    json += ",\"clips\":[";
    for (size_t c = 0; c < slide.clips.size(); ++c) {
      const PlayerClip& clip = slide.clips[c];
      if (c != 0) json += ",";
      json += "{\"name\":" + JsonName(clip.stored) + ",\"file\":" + JsonName(clip.shown) +
              ",\"missing\":" + JsonBool(clip.shown.empty()) + ",\"x\":" + JsonNumber(clip.x) +
              ",\"y\":" + JsonNumber(clip.y) + ",\"scale\":" + JsonNumber(clip.scale) + "}";
    }
    json += "]}";
  }
  return json + "]}";
}


int ReadPictureOrientation(FileSystem& fs, const std::string& path) {
  return ReadExifOrientation(fs, path);
}

}  // namespace tavirelle
