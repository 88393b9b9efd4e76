#include "base/path.h"

#include <gtest/gtest.h>

namespace orvanta {
namespace {

struct Case {
  const wchar_t* input;
  const wchar_t* expected;
};

TEST(PathTest, AppendPutsExactlyOneBackslashBetweenParts) {
  const Case cases[] = {
      {L"C:\\Users\\ana", L"C:\\Users\\ana\\x"},
      {L"C:\\Users\\ana\\", L"C:\\Users\\ana\\x"},
      {L"C:/Users/", L"C:/Users/x"},
      {L"C:", L"C:x"},
      {L"", L"x"},
      {L"C:\\", L"C:\\x"},
      {L"\\\\server\\share", L"\\\\server\\share\\x"},
      {L"CC:", L"CC:\\x"},
  };
  for (const auto& c : cases) EXPECT_EQ(AppendPath(c.input, L"x"), c.expected) << c.input;
}

TEST(PathTest, RootNameFollowsWindowsGrammar) {
  const std::pair<const wchar_t*, std::size_t> cases[] = {
      {L"C:\\Apps", 2},
      {L"c:", 2},
      {L"C", 0},
      {L"\\Apps", 0},
      {L"\\\\server\\share", 8},
      {L"//server/share", 8},
      {L"\\\\server", 8},
      {L"\\\\?\\C:\\x", 3},
      {L"\\\\.\\pipe", 3},
      {L"\\??\\C:\\", 3},
      {L"\\\\?\\", 3},
      {L"\\\\?\\\\x", 3},
      {L"\\\\\\x", 0},
      {L"1:\\x", 0},
      {L"\u00C4:\\x", 0},
      {L"", 0},
  };
  for (const auto& [path, length] : cases) EXPECT_EQ(RootNameLength(path), length) << path;
}

// Windows can neither query nor create a bare volume name (\\?\C:, \\?\UNC);
// Wine can, which is why this is proven here and not end to end.
TEST(PathTest, VolumeRootCoversTheWholeVolumeName) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"C:\\Apps\\Orvanta", L"C:\\"},
      {L"C:/Apps", L"C:/"},
      {L"C:", L"C:"},
      {L"\\\\?\\C:\\Apps", L"\\\\?\\C:\\"},
      {L"\\\\.\\D:\\Apps", L"\\\\.\\D:\\"},
      {L"\\\\?\\C:", L"\\\\?\\C:"},
      {L"\\\\?\\UNC\\server\\share\\Apps", L"\\\\?\\UNC\\server\\share\\"},
      {L"\\\\?\\unc\\server\\share", L"\\\\?\\unc\\server\\share"},
      {L"\\\\server\\share\\Apps", L"\\\\server\\share\\"},
      {L"//server/share", L"//server/share"},
      {L"\\\\?\\Volume{1b3b}\\Apps", L"\\\\?\\Volume{1b3b}\\"},
      {L"\\Apps", L"\\"},
      {L"Apps\\Orvanta", L""},
  };
  for (const auto& [path, root] : cases) {
    EXPECT_EQ(std::wstring_view(path).substr(0, VolumeRootLength(path)), root) << path;
  }
}

// Wine has no MAX_PATH limit on file calls, so only this table shows the form
// that a Windows machine without the long-path policy needs.
TEST(PathTest, ExtendedLengthFormKeepsDevicePathsAndRelativeOnes) {
  const Case cases[] = {
      {L"C:\\Apps\\Orvanta", L"\\\\?\\C:\\Apps\\Orvanta"},
      {L"c:/Apps//x/../Orvanta\\", L"\\\\?\\c:\\Apps\\Orvanta\\"},
      {L"\\\\server\\share\\Apps", L"\\\\?\\UNC\\server\\share\\Apps"},
      {L"\\\\?\\C:\\Apps", L"\\\\?\\C:\\Apps"},
      {L"\\\\.\\C:\\Apps", L"\\\\.\\C:\\Apps"},
      {L"\\\\?\\UNC\\server\\share", L"\\\\?\\UNC\\server\\share"},
      {L"C:Apps", L"C:Apps"},
      {L"Apps\\Orvanta", L"Apps\\Orvanta"},
      {L"\\Apps", L"\\Apps"},
  };
  for (const auto& c : cases) EXPECT_EQ(ExtendedLengthPath(c.input), c.expected) << c.input;
}

