#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// Just enough XML to read an application manifest: elements with their
// resolved namespace, attributes, text and children. No DTD, no validation.
namespace orvanta::resources_test {

struct XmlElement {
  std::string ns;    // the namespace URI that the element's prefix (or the default) names
  std::string name;  // the local name
  std::map<std::string, std::string> attributes;  // by local name; xmlns declarations left out
  std::string text;                               // the character data directly inside, trimmed
  std::vector<XmlElement> children;

  // The children with this namespace and local name, in document order.
  std::vector<const XmlElement*> Children(std::string_view ns, std::string_view name) const;
  // The value of an attribute, or "" when it is absent.
  std::string Attribute(std::string_view name) const;
};

struct XmlDocument {
  std::map<std::string, std::string> declaration;  // the <?xml ...?> pseudo-attributes
  XmlElement root;
};

class XmlError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads a UTF-8 document that starts after any byte-order mark. Throws
// XmlError when it is not well formed as far as this reader looks.
XmlDocument ParseXml(std::string_view text);

}  // namespace orvanta::resources_test
