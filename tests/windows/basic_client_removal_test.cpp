// The removal script run for real by Wine's cmd, for a user whose profile
// path holds a blank ("C:\users\Test User": each test points the user's
// application-data folder and %TEMP% there), and the immediate removal that
// the full installation uses.
#include <gtest/gtest.h>

#include <string>

#include "tests/windows/harness/basic_client_support.h"
#include "tests/windows/harness/test_support.h"
#include "windows/install/basic_client_removal.h"

namespace gantry::testing {
namespace {

constexpr wchar_t kRunOnceValue[] = L"ClearKuvBasicClient";
constexpr wchar_t kProfileTemp[] = L"C:\\users\\Test User\\Temp";
constexpr wchar_t kProfileAppData[] = L"C:\\users\\Test User\\AppData\\Roaming";
constexpr wchar_t kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

// Points the user's application-data folder elsewhere and restores the value
// exactly (it is a REG_EXPAND_SZ naming %USERPROFILE%).
class ScopedAppDataFolder {
 public:
  explicit ScopedAppDataFolder(const std::wstring& folder)
      : previous_(ReadRawValue(HKEY_CURRENT_USER, kShellFolders, L"AppData")) {
    CreateFolders(folder);
    SetStringValue(HKEY_CURRENT_USER, kShellFolders, L"AppData", folder);
  }
  ~ScopedAppDataFolder() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kShellFolders, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    if (previous_) {
      RegSetValueExW(key, L"AppData", 0, previous_->type, reinterpret_cast<const BYTE*>(previous_->bytes.data()),
                     static_cast<DWORD>(previous_->bytes.size()));
    } else {
      RegDeleteValueW(key, L"AppData");
    }
    RegCloseKey(key);
  }

 private:
  std::optional<RawValue> previous_;
};

class BasicClientRemovalTest : public GantryTest {
 protected:
  void SetUp() override {
    CreateFolders(kProfileTemp);
    RemoveConnectionFileAssociation();
    RemoveBasicClientTraces();
    ASSERT_NE(AppDataFolder().find(L"Test User"), std::wstring::npos) << "the prefix setup did not take";
  }
  void TearDown() override {
    RemoveBasicClientTraces();
    DeleteTree(ClientFolder());
    GantryTest::TearDown();
  }

  bool RegistrationGone() const {
    for (const wchar_t* key : kRegistrationTopKeys) {
      if (KeyExists(HKEY_CURRENT_USER, key)) return false;
    }
    return !GetStringValue(HKEY_CURRENT_USER, kRunOnceKeyPath, kRunOnceValue).has_value();
  }
  std::optional<std::wstring> UnregisterMark() const {
    return GetStringValue(HKEY_CURRENT_USER, kComServerMarkKey, L"Unregistered");
  }

  ScopedAppDataFolder appData_{kProfileAppData};
  // %TEMP% with a blank too, for the library and for the script's cmd.
  ScopedEnvironment temp_{L"TEMP", kProfileTemp};
  ScopedEnvironment tmp_{L"TMP", kProfileTemp};
};

TEST_F(BasicClientRemovalTest, ScriptRemovesEverythingForAProfileWithABlank) {
  ASSERT_TRUE(InstallBasicClient(Str(U16(BasicClientFixture(L"client.msi")))));
  ASSERT_EQ(CleanBasicClientOnRestart(), 1);
  ASSERT_EQ(GetStringValue(HKEY_CURRENT_USER, kRunOnceKeyPath, kRunOnceValue), L"\"" + BasicClientScript() + L"\"");
  ASSERT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\MIME\\Database\\Content Type\\application/x-kuva"));
  ASSERT_TRUE(PathExists(BasicClientFolder() + L"\\Help\\Client Readme.txt"));

  // Wine's cmd cannot remove the folder of the script it runs: run a copy
  // from a folder that also holds a blank.
  ScratchFolder scratch(L"removal script");
  const std::wstring copy = scratch / L"RemoveBasicClient.bat";
  ASSERT_TRUE(CopyFileW(BasicClientScript().c_str(), copy.c_str(), FALSE));
  const ProcessResult run = RunProcess(L"cmd.exe /c \"\"" + copy + L"\"\"", 60000);
  ASSERT_TRUE(run.started);
  ASSERT_TRUE(run.finished) << "the script must end (no zero byte for cmd to spin on)";
  // Wine's cmd may return before the GUI program regedit has finished.
  for (int i = 0; i < 100 && !RegistrationGone(); ++i) Sleep(100);

  EXPECT_TRUE(RegistrationGone()) << "the four keys and the RunOnce value";
  EXPECT_FALSE(PathExists(std::wstring(kProfileTemp) + L"\\tempreg.reg"));
  EXPECT_FALSE(PathExists(BasicClientFolder()));
  EXPECT_EQ(UnregisterMark(), BasicClientFolder() + L"\\TavikClientSystem.dll")
      << "regsvr32 reached the DLL by its whole path";
}

TEST_F(BasicClientRemovalTest, RunRemovalScriptNowStartsTheScriptWithoutWaiting) {
  ASSERT_TRUE(InstallBasicClient(Str(U16(BasicClientFixture(L"client.msi")))));
  EXPECT_EQ(RunRemovalScriptNow(), 1);
  // The script runs in a process of its own; wait for its traces.
  for (int i = 0; i < 300 && !(RegistrationGone() && UnregisterMark()); ++i) Sleep(100);
  EXPECT_TRUE(RegistrationGone());
  EXPECT_EQ(UnregisterMark(), BasicClientFolder() + L"\\TavikClientSystem.dll");
  // (Wine's cmd cannot remove B, the folder of the script it runs; Windows' does.)
}

TEST_F(BasicClientRemovalTest, RunRemovalScriptNowWithoutScriptShowsNothingAndGivesOne) {
  ASSERT_FALSE(PathExists(BasicClientScript()));
  const DWORD start = GetTickCount();
  EXPECT_EQ(RunRemovalScriptNow(), 1);
  EXPECT_LT(GetTickCount() - start, 5000u) << "no modal box held the caller";
}

TEST_F(BasicClientRemovalTest, ApplicationDataTooLongForTheScriptPathFailsCleanly) {
  // B fits 260 units, "B\RemoveBasicClient.bat" does not.
  const std::wstring longAppData = L"C:\\users\\Test User\\" + std::wstring(235 - 19, L'a');
  ASSERT_EQ(longAppData.size(), 235u);
  bool redirected = false;
  bool installed = true;
  jint cleaned = -1;
  {
    ScopedAppDataFolder longFolder(longAppData);
    redirected = AppDataFolder() == longAppData;
    if (redirected) {
      installed = InstallBasicClient(Str(U16(BasicClientFixture(L"client.msi"))));
      cleaned = CleanBasicClientOnRestart();
    }
  }
  const bool binCreated = PathExists(longAppData + L"\\KuvClient\\Bin");
  const bool runOnce = GetStringValue(HKEY_CURRENT_USER, kRunOnceKeyPath, kRunOnceValue).has_value();
  DeleteTree(longAppData);
  ASSERT_TRUE(redirected);
  EXPECT_FALSE(installed);
  EXPECT_FALSE(binCreated) << "nothing extracted";
  EXPECT_TRUE(RegistrationGone()) << "nothing registered";
  EXPECT_EQ(cleaned, 0) << "nothing to schedule";
  EXPECT_FALSE(runOnce);
}

}  // namespace
}  // namespace gantry::testing
