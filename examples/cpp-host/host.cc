// A small host of the TavirelleHelper module, built against an installed
// copy: authors a show from the photos given, packs it into one package,
// opens the package again and prints the title it finds there.
//
//   host OUT_FOLDER TITLE PHOTO...
//
// writes OUT_FOLDER/show/ and OUT_FOLDER/show.tavirelle and prints
// "title: TITLE".
#include <tavirelle/tavirelle.h>

#include <cstdio>
#include <filesystem>
#include <string>

using tavirelle::ComPtr;

namespace {

// Command-line text is UTF-8; the module's strings are UTF-16.
std::u16string FromUtf8(const std::string& text) {
  std::u16string result;
  for (size_t i = 0; i < text.size();) {
    unsigned char lead = static_cast<unsigned char>(text[i]);
    int extra = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
    char32_t code = extra == 0 ? lead : lead & (0x3F >> extra);
    for (int k = 1; k <= extra && i + k < text.size(); ++k) {
      code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    }
    i += extra + 1;
    if (code >= 0x10000) {
      code -= 0x10000;
      result += static_cast<char16_t>(0xD800 + (code >> 10));
      result += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
      result += static_cast<char16_t>(code);
    }
  }
  return result;
}

std::string ToUtf8(const char16_t* text, size_t length) {
  std::string result;
  for (size_t i = 0; i < length; ++i) {
    char32_t code = text[i];
    if (code >= 0xD800 && code < 0xDC00 && i + 1 < length) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    if (code < 0x80) {
      result += static_cast<char>(code);
    } else if (code < 0x800) {
      result += static_cast<char>(0xC0 | (code >> 6));
      result += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      result += static_cast<char>(0xE0 | (code >> 12));
      result += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      result += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      result += static_cast<char>(0xF0 | (code >> 18));
      result += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      result += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      result += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return result;
}

// An automation string that frees itself.
class Text {
 public:
  explicit Text(const std::string& utf8) {
    std::u16string wide = FromUtf8(utf8);
    bstr_ = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  }
  Text() = default;
  ~Text() { SysFreeString(bstr_); }
  Text(const Text&) = delete;
  Text& operator=(const Text&) = delete;

  BSTR get() const { return bstr_; }
  BSTR* Receive() {
    SysFreeString(bstr_);
    bstr_ = nullptr;
    return &bstr_;
  }
  std::string Utf8() const { return ToUtf8(bstr_, SysStringLen(bstr_)); }

 private:
  BSTR bstr_ = nullptr;
};

// Shows store their texts form-encoded: '%' and '+' are written as escapes,
// and the readers give them back as typed.
std::string ShowText(const std::string& typed) {
  std::string stored;
  for (char c : typed) stored += c == '%' ? "%25" : c == '+' ? "%2B" : std::string(1, c);
  return stored;
}

bool Check(HRESULT hr, const char* what) {
  if (SUCCEEDED(hr)) return true;
  std::fprintf(stderr, "host: %s failed (HRESULT 0x%08X)\n", what, static_cast<unsigned>(hr));
  return false;
}

template <class T>
bool Create(const char16_t* prog_id, ComPtr<T>* object) {
  return Check(TavirelleCreateObject(prog_id, T::kIid, object->ReceiveVoid()),
               "creating an object");
}

int Run(const std::string& out, const std::string& title, int count, char** photos) {
  ComPtr<IQXHelper> show;
  if (!Create(u"TavirelleHelper.QXHelper", &show)) return 1;
  std::string show_folder = out + "/show/";
  Text no_music;
  if (!Check(show->put_Title(Text(ShowText(title)).get()), "setting the title") ||
      !Check(show->put_OutputPath(Text(show_folder).get()), "setting the output folder") ||
      !Check(show->get_MUSIC_NONE(no_music.Receive()), "reading MUSIC_NONE") ||
      !Check(show->put_MusicPath(no_music.get()), "setting the music")) {
    return 1;
  }
  for (int i = 0; i < count; ++i) {
    ComPtr<IPhotoDesc> photo;
    if (!Create(u"TavirelleHelper.PhotoDesc", &photo)) return 1;
    if (!Check(photo->put_Path(Text(photos[i]).get()), photos[i]) ||
        !Check(show->AddPhoto(photo.get()), photos[i])) {
      return 1;
    }
  }
  if (!Check(show->GenerateMetaXML(), "authoring the show")) return 1;
  // Without a style template the show gets no description, and the module
  // says nothing: look.
  if (!std::filesystem::exists(show_folder + "meta.xml")) {
    std::fprintf(stderr, "host: no meta.xml written in %s: the style template was not found\n",
                 show_folder.c_str());
    return 1;
  }

  ComPtr<IQXFileIO> file_io;
  if (!Create(u"TavirelleHelper.QXFileIO", &file_io)) return 1;
  Text written;
  if (!Check(file_io->WriteDotTavirelle(Text(out + "/show.tavirelle").get(),
                                        Text(show_folder).get(), written.Receive()),
             "packing the show")) {
    return 1;
  }
  std::printf("written: %s\n", written.Utf8().c_str());

  // A new object reads the package as any other host would. It extracts the
  // show's icon into its output folder (the current folder when none is set).
  ComPtr<IQXFileIO> reader;
  Text icon, found_title;
  if (!Create(u"TavirelleHelper.QXFileIO", &reader) ||
      !Check(reader->put_OutputPath(Text(out + "/").get()), "setting the output folder") ||
      !Check(reader->OpenDotTavirelle(written.get(), 0), "opening the package") ||
      !Check(reader->QuickGetShowInfo(icon.Receive(), found_title.Receive()),
             "reading the show's title")) {
    return 1;
  }
  reader->CloseDotTavirelle();
  std::printf("title: %s\n", found_title.Utf8().c_str());
  return found_title.Utf8() == title ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: host OUT_FOLDER TITLE PHOTO...\n");
    return 2;
  }
  return Run(argv[1], argv[2], argc - 3, argv + 3);
}
