#include "base/descriptors.h"

#include <aclapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "component/fixture.h"
#include "install/directories.h"

namespace orvanta::test {
namespace {

// "P" for a protected DACL, then each entry as type, inheritance, rights and
// SID, in their order.
std::vector<std::wstring> DaclLines(PSECURITY_DESCRIPTOR descriptor) {
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  GetSecurityDescriptorControl(descriptor, &control, &revision);
  std::vector<std::wstring> lines = {(control & SE_DACL_PROTECTED) ? L"P" : L"inherits"};
  if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || dacl == nullptr) {
    return lines;
  }
  for (WORD i = 0; i < dacl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* entry = nullptr;
    GetAce(dacl, i, reinterpret_cast<void**>(&entry));
    lines.push_back(std::to_wstring(entry->Header.AceType) + L" " +
                    std::to_wstring(entry->Header.AceFlags) + L" " + std::to_wstring(entry->Mask) +
                    L" " + SidText(&entry->SidStart));
  }
  return lines;
}

// Folders and files below inherit every entry (OBJECT_INHERIT_ACE |
// CONTAINER_INHERIT_ACE, 3): FILE_ALL_ACCESS (2032127) for the user, SYSTEM
// and Administrators, and nothing for anyone else.
std::vector<std::wstring> InstallFolderLines() {
  return {L"P", L"0 3 2032127 " + UserSid(), L"0 3 2032127 S-1-5-18", L"0 3 2032127 S-1-5-32-544"};
}

TEST(DescriptorTest, InstallFolderLetsOnlyTheUserSystemAndAdministratorsIn) {
  const LocalPtr<wchar_t> sid = ProcessUserSid();
  ASSERT_TRUE(sid);
  EXPECT_EQ(sid.get(), UserSid());
  EXPECT_EQ(DaclLines(InstallFolderDescriptor(sid.get()).get()), InstallFolderLines());
}

// Folders made in the profile inherit as all there do, since later programs
// share one such as Programs; on a network volume too, since the server may
// know the user by another SID. Elsewhere they are protected.
TEST(DescriptorTest, OnlyFoldersMadeOnALocalVolumeOutsideTheProfileAreProtected) {
  const struct {
    const wchar_t* directory;
    const wchar_t* profile;
    bool remoteDrive;
    bool protects;
  } rows[] = {
      {L"C:\\Users\\Ann\\AppData\\Local\\Programs\\Orvanta", L"C:\\Users\\Ann", false, false},
      {L"c:\\users\\ANN\\Orvanta", L"C:\\Users\\Ann", false, false},
      {L"C:\\Users\\Ann\\", L"C:\\Users\\Ann\\", false, false},
      {L"C:\\Users\\Anna\\Orvanta", L"C:\\Users\\Ann", false, true},
      {L"D:\\Tools\\Orvanta", L"C:\\Users\\Ann", false, true},
      {L"C:\\Users\\Ann\\Orvanta", L"", false, true},  // no profile to tell
      {L"\\\\?\\Volume{0b1e}\\Orvanta", L"C:\\Users\\Ann", false, true},
      {L"\\\\s\\share\\Orvanta", L"C:\\Users\\Ann", false, false},
      {L"Z:\\Tools\\Orvanta", L"C:\\Users\\Ann", true, false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ProtectsNewFolders(row.directory, row.profile, row.remoteDrive), row.protects)
        << NarrowFileText(row.directory) << " in " << NarrowFileText(row.profile);
  }
}

using CreatedFolderTest = ComponentTest;

// Below a folder outside the profile that lets Everyone change whatever is
// made in it, as the root of a data drive does for Authenticated Users: each
// folder made takes none of that.
TEST_F(CreatedFolderTest, EveryFolderMadeIsLockedToTheUserBelowAnOpenParent) {
  const std::wstring open = L"C:\\orvanta-open-" + std::to_wstring(GetCurrentProcessId());
  const LocalPtr<void> everyone =
      FromSddl(L"D:P(A;OICI;0x1301bf;;;WD)(A;OICI;FA;;;" + UserSid() + L")");
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), everyone.get(), FALSE};
  ASSERT_TRUE(CreateDirectoryW(open.c_str(), &attributes)) << "error " << GetLastError();
  const struct Cleanup {
    const std::wstring& tree;
    ~Cleanup() { RemoveTree(tree); }
  } cleanup{open};
  CreateDirectoryChain(open + L"\\Apps\\Orvanta");
  for (const std::wstring& made : {open + L"\\Apps", open + L"\\Apps\\Orvanta"}) {
    PSECURITY_DESCRIPTOR found = nullptr;
    ASSERT_EQ(GetNamedSecurityInfoW(made.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                    nullptr, nullptr, nullptr, nullptr, &found),
              ERROR_SUCCESS);
    const LocalPtr<void> owned(found);
    if (DaclLines(found)[0] != L"P") {
      ASSERT_TRUE(UnderWine()) << "the folder keeps no protected DACL";
      GTEST_SKIP() << "this Wine keeps no folder's DACL, only Unix mode bits made from it; the "
                      "power-cut check shows which folders are made with one";
    }
    EXPECT_EQ(DaclLines(found), InstallFolderLines()) << NarrowFileText(made);
  }
}

// A mutex at the lock's name is the lock only with the lock's owner, entry
// and label; where the system reports no label, none is asked for.
TEST(DescriptorTest, OnlyTheLocksOwnerEntryAndLabelMakeTheLock) {
  const std::wstring user = UserSid();
  const LocalPtr<void> lock = RunLockDescriptor(user.c_str());
  ASSERT_TRUE(lock);
  const std::wstring owner = L"O:" + user;
  const std::wstring entry = L"D:P(A;;0x100001;;;" + user + L")";
  struct Row {
    std::wstring sddl;
    bool isTheLock;
  };
  const Row rows[] = {
      {owner + entry + L"S:(ML;;NWNRNX;;;ME)", true},
      {owner + entry, true},                                 // Wine reports no label
      {owner + entry + L"S:(ML;;NW;;;ME)", false},           // waits through no-write-up
      {owner + entry + L"S:(ML;;NWNRNX;;;LW)", false},       // made at low integrity
      {L"O:SY" + entry + L"S:(ML;;NWNRNX;;;ME)", false},     // another owner
      {owner + L"D:P(A;;0x1f0001;;;" + user + L")", false},  // other rights
      {owner + entry + L"(A;;0x100001;;;WD)", false},        // a second entry
      {owner + L"D:P(A;;0x100001;;;WD)", false},             // another grantee
  };
  for (const Row& row : rows) {
    EXPECT_EQ(HasOwnerEntryAndLabelOf(FromSddl(row.sddl).get(), lock.get()), row.isTheLock)
        << NarrowFileText(row.sddl);
  }
}

}  // namespace
}  // namespace orvanta::test
