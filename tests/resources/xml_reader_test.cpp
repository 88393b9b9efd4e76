#include <gtest/gtest.h>

#include "resources/xml_reader.h"

// The manifest checks are only as good as the reader under them.
namespace orvanta::resources_test {
namespace {

TEST(XmlReader, ChildrenInheritTheDefaultNamespaceUntilRedeclared) {
  const XmlDocument d = ParseXml(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<a xmlns=\"urn:one\"><b/><c xmlns=\"urn:two\"><d>x</d></c></a>");
  EXPECT_EQ(d.declaration.at("encoding"), "UTF-8");
  EXPECT_EQ(d.root.ns, "urn:one");
  ASSERT_EQ(d.root.Children("urn:one", "b").size(), 1u);
  const auto c = d.root.Children("urn:two", "c");
  ASSERT_EQ(c.size(), 1u);
  ASSERT_EQ(c.front()->Children("urn:two", "d").size(), 1u);
  EXPECT_EQ(c.front()->Children("urn:two", "d").front()->text, "x");
  EXPECT_TRUE(d.root.Children("urn:one", "c").empty());
}

TEST(XmlReader, PrefixedNamesResolveThroughTheirDeclaration) {
  const XmlDocument d =
      ParseXml("<asm:a xmlns:asm='urn:one' xmlns:s='urn:s'><s:b s:k='v'/></asm:a>");
  EXPECT_EQ(d.root.ns, "urn:one");
  EXPECT_EQ(d.root.name, "a");
  const auto b = d.root.Children("urn:s", "b");
  ASSERT_EQ(b.size(), 1u);
  EXPECT_EQ(b.front()->Attribute("k"), "v");
  EXPECT_TRUE(d.root.attributes.empty()) << "namespace declarations are not attributes";
}

TEST(XmlReader, TextIsTrimmedAndEntitiesDecoded) {
  const XmlDocument d = ParseXml("<a t='&lt;&amp;&quot;'>\n  <!-- note -->  x &gt; y  \n</a>");
  EXPECT_EQ(d.root.Attribute("t"), "<&\"");
  EXPECT_EQ(d.root.text, "x > y");
}

TEST(XmlReader, RefusesDocumentsThatAreNotWellFormed) {
  for (const char* bad : {"", "<a>", "<a></b>", "<a x='1' x='2'/>", "<a x=1/>", "<p:a/>",
                          "<a/><b/>", "<a>&nbsp;</a>", "<!DOCTYPE a><a/>"}) {
    EXPECT_THROW(ParseXml(bad), XmlError) << bad;
  }
}

}  // namespace
}  // namespace orvanta::resources_test
