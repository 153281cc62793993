// The parser: a small, forgiving reader for the documents this system reads.
//
// Stored files and templates depend on its quirks (one run of character data
// per element, end tags accepted missing after a child, prolog matching that
// ignores case, every <?...?> rewriting the document's one declaration, only
// the first error of a load reported), so they are kept as they are.
//
// Elements are read with an explicit stack rather than by recursion, so a
// deeply nested text cannot exhaust the thread's stack; nesting is limited
// to kMaxXMLNesting all the same, which also bounds every recursive walk of
// a loaded tree (writing, copying, destroying).
#include <cctype>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/code_page.h"
#include "xml/encoding.h"
#include "xml/xml_document.h"

namespace tavirelle {

namespace {

// White space as the C library classifies it in the "C" locale.
bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

class Parser {
 public:
  // Reads with `options` and tells the first error in *result.
  Parser(const char* begin, const char* end, XMLParseOptions* options, XMLParseResult* result)
      : begin_(begin), end_(end), options_(options), result_(result) {}

  // Reads the root element into root; the position after it, or null.
  const char* ParseElement(XmlNode* root, const char* p);
  // Everything of a prolog at p: declarations, comments, CDATA sections.
  const char* SkipProlog(XmlNode* node, bool* inElement, const char* p);
  // Reads a declaration's attributes into node up to end.
  const char* ParseDeclarationAttrs(XmlNode* node, const char* p, const char* end);
  // The first position at or after p where needle matches ignoring case, or the end.
  const char* FindText(const char* p, const char* needle, size_t length) const;
  // The first position at or after p holding one of the two or three
  // characters of set, or the end.
  template <size_t N>
  const char* FindAnyOf(const char* p, const char (&set)[N]) const {
    static_assert(N == 3 || N == 4, "two or three characters");
    const char a = set[0], b = set[1], c = N == 4 ? set[2] : set[1];
    while (p < end_ && *p != a && *p != b && *p != c) ++p;
    return p;
  }
  // Name of a declaration starting after "<?" at p: up to the first space, "?" or ">".
  const char* DeclarationNameEnd(const char* p) const { return FindAnyOf(p, " ?>"); }

 private:
  enum class Outcome { kReturn, kLoop };

  const char* SkipSpaces(const char* p) const {
    while (p < end_ && IsSpace(*p)) ++p;
    return p;
  }
  const char* FindChar(const char* p, char c) const {
    if (p >= end_) return end_;
    const void* found = std::memchr(p, c, static_cast<size_t>(end_ - p));
    return found != nullptr ? static_cast<const char*>(found) : end_;
  }
  bool CompareText(const char* p, const char* needle, size_t length) const;
  void CopyText(const char* begin, const char* end, std::string* target) const;
  void CopyValue(const char* begin, const char* end, std::string* target,
                 bool mayHoldEntities = true);

  Outcome Head(XmlNode* node, const char** p, int depth);
  Outcome AfterChild(XmlNode* node, const char** p);
  const char* ParseAttrs(XmlNode* node, const char* p, const char* declarationEnd);
  const char* ReadAttrs(XmlNode* node, const char* p, const char* declarationEnd);
  const char* ParseDeclaration(XmlNode* node, const char* p);
  const char* ParseSection(XmlNode* node, const char* p, size_t openLength,
                           const char* close, XMLNodeKind kind, const char* name);
  const char* SkipDocumentType(const char* p) const;

  void Fail(XMLParseError code, const char* position, std::string message) {
    if (result_->error != XMLParseError::None) return;
    result_->error = code;
    result_->position = static_cast<size_t>(position - begin_);
    result_->message = std::move(message);
  }

