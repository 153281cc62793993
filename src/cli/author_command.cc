// tavirelle author: one show authored through IQXHelper, as a host would.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/progress.h"
#include "platform/bstr.h"
#include "show/interfaces.h"
#include "show/show_objects.h"
#include "util/file_utils.h"
#include "xml/meta_text.h"

namespace {

HRESULT PutText(IQXHelper* show, HRESULT (IQXHelper::*setter)(BSTR),
                const std::string& utf8) {
  ScopedBstr value(BstrFromUtf8(utf8));
  return (show->*setter)(value.get());
}

std::string GetText(IPhotoDesc* photo, HRESULT (IPhotoDesc::*getter)(BSTR*)) {
  ScopedBstr value;
  (photo->*getter)(value.Receive());
  return ToUtf8(value.Ansi());
}

// A show text (title, created-by, starring) as the component is to get it.
// Shows store these texts form-encoded, so "%" and "+" go in encoded and come
// back as typed; a character the code page lacks would silently become "?",
// so such a text is refused, naming what cannot be kept.
bool PrepareShowText(const char* option, std::string* text, std::string* problem) {
  std::vector<std::string> lacking = CharactersOutsideCodePage(*text);
  if (!lacking.empty()) {
    *problem = std::string(option) + " has characters a show cannot hold (outside Windows-1252):";
    for (const auto& character : lacking) *problem += " " + character;
    return false;
  }
  *text = EncodeTypedShowText(*text);
  return true;
}

int RunAuthor(const std::vector<std::string>& arguments) {
  std::vector<std::string> args = arguments;
  bool bad = false;
  std::string out, title, created_by, starring, style, music, display_date, orientation_text;
  bool has_out = TakeOption(args, "--out", &out, &bad);
  TakeOption(args, "--title", &title, &bad);
  TakeOption(args, "--created-by", &created_by, &bad);
  TakeOption(args, "--starring", &starring, &bad);
  TakeOption(args, "--style", &style, &bad);
  TakeOption(args, "--music", &music, &bad);
  TakeOption(args, "--display-date", &display_date, &bad);
  bool has_orientation = TakeOption(args, "--orientation", &orientation_text, &bad);
  std::string unknown;
  if (!EndOfOptions(args, &unknown)) return Fail("unknown option " + unknown);
  if (bad || !has_out || args.empty()) return UsageError("author");
  std::string text_problem;
  if (!PrepareShowText("--title", &title, &text_problem) ||
      !PrepareShowText("--created-by", &created_by, &text_problem) ||
      !PrepareShowText("--starring", &starring, &text_problem)) {
    return Fail(text_problem);
  }
  LONG orientation = 0;
  if (has_orientation) {
    if (orientation_text.size() != 1 || orientation_text[0] < '0' || orientation_text[0] > '3') {
      return Fail("--orientation must be 0, 1, 2 or 3");
    }
    orientation = orientation_text[0] - '0';
  }
  if (music == "default") music = "default_music";
  if (music == "none") music = "none_music";
  for (const auto& photo : args) {
    if (!PathExists(ToAnsi(photo))) return Fail("no such photo: " + photo);
  }

  std::string folder = out;
  if (folder.back() != '/' && folder.back() != '\\') folder += '/';
  IQXHelper* show = nullptr;
  if (FAILED(CreateQXHelper(IQXHelper::kIid, reinterpret_cast<void**>(&show)))) {
    return Fail("cannot create the show object");
  }
  PutText(show, &IQXHelper::put_OutputPath, folder);
  if (!FolderExists(ToAnsi(folder))) {
    show->Release();
    return Fail("cannot create the output folder " + out);
  }
  PutText(show, &IQXHelper::put_Title, title);
  PutText(show, &IQXHelper::put_CreatBy, created_by);
  PutText(show, &IQXHelper::put_Starring, starring);
  PutText(show, &IQXHelper::put_StyleId, style);
  PutText(show, &IQXHelper::put_MusicPath, music);

  ProgressBar progress(args.size());
  std::vector<std::string> lines;
  for (size_t i = 0; i < args.size(); ++i) {
    progress.Update(i);
    IPhotoDesc* photo = nullptr;
    if (FAILED(CreatePhotoDesc(IPhotoDesc::kIid, reinterpret_cast<void**>(&photo)))) {
      show->Release();
      return Fail("cannot create a photo object");
    }
    ScopedBstr path(BstrFromUtf8(args[i]));
    ScopedBstr date(BstrFromUtf8(display_date));
    photo->put_Path(path.get());
    photo->put_Orientation(static_cast<PhotoOrientation>(orientation));
    photo->put__DisplayDate(date.get());
    HRESULT hr = show->AddPhoto(photo);
    LONG width = 0, height = 0;
    photo->get__Width(&width);
    photo->get__Height(&height);
    lines.push_back("photo: " + GetText(photo, &IPhotoDesc::get__OnlineName) + " " +
                    std::to_string(width) + " " + std::to_string(height) + " " +
                    GetText(photo, &IPhotoDesc::get__PhotoDateTaken));
    photo->Release();
    if (FAILED(hr)) {
      show->Release();
      return Fail("cannot add " + args[i]);
    }
  }
  progress.Update(args.size());
  // A meta.xml left from an earlier show must not pass for this one's.
  std::string meta = ToAnsi(folder) + "meta.xml";
  std::string before = FormatFileDate(meta, true);
  show->GenerateMetaXML();
  show->Release();
  for (const auto& line : lines) std::printf("%s\n", line.c_str());
  std::string after = FormatFileDate(meta, true);
  if (after.empty() || after == before) {
    return Fail("no meta.xml written: the style template was not found or did not load "
                "(templates are looked up beside the tavirelle program)");
  }
  return 0;
}

}  // namespace

TAVIRELLE_COMMAND("author",
                  "--out DIR [--title T] [--created-by C] [--starring S] [--style ID] "
                  "[--music PATH|default|none] [--display-date TEXT] [--orientation 0-3] PHOTO...",
                  "authors a show in DIR: imports each PHOTO and writes meta.xml", RunAuthor);
