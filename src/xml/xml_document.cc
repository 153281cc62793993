// The node tree: lookups, editing and the writer.
#include "xml/xml_document.h"

#include <algorithm>
#include <mutex>
#include <utility>

#include "platform/code_page.h"
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
std::unique_ptr<XmlNode> DeepCopy(const XmlNode* source, XmlNode* document) {
  auto copy = std::make_unique<XmlNode>();
  copy->name = source->name;
  copy->value = source->value;
  copy->kind = source->kind;
  copy->attributes.reserve(source->attributes.size());
  for (const auto& attr : source->attributes) {
    auto added = std::make_unique<XmlAttr>();
    added->name = attr->name;
    added->value = attr->value;
    added->parent = copy.get();
    copy->attributes.push_back(std::move(added));
  }
  copy->children.reserve(source->children.size());
  for (const auto& child : source->children) {
    std::unique_ptr<XmlNode> added = DeepCopy(child.get(), document);
    added->parent = copy.get();
    added->document = document;
    copy->children.push_back(std::move(added));
  }
  return copy;
}

// Writes one node; options are already resolved and their table held.
void WriteNode(const XmlNode* node, std::string* out, XMLWriteOptions* options) {
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

XmlNode::~XmlNode() {
  // A subtree is taken apart level by level rather than by recursion, so
  // that destroying a deep tree needs no more stack than a flat one.
  if (children.empty()) return;
  std::vector<std::unique_ptr<XmlNode>> pending;
  pending.reserve(children.size());
  for (auto child = children.rbegin(); child != children.rend(); ++child) {
    pending.push_back(std::move(*child));
  }
  children.clear();
  while (!pending.empty()) {
    std::unique_ptr<XmlNode> node = std::move(pending.back());
    pending.pop_back();
    // Last child first onto the stack: nodes die in the order they were
    // made, which walks their memory forwards.
    for (auto child = node->children.rbegin(); child != node->children.rend(); ++child) {
      pending.push_back(std::move(*child));
    }
    node->children.clear();
  }
}
XmlAttr::~XmlAttr() = default;

void* XmlNode::operator new(size_t size) { return AllocateXMLObject(size); }
void XmlNode::operator delete(void* node) noexcept { FreeXMLObject(node); }
void* XmlAttr::operator new(size_t size) { return AllocateXMLObject(size); }
void XmlAttr::operator delete(void* attr) noexcept { FreeXMLObject(attr); }

XmlNode* XmlNode::FindChild(const char* name) const {
  if (name == nullptr) return nullptr;
  for (const auto& child : children) {
    if (child->name == name) return child.get();
  }
  return nullptr;
}

XmlNode* XmlNode::ChildAt(int32_t index) const {
  if (index < 0 || static_cast<size_t>(index) >= children.size()) return nullptr;
  return children[static_cast<size_t>(index)].get();
}

int32_t XmlNode::ChildCount() const { return static_cast<int32_t>(children.size()); }

const std::string& XmlNode::Text(bool* isCData) {
  if (children.size() == 1 && children[0]->kind == XMLNodeKind::CData) {
    value.clear();
    if (isCData != nullptr) *isCData = true;
    return children[0]->value;
  }
  if (isCData != nullptr) *isCData = false;
  return value;
}

const std::string& XmlNode::ChildText(const char* name) const {
  XmlNode* child = FindChild(name);
  return child != nullptr ? child->Text(nullptr) : EmptyText();
}

XmlAttr* XmlNode::FindAttr(const char* name) const {
  if (name == nullptr) return nullptr;
  for (const auto& attr : attributes) {
    if (attr->name == name) return attr.get();
  }
  return nullptr;
}

const std::string& XmlNode::AttrText(const char* name) const {
  XmlAttr* attr = FindAttr(name);
  return attr != nullptr ? attr->value : EmptyText();
}

bool XmlNode::DeclaresEncoding(const char* name) const {
  if (name == nullptr) return false;
  for (const auto& child : children) {
    if (child->kind != XMLNodeKind::Declaration) continue;
    XmlAttr* encoding = child->FindAttr("encoding");
    return encoding != nullptr && encoding->value == name;
  }
  return false;
}

XmlAttr* XmlNode::SetAttr(const char* name, const char* value) {
  if (XmlAttr* existing = FindAttr(name)) {
    if (value != nullptr) existing->value = value;
    return existing;
  }
  auto attr = std::make_unique<XmlAttr>();
  if (name != nullptr) attr->name = name;
  if (value != nullptr) attr->value = value;
  attr->parent = this;
  attributes.push_back(std::move(attr));
  return attributes.back().get();
}

std::unique_ptr<XmlNode> XmlNode::NewElement(const char* name, const char* value,
                                                     bool asCData) {
  auto node = std::make_unique<XmlNode>();
  node->kind = XMLNodeKind::Element;
  if (name != nullptr) node->name = name;
  node->SetText(value, asCData);
  return node;
}

XmlNode* XmlNode::AddChild(const char* name, const char* value, bool asCData) {
  std::unique_ptr<XmlNode> child = NewElement(name, value, asCData);
  child->parent = this;
  child->document = document;
  children.push_back(std::move(child));
  return children.back().get();
}

XmlNode* XmlNode::SetChild(const char* name, const char* value, bool asCData) {
  if (XmlNode* existing = FindChild(name)) {
    if (value != nullptr) existing->SetText(value, asCData);
    return existing;
  }
  return AddChild(name, value, asCData);
}

void XmlNode::SetText(const char* text, bool asCData) {
  if (text == nullptr) text = "";
  if (asCData && children.size() <= 1) {
    value.clear();
    if (children.empty()) {
      XmlNode* section = AddChild("#CDATA", nullptr, /*asCData=*/false);
      section->kind = XMLNodeKind::CData;
      section->value = text;
      return;
    }
    XmlNode* only = children[0].get();
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

XmlNode* XmlNode::InsertChild(uint32_t index, std::unique_ptr<XmlNode> child) {
  if (child == nullptr) return nullptr;
  child->parent = this;
  child->document = document;
  XmlNode* linked = child.get();
  if (index < children.size()) {
    children.insert(children.begin() + index, std::move(child));
  } else {
    children.push_back(std::move(child));
  }
  return linked;
}

XmlNode* XmlNode::AddCopy(const XmlNode* source) {
  if (source == nullptr) return nullptr;
  std::unique_ptr<XmlNode> copy = DeepCopy(source, document);
  copy->parent = this;
  copy->document = document;
  children.push_back(std::move(copy));
  return children.back().get();
}

bool XmlNode::RemoveChild(XmlNode* child) {
  auto found = std::find_if(children.begin(), children.end(),
                            [child](const auto& entry) { return entry.get() == child; });
  if (child == nullptr || found == children.end()) return false;
  // Unlink first, then destroy: the subtree may be deep.
  std::unique_ptr<XmlNode> doomed = std::move(*found);
  children.erase(found);
  return true;
}

bool XmlNode::RemoveAttr(XmlAttr* attr) {
  return DetachAttr(attr) != nullptr;
}

std::unique_ptr<XmlAttr> XmlNode::DetachAttr(XmlAttr* attr) {
  if (attr == nullptr) return nullptr;
  auto found = std::find_if(attributes.begin(), attributes.end(),
                            [attr](const auto& entry) { return entry.get() == attr; });
  if (found == attributes.end()) return nullptr;
  std::unique_ptr<XmlAttr> detached = std::move(*found);
  attributes.erase(found);
  return detached;
}

bool XmlNode::RemoveAllChildren() {
  if (children.empty()) return false;
  std::vector<std::unique_ptr<XmlNode>> doomed;
  doomed.swap(children);
  return true;
}

bool XmlNode::RemoveAllAttrs() {
  if (attributes.empty()) return false;
  std::vector<std::unique_ptr<XmlAttr>> doomed;
  doomed.swap(attributes);
  return true;
}

void XmlNode::Clear() {
  RemoveAllChildren();
  RemoveAllAttrs();
}

XmlNode* XmlNode::Declaration() {
  for (const auto& child : children) {
    if (child->kind == XMLNodeKind::Declaration) return child.get();
  }
  if (document == nullptr) return nullptr;
  std::unique_ptr<XmlNode> declaration = NewElement("xml", nullptr, /*asCData=*/false);
  declaration->kind = XMLNodeKind::Declaration;
  XmlNode* linked = InsertChild(0, std::move(declaration));
  linked->SetAttr("version", "1.0");
  return linked;
}

std::string XmlNode::ToText(XMLWriteOptions* options) {
  std::string out;
  AppendText(&out, options);
  return out;
}

void XmlNode::AppendText(std::string* out, XMLWriteOptions* options) {
  if (options == nullptr && document != nullptr) {
    if (auto* owner = dynamic_cast<XmlDocument*>(document)) options = &owner->writeOptions;
  }
  TableHold hold(options);
  WriteNode(this, out, options);
}

std::string XmlAttr::ToText(XMLWriteOptions* options) const {
  std::string out;
  AppendText(&out, options);
  return out;
}

void XmlAttr::AppendText(std::string* out, XMLWriteOptions* options) const {
  if (options == nullptr) return;
  out->append(name);
  out->push_back('=');
  out->push_back(options->quote);
  AppendEncoded(out, value, options);
  out->push_back(options->quote);
  out->push_back(' ');
}

XmlDocument::XmlDocument() {
  kind = XMLNodeKind::Document;
  parent = nullptr;
  document = this;
  SetEncoding("UTF-8");
}

XmlDocument::~XmlDocument() = default;

bool XmlDocument::SetEncoding(const char* name) {
  XmlNode* declaration = Declaration();
  if (declaration == nullptr) return false;
  XmlAttr* encoding = declaration->FindAttr("encoding");
  if (encoding == nullptr) encoding = declaration->SetAttr("encoding", "");
  encoding->value = name != nullptr ? name : "";
  return true;
}

std::string XmlDocument::DocumentText() {
  std::string text = ToText(&writeOptions);
  // Our writer escapes every byte from 0x80 up, so the text is usually ASCII
  // and its UTF-8 form is itself.
  if (DeclaresEncoding("UTF-8") && !IsAsciiText(text)) return AnsiToUtf8(text.c_str());
  return text;
}

}  // namespace tavirelle