  const char* begin_;
  const char* end_;
  XMLParseOptions* options_;
  XMLParseResult* result_;
  std::vector<std::unique_ptr<XmlAttr>> scratch_;
};

bool Parser::CompareText(const char* p, const char* needle, size_t length) const {
  const char escape = options_->escapeChar;
  for (size_t i = 0; i < length; ++i) {
    if (p >= end_) return false;
    if (escape != 0 && *p == escape) {
      // The escape itself is passed over; the character after it is compared.
      ++p;
      if (p >= end_) return false;
    }
    if (Lower(*p) != Lower(needle[i])) return false;
    ++p;
  }
  return true;
}

const char* Parser::FindText(const char* p, const char* needle, size_t length) const {
  const char escape = options_->escapeChar;
  const char first = needle[0];
  const bool first_is_letter = Lower(first) != static_cast<char>(std::toupper(
                                                   static_cast<unsigned char>(first)));
  while (p < end_) {
    if (escape == 0 && !first_is_letter) {
      p = FindChar(p, first);
      if (p == end_) return end_;
    }
    if ((escape == 0 || *p != escape) && CompareText(p, needle, length)) return p;
    ++p;
  }
  return end_;
}

void Parser::CopyText(const char* begin, const char* end, std::string* target) const {
  if (end == nullptr || begin >= end) return;
  if (options_->trimText) {
    while (begin < end && IsSpace(*begin)) ++begin;
    while (end > begin && IsSpace(end[-1])) --end;
  }
  const char escape = options_->escapeChar;
  if (escape == 0 || std::memchr(begin, escape, static_cast<size_t>(end - begin)) == nullptr) {
    target->assign(begin, static_cast<size_t>(end - begin));
    return;
  }
  std::string copy;
  copy.reserve(static_cast<size_t>(end - begin));
  for (const char* p = begin; p < end; ++p) {
    if (*p == escape) {
      ++p;
      if (p == end) break;
    }
    copy.push_back(*p);
  }
  *target = std::move(copy);
}

// Copies character data or an attribute value and decodes its entities.
void Parser::CopyValue(const char* begin, const char* end, std::string* target,
                       bool mayHoldEntities) {
  CopyText(begin, end, target);
  if (mayHoldEntities && options_->decodeEntities && target->find('&') != std::string::npos &&
      !options_->entities.empty()) {
    *target = options_->entities.Decode(std::string_view(*target));
  }
}

// Attributes of a start tag (declarationEnd null: up to ">" or "/") or of a
// declaration (up to declarationEnd).
const char* Parser::ParseAttrs(XmlNode* node, const char* p, const char* declarationEnd) {
  // The attributes are gathered first and linked in one go, so that the
  // node's list is allocated once at its final size.
  const char* result = ReadAttrs(node, p, declarationEnd);
  node->attributes.reserve(node->attributes.size() + scratch_.size());
  for (auto& attr : scratch_) node->attributes.push_back(std::move(attr));
  scratch_.clear();
  return result;
}

const char* Parser::ReadAttrs(XmlNode* node, const char* p, const char* declarationEnd) {
  for (;;) {
    p = SkipSpaces(p);
    if (declarationEnd != nullptr) {
      if (p >= declarationEnd) return p;
      if (p >= end_) return nullptr;
    } else {
      if (p >= end_) return nullptr;
      if (*p == '>' || *p == '/') return p;
    }
    const char* nameEnd = FindAnyOf(p, " =");
    if (nameEnd == end_) {
      Fail(XMLParseError::AttributeError, p, "<" + node->name + "> attribute has error ");
      return nullptr;
    }
    auto attr = std::make_unique<XmlAttr>();
    attr->name.assign(p, static_cast<size_t>(nameEnd - p));
    attr->parent = node;
    XmlAttr* added = attr.get();
    scratch_.push_back(std::move(attr));
    p = SkipSpaces(nameEnd);
    if (p < end_ && *p == '=') {
      p = SkipSpaces(p + 1);
      if (p < end_ && (*p == '"' || *p == '\'')) {
        // Values are short: one loop finds the closing quote and notes
        // whether there is an entity to decode.
        const char quote = *p;
        const char* valueEnd = p + 1;
        bool ampersand = false;
        while (valueEnd < end_ && *valueEnd != quote) {
          ampersand |= *valueEnd == '&';
          ++valueEnd;
        }
        CopyValue(p + 1, valueEnd, &added->value, ampersand);
        p = valueEnd < end_ ? valueEnd + 1 : end_;
      } else {
        const char* valueEnd = FindAnyOf(p, " >");
        CopyValue(p, valueEnd, &added->value);
        p = valueEnd;
      }
    }
  }
}

const char* Parser::ParseDeclarationAttrs(XmlNode* node, const char* p, const char* end) {
  return ParseAttrs(node, p, end);
}

const char* Parser::ParseDeclaration(XmlNode* node, const char* p) {
  const char* end = FindText(p, "?>", 2);
  const char* after = end < end_ ? end + 2 : end_;
  if (node->document == nullptr) return after;
  XmlNode* declaration = node->document->Declaration();
  std::unique_ptr<XmlAttr> kept = declaration->DetachAttr(declaration->FindAttr("encoding"));
  declaration->Clear();
  const char* nameBegin = p + 2;
  const char* nameEnd = DeclarationNameEnd(nameBegin);
  declaration->name.assign(nameBegin, static_cast<size_t>(nameEnd - nameBegin));
  ParseAttrs(declaration, nameEnd, end);
  if (kept != nullptr && declaration->FindAttr("encoding") == nullptr) {
    kept->parent = declaration;
    declaration->attributes.push_back(std::move(kept));
  }
  return after;
}

// A comment or CDATA section at p, attached to node's parent (or document).
const char* Parser::ParseSection(XmlNode* node, const char* p, size_t openLength,
                                 const char* close, XMLNodeKind kind, const char* name) {
  const size_t closeLength = std::strlen(close);
  const char* end = FindText(p, close, closeLength);
  const char* after = end < end_ ? end + closeLength : end_;
  XmlNode* holder = node->parent != nullptr ? node->parent : node->document;
  if (holder == nullptr) return after;
  auto section = std::make_unique<XmlNode>();
  section->kind = kind;
  section->name = name;
  const char* bodyBegin = p + openLength;
  if (bodyBegin < end) section->value.assign(bodyBegin, static_cast<size_t>(end - bodyBegin));
  section->parent = holder;
  section->document = node->document;
  holder->children.push_back(std::move(section));
  return after;
}

// A document type declaration in the prolog is passed over whole (with any
// internal subset in brackets); the parser does not read it.
const char* Parser::SkipDocumentType(const char* p) const {
  int brackets = 0;
  for (p += 9; p < end_; ++p) {
    if (*p == '[') {
      ++brackets;
    } else if (*p == ']') {
      if (brackets > 0) --brackets;
    } else if (*p == '>' && brackets == 0) {
      return p + 1;
    }
  }
  return end_;
}

const char* Parser::SkipProlog(XmlNode* node, bool* inElement, const char* p) {
  *inElement = false;
  const bool inside = node->parent != nullptr && node->parent->kind != XMLNodeKind::Document;
  const char* start;
  do {
    start = p;
    p = SkipSpaces(p);
    if (CompareText(p, "<?", 2)) p = ParseDeclaration(node, p);
    p = SkipSpaces(p);
    if (CompareText(p, "<!--", 4)) {
      p = ParseSection(node, p, 4, "-->", XMLNodeKind::Comment, "#COMMENT");
      if (inside) {
        *inElement = true;
        return p;
      }
    }
    p = SkipSpaces(p);
    if (CompareText(p, "<![CDATA[", 9)) {
      p = ParseSection(node, p, 9, "]]>", XMLNodeKind::CData, "#CDATA");
      if (inside) {
        *inElement = true;
        return p;
      }
    }
    if (!inside) {
      p = SkipSpaces(p);
      if (CompareText(p, "<!DOCTYPE", 9)) p = SkipDocumentType(p);
    }
  } while (p != start);
  return p;
}

// The start of ParseElement, up to its loop over children.
Parser::Outcome Parser::Head(XmlNode* node, const char** position, int depth) {
  const char* p = *position;
  *position = nullptr;
  node->Clear();
  for (;;) {
    p = FindChar(p, '<');
    if (p == end_) return Outcome::kReturn;
    if (p + 1 < end_ && p[1] == '/') {
      *position = p;
      return Outcome::kReturn;
    }
    bool inElement = false;
    const char* after = SkipProlog(node, &inElement, p);
    if (inElement) {
      *position = after;
      return Outcome::kReturn;
    }
    if (after == end_) return Outcome::kReturn;
    // Anything but a tag after a prolog is passed over up to the next "<".
    if (after != p && *after != '<') {
      p = after;
      continue;
    }
    p = after;
    break;
  }
  if (depth > kMaxXMLNesting) {
    Fail(XMLParseError::NestingTooDeep, p, "Element nesting is too deep.");
    return Outcome::kReturn;
  }
  const char* nameEnd = p + 1;
  while (nameEnd < end_ && *nameEnd != ' ' && *nameEnd != '/' && *nameEnd != '>' &&
         *nameEnd != '\t' && *nameEnd != '\r' && *nameEnd != '\n') {
    ++nameEnd;
  }
  node->name.assign(p + 1, static_cast<size_t>(nameEnd - (p + 1)));
  const char* q = ParseAttrs(node, nameEnd, nullptr);
  if (q == nullptr) return Outcome::kReturn;
  if (*q == '/') {
    if (q + 1 < end_ && q[1] == '>') {
      *position = q + 2;
    } else {
      Fail(XMLParseError::ElementUnclosed, q + 1, "Element must be closed.");
    }
    return Outcome::kReturn;
  }
  p = q + 1;
  if (IsBlankText(node->value)) {
    const char* next = FindChar(p, '<');
    if (next == end_) {
      Fail(XMLParseError::EndTagMissing, p,
           node->name + " must be closed with </>" + node->name + ">");
      return Outcome::kReturn;
    }
    CopyValue(p, next, &node->value);
    p = next;
  }
  *position = p;
  return Outcome::kLoop;
}

// ParseElement's loop body after a child was read: end tag or character data.
Parser::Outcome Parser::AfterChild(XmlNode* node, const char** position) {
  const char* p = *position;
  *position = nullptr;
  if (p + 1 < end_ && p[0] == '<' && p[1] == '/') {
    const char* nameBegin = SkipSpaces(p + 2);
    const char* nameEnd = FindAnyOf(nameBegin, " >");
    if (nameEnd == end_) {
      Fail(XMLParseError::EndTagMissing, nameBegin,
           "it must be closed with </" + node->name + ">");
      return Outcome::kReturn;
    }
    const char* after = nameEnd + 1;
    std::string_view endName(nameBegin, static_cast<size_t>(nameEnd - nameBegin));
    if (endName == node->name) {
      // "</name  >": the white space and its ">" belong to the end tag.
      if (*nameEnd == ' ') {
        const char* close = SkipSpaces(after);
        if (close < end_ && *close == '>') after = close + 1;
      }
      *position = after;
      return Outcome::kReturn;
    }
    if (options_->skipMismatchedEndTags) {
      *position = after;
      return Outcome::kLoop;
    }
    Fail(XMLParseError::EndTagMismatch, after,
         "'<" + node->name + "> ... </" + std::string(endName) + ">' is not wel-formed.");
    return Outcome::kReturn;
  }
  if (p < end_ && *p != '<' && IsBlankText(node->value)) {
    const char* next = FindChar(p, '<');
    if (next == end_) {
      Fail(XMLParseError::EndTagMissing, p, "it must be closed with </" + node->name + ">");
      return Outcome::kReturn;
    }
    CopyValue(p, next, &node->value);
    p = next;
  }
  *position = p;
  return Outcome::kLoop;
}

const char* Parser::ParseElement(XmlNode* root, const char* p) {
  // One frame per open element: the element, and the child being read into it.
  struct Frame {
    XmlNode* node;
    std::unique_ptr<XmlNode> child;
  };
  std::vector<Frame> stack;
  stack.push_back(Frame{root, nullptr});
  Outcome outcome = Head(root, &p, 1);
  for (;;) {
    if (outcome == Outcome::kLoop) {
      if (p == end_) {
        outcome = Outcome::kReturn;  // the end tag may be missing after a child
        continue;
      }
      Frame& frame = stack.back();
      frame.child = std::make_unique<XmlNode>();
      frame.child->parent = frame.node;
      frame.child->document = frame.node->document;
      frame.child->kind = frame.node->kind;
      XmlNode* child = frame.child.get();
      stack.push_back(Frame{child, nullptr});
      outcome = Head(child, &p, static_cast<int>(stack.size()));
      continue;
    }
    // The element on top returned p (null on failure) to its parent.
    if (stack.size() == 1) return p;
    stack.pop_back();
    Frame& frame = stack.back();
    std::unique_ptr<XmlNode> child = std::move(frame.child);
    if (!child->name.empty()) {
      // Most elements with children have a few; grow in one step to four.
      if (frame.node->children.capacity() == 0) frame.node->children.reserve(4);
      frame.node->children.push_back(std::move(child));
    }
    if (p == nullptr) continue;  // the failure travels up
    outcome = AfterChild(frame.node, &p);
  }
}

// The "encoding" of a declaration at the very start of text, or empty.
std::string SniffEncoding(const char* begin, const char* end, XMLParseOptions* options,
                          XMLParseResult* result) {
  Parser parser(begin, end, options, result);
  const char* p = begin;
  while (p < end && IsSpace(*p)) ++p;
  if (end - p < 2 || p[0] != '<' || p[1] != '?') return std::string();
  const char* declarationEnd = parser.FindText(p, "?>", 2);
  XmlNode declaration;
  declaration.kind = XMLNodeKind::Declaration;
  const char* nameEnd = parser.DeclarationNameEnd(p + 2);
  declaration.name.assign(p + 2, static_cast<size_t>(nameEnd - (p + 2)));
  parser.ParseDeclarationAttrs(&declaration, nameEnd, declarationEnd);
  return declaration.AttrText("encoding");
}

// Whether a text whose declaration says `declared` is converted from UTF-8.
bool ReadsUtf8(const std::string& declared, const char* text) {
  // Parsed unchanged only when it declares another encoding and has no mark.
  return declared.empty() || declared == "UTF-8" || HasUtf8Bom(text);
}

// Holds the parse table's lock for a whole load.
class ParseTableHold {
 public:
  explicit ParseTableHold(XMLEntityTable& table) : table_(table) { table_.lock(); }
  ~ParseTableHold() { table_.unlock(); }
  ParseTableHold(const ParseTableHold&) = delete;
  ParseTableHold& operator=(const ParseTableHold&) = delete;

