// The XML tree every document of the system is held in (style templates and
// their configuration, meta.xml, localInfo.xml, onlineInfo.xml), the writer
// that turns a tree into text and the parser that turns text into a tree.
//
// All names and values are narrow strings in the process code page; names
// compare byte for byte. The subsystem does no file input or output: callers
// pass a file's bytes to LoadText and write DocumentText's result themselves.
// A tree is used by one thread at a time.
#ifndef TAVIRELLE_XML_XML_DOCUMENT_H_
#define TAVIRELLE_XML_XML_DOCUMENT_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "xml/entity_table.h"

namespace tavirelle {

enum class XMLNodeKind : int32_t {
  Element = 0,      // name: the tag name; value: its character data
  Declaration = 1,  // the <?...?> node; its attributes are the pseudo-attributes
  Comment = 2,      // name "#COMMENT"; value: the body
  CData = 3,        // name "#CDATA"; value: the body
  Document = 4,     // the document node; empty name
};

enum class XMLParseError : int32_t {
  None = 0,
  ElementUnclosed = 1,  // "/" in a start tag not followed by ">"
  EndTagMissing = 2,    // text ends inside an element, or an end tag is unterminated
  EndTagMismatch = 3,   // an end tag names another element
  AttributeError = 4,   // an attribute name followed by neither a space nor "="
  NestingTooDeep = 5,   // more than kMaxXMLNesting elements inside each other
};

// Elements nested deeper than this make a load fail with NestingTooDeep.
inline constexpr int kMaxXMLNesting = 1000;

struct XMLWriteOptions {
  bool indent = true;          // line breaks and tab indentation
  bool encodeEntities = true;  // escape attribute values and text through `entities`
  char quote = '"';            // written around attribute values
  XMLEntityTable entities = DefaultXMLEntityTable();  // learns while writing
  int32_t depth = 0;           // current indentation; restored after writing
};

struct XMLParseOptions {
  bool trimText = false;       // trim white space from text and attribute values
  bool decodeEntities = true;  // decode text and attribute values through `entities`
  XMLEntityTable entities = DefaultXMLEntityTable();  // learns while decoding
  char escapeChar = 0;         // 0: none
  bool skipMismatchedEndTags = false;
};

// What one LoadText made of its text: whether a root element was read and,
// when the parser met an error, the first one. Some failures have no error
// (an empty text, one without any "<", a prolog and nothing else, a start
// tag cut off by the end of the text).
struct XMLParseResult {
  bool loaded = false;
  XMLParseError error = XMLParseError::None;
  size_t position = 0;  // byte offset in the text that was parsed (after any UTF-8 conversion)
  std::string message;

  bool ok() const { return loaded; }
};

struct XmlAttr;
struct XmlDocument;

struct XmlNode {
  std::string name;
  std::string value;
  XmlNode* parent = nullptr;    // not owning
  XMLNodeKind kind = XMLNodeKind::Element;
  XmlNode* document = nullptr;  // not owning; the tree's XmlDocument
  std::vector<std::unique_ptr<XmlNode>> children;
  std::vector<std::unique_ptr<XmlAttr>> attributes;

  XmlNode() = default;
  XmlNode(const XmlNode&) = delete;
  XmlNode& operator=(const XmlNode&) = delete;
  virtual ~XmlNode();
  // Nodes come from blocks shared by a whole tree (see node_memory.h).
  static void* operator new(size_t size);
  static void operator delete(void* node) noexcept;

  // Lookup. Every lookup returns the first match in list order.

  // The first child of any kind named name; null when none or name is null.
  XmlNode* FindChild(const char* name) const;
  XmlNode* FindChild(const std::string& name) const { return FindChild(name.c_str()); }
  // The child at index; null when index is negative or not below the count.
  XmlNode* ChildAt(int32_t index) const;
  // The number of children.
  int32_t ChildCount() const;
  // The text: a sole CDATA child's body (then clears this node's value and
  // sets *isCData), otherwise this node's value (*isCData false).
  const std::string& Text(bool* isCData = nullptr);
  // Text() of FindChild(name); the empty text when there is no such child.
  const std::string& ChildText(const char* name) const;
  const std::string& ChildText(const std::string& name) const { return ChildText(name.c_str()); }
  // The first attribute named name; null when none or name is null.
  XmlAttr* FindAttr(const char* name) const;
  XmlAttr* FindAttr(const std::string& name) const { return FindAttr(name.c_str()); }
  // The value of FindAttr(name); the empty text when there is none.
  const std::string& AttrText(const char* name) const;
  const std::string& AttrText(const std::string& name) const { return AttrText(name.c_str()); }
  // Whether the first Declaration child has "encoding" equal to name exactly.
  bool DeclaresEncoding(const char* name) const;

  // Editing. A null value counts as the empty text unless said otherwise.

