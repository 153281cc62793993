#include "xml/entity_table.h"

#include <cstring>

#include "xml/encoding.h"

namespace tavirelle {

namespace {

XMLEntity MakeEntity(char character, const char* text, bool hex, bool decimal) {
  XMLEntity entity;
  entity.character = character;
  size_t n = std::strlen(text);
  if (n > 10) n = 10;
  std::memcpy(entity.text, text, n);
  entity.text[n] = '\0';
  entity.length = static_cast<int32_t>(n);
  entity.hexForm = hex;
  entity.decimalForm = decimal;
  return entity;
}

bool IsNamed(const XMLEntity& entity) { return !entity.hexForm && !entity.decimalForm; }

// Characters written unchanged unless a named entry says otherwise.
struct PassThroughSet {
  bool pass[256] = {};
  PassThroughSet() {
    for (int c = '0'; c <= '9'; ++c) pass[c] = true;
    for (int c = 'A'; c <= 'Z'; ++c) pass[c] = true;
    for (int c = 'a'; c <= 'z'; ++c) pass[c] = true;
    for (unsigned char c : std::string_view("\n\r .-_():;/[],=\\{}@")) pass[c] = true;
  }
};
const PassThroughSet kPassThrough;

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}
bool IsDecDigit(char c) { return c >= '0' && c <= '9'; }

// Whether the entry's text matches at p (p..end); 'y' and 'z' stand for
// digits in numeric patterns.
bool Matches(const XMLEntity& entity, const char* p, const char* end) {
  if (end - p < entity.length) return false;
  for (int32_t i = 0; i < entity.length; ++i) {
    char pattern = entity.text[i];
    char c = p[i];
    if (entity.hexForm && pattern == 'y') {
      if (!IsHexDigit(c)) return false;
    } else if (entity.decimalForm && pattern == 'z') {
      if (!IsDecDigit(c)) return false;
    } else if (c != pattern) {
      return false;
    }
  }
  return true;
}

// A named text that begins with "&" and whose only ";" is its last character
// can be looked up by the text running from "&" to the first ";".
bool IsIndexableText(const XMLEntity& entity) {
  if (entity.length < 2 || entity.text[0] != '&') return false;
  const char* semicolon = static_cast<const char*>(
      std::memchr(entity.text, ';', static_cast<size_t>(entity.length)));
  return semicolon == entity.text + entity.length - 1;
}

}  // namespace

XMLEntityTable::XMLEntityTable(std::initializer_list<XMLEntity> entries)
    : entries_(entries) {
  Rebuild();
}

XMLEntityTable::XMLEntityTable(const XMLEntityTable& other) {
  std::lock_guard<std::recursive_mutex> hold(other.mutex_);
  entries_ = other.entries_;
  Rebuild();
}

XMLEntityTable& XMLEntityTable::operator=(const XMLEntityTable& other) {
  if (this == &other) return *this;
  std::deque<XMLEntity> copy;
  {
    std::lock_guard<std::recursive_mutex> hold(other.mutex_);
    copy = other.entries_;
  }
  std::lock_guard<std::recursive_mutex> hold(mutex_);
  entries_ = std::move(copy);
  Rebuild();
  return *this;
}

void XMLEntityTable::Rebuild() {
  size_.store(entries_.size(), std::memory_order_release);
  std::memset(named_for_char_, 0, sizeof named_for_char_);
  named_by_text_.clear();
  indexed_ = true;
  all_start_with_amp_ = true;
  bool seen_pattern = false;
  for (const XMLEntity& entity : entries_) {
    if (entity.length < 1 || entity.text[0] != '&') all_start_with_amp_ = false;
    if (IsNamed(entity)) {
      auto c = static_cast<unsigned char>(entity.character);
      if (named_for_char_[c] == nullptr) named_for_char_[c] = &entity;
      if (seen_pattern || !IsIndexableText(entity)) indexed_ = false;
      named_by_text_.emplace(std::string_view(entity.text, static_cast<size_t>(entity.length)),
                             &entity);
    } else {
      seen_pattern = true;
    }
  }
}