 private:
  XMLEntityTable& table_;
};

}  // namespace

XMLParseResult XmlDocument::LoadText(const char* text) {
  XMLParseResult result;
  if (text == nullptr) text = "";
  ParseTableHold hold(parseOptions.entities);
  auto root = std::make_unique<XmlNode>();
  root->kind = XMLNodeKind::Element;
  root->parent = this;
  root->document = this;

  const char* begin = text;
  const char* end = text + std::strlen(text);
  std::string declared = SniffEncoding(begin, end, &parseOptions, &result);
  bool converted = false;
  std::string copy;
  if (ReadsUtf8(declared, text)) {
    converted = true;
    // An ASCII text is its own conversion; parsing it in place spares a
    // copy of the whole file.
    if (!IsAsciiText(std::string_view(begin, static_cast<size_t>(end - begin)))) {
      copy = Utf8ToAnsi(text);
      begin = copy.c_str();
      end = begin + copy.size();
    }
  }
  Parser parser(begin, end, &parseOptions, &result);
  const char* p = parser.ParseElement(root.get(), begin);
  if (p == nullptr) return result;  // the partial root goes with `root`
  children.push_back(std::move(root));
  XmlNode* linked = children.back().get();
  bool inElement = false;
  parser.SkipProlog(linked, &inElement, p);
  if (converted && !DeclaresEncoding("UTF-8")) SetEncoding("UTF-8");
  result.loaded = true;
  return result;
}

bool LoadTextReadsUtf8(const char* text) {
  if (text == nullptr) text = "";
  XMLParseOptions scratch;
  XMLParseResult ignored;
  std::string declared = SniffEncoding(text, text + std::strlen(text), &scratch, &ignored);
  return ReadsUtf8(declared, text);
}

}  // namespace tavirelle
