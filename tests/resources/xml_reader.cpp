#include "resources/xml_reader.h"

#include <utility>

namespace orvanta::resources_test {
namespace {

using Scope = std::map<std::string, std::string>;  // prefix ("" for the default) -> URI

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsNameChar(char c) {
  return !IsSpace(c) && c != '=' && c != '>' && c != '/' && c != '?' && c != '<' && c != '"' &&
         c != '\'' && c != '\0';
}

std::string Trim(std::string_view s) {
  size_t begin = 0;
  size_t end = s.size();
  while (begin < end && IsSpace(s[begin])) ++begin;
  while (end > begin && IsSpace(s[end - 1])) --end;
  return std::string(s.substr(begin, end - begin));
}

// The character that one of the five predefined entities stands for.
char Entity(std::string_view name) {
  static constexpr std::pair<std::string_view, char> kEntities[] = {
      {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
  for (const auto& [entity, c] : kEntities) {
    if (entity == name) return c;
  }
  throw XmlError("unknown entity &" + std::string(name) + ";");
}

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  XmlDocument Document() {
    XmlDocument document;
    if (LookingAt("<?xml")) {
      pos_ += 5;
      document.declaration = Attributes("?>");
      Expect("?>");
    }
    SkipMisc();
    if (!LookingAt("<")) Fail("no root element");
    document.root = Element(Scope{});
    SkipMisc();
    if (pos_ != text_.size()) Fail("content after the root element");
    return document;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw XmlError(what + " at byte " + std::to_string(pos_));
  }

  bool LookingAt(std::string_view s) const { return text_.substr(pos_, s.size()) == s; }

  void Expect(std::string_view s) {
    if (!LookingAt(s)) Fail("expected '" + std::string(s) + "'");
    pos_ += s.size();
  }

  void SkipSpace() {
    while (pos_ < text_.size() && IsSpace(text_[pos_])) ++pos_;
  }

  void SkipPast(std::string_view end) {
    const size_t found = text_.find(end, pos_);
    if (found == std::string_view::npos) Fail("unterminated '" + std::string(end) + "'");
    pos_ = found + end.size();
  }

  // Whitespace, comments and processing instructions outside the root element.
  void SkipMisc() {
    for (;;) {
      SkipSpace();
      if (LookingAt("<!--")) {
        SkipPast("-->");
      } else if (LookingAt("<?")) {
        SkipPast("?>");
      } else if (LookingAt("<!")) {
        Fail("document type declarations are not read");
      } else {
        return;
      }
    }
  }

  std::string Name() {
    const size_t start = pos_;
    while (pos_ < text_.size() && IsNameChar(text_[pos_])) ++pos_;
    if (pos_ == start) Fail("expected a name");
    return std::string(text_.substr(start, pos_ - start));
  }

  std::string Decode(std::string_view raw) const {
    std::string out;
    for (size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] != '&') {
        out += raw[i];
        continue;
      }
      const size_t semi = raw.find(';', i);
      if (semi == std::string_view::npos) throw XmlError("unterminated entity");
      out += Entity(raw.substr(i + 1, semi - i - 1));
      i = semi;
    }
    return out;
  }

  // Attributes up to (not including) the closing text; qualified names kept.
  std::map<std::string, std::string> Attributes(std::string_view close) {
    std::map<std::string, std::string> attributes;
    for (;;) {
      SkipSpace();
      if (LookingAt(close) || LookingAt("/>") || LookingAt(">")) return attributes;
      const std::string name = Name();
      SkipSpace();
      Expect("=");
      SkipSpace();
      if (pos_ >= text_.size() || (text_[pos_] != '"' && text_[pos_] != '\'')) {
        Fail("attribute value without quotes");
      }
      const char quote = text_[pos_++];
      const size_t end = text_.find(quote, pos_);
      if (end == std::string_view::npos) Fail("unterminated attribute value");
      if (!attributes.emplace(name, Decode(text_.substr(pos_, end - pos_))).second) {
        Fail("attribute '" + name + "' given twice");
      }
      pos_ = end + 1;
    }
  }

  static std::pair<std::string, std::string> Split(const std::string& qualified) {
    const size_t colon = qualified.find(':');
    if (colon == std::string::npos) return {"", qualified};
    return {qualified.substr(0, colon), qualified.substr(colon + 1)};
  }

  XmlElement Element(Scope scope) {
    Expect("<");
    const std::string qualified = Name();
    std::map<std::string, std::string> raw = Attributes(">");

    XmlElement element;
    for (const auto& [name, value] : raw) {
      const auto [prefix, local] = Split(name);
      if (name == "xmlns") {
        scope[""] = value;
      } else if (prefix == "xmlns") {
        scope[local] = value;
      } else {
        element.attributes[local] = value;
      }
    }
    const auto [prefix, local] = Split(qualified);
    const auto ns = scope.find(prefix);
    if (ns == scope.end() && !prefix.empty()) Fail("undeclared prefix '" + prefix + "'");
    element.ns = ns == scope.end() ? "" : ns->second;
    element.name = local;

    if (LookingAt("/>")) {
      pos_ += 2;
      return element;
    }
    Expect(">");
    std::string text;
    for (;;) {
      const size_t lt = text_.find('<', pos_);
      if (lt == std::string_view::npos) Fail("unterminated element '" + qualified + "'");
      text += Decode(text_.substr(pos_, lt - pos_));
      pos_ = lt;
      if (LookingAt("</")) {
        pos_ += 2;
        if (Name() != qualified) Fail("mismatched end tag of '" + qualified + "'");
        SkipSpace();
        Expect(">");
        element.text = Trim(text);
        return element;
      }
      if (LookingAt("<!--")) {
        SkipPast("-->");
      } else if (LookingAt("<![CDATA[")) {
        pos_ += 9;
        const size_t end = text_.find("]]>", pos_);
        if (end == std::string_view::npos) Fail("unterminated CDATA section");
        text += text_.substr(pos_, end - pos_);
        pos_ = end + 3;
      } else if (LookingAt("<?")) {
        SkipPast("?>");
      } else {
        element.children.push_back(Element(scope));
      }
    }
  }

  std::string_view text_;
  size_t pos_ = 0;
};

}  // namespace

std::vector<const XmlElement*> XmlElement::Children(std::string_view childNs,
                                                    std::string_view childName) const {
  std::vector<const XmlElement*> found;
  for (const XmlElement& child : children) {
    if (child.ns == childNs && child.name == childName) found.push_back(&child);
  }
  return found;
}

std::string XmlElement::Attribute(std::string_view attributeName) const {
  const auto it = attributes.find(std::string(attributeName));
  return it == attributes.end() ? std::string() : it->second;
}

XmlDocument ParseXml(std::string_view text) { return Reader(text).Document(); }

}  // namespace orvanta::resources_test
