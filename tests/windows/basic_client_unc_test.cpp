// The basic client in an application-data folder redirected to a network
// share, "\\gantry\share\users\Net User\AppData\Roaming" (the prefix links
// the share to C:\gantry-share): folder chains, installation, confinement
// and the removal script run where it lies.
//
// Wine answers CreateDirectoryW("\\gantry\") and ("\\gantry\share\") with
// ERROR_ALREADY_EXISTS, where Windows refuses a server or share level; so a
// chain that starts above the share passes here and fails on Windows. Where
// the chain starts is decided and tested in the portable core; here the
// "\\?\UNC\" form, whose "\\?\" level Wine refuses too, shows it.
#include <gtest/gtest.h>

#include <string>

#include "tests/windows/harness/basic_client_support.h"
#include "tests/windows/harness/test_support.h"
#include "windows/install/package_extraction.h"

namespace gantry::testing {
namespace {

constexpr wchar_t kShare[] = L"\\\\gantry\\share";
constexpr wchar_t kShareOnDrive[] = L"C:\\gantry-share";
constexpr wchar_t kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

class NetworkShareTest : public GantryTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(IsDirectory(kShareOnDrive)) << "the prefix setup did not make the share";
    DeleteTree(share(L"users"));
    previous_ = GetStringValue(HKEY_CURRENT_USER, kShellFolders, L"AppData");
    ASSERT_TRUE(CreateFolders(share(L"users\\Net User\\AppData\\Roaming")));
    ASSERT_TRUE(SetStringValue(HKEY_CURRENT_USER, kShellFolders, L"AppData", share(L"users\\Net User\\AppData\\Roaming")));
    RemoveConnectionFileAssociation();
    RemoveBasicClientTraces();
  }
  void TearDown() override {
    RemoveBasicClientTraces();
    if (previous_) SetStringValue(HKEY_CURRENT_USER, kShellFolders, L"AppData", *previous_);
    DeleteTree(share(L"users"));
    DeleteTree(share(L"chain"));
    GantryTest::TearDown();
  }
  static std::wstring share(const std::wstring& relative) { return std::wstring(kShare) + L"\\" + relative; }

  std::optional<std::wstring> previous_;
};

TEST_F(NetworkShareTest, FolderChainStartsBelowTheShare) {
  const struct {
    std::wstring path;
    std::wstring created;
  } rows[] = {
      {share(L"chain\\plain\\a\\file.txt"), share(L"chain\\plain\\a")},
      {L"\\\\?\\UNC\\gantry\\share\\chain\\verbatim\\a\\file.txt", share(L"chain\\verbatim\\a")},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Utf8(row.path));
    EXPECT_TRUE(CreateDirectoryChain(row.path.c_str()));
    EXPECT_TRUE(IsDirectory(row.created));
  }
}

TEST_F(NetworkShareTest, InstallsConfinedAndIsRemovedByItsScript) {
  ASSERT_EQ(AppDataFolder(), share(L"users\\Net User\\AppData\\Roaming"));
  ASSERT_EQ(BasicClientFolder(), share(L"users\\Net User\\AppData\\Roaming\\KuvClient\\Bin"));
  const std::map<std::wstring, std::string> shareBefore = SnapshotTree(kShareOnDrive);

  ASSERT_TRUE(InstallBasicClient(Str(U16(BasicClientFixture(L"client.msi")))));
  std::map<std::wstring, std::string> expected = SnapshotTree(BasicClientFixture(L"expected"));
  expected[L"RemoveBasicClient.bat"] = ExpectedRemovalScript();
  EXPECT_EQ(SnapshotTree(BasicClientFolder()), expected);
  // Nothing outside B: the share holds the profile's folders down to B only.
  for (const auto& [path, bytes] : SnapshotTree(kShareOnDrive)) {
    const bool onTheWay = std::wstring(L"users\\Net User\\AppData\\Roaming\\KuvClient\\Bin").rfind(path, 0) == 0;
    const bool inB = path.rfind(L"users\\Net User\\AppData\\Roaming\\KuvClient\\Bin\\", 0) == 0;
    EXPECT_TRUE(shareBefore.count(path) != 0 || onTheWay || inB) << "written outside B: " << Utf8(path);
  }

  ASSERT_EQ(CleanBasicClientOnRestart(), 1);
  ASSERT_EQ(GetStringValue(HKEY_CURRENT_USER, kRunOnceKeyPath, L"ClearKuvBasicClient"),
            L"\"" + BasicClientScript() + L"\"");
  ASSERT_TRUE(RunRunOnceCommand());
  EXPECT_TRUE(RegistrationAndRunOnceGone());
  // Wine names a DLL loaded from a share "UNC\server\share\..." in
  // GetModuleFileNameW, Windows "\\server\share\...".
  const std::wstring comServer = BasicClientFolder() + L"\\TavikClientSystem.dll";
  const std::optional<std::wstring> mark = GetStringValue(HKEY_CURRENT_USER, kComServerMarkKey, L"Unregistered");
  EXPECT_TRUE(mark == comServer || mark == L"UNC" + comServer.substr(1))
      << "regsvr32 reached the DLL in B: " << Utf8(mark.value_or(L"(none)"));
  // Wine's cmd cannot remove the folder of the script it runs; Windows' can.
  EXPECT_TRUE(!PathExists(BasicClientFolder()) || SnapshotTree(BasicClientFolder()).empty())
      << "something left inside B";
  EXPECT_TRUE(IsDirectory(ClientFolder())) << "nothing above B is removed";
}

// A package whose members would climb out of the target: on a share as on a
// drive, nothing lands outside it.
TEST_F(NetworkShareTest, HostilePackageStaysInsideATargetOnTheShare) {
  const std::wstring target = share(L"users\\Net User\\Bin");
  const std::map<std::wstring, std::string> before = SnapshotTree(kShareOnDrive);
  {
    PackageExtraction extraction;
    extraction.SetPackagePath(TestBinDir() + L"\\fixtures\\packages\\traversal-long-name.msi");
    EXPECT_FALSE(Extract(extraction, target.c_str()));
    EXPECT_EQ(extraction.status, kMemberNotConfined);
  }
  EXPECT_EQ(SnapshotTree(target), (std::map<std::wstring, std::string>{{L"fine.txt", "Fine payload"}}));
  for (const auto& [path, bytes] : SnapshotTree(kShareOnDrive)) {
    const bool onTheWay = std::wstring(L"users\\Net User\\Bin").rfind(path, 0) == 0;
    EXPECT_TRUE(before.count(path) != 0 || onTheWay || path.rfind(L"users\\Net User\\Bin\\", 0) == 0)
        << "written outside the target: " << Utf8(path);
  }
  for (const wchar_t* escaped : {L"C:\\fwd-escape.txt", L"C:\\Start Menu", L"\\\\gantry\\fwd-escape.txt"}) {
    EXPECT_FALSE(PathExists(escaped)) << Utf8(escaped);
  }
}

}  // namespace
}  // namespace gantry::testing
