// The node tree: lookups, editing and the writer.
#include "xml/xml_document.h"

#include <algorithm>
#include <mutex>
#include <utility>

#include "xml/encoding.h"
#include "xml/node_memory.h"

namespace tavirelle {

namespace {

const std::string& EmptyText() {
  static const std::string empty;
  return empty;
}

void AppendIndent(std::string* out, int32_t depth) {
  out->push_back('\n');
  if (depth > 0) out->append(static_cast<size_t>(depth), '\t');
}

// Keeps the write table locked for a whole document, so that the many
// encodes of one write take the (recursive) lock cheaply.
class TableHold {
 public:
  explicit TableHold(XMLWriteOptions* options) : options_(options) {
    if (options_ != nullptr) options_->entities.lock();
  }
  ~TableHold() {
    if (options_ != nullptr) options_->entities.unlock();
  }
  TableHold(const TableHold&) = delete;
  TableHold& operator=(const TableHold&) = delete;

 private:
  XMLWriteOptions* options_;
};

void AppendEncoded(std::string* out, const std::string& text, XMLWriteOptions* options) {
  if (options != nullptr && options->encodeEntities && !options->entities.empty()) {
    options->entities.EncodeAppend(text, out);
  } else {
    out->append(text);
  }
}

// Copies source's name, value, kind and attributes, and its children
// recursively, into a new node whose children belong to `document`.
std::unique_ptr<_tagXMLNode> DeepCopy(const _tagXMLNode* source, _tagXMLNode* document) {
  auto copy = std::make_unique<_tagXMLNode>();
  copy->name = source->name;
  copy->value = source->value;
  copy->kind = source->kind;
  copy->attributes.reserve(source->attributes.size());
  for (const auto& attr : source->attributes) {
    auto added = std::make_unique<_tagXMLAttr>();
    added->name = attr->name;
    added->value = attr->value;
    added->parent = copy.get();
    copy->attributes.push_back(std::move(added));
  }
  copy->children.reserve(source->children.size());
  for (const auto& child : source->children) {
    std::unique_ptr<_tagXMLNode> added = DeepCopy(child.get(), document);
    added->parent = copy.get();
    added->document = document;
    copy->children.push_back(std::move(added));
  }
  return copy;
}

// Writes one node; options are already resolved and their table held.
void WriteNode(const _tagXMLNode* node, std::string* out, XMLWriteOptions* options) {
  const auto& name = node->name;
  const auto& value = node->value;
  const auto& children = node->children;
  const auto& attributes = node->attributes;
  const bool indent = options != nullptr && options->indent;
  switch (node->kind) {
    case XMLNodeKind::Document:
      for (const auto& child : children) WriteNode(child.get(), out, options);
      return;
    case XMLNodeKind::Declaration:
      out->append("<?");
      out->append(name);
      if (!attributes.empty()) {
        out->push_back(' ');
        for (const auto& attr : attributes) attr->AppendText(out, options);
      }
      out->append("?>");
      return;
    case XMLNodeKind::Comment:
      out->append("<!--");
      out->append(value);
      out->append("-->");
      return;
    case XMLNodeKind::CData:
      out->append("<![CDATA[");
      out->append(value);
      out->append("]]>");
      return;
    case XMLNodeKind::Element:
      break;
  }
  if (indent) AppendIndent(out, options->depth);
  out->push_back('<');
  out->append(name);
  if (!attributes.empty()) {
    out->push_back(' ');
    for (const auto& attr : attributes) attr->AppendText(out, options);
  }
  if (children.empty() && value.empty()) {
    out->append("/>");
    return;
  }
  out->push_back('>');
  const bool nested = indent && !children.empty();
  if (nested) ++options->depth;
  for (const auto& child : children) WriteNode(child.get(), out, options);
  if (!IsBlankText(value)) {
    if (nested) AppendIndent(out, options->depth);
    AppendEncoded(out, value, options);
  }
  if (nested && !(children.size() == 1 && children[0]->kind == XMLNodeKind::CData)) {
    AppendIndent(out, options->depth - 1);
  }
  out->append("</");
  out->append(name);
  out->push_back('>');
  if (nested) --options->depth;
}

}  // namespace

_tagXMLNode::~_tagXMLNode() {
  // A subtree is taken apart level by level rather than by recursion, so
  // that destroying a deep tree needs no more stack than a flat one.
  if (children.empty()) return;
  std::vector<std::unique_ptr<_tagXMLNode>> pending;
  pending.reserve(children.size());
  for (auto child = children.rbegin(); child != children.rend(); ++child) {
    pending.push_back(std::move(*child));
  }
  children.clear();
  while (!pending.empty()) {
    std::unique_ptr<_tagXMLNode> node = std::move(pending.back());
    pending.pop_back();
    // Last child first onto the stack: nodes die in the order they were
    // made, which walks their memory forwards.
    for (auto child = node->children.rbegin(); child != node->children.rend(); ++child) {
      pending.push_back(std::move(*child));
    }
    node->children.clear();
  }
}
_tagXMLAttr::~_tagXMLAttr() = default;

void* _tagXMLNode::operator new(size_t size) { return AllocateXMLObject(size); }
void _tagXMLNode::operator delete(void* node) noexcept { FreeXMLObject(node); }
void* _tagXMLAttr::operator new(size_t size) { return AllocateXMLObject(size); }
void _tagXMLAttr::operator delete(void* attr) noexcept { FreeXMLObject(attr); }

_tagXMLNode* _tagXMLNode::FindChild(const char* name) const {
  if (name == nullptr) return nullptr;
  for (const auto& child : children) {
    if (child->name == name) return child.get();
  }
  return nullptr;
}

_tagXMLNode* _tagXMLNode::ChildAt(int32_t index) const {
  if (index < 0 || static_cast<size_t>(index) >= children.size()) return nullptr;
  return children[static_cast<size_t>(index)].get();
}

int32_t _tagXMLNode::ChildCount() const { return static_cast<int32_t>(children.size()); }

const std::string& _tagXMLNode::Text(bool* isCData) {
  if (children.size() == 1 && children[0]->kind == XMLNodeKind::CData) {
    value.clear();
    if (isCData != nullptr) *isCData = true;
    return children[0]->value;
  }
  if (isCData != nullptr) *isCData = false;
  return value;
}

const std::string& _tagXMLNode::ChildText(const char* name) const {
  _tagXMLNode* child = FindChild(name);
  return child != nullptr ? child->Text(nullptr) : EmptyText();
}

_tagXMLAttr* _tagXMLNode::FindAttr(const char* name) const {
  if (name == nullptr) return nullptr;
  for (const auto& attr : attributes) {
    if (attr->name == name) return attr.get();
  }
  return nullptr;
}

const std::string& _tagXMLNode::AttrText(const char* name) const {
  _tagXMLAttr* attr = FindAttr(name);
  return attr != nullptr ? attr->value : EmptyText();
}

bool _tagXMLNode::DeclaresEncoding(const char* name) const {
  if (name == nullptr) return false;
  for (const auto& child : children) {
    if (child->kind != XMLNodeKind::Declaration) continue;
    _tagXMLAttr* encoding = child->FindAttr("encoding");
    return encoding != nullptr && encoding->value == name;
  }
  return false;
}

_tagXMLAttr* _tagXMLNode::SetAttr(const char* name, const char* value) {
  if (_tagXMLAttr* existing = FindAttr(name)) {
    if (value != nullptr) existing->value = value;
    return existing;
  }
  auto attr = std::make_unique<_tagXMLAttr>();
  if (name != nullptr) attr->name = name;
  if (value != nullptr) attr->value = value;
  attr->parent = this;
  attributes.push_back(std::move(attr));
  return attributes.back().get();
}

std::unique_ptr<_tagXMLNode> _tagXMLNode::NewElement(const char* name, const char* value,
                                                     bool asCData) {
  auto node = std::make_unique<_tagXMLNode>();
  node->kind = XMLNodeKind::Element;
  if (name != nullptr) node->name = name;
  node->SetText(value, asCData);
  return node;
}

_tagXMLNode* _tagXMLNode::AddChild(const char* name, const char* value, bool asCData) {
  std::unique_ptr<_tagXMLNode> child = NewElement(name, value, asCData);
  child->parent = this;
  child->document = document;
  children.push_back(std::move(child));
  return children.back().get();
}

_tagXMLNode* _tagXMLNode::SetChild(const char* name, const char* value, bool asCData) {
  if (_tagXMLNode* existing = FindChild(name)) {
    if (value != nullptr) existing->SetText(value, asCData);
    return existing;
  }
  return AddChild(name, value, asCData);
}

void _tagXMLNode::SetText(const char* text, bool asCData) {
  if (text == nullptr) text = "";
  if (asCData && children.size() <= 1) {
    value.clear();
    if (children.empty()) {
      _tagXMLNode* section = AddChild("#CDATA", nullptr, false);
      section->kind = XMLNodeKind::CData;
      section->value = text;
      return;
    }
    _tagXMLNode* only = children[0].get();
    if (only->kind == XMLNodeKind::CData) {
      only->name = "#CDATA";
      only->value = text;
      return;
    }
    value = text;
    return;
  }
  value = text;
}

_tagXMLNode* _tagXMLNode::InsertChild(uint32_t index, std::unique_ptr<_tagXMLNode> child) {
  if (child == nullptr) return nullptr;
  child->parent = this;
  child->document = document;
  _tagXMLNode* linked = child.get();
  if (index < children.size()) {
    children.insert(children.begin() + index, std::move(child));
  } else {
    children.push_back(std::move(child));
  }
  return linked;
}

_tagXMLNode* _tagXMLNode::AddCopy(const _tagXMLNode* source) {
  if (source == nullptr) return nullptr;
  std::unique_ptr<_tagXMLNode> copy = DeepCopy(source, document);
  copy->parent = this;
  copy->document = document;
  children.push_back(std::move(copy));
  return children.back().get();
}

bool _tagXMLNode::RemoveChild(_tagXMLNode* child) {
  auto found = std::find_if(children.begin(), children.end(),
                            [child](const auto& entry) { return entry.get() == child; });
  if (child == nullptr || found == children.end()) return false;
  // Unlink first, then destroy: the subtree may be deep.
  std::unique_ptr<_tagXMLNode> doomed = std::move(*found);
  children.erase(found);
  return true;
}

bool _tagXMLNode::RemoveAttr(_tagXMLAttr* attr) {
  return DetachAttr(attr) != nullptr;
}

std::unique_ptr<_tagXMLAttr> _tagXMLNode::DetachAttr(_tagXMLAttr* attr) {
  if (attr == nullptr) return nullptr;
  auto found = std::find_if(attributes.begin(), attributes.end(),
                            [attr](const auto& entry) { return entry.get() == attr; });
  if (found == attributes.end()) return nullptr;
  std::unique_ptr<_tagXMLAttr> detached = std::move(*found);
  attributes.erase(found);
  return detached;
}

bool _tagXMLNode::RemoveAllChildren() {
  if (children.empty()) return false;
  std::vector<std::unique_ptr<_tagXMLNode>> doomed;
  doomed.swap(children);
  return true;
}

bool _tagXMLNode::RemoveAllAttrs() {
  if (attributes.empty()) return false;
  std::vector<std::unique_ptr<_tagXMLAttr>> doomed;
  doomed.swap(attributes);
  return true;
}

void _tagXMLNode::Clear() {
  RemoveAllChildren();
  RemoveAllAttrs();
}

_tagXMLNode* _tagXMLNode::Declaration() {
  for (const auto& child : children) {
    if (child->kind == XMLNodeKind::Declaration) return child.get();
  }
  if (document == nullptr) return nullptr;
  std::unique_ptr<_tagXMLNode> declaration = NewElement("xml", nullptr, false);
  declaration->kind = XMLNodeKind::Declaration;
  _tagXMLNode* linked = InsertChild(0, std::move(declaration));
  linked->SetAttr("version", "1.0");
  return linked;
}

std::string _tagXMLNode::ToText(XMLWriteOptions* options) {
  std::string out;
  AppendText(&out, options);
  return out;
}

void _tagXMLNode::AppendText(std::string* out, XMLWriteOptions* options) {
  if (options == nullptr && document != nullptr) {
    if (auto* owner = dynamic_cast<_tagXMLDocument*>(document)) options = &owner->writeOptions;
  }
  TableHold hold(options);
  WriteNode(this, out, options);
}

std::string _tagXMLAttr::ToText(XMLWriteOptions* options) const {
  std::string out;
  AppendText(&out, options);
  return out;
}

void _tagXMLAttr::AppendText(std::string* out, XMLWriteOptions* options) const {
  if (options == nullptr) return;
  out->append(name);
  out->push_back('=');
  out->push_back(options->quote);
  AppendEncoded(out, value, options);
  out->push_back(options->quote);
  out->push_back(' ');
}

_tagXMLDocument::_tagXMLDocument() {
  kind = XMLNodeKind::Document;
  parent = nullptr;
  document = this;
  SetEncoding("UTF-8");
}

_tagXMLDocument::~_tagXMLDocument() = default;

bool _tagXMLDocument::SetEncoding(const char* name) {
  _tagXMLNode* declaration = Declaration();
  if (declaration == nullptr) return false;
  _tagXMLAttr* encoding = declaration->FindAttr("encoding");
  if (encoding == nullptr) encoding = declaration->SetAttr("encoding", "");
  encoding->value = name != nullptr ? name : "";
  return true;
}

std::string _tagXMLDocument::DocumentText() {
  std::string text = ToText(&writeOptions);
  // Our writer escapes every byte from 0x80 up, so the text is usually ASCII
  // and its UTF-8 form is itself.
  if (DeclaresEncoding("UTF-8") && !IsAsciiText(text)) return MbToUtf8(text);
  return text;
}

}  // namespace tavirelle