void XMLEntityTable::PushFront(const XMLEntity& entity) {
  entries_.push_front(entity);
  size_.store(entries_.size(), std::memory_order_release);
  const XMLEntity& added = entries_.front();
  if (added.length < 1 || added.text[0] != '&') all_start_with_amp_ = false;
  if (IsNamed(added)) {
    named_for_char_[static_cast<unsigned char>(added.character)] = &added;
    if (!IsIndexableText(added)) indexed_ = false;
    // The newest entry comes first in the table, so it wins a lookup.
    named_by_text_[std::string_view(added.text, static_cast<size_t>(added.length))] = &added;
  }
}

XMLEntity XMLEntityTable::EntryAt(size_t index) const {
  std::lock_guard<std::recursive_mutex> hold(mutex_);
  return index < entries_.size() ? entries_[index] : XMLEntity();
}

bool XMLEntityTable::EntityForCharLocked(unsigned char ch, XMLEntity* out) {
  if (const XMLEntity* named = named_for_char_[ch]) {
    if (out != nullptr) *out = *named;
    return true;
  }
  if (kPassThrough.pass[ch]) return false;
  if (out != nullptr) {
    std::string text = "&#x" + CharToHex(static_cast<char>(ch)) + ";";
    XMLEntity learned =
        MakeEntity(static_cast<char>(ch), text.c_str(), /*hex=*/false, /*decimal=*/false);
    PushFront(learned);
    *out = learned;
  }
  return true;
}

bool XMLEntityTable::EntityForChar(char ch, XMLEntity* out) {
  std::lock_guard<std::recursive_mutex> hold(mutex_);
  return EntityForCharLocked(static_cast<unsigned char>(ch), out);
}

int32_t XMLEntityTable::CountEscapes(std::string_view text) {
  std::lock_guard<std::recursive_mutex> hold(mutex_);
  return CountEscapesLocked(text);
}

int32_t XMLEntityTable::CountEscapesLocked(std::string_view text) const {
  int32_t count = 0;
  for (char c : text) {
    auto ch = static_cast<unsigned char>(c);
    if (named_for_char_[ch] != nullptr || !kPassThrough.pass[ch]) ++count;
  }
  return count;
}

int32_t XMLEntityTable::CountEscapes(const char* text) {
  if (text == nullptr) return 0;
  return CountEscapes(std::string_view(text));
}

void XMLEntityTable::EncodeAppend(std::string_view text, std::string* out) {
  std::lock_guard<std::recursive_mutex> hold(mutex_);
  int32_t escapes = CountEscapesLocked(text);
  if (escapes == 0) {
    out->append(text);
    return;
  }
  out->reserve(out->size() + text.size() + 10 * static_cast<size_t>(escapes));
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end) {
    // Copy the run of characters that pass unchanged in one go.
    const char* run = p;
    while (p < end) {
      auto ch = static_cast<unsigned char>(*p);
      if (named_for_char_[ch] != nullptr || !kPassThrough.pass[ch]) break;
      ++p;
    }
    out->append(run, static_cast<size_t>(p - run));
    if (p == end) break;
    XMLEntity entity;
    if (EntityForCharLocked(static_cast<unsigned char>(*p), &entity)) {
      out->append(entity.text, static_cast<size_t>(entity.length));
    } else {
      out->push_back(*p);
    }
    ++p;
  }
}

std::string XMLEntityTable::Encode(std::string_view text) {
  std::string out;
  EncodeAppend(text, &out);
  return out;
}

std::string XMLEntityTable::Encode(const char* text) {
  if (text == nullptr) return std::string();
  return Encode(std::string_view(text));
}

