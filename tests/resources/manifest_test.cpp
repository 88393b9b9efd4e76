#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "resources/resource_fixture.h"
#include "resources/xml_reader.h"

namespace orvanta::resources_test {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr char kAsmV1[] = "urn:schemas-microsoft-com:asm.v1";
constexpr char kAsmV3[] = "urn:schemas-microsoft-com:asm.v3";
constexpr char kCompatibility[] = "urn:schemas-microsoft-com:compatibility.v1";
constexpr char kWindowsSettings2016[] = "http://schemas.microsoft.com/SMI/2016/WindowsSettings";
constexpr char kWindows10AndLater[] = "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}";

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

class Manifest : public SetupProgramResources {
 protected:
  void SetUp() override {
    SetupProgramResources::SetUp();
    const auto bytes = ResourceBytes(module(), RT_MANIFEST, 1);
    ASSERT_TRUE(bytes.has_value()) << "no RT_MANIFEST 1 in language 1033";
    text_.assign(bytes->begin(), bytes->end());
    std::string_view xml = text_;
    if (xml.starts_with(kUtf8Bom)) xml.remove_prefix(kUtf8Bom.size());
    ASSERT_NO_THROW(document_ = ParseXml(xml));
  }

  // The one element at the end of this path from the root, or null when any
  // step finds none or more than one.
  const XmlElement* Only(std::initializer_list<std::pair<const char*, const char*>> path) const {
    const XmlElement* element = &document_.root;
    for (const auto& [ns, name] : path) {
      const auto found = element->Children(ns, name);
      if (found.size() != 1) return nullptr;
      element = found.front();
    }
    return element;
  }

  std::string text_;
  XmlDocument document_;
};

TEST_F(Manifest, StartsWithUtf8ByteOrderMark) { EXPECT_TRUE(text_.starts_with(kUtf8Bom)); }

TEST_F(Manifest, IsUtf8XmlWithAnAssemblyRoot) {
  EXPECT_EQ(document_.declaration["version"], "1.0");
  EXPECT_EQ(document_.declaration["encoding"], "UTF-8");
  EXPECT_EQ(document_.root.ns, kAsmV1);
  EXPECT_EQ(document_.root.name, "assembly");
  EXPECT_EQ(document_.root.Attribute("manifestVersion"), "1.0");
}

TEST_F(Manifest, IdentifiesTheProgramAsOrvantaNativeOfThisVersion) {
  const XmlElement* identity = Only({{kAsmV1, "assemblyIdentity"}});
  ASSERT_NE(identity, nullptr);
  EXPECT_EQ(identity->Attribute("version"), Narrow(VersionText(4)));
  EXPECT_EQ(identity->Attribute("processorArchitecture"), "amd64");
  EXPECT_EQ(identity->Attribute("name"), "Orvanta.Native");
  EXPECT_EQ(identity->Attribute("type"), "win32");
}

TEST_F(Manifest, DependsOnCommonControls6Only) {
  const XmlElement* identity =
      Only({{kAsmV1, "dependency"}, {kAsmV1, "dependentAssembly"}, {kAsmV1, "assemblyIdentity"}});
  ASSERT_NE(identity, nullptr);
  EXPECT_EQ(identity->Attribute("type"), "win32");
  EXPECT_EQ(identity->Attribute("name"), "Microsoft.Windows.Common-Controls");
  EXPECT_EQ(identity->Attribute("version"), "6.0.0.0");
  EXPECT_EQ(identity->Attribute("processorArchitecture"), "amd64");
  EXPECT_EQ(identity->Attribute("publicKeyToken"), "6595b64144ccf1df");
  EXPECT_EQ(identity->Attribute("language"), "*");
}

TEST_F(Manifest, RunsAsInvokerWithoutUiAccess) {
  const XmlElement* level = Only({{kAsmV3, "trustInfo"},
                                  {kAsmV3, "security"},
                                  {kAsmV3, "requestedPrivileges"},
                                  {kAsmV3, "requestedExecutionLevel"}});
  ASSERT_NE(level, nullptr);
  EXPECT_EQ(level->Attribute("level"), "asInvoker");
  EXPECT_EQ(level->Attribute("uiAccess"), "false");
}

TEST_F(Manifest, IsPerMonitorV2AwareAndLongPathAware) {
  const XmlElement* dpi = Only({{kAsmV3, "application"},
                                {kAsmV3, "windowsSettings"},
                                {kWindowsSettings2016, "dpiAwareness"}});
  ASSERT_NE(dpi, nullptr);
  EXPECT_EQ(dpi->text, "PerMonitorV2");
  const XmlElement* longPaths = Only({{kAsmV3, "application"},
                                      {kAsmV3, "windowsSettings"},
                                      {kWindowsSettings2016, "longPathAware"}});
  ASSERT_NE(longPaths, nullptr);
  EXPECT_EQ(longPaths->text, "true");
}

TEST_F(Manifest, SupportsWindows10AndLaterOnly) {
  const XmlElement* os = Only({{kCompatibility, "compatibility"},
                               {kCompatibility, "application"},
                               {kCompatibility, "supportedOS"}});
  ASSERT_NE(os, nullptr);
  EXPECT_EQ(os->Attribute("Id"), kWindows10AndLater);
}

// The loader builds the same activation context when the program starts; a
// manifest that it refuses stops the program before its first instruction.
// Apart from the fixture, so that it runs even when our own reader refuses it.
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