  // Sets the value of the first attribute named name (a null value leaves it
  // unchanged), or appends a new one; returns the attribute.
  XmlAttr* SetAttr(const char* name, const char* value);
  XmlAttr* SetAttr(const std::string& name, const std::string& value) {
    return SetAttr(name.c_str(), value.c_str());
  }
  // A new unlinked element named name (not null) with SetText(value, asCData) applied.
  static std::unique_ptr<XmlNode> NewElement(const char* name, const char* value,
                                                 bool asCData);
  // NewElement(...) appended as the last child; returns it.
  XmlNode* AddChild(const char* name, const char* value = nullptr, bool asCData = false);
  XmlNode* AddChild(const std::string& name, const std::string& value, bool asCData = false) {
    return AddChild(name.c_str(), value.c_str(), asCData);
  }
  // SetText on the first child named name (only when value is not null), or
  // AddChild when there is none; returns the child.
  XmlNode* SetChild(const char* name, const char* value = nullptr, bool asCData = false);
  XmlNode* SetChild(const std::string& name, const std::string& value, bool asCData = false) {
    return SetChild(name.c_str(), value.c_str(), asCData);
  }
  // Sets the text, as a sole "#CDATA" child when asCData and at most one child.
  void SetText(const char* value, bool asCData = false);
  void SetText(const std::string& value, bool asCData = false) { SetText(value.c_str(), asCData); }
  // Links child before position index (appends when index is past the end); returns it.
  XmlNode* InsertChild(uint32_t index, std::unique_ptr<XmlNode> child);
  // Appends a deep copy of source (sharing nothing with it); returns the copy.
  XmlNode* AddCopy(const XmlNode* source);
  // Destroys child with its subtree; false (nothing changed) when not a child.
  bool RemoveChild(XmlNode* child);
  // Destroys attr; false (nothing changed) when not an attribute of this node.
  bool RemoveAttr(XmlAttr* attr);
  // Unlinks attr and hands it to the caller; null when not an attribute here.
  std::unique_ptr<XmlAttr> DetachAttr(XmlAttr* attr);
  // Destroy every child / attribute; true when the list was not empty.
  bool RemoveAllChildren();
  bool RemoveAllAttrs();
  // RemoveAllChildren() and RemoveAllAttrs().
  void Clear();
  // The first Declaration child, created ("xml", version "1.0", first child)
  // when missing and the node belongs to a document; null otherwise.
  XmlNode* Declaration();

  // Output.

  // The XML text of this node and its subtree. Null options: the document's
  // write options, or (no document) no indentation, escaping or attributes.
  std::string ToText(XMLWriteOptions* options);
  // Appends ToText(options) to *out.
  void AppendText(std::string* out, XMLWriteOptions* options);
};

struct XmlAttr {
  std::string name;
  std::string value;
  XmlNode* parent = nullptr;  // not owning

  XmlAttr() = default;
  XmlAttr(const XmlAttr&) = delete;
  XmlAttr& operator=(const XmlAttr&) = delete;
  virtual ~XmlAttr();
  static void* operator new(size_t size);
  static void operator delete(void* attr) noexcept;

  // name="value" followed by one space (quote and escaping from options);
  // the empty text when options is null.
  std::string ToText(XMLWriteOptions* options) const;
  // Appends ToText(options) to *out.
  void AppendText(std::string* out, XMLWriteOptions* options) const;
};

struct XmlDocument : XmlNode {
  XMLParseOptions parseOptions;
  XMLWriteOptions writeOptions;

  // A document holding one declaration: <?xml version="1.0" encoding="UTF-8" ?>.
  XmlDocument();
  ~XmlDocument() override;

  // Sets the declaration's "encoding" (appended when missing); false only
  // when there is no declaration.
  bool SetEncoding(const char* name);
  bool SetEncoding(const std::string& name) { return SetEncoding(name.c_str()); }
  // The text to write to a file: ToText(&writeOptions), converted to UTF-8
  // when the declaration says encoding "UTF-8".
  std::string DocumentText();
  // Parses text (converted from UTF-8 unless it declares another encoding and
  // has no byte-order mark) and appends its root element.
  XMLParseResult LoadText(const char* text);
  XMLParseResult LoadText(const std::string& text) { return LoadText(text.c_str()); }
};

// The documented names of the tree types, kept so that code written against
// them still compiles; new code uses the names above.
using _tagXMLNode = XmlNode;
using _tagXMLAttr = XmlAttr;
using _tagXMLDocument = XmlDocument;

// Whether LoadText(text) reads text as UTF-8 (converting it to the code page
// first): when it declares no encoding or "UTF-8", or has a byte-order mark.
bool LoadTextReadsUtf8(const char* text);
inline bool LoadTextReadsUtf8(const std::string& text) { return LoadTextReadsUtf8(text.c_str()); }

}  // namespace tavirelle

#endif  // TAVIRELLE_XML_XML_DOCUMENT_H_
