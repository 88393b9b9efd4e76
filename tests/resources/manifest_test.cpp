// clang-format off
#include <windows.h>
#include <msxml2.h>
#include <shlwapi.h>
#include <wrl/client.h>
// clang-format on

#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "resources/resource_fixture.h"

namespace orvanta::resources_test {
namespace {

using Microsoft::WRL::ComPtr;

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr char kAsmV1[] = "urn:schemas-microsoft-com:asm.v1";
constexpr char kAsmV3[] = "urn:schemas-microsoft-com:asm.v3";
constexpr char kCompatibility[] = "urn:schemas-microsoft-com:compatibility.v1";
constexpr char kWindowsSettings2016[] = "http://schemas.microsoft.com/SMI/2016/WindowsSettings";
constexpr char kWindows10AndLater[] = "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}";

struct BstrFree {
  void operator()(BSTR text) const { SysFreeString(text); }
};
using Bstr = std::unique_ptr<OLECHAR, BstrFree>;

Bstr MakeBstr(std::wstring_view text) {
  return Bstr(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
}

// Manifest values are ASCII; anything else shows as '?' and fails the comparison.
std::string Narrow(std::wstring_view text) {
  std::string narrow;
  for (const wchar_t c : text) narrow += c < 0x80 ? static_cast<char>(c) : '?';
  return narrow;
}

template <typename Get>
std::string Text(Get get) {
  BSTR text = nullptr;
  if (FAILED(get(&text))) return {};
  const Bstr owned(text);
  return Narrow(text ? text : L"");
}

// The manifest read from the resource's bytes by Windows' own XML parser, MSXML 6.
class Manifest : public SetupProgramResources {
 protected:
  void SetUp() override {
    SetupProgramResources::SetUp();
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    com_ = true;
    const auto bytes = ResourceBytes(module(), RT_MANIFEST, 1);
    ASSERT_TRUE(bytes.has_value()) << "no RT_MANIFEST 1 in language 1033";
    text_.assign(bytes->begin(), bytes->end());

    ASSERT_TRUE(SUCCEEDED(CLSIDFromProgID(L"Msxml2.DOMDocument.6.0", &clsid_)));
    ASSERT_TRUE(SUCCEEDED(
        CoCreateInstance(clsid_, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument, &document_)));
    document_->put_async(VARIANT_FALSE);
    const ComPtr<IStream> stream(
        SHCreateMemStream(bytes->data(), static_cast<UINT>(bytes->size())));
    ASSERT_TRUE(stream);
    VARIANT source = {};
    source.vt = VT_UNKNOWN;
    source.punkVal = stream.Get();
    VARIANT_BOOL loaded = VARIANT_FALSE;
    ASSERT_EQ(document_->load(source, &loaded), S_OK);
    ASSERT_EQ(loaded, VARIANT_TRUE) << "MSXML refuses the manifest";
  }

  void TearDown() override {
    document_.Reset();
    if (com_) CoUninitialize();
  }

  // The one element at the end of this path from the root, or null when any
  // step finds none or more than one. Steps are (namespace, local name) pairs.
  ComPtr<IXMLDOMNode> Only(std::initializer_list<std::pair<const char*, const char*>> path) const {
    std::wstring query = Step(kAsmV1, "assembly");
    ComPtr<IXMLDOMNode> node;
    for (const auto& [ns, name] : path) {
      query += Step(ns, name);
      ComPtr<IXMLDOMNodeList> found;
      LONG count = 0;
      if (document_->selectNodes(MakeBstr(query).get(), &found) != S_OK ||
          FAILED(found->get_length(&count)) || count != 1 || FAILED(found->get_item(0, &node))) {
        return nullptr;
      }
    }
    return node;
  }

  static std::wstring Step(std::string_view ns, std::string_view name) {
    return L"/*[namespace-uri()='" + std::wstring(ns.begin(), ns.end()) + L"' and local-name()='" +
           std::wstring(name.begin(), name.end()) + L"']";
  }

  // The value of an attribute, or "" when it is absent.
  static std::string Attribute(IXMLDOMNode* element, std::wstring_view name) {
    ComPtr<IXMLDOMNamedNodeMap> attributes;
    ComPtr<IXMLDOMNode> attribute;
    if (element->get_attributes(&attributes) != S_OK ||
        attributes->getNamedItem(MakeBstr(name).get(), &attribute) != S_OK) {
      return {};
    }
    return Text([&](BSTR* t) { return attribute->get_text(t); });
  }

  // A pseudo-attribute of the <?xml ...?> declaration, or "" when it is absent.
  // The pseudo-attributes have the syntax of attributes, and MSXML reads them as
  // such on an element; Wine's declaration node lists none of them.
  std::string Declaration(std::wstring_view name) const {
    ComPtr<IXMLDOMNode> first;
    if (document_->get_firstChild(&first) != S_OK ||
        Text([&](BSTR* t) { return first->get_nodeName(t); }) != "xml") {
      return {};
    }
    BSTR text = nullptr;
    if (first->get_text(&text) != S_OK) return {};
    const Bstr owned(text);
    ComPtr<IXMLDOMDocument> declaration;
    ComPtr<IXMLDOMElement> element;
    VARIANT_BOOL loaded = VARIANT_FALSE;
    if (FAILED(CoCreateInstance(clsid_, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                                &declaration)) ||
        declaration->loadXML(MakeBstr(L"<d " + std::wstring(text) + L"/>").get(), &loaded) !=
            S_OK ||
        declaration->get_documentElement(&element) != S_OK) {
      return {};
    }
    return Attribute(element.Get(), name);
  }

  std::string text_;
  CLSID clsid_ = {};
  ComPtr<IXMLDOMDocument> document_;

 private:
  bool com_ = false;
};

TEST_F(Manifest, StartsWithUtf8ByteOrderMark) { EXPECT_TRUE(text_.starts_with(kUtf8Bom)); }

TEST_F(Manifest, IsUtf8XmlWithAnAssemblyRoot) {
  EXPECT_EQ(Declaration(L"version"), "1.0");
  EXPECT_EQ(Declaration(L"encoding"), "UTF-8");
  ComPtr<IXMLDOMElement> root;
  ASSERT_EQ(document_->get_documentElement(&root), S_OK);
  EXPECT_EQ(Text([&](BSTR* t) { return root->get_namespaceURI(t); }), kAsmV1);
  EXPECT_EQ(Text([&](BSTR* t) { return root->get_baseName(t); }), "assembly");
  EXPECT_EQ(Attribute(root.Get(), L"manifestVersion"), "1.0");
}

TEST_F(Manifest, IdentifiesTheProgramAsOrvantaNativeOfThisVersion) {
  const auto identity = Only({{kAsmV1, "assemblyIdentity"}});
  ASSERT_NE(identity, nullptr);
  EXPECT_EQ(Attribute(identity.Get(), L"version"), Narrow(VersionText(4)));
  EXPECT_EQ(Attribute(identity.Get(), L"processorArchitecture"), "amd64");
  EXPECT_EQ(Attribute(identity.Get(), L"name"), "Orvanta.Native");
  EXPECT_EQ(Attribute(identity.Get(), L"type"), "win32");
}

TEST_F(Manifest, DependsOnCommonControls6Only) {
  const auto identity =
      Only({{kAsmV1, "dependency"}, {kAsmV1, "dependentAssembly"}, {kAsmV1, "assemblyIdentity"}});
  ASSERT_NE(identity, nullptr);
  EXPECT_EQ(Attribute(identity.Get(), L"type"), "win32");
  EXPECT_EQ(Attribute(identity.Get(), L"name"), "Microsoft.Windows.Common-Controls");
  EXPECT_EQ(Attribute(identity.Get(), L"version"), "6.0.0.0");
  EXPECT_EQ(Attribute(identity.Get(), L"processorArchitecture"), "amd64");
  EXPECT_EQ(Attribute(identity.Get(), L"publicKeyToken"), "6595b64144ccf1df");
  EXPECT_EQ(Attribute(identity.Get(), L"language"), "*");
}

TEST_F(Manifest, RunsAsInvokerWithoutUiAccess) {
  const auto level = Only({{kAsmV3, "trustInfo"},
                           {kAsmV3, "security"},
                           {kAsmV3, "requestedPrivileges"},
                           {kAsmV3, "requestedExecutionLevel"}});
  ASSERT_NE(level, nullptr);
  EXPECT_EQ(Attribute(level.Get(), L"level"), "asInvoker");
  EXPECT_EQ(Attribute(level.Get(), L"uiAccess"), "false");
}

TEST_F(Manifest, IsPerMonitorV2AwareAndLongPathAware) {
  const auto dpi = Only({{kAsmV3, "application"},
                         {kAsmV3, "windowsSettings"},
                         {kWindowsSettings2016, "dpiAwareness"}});
  ASSERT_NE(dpi, nullptr);
  EXPECT_EQ(Text([&](BSTR* t) { return dpi->get_text(t); }), "PerMonitorV2");
  const auto longPaths = Only({{kAsmV3, "application"},
                               {kAsmV3, "windowsSettings"},
                               {kWindowsSettings2016, "longPathAware"}});
  ASSERT_NE(longPaths, nullptr);
  EXPECT_EQ(Text([&](BSTR* t) { return longPaths->get_text(t); }), "true");
}

TEST_F(Manifest, SupportsWindows10AndLaterOnly) {
  const auto os = Only({{kCompatibility, "compatibility"},
                        {kCompatibility, "application"},
                        {kCompatibility, "supportedOS"}});
  ASSERT_NE(os, nullptr);
  EXPECT_EQ(Attribute(os.Get(), L"Id"), kWindows10AndLater);
}

// The loader builds the same activation context when the program starts; a
// manifest that it refuses stops the program before its first instruction.
// Apart from the fixture, so that it runs even when MSXML refuses the manifest.
TEST(ManifestActivation, LoaderAcceptsTheManifestAsTheProgramsActivationContext) {
  ACTCTXW context = {};
  context.cbSize = sizeof context;
  context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  context.lpSource = TestInputs().setupProgram.c_str();
  context.lpResourceName = MAKEINTRESOURCEW(1);
  HANDLE handle = CreateActCtxW(&context);
  const DWORD error = GetLastError();
  ASSERT_NE(handle, INVALID_HANDLE_VALUE) << "CreateActCtxW failed, error " << error;
  ReleaseActCtx(handle);
}

}  // namespace
}  // namespace orvanta::resources_test