// Wine's shell link takes a \\?\ path as it is; the shell on Windows parses
// none into an item list, which only the link's stored text can show here.
TEST(PathTest, PlainFormDropsTheExtendedPrefix) {
  const Case cases[] = {
      {L"\\\\?\\C:\\Apps\\Orvanta.exe", L"C:\\Apps\\Orvanta.exe"},
      {L"\\\\?\\unc\\server\\share\\x.exe", L"\\\\server\\share\\x.exe"},
      {L"C:\\Apps\\Orvanta.exe", L"C:\\Apps\\Orvanta.exe"},
      {L"\\\\?\\Volume{1b3b}\\x.exe", L"\\\\?\\Volume{1b3b}\\x.exe"},
      {L"\\\\.\\C:\\x.exe", L"\\\\.\\C:\\x.exe"},
      {L"\\\\?\\UNCx\\y", L"\\\\?\\UNCx\\y"},
  };
  for (const auto& c : cases) EXPECT_EQ(PlainPath(c.input), c.expected) << c.input;
}

TEST(PathTest, NormalisationFollowsGenericRules) {
  const Case cases[] = {
      {L"", L""},
      {L"D:/Apps//Orvanta/./Sub", L"D:\\Apps\\Orvanta\\Sub"},
      {L"D:\\Apps\\Orvanta\\", L"D:\\Apps\\Orvanta\\"},
      {L"D:\\Apps\\..\\Orvanta", L"D:\\Orvanta"},
      {L"D:\\Apps\\Sub\\..", L"D:\\Apps\\"},
      {L"C:\\..", L"C:\\"},
      {L"C:\\..\\..\\x", L"C:\\x"},
      {L"a\\..\\..\\b", L"..\\b"},
      {L"a\\b\\..\\..", L"."},
      {L"..\\..\\", L"..\\.."},
      {L"./a", L"a"},
      {L"a/.", L"a\\"},
      {L"C:", L"C:"},
      {L"C:.", L"C:"},
      {L"//server//share//dir", L"\\\\server\\share\\dir"},
      {L"\\\\?\\C:\\Apps\\.\\x", L"\\\\?\\C:\\Apps\\x"},
      {L"D:\\MiXeD\\Case", L"D:\\MiXeD\\Case"},
      {L"/", L"\\"},
      {L"D:\\a\\...\\b", L"D:\\a\\...\\b"},
  };
  for (const auto& c : cases) EXPECT_EQ(LexicallyNormal(c.input), c.expected) << c.input;
}

TEST(PathTest, OnlyRootsAndTheEmptyPathCountAsRoots) {
  const wchar_t* roots[] = {L"",
                            L"C:",
                            L"C:\\",
                            L"C:/",
                            L"C:\\\\",
                            L"\\",
                            L"\\\\server",
                            L"\\\\server\\",
                            L"\\\\?\\",
                            L"\\\\?\\C:",
                            L"\\\\?\\C:\\",
                            L"\\\\.\\D:/",
                            L"\\??\\C:\\",
                            L"\\\\?\\Volume{1b3b}\\",
                            L"\\\\.\\volume{1b3b}"};
  for (const auto* path : roots) EXPECT_TRUE(IsRootOnly(path)) << path;
  const wchar_t* notRoots[] = {L"C:\\Apps",
                               L"\\\\server\\share",
                               L"\\\\?\\C:\\Apps",
                               L"\\\\?\\UNC\\server\\share",
                               L"Apps",
                               L"C:Apps",
                               L"\\\\?\\CC:\\",
                               L"\\\\?\\Volume{1b3b}\\x",
                               L"\\\\?\\Volume\\"};
  for (const auto* path : notRoots) EXPECT_FALSE(IsRootOnly(path)) << path;
}

