#include "com/registrar.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/last_error.h"
#include "platform/status.h"

namespace tavirelle {

namespace {

struct Token {
  std::string text;
  bool quoted = false;
};

struct ScriptKey {
  enum Flag { kNone, kNoRemove, kForceRemove, kDelete } flag = kNone;
  bool is_value = false;  // a "val" entry
  std::string name;
  bool has_value = false;
  std::string value;  // string data
  bool is_number = false;  // a "d" value, `number`
  uint32_t number = 0;
  std::vector<ScriptKey> children;
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool EqualsWord(const Token& t, const char* word) {
  if (t.quoted) return false;
  std::string_view a = t.text, b = word;
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// Splits the script into words, quoted texts ('' inside is a quote) and the
// braces and '=' that stand alone.
bool Tokenize(std::string_view script, std::vector<Token>* tokens) {
  size_t i = 0;
  while (i < script.size()) {
    if (IsBlank(script[i])) {
      ++i;
      continue;
    }
    Token token;
    if (script[i] == '\'') {
      token.quoted = true;
      ++i;
      while (true) {
        if (i >= script.size()) return false;
        if (script[i] == '\'') {
          if (i + 1 < script.size() && script[i + 1] == '\'') {
            token.text.push_back('\'');
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        token.text.push_back(script[i++]);
      }
    } else {
      while (i < script.size() && !IsBlank(script[i])) token.text.push_back(script[i++]);
    }
    tokens->push_back(std::move(token));
  }
  return true;
}

class Parser {
 public:
  Parser(std::vector<Token> tokens,
         const std::map<std::string, std::string, RegistryNameLess>& replacements)
      : tokens_(std::move(tokens)), replacements_(replacements) {}

  // script := { root '{' body '}' }
  bool ParseScript(std::vector<ScriptKey>* roots) {
    while (pos_ < tokens_.size()) {
      ScriptKey root;
      if (!Name(&root.name)) return false;
      if (!Expect("{") || !Body(&root.children, 1)) return false;
      roots->push_back(std::move(root));
    }
    return true;
  }

 private:
  static constexpr int kMaxDepth = 64;

  bool AtBrace(const char* brace) const {
    return pos_ < tokens_.size() && !tokens_[pos_].quoted && tokens_[pos_].text == brace;
  }
  bool Expect(const char* text) {
    if (!AtBrace(text)) return false;
    ++pos_;
    return true;
  }
  // A name or value text with its replacement variables substituted. The
  // substitution happens after the script is split into tokens, so a value
  // (a module path, say) can never change the script's structure.
  bool Substitute(const std::string& text, std::string* out) {
    out->clear();
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] != '%') {
        out->push_back(text[i]);
        continue;
      }
      size_t end = text.find('%', i + 1);
      if (end == std::string::npos) return false;
      std::string name = text.substr(i + 1, end - i - 1);
      if (name.empty()) {
        out->push_back('%');
      } else {
        auto it = replacements_.find(name);
        if (it == replacements_.end()) return false;
        *out += it->second;
      }
      i = end;
    }
    return true;
  }
  bool Name(std::string* out) {
    if (pos_ >= tokens_.size()) return false;
    const Token& t = tokens_[pos_];
    if (!t.quoted && (t.text == "{" || t.text == "}" || t.text == "=")) return false;
    ++pos_;
    return Substitute(t.text, out) && !out->empty();
  }
  // "= s 'text'" or "= d 'number'"
  bool Value(ScriptKey* key) {
    if (!Expect("=")) return false;
    if (pos_ + 1 >= tokens_.size()) return false;
    const Token& type = tokens_[pos_++];
    const Token& data = tokens_[pos_++];
    std::string text;
    if (!Substitute(data.text, &text)) return false;
    key->has_value = true;
    if (EqualsWord(type, "s")) {
      key->value = text;
      return true;
    }
    if (EqualsWord(type, "d")) {
      char* end = nullptr;
      unsigned long long number = std::strtoull(text.c_str(), &end, 0);
      if (text.empty() || *end != 0 || number > 0xFFFFFFFFull) return false;
      key->number = static_cast<uint32_t>(number);
      key->is_number = true;
      return true;
    }
    return false;
  }
  bool Body(std::vector<ScriptKey>* keys, int depth) {
    if (depth > kMaxDepth) return false;
    while (true) {
      if (pos_ >= tokens_.size()) return false;
      if (AtBrace("}")) {
        ++pos_;
        return true;
      }
      ScriptKey key;
      const Token& first = tokens_[pos_];
      if (EqualsWord(first, "val")) {
        ++pos_;
        key.is_value = true;
        if (!Name(&key.name) || !Value(&key)) return false;
        keys->push_back(std::move(key));
        continue;
      }
      if (EqualsWord(first, "NoRemove")) {
        key.flag = ScriptKey::kNoRemove;
        ++pos_;
      } else if (EqualsWord(first, "ForceRemove")) {
        key.flag = ScriptKey::kForceRemove;
        ++pos_;
      } else if (EqualsWord(first, "Delete")) {
        key.flag = ScriptKey::kDelete;
        ++pos_;
      }
      if (!Name(&key.name) || key.name.find('\\') != std::string::npos) return false;
      if (AtBrace("=") && !Value(&key)) return false;
      if (AtBrace("{")) {
        ++pos_;
        if (!Body(&key.children, depth + 1)) return false;
      }
      keys->push_back(std::move(key));
    }
  }

  std::vector<Token> tokens_;
  const std::map<std::string, std::string, RegistryNameLess>& replacements_;
  size_t pos_ = 0;
};

// Why a registry change failed; one the platform gave no reason for still
// reads as a failure to the registration tools.
HRESULT LastErrorResult() { return ToHresult(Status::FromLastErrorOr(ERROR_INVALID_FUNCTION)); }

class Applier {
 public:
  explicit Applier(Registry* registry) : registry_(registry) {}

