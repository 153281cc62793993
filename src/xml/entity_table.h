// The entity tables through which element text and attribute values are
// escaped on the way out (Encode) and unescaped on the way in (Decode).
//
// A table learns: every distinct character it writes as a numeric reference,
// and every distinct numeric reference it decodes, becomes a named entry at
// its front, so that the next occurrence is found at once. Each document
// keeps two tables, both copied from the one process-wide default table.
#ifndef TAVIRELLE_XML_ENTITY_TABLE_H_
#define TAVIRELLE_XML_ENTITY_TABLE_H_

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tavirelle {

// One entity. In a numeric pattern ('hexForm' or 'decimalForm' set) each 'y'
// of `text` stands for one hexadecimal digit and each 'z' for one decimal
// digit; an entry with neither flag is a named entry mapping `character` to
// `text` literally.
struct XMLEntity {
  char character = 0;
  char text[11] = {};  // zero-terminated, at most 10 characters
  int32_t length = 0;  // characters in `text`
  bool hexForm = false;
  bool decimalForm = false;
};

// An ordered list of entities with its own recursive lock, held by every
// operation. Copying a table copies the entries in order and makes a new lock.
class XMLEntityTable {
 public:
  XMLEntityTable() = default;
  XMLEntityTable(std::initializer_list<XMLEntity> entries);
  XMLEntityTable(const XMLEntityTable& other);
  XMLEntityTable& operator=(const XMLEntityTable& other);

  // Whether ch is written as an entity; the entity through *out when out is
  // not null (a character written as a numeric reference is then learned).
  bool EntityForChar(char ch, XMLEntity* out);

  // The number of bytes of text for which EntityForChar(ch, nullptr) holds.
  int32_t CountEscapes(const char* text);
  int32_t CountEscapes(std::string_view text);

  // The text with entities written in; the empty text for a null text.
  std::string Encode(const char* text);
  std::string Encode(std::string_view text);
  // Appends Encode(text) to *out.
  void EncodeAppend(std::string_view text, std::string* out);

  // Whether an entity starts at position (zero-terminated text); the entity
  // (for a numeric reference: a newly learned named entry) through *out.
  bool MatchEntity(const char* position, XMLEntity* out);

  // The text with entities replaced by their characters; the empty text for
  // a null text. Unknown references stay as they are.
  std::string Decode(const char* text);
  std::string Decode(std::string_view text);

  // The number of entries, and a copy of the entry at index (tests, tools).
  size_t size() const { return size_.load(std::memory_order_acquire); }
  bool empty() const { return size() == 0; }
  XMLEntity EntryAt(size_t index) const;

  // The table's recursive lock, for callers that run many operations in a
  // row (the writer and the parser hold it for a whole document).
  void lock() const { mutex_.lock(); }
  void unlock() const { mutex_.unlock(); }

 private:
  void Rebuild();
  void PushFront(const XMLEntity& entity);
  bool EntityForCharLocked(unsigned char ch, XMLEntity* out);
  int32_t CountEscapesLocked(std::string_view text) const;
  bool MatchEntityLocked(const char* p, const char* end, XMLEntity* out);
  const XMLEntity* LearnedOrNamed(unsigned char ch) const { return named_for_char_[ch]; }

  mutable std::recursive_mutex mutex_;
  // A deque keeps references to its elements valid when entries are pushed
  // at the front, so the indexes below can point into it.
  std::deque<XMLEntity> entries_;
  // entries_.size(), readable without the lock (the writer asks per value).
  std::atomic<size_t> size_{0};
  // The first named entry for each character, or null.
  const XMLEntity* named_for_char_[256] = {};
  // Named entries by their text, when every named text begins with "&" and
  // ends at its only ";" and all named entries precede the numeric patterns
  // (always so for copies of the default table); otherwise lookups scan.
  bool indexed_ = true;
  std::unordered_map<std::string_view, const XMLEntity*> named_by_text_;
  // Every entry's text begins with "&": a text without one decodes to itself.
  bool all_start_with_amp_ = true;
};

// The process-wide table of the five named entities and the numeric
// patterns, built once; it is only ever copied.
const XMLEntityTable& DefaultXMLEntityTable();

}  // namespace tavirelle

#endif  // TAVIRELLE_XML_ENTITY_TABLE_H_