// Wine creates these names through \\?\ as Windows does; only Explorer, which
// can neither rename nor delete them, shows why they are refused.
TEST(PathTest, NamesExplorerCannotHandleAreUnusable) {
  const wchar_t* usable[] = {
      L"C:\\Users\\x\\AppData\\Local\\Programs\\Orvanta",
      L"\\\\server\\share\\dir",
      L"\\\\?\\C:\\dir",
      L"\\\\?\\UNC\\server\\share\\dir",
      L"\\\\.\\C:\\Apps",
      L"C:\\Apps\\Orvanta\\",
      L"C:\\Apps\\.\\x\\..\\Orvanta",
      L"C:\\Apps\\CONSOLE\\COM10\\NULL.txt\\.config\\Com\u00B4",
  };
  for (const auto* path : usable) EXPECT_FALSE(HasUnusableName(path, path, 0)) << path;
  const wchar_t* unusable[] = {
      L"C:\\My Apps \\Orvanta",
      L"C:\\Apps\\Orvanta \\",
      L"C:\\A..\\B",
      L"C:\\Apps\\Orvanta.",
      L"C:\\Apps\\NUL",
      L"C:\\Apps\\con.txt\\Orvanta",
      L"C:\\Apps\\nul .txt",
      L"\\\\server\\share\\Prn.tar.gz",
      L"\\\\?\\C:\\Apps\\aux",
      L"C:\\Apps\\Com9\\x",
      L"C:\\Apps\\com\u00B9",
      L"C:\\Apps\\LPT\u00B3.log",
      L"C:\\Apps\\CONOUT$",
      L"C:\\Apps\\conin$.txt",
  };
  for (const auto* path : unusable) EXPECT_TRUE(HasUnusableName(path, path, 0)) << path;
  // Folders that exist (up to `existing`) have proved usable; below them
  // every name still counts.
  const std::wstring_view owned = L"C:\\Users\\Con\\aux \\con.d\\Orvanta";
  EXPECT_FALSE(HasUnusableName(owned, owned, owned.rfind(L'\\')));
  EXPECT_TRUE(HasUnusableName(owned, owned, owned.find(L"\\con.d")));
  // The system's full-path rule turns a device name into its \\.\ form.
  EXPECT_TRUE(HasUnusableName(L"C:\\Apps\\NUL", L"\\\\.\\NUL", 7));
  EXPECT_TRUE(HasUnusableName(L"nul.txt", L"\\\\.\\nul", 0));
}

TEST(PathTest, ParentNeverCutsIntoTheRoot) {
  const Case cases[] = {
      {L"D:\\Apps\\Orvanta\\Orvanta.exe", L"D:\\Apps\\Orvanta"},
      {L"D:\\Apps\\Orvanta\\\\Orvanta.exe", L"D:\\Apps\\Orvanta"},
      {L"D:\\Orvanta.exe", L"D:\\"},
      {L"D:Orvanta.exe", L"D:"},
      {L"\\\\server\\share\\Orvanta.exe", L"\\\\server\\share"},
      {L"Orvanta.exe", L""},
      {L"D:/Apps/Orvanta.exe", L"D:/Apps"},
  };
  for (const auto& c : cases) EXPECT_EQ(ParentPath(c.input), c.expected) << c.input;
}

TEST(PathTest, AsciiCaseFoldingFoldsOnlyAToZ) {
  EXPECT_TRUE(EqualIgnoringAsciiCase(L"AZaz", L"azAZ"));
  EXPECT_FALSE(EqualIgnoringAsciiCase(L"[", L"{"));
  EXPECT_FALSE(EqualIgnoringAsciiCase(L"\u00C9lise", L"\u00E9lise"));
}

}  // namespace
}  // namespace orvanta