  HRESULT Register(const std::string& path, const std::vector<ScriptKey>& keys) {
    for (const ScriptKey& key : keys) {
      if (key.is_value) {
        if (!SetValue(path, key)) return LastErrorResult();
        continue;
      }
      std::string child = path + "\\" + key.name;
      if (key.flag == ScriptKey::kDelete) {
        registry_->DeleteKey(child);  // absent is fine
        continue;
      }
      if (key.flag == ScriptKey::kForceRemove) registry_->DeleteKey(child);
      if (registry_->CreateKey(child) == nullptr) return LastErrorResult();
      if (key.has_value) {
        ScriptKey default_value = key;
        default_value.name.clear();
        if (!SetValue(child, default_value)) return LastErrorResult();
      }
      HRESULT hr = Register(child, key.children);
      if (FAILED(hr)) return hr;
    }
    return S_OK;
  }

  void Unregister(const std::string& path, const std::vector<ScriptKey>& keys) {
    for (const ScriptKey& key : keys) {
      if (key.is_value) {
        registry_->DeleteValue(path, key.name);
        continue;
      }
      std::string child = path + "\\" + key.name;
      RegistryKey* existing = registry_->FindKey(child);
      if (existing == nullptr) continue;
      if (key.flag == ScriptKey::kForceRemove) {
        registry_->DeleteKey(child);
        continue;
      }
      Unregister(child, key.children);
      if (key.flag == ScriptKey::kNoRemove) continue;
      // A key is removed only when nothing the script does not know of is
      // left below it.
      existing = registry_->FindKey(child);
      if (existing != nullptr && existing->subkeys.empty()) registry_->DeleteKey(child);
    }
  }

 private:
  bool SetValue(const std::string& path, const ScriptKey& key) {
    return key.is_number ? registry_->SetNumber(path, key.name, key.number)
                         : registry_->SetValue(path, key.name, key.value);
  }

  Registry* registry_;
};

}  // namespace

void Registrar::AddReplacement(const std::string& name, const std::string& value) {
  replacements_[name] = value;
}

HRESULT Registrar::Register(std::string_view script) { return Run(script, true); }
HRESULT Registrar::Unregister(std::string_view script) { return Run(script, false); }

HRESULT Registrar::Run(std::string_view script, bool do_register) {
  std::vector<Token> tokens;
  if (!Tokenize(script, &tokens)) return kRegistrarSyntaxError;
  std::vector<ScriptKey> roots;
  Parser parser(std::move(tokens), replacements_);
  if (!parser.ParseScript(&roots)) return kRegistrarSyntaxError;
  // Resolve every root before touching the registry.
  std::vector<std::string> paths;
  for (const ScriptKey& root : roots) {
    std::string name = root.name;
    if (EqualsWord(Token{name, false}, "HKCR") ||
        EqualsWord(Token{name, false}, "HKEY_CLASSES_ROOT")) {
      paths.push_back(classes_root_);
    } else if (EqualsWord(Token{name, false}, "HKLM") ||
               EqualsWord(Token{name, false}, "HKEY_LOCAL_MACHINE")) {
      paths.push_back(kLocalMachine);
    } else if (EqualsWord(Token{name, false}, "HKCU") ||
               EqualsWord(Token{name, false}, "HKEY_CURRENT_USER")) {
      paths.push_back(kCurrentUser);
    } else {
      return kRegistrarSyntaxError;
    }
  }
  Applier applier(registry_);
  for (size_t i = 0; i < roots.size(); ++i) {
    if (do_register) {
      HRESULT hr = applier.Register(paths[i], roots[i].children);
      if (FAILED(hr)) return hr;
    } else {
      applier.Unregister(paths[i], roots[i].children);
    }
  }
  return S_OK;
}

}  // namespace tavirelle