bool XMLEntityTable::MatchEntityLocked(const char* p, const char* end, XMLEntity* out) {
  if (p >= end) return false;
  auto entries = entries_.begin();
  if (indexed_) {
    // Named entries come first and none is a prefix of another, so the one
    // whose text runs from "&" to the first ";" is the only candidate.
    if (*p == '&') {
      const char* limit = end - p > 10 ? p + 10 : end;
      const char* semicolon =
          static_cast<const char*>(std::memchr(p, ';', static_cast<size_t>(limit - p)));
      if (semicolon != nullptr) {
        auto found =
            named_by_text_.find(std::string_view(p, static_cast<size_t>(semicolon - p + 1)));
        if (found != named_by_text_.end()) {
          if (out != nullptr) *out = *found->second;
          return true;
        }
      }
    }
    while (entries != entries_.end() && IsNamed(*entries)) ++entries;
  }
  for (; entries != entries_.end(); ++entries) {
    const XMLEntity& entity = *entries;
    if (!Matches(entity, p, end)) continue;
    if (IsNamed(entity)) {
      if (out != nullptr) *out = entity;
      return true;
    }
    // A numeric reference: the digits between "&#x" (or "&#") and ";".
    size_t prefix = entity.hexForm ? 3 : 2;
    std::string digits(p + prefix, static_cast<size_t>(entity.length) - prefix - 1);
    char ch = 0;
    bool ok = entity.hexForm ? HexToChar(digits.c_str(), &ch) : DecToChar(digits.c_str(), &ch);
    // A reference to NUL would cut the text short wherever it goes; it is
    // left in the text like one to a character the code page lacks.
    if (!ok || ch == '\0') return false;
    std::string matched(p, static_cast<size_t>(entity.length));
    XMLEntity learned = MakeEntity(ch, matched.c_str(), /*hex=*/false, /*decimal=*/false);
    PushFront(learned);
    if (out != nullptr) *out = learned;
    return true;
  }
  return false;
}

bool XMLEntityTable::MatchEntity(const char* position, XMLEntity* out) {
  if (position == nullptr) return false;
  std::lock_guard<std::recursive_mutex> hold(mutex_);
  // No entry is longer than 10 characters.
  const char* end = position;
  while (end - position < 10 && *end != '\0') ++end;
  return MatchEntityLocked(position, end, out);
}

std::string XMLEntityTable::Decode(std::string_view text) {
  // Every entry of a table built from the default one begins with "&", a
  // property fixed at construction (learned entries begin with "&#" too).
  if (all_start_with_amp_ && text.find('&') == std::string_view::npos) {
    return std::string(text);
  }
  std::lock_guard<std::recursive_mutex> hold(mutex_);
  std::string out;
  out.reserve(text.size());
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end) {
    if (all_start_with_amp_) {
      const char* amp = static_cast<const char*>(
          std::memchr(p, '&', static_cast<size_t>(end - p)));
      if (amp == nullptr) {
        out.append(p, static_cast<size_t>(end - p));
        break;
      }
      out.append(p, static_cast<size_t>(amp - p));
      p = amp;
    }
    XMLEntity entity;
    if (MatchEntityLocked(p, end, &entity)) {
      out.push_back(entity.character);
      p += entity.length;
    } else {
      out.push_back(*p);
      ++p;
    }
  }
  return out;
}

std::string XMLEntityTable::Decode(const char* text) {
  if (text == nullptr) return std::string();
  return Decode(std::string_view(text));
}

const XMLEntityTable& DefaultXMLEntityTable() {
  static const XMLEntityTable table{
      MakeEntity('&', "&amp;", /*hex=*/false, /*decimal=*/false),
      MakeEntity('"', "&quot;", /*hex=*/false, /*decimal=*/false),
      MakeEntity('\'', "&apos;", /*hex=*/false, /*decimal=*/false),
      MakeEntity('<', "&lt;", /*hex=*/false, /*decimal=*/false),
      MakeEntity('>', "&gt;", /*hex=*/false, /*decimal=*/false),
      MakeEntity('*', "&#xyyyy;", /*hex=*/true, /*decimal=*/false),
      MakeEntity('*', "&#xyyy;", /*hex=*/true, /*decimal=*/false),
      MakeEntity('*', "&#xyy;", /*hex=*/true, /*decimal=*/false),
      MakeEntity('*', "&#xy;", /*hex=*/true, /*decimal=*/false),
      MakeEntity('*', "&#zzzzz;", /*hex=*/false, /*decimal=*/true),
      MakeEntity('*', "&#zzzz;", /*hex=*/false, /*decimal=*/true),
      MakeEntity('*', "&#zzz;", /*hex=*/false, /*decimal=*/true),
      MakeEntity('*', "&#zz;", /*hex=*/false, /*decimal=*/true),
      MakeEntity('*', "&#z;", /*hex=*/false, /*decimal=*/true),
  };
  return table;
}

}  // namespace tavirelle
