#include "metaxml/meta_text.h"

#include "platform/code_page.h"
#include "util/text.h"

namespace tavirelle {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool StartsWith(const std::string& text, std::string_view prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const std::string& text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Decodes "&#xHHHH;" (one to four hexadecimal digits) and "&#DDDDD;" (one to
// five decimal digits) in one pass. Our writer stores every byte from 0x80 up
// and characters such as "%", "+" and "!" this way outside CDATA; undone
// before the form decoding, a text written outside CDATA reads back as the
// same text inside CDATA does.
std::string DecodeNumericReferences(const std::string& text) {
  if (text.find("&#") == std::string::npos) return text;
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '&' && i + 1 < text.size() && text[i + 1] == '#') {
      bool hex = i + 2 < text.size() && text[i + 2] == 'x';
      size_t digits_begin = i + (hex ? 3 : 2);
      size_t max_digits = hex ? 4 : 5;
      size_t j = digits_begin;
      unsigned long value = 0;
      while (j < text.size() && j - digits_begin < max_digits) {
        int digit =
            hex ? HexValue(text[j]) : (text[j] >= '0' && text[j] <= '9' ? text[j] - '0' : -1);
        if (digit < 0) break;
        value = value * (hex ? 16 : 10) + static_cast<unsigned long>(digit);
        ++j;
      }
      char ch = 0;
      if (j > digits_begin && j < text.size() && text[j] == ';' && value != 0 &&
          value <= 0xFFFF && WideToChar(static_cast<OLECHAR>(value), &ch) && ch != '\0') {
        out.push_back(ch);
        i = j + 1;
        continue;
      }
    }
    out.push_back(text[i]);
    ++i;
  }
  return out;
}

}  // namespace

std::string ExtractElementText(const std::string& text, const std::string& name,
                               int32_t* position) {
  const std::string open = "<" + name;
  const std::string close = "</" + name + ">";
  size_t start = 0;
  if (position != nullptr && *position != -1) start = static_cast<size_t>(*position);
  size_t i = start <= text.size() ? text.find(open, start) : std::string::npos;
  if (position != nullptr) *position = i == std::string::npos ? -1 : static_cast<int32_t>(i);
  if (i == std::string::npos) return std::string();
  size_t j = text.find('>', i);
  if (j == std::string::npos) return std::string();
  size_t k = text.find(close, j);
  if (k == std::string::npos) return std::string();
  return text.substr(j + 1, k - j - 1);
}

std::string StripCData(const std::string& text) {
  constexpr std::string_view kBareOpen = "![CDATA[", kBareClose = "]]";
  constexpr std::string_view kOpen = "<![CDATA[", kClose = "]]>";
  if (StartsWith(text, kBareOpen) && EndsWith(text, kBareClose) &&
      text.size() >= kBareOpen.size() + kBareClose.size()) {
    return text.substr(kBareOpen.size(), text.size() - kBareOpen.size() - kBareClose.size());
  }
  if (StartsWith(text, kOpen) && EndsWith(text, kClose) &&
      text.size() >= kOpen.size() + kClose.size()) {
    return text.substr(kOpen.size(), text.size() - kOpen.size() - kClose.size());
  }
  return text;
}

std::string DecodeUrlText(const std::string& text) {
  const std::string stored = DecodeNumericReferences(text);
  std::string out;
  out.reserve(stored.size());
  for (size_t i = 0; i < stored.size(); ++i) {
    char c = stored[i];
    if (c == '+') {
      out.push_back(' ');
    } else if (c == '%' && i + 2 < stored.size()) {
      int high = HexValue(stored[i + 1]);
      int low = HexValue(stored[i + 2]);
      // Only a valid escape is undone, and never into a NUL, which would cut
      // the text short wherever it goes.
      if (high >= 0 && low >= 0 && (high | low) != 0) {
        out.push_back(static_cast<char>(high * 16 + low));
        i += 2;
      } else {
        out.push_back(c);
      }
    } else {
      out.push_back(c);
    }
  }
  ReplaceAll(out, "&apos;", "'");
  ReplaceAll(out, "&nbsp;", " ");
  ReplaceAll(out, "&quot;", "\"");
  ReplaceAll(out, "&amp;", "&");
  ReplaceAll(out, "&lt;", "<");
  ReplaceAll(out, "&gt;", ">");
  ReplaceAll(out, "&frasl;", "/");
  return out;
}

std::string DecodeShowText(const std::string& stored) {
  return DecodeUrlText(StripCData(stored));
}

std::string EncodeTypedShowText(const std::string& typed) {
  std::string text = typed;
  ReplaceAll(text, "%", "%25");
  ReplaceAll(text, "+", "%2B");
  return text;
}

std::string QuoteShowTextMarkup(const std::string& text) {
  std::string quoted = text;
  // "%" itself stays: a host's form encoding is already in the text.
  ReplaceAll(quoted, "&", "%26");
  ReplaceAll(quoted, "<", "%3C");
  ReplaceAll(quoted, ">", "%3E");
  ReplaceAll(quoted, "]", "%5D");
  return quoted;
}

}  // namespace tavirelle
