// The removal script run for real by Wine's cmd where it lies, as the logon
// runs it, for users whose profile folders hold a blank, letters outside the
// ANSI code page and a "%" (each test points the user's application-data
// folder and %TEMP% into the profile), and the immediate removal that the
// full installation uses.
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

  bool RegistrationGone() const { return RegistrationAndRunOnceGone(); }
  std::optional<std::wstring> UnregisterMark() const {
    return GetStringValue(HKEY_CURRENT_USER, kComServerMarkKey, L"Unregistered");
  }

  ScopedAppDataFolder appData_{kProfileAppData};
  // %TEMP% with a blank too, for the library and for the script's cmd.
  ScopedEnvironment temp_{L"TEMP", kProfileTemp};
  ScopedEnvironment tmp_{L"TMP", kProfileTemp};
};

// Wine's cmd cannot remove the folder of the batch file it is running
// (Windows' can): there B may stay behind, empty. Nothing may stay inside it.
bool EmptyOrGone(const std::wstring& folder) { return !PathExists(folder) || SnapshotTree(folder).empty(); }

bool EqualsOneOf(const std::optional<std::wstring>& value, const std::vector<std::wstring>& forms) {
  if (!value) return false;
  for (const std::wstring& form : forms) {
    if (CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, value->c_str(), -1, form.c_str(), -1) == CSTR_EQUAL) {
      return true;
    }
  }
  return false;
}

// cmd reads a batch file in the OEM code page, so a folder written into the
// script in the ANSI code page is another folder for it; the script names B
// through its own location instead. "Vladimir" in Cyrillic is outside the
// ANSI code page altogether (1252 here), and its "%" is what cmd would expand.
TEST_F(BasicClientRemovalTest, ScriptRunWhereItLiesRemovesEverythingForAnyProfileFolder) {
  const wchar_t* profiles[] = {L"Test User", L"Jos\u00e9 M\u00fcller",
                               L"\u0412\u043b\u0430\u0434\u0438\u043c\u0438\u0440 100%"};
  for (const wchar_t* profile : profiles) {
    SCOPED_TRACE(Utf8(profile));
    const std::wstring home = std::wstring(L"C:\\users\\") + profile;
    ScopedAppDataFolder appData(home + L"\\AppData\\Roaming");
    CreateFolders(home + L"\\Temp");
    ScopedEnvironment temp(L"TEMP", home + L"\\Temp");
    ScopedEnvironment tmp(L"TMP", home + L"\\Temp");
    ASSERT_EQ(AppDataFolder(), home + L"\\AppData\\Roaming");
    RemoveBasicClientTraces();

    ASSERT_TRUE(InstallBasicClient(Str(U16(BasicClientFixture(L"client.msi")))));
    ASSERT_EQ(CleanBasicClientOnRestart(), 1);
    ASSERT_EQ(GetStringValue(HKEY_CURRENT_USER, kRunOnceKeyPath, kRunOnceValue), L"\"" + BasicClientScript() + L"\"");
    ASSERT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\MIME\\Database\\Content Type\\application/x-kuva"));
    ASSERT_TRUE(PathExists(BasicClientFolder() + L"\\Help\\Client Readme.txt"));
    // regsvr32 gets B as the script names it: its short form where it has one.
    const std::vector<std::wstring> comServer = LongAndShortForms(BasicClientFolder() + L"\\TavikClientSystem.dll");

    ASSERT_TRUE(RunRunOnceCommand()) << "the script must end (no zero byte for cmd to spin on)";
    EXPECT_TRUE(RegistrationAndRunOnceGone()) << "the four keys and the RunOnce value";
    EXPECT_TRUE(EqualsOneOf(UnregisterMark(), comServer)) << "regsvr32 reached the DLL in B: "
                                                          << Utf8(UnregisterMark().value_or(L"(none)"));
    EXPECT_TRUE(EmptyOrGone(BasicClientFolder())) << "something left inside B";
    EXPECT_TRUE(IsDirectory(ClientFolder())) << "nothing above B is removed";
    DeleteTree(home);
  }
}

// "reg delete" of a key that is already gone ends with exit code 1; the
// script goes on with the rest.
TEST_F(BasicClientRemovalTest, ScriptGoesOnWhenKeysAreAlreadyGone) {
  ASSERT_TRUE(InstallBasicClient(Str(U16(BasicClientFixture(L"client.msi")))));
  ASSERT_EQ(CleanBasicClientOnRestart(), 1);
  DeleteKeyTree(HKEY_CURRENT_USER, L"Software\\Classes\\MIME");
  DeleteKeyTree(HKEY_CURRENT_USER, L"Software\\Classes\\.kuva");
  ASSERT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\Varnel.Document"));
  const std::vector<std::wstring> comServer = LongAndShortForms(BasicClientFolder() + L"\\TavikClientSystem.dll");

  ASSERT_TRUE(RunRunOnceCommand());
  EXPECT_TRUE(RegistrationAndRunOnceGone());
  EXPECT_TRUE(EqualsOneOf(UnregisterMark(), comServer));
  EXPECT_TRUE(EmptyOrGone(BasicClientFolder()));
}

TEST_F(BasicClientRemovalTest, RunRemovalScriptNowStartsTheScriptWithoutWaiting) {
  ASSERT_TRUE(InstallBasicClient(Str(U16(BasicClientFixture(L"client.msi")))));
  const std::vector<std::wstring> comServer = LongAndShortForms(BasicClientFolder() + L"\\TavikClientSystem.dll");
  EXPECT_EQ(RunRemovalScriptNow(), 1);
  // The script runs in a process of its own; wait for its traces.
  for (int i = 0; i < 300 && !(RegistrationGone() && EmptyOrGone(BasicClientFolder())); ++i) Sleep(100);
  EXPECT_TRUE(RegistrationGone());
  EXPECT_TRUE(EqualsOneOf(UnregisterMark(), comServer));
  // (Wine's cmd cannot remove B, the folder of the script it runs; Windows' does.)
  EXPECT_TRUE(EmptyOrGone(BasicClientFolder()));
}

// Once the RunOnce key is open for writing, Wine cannot be made to refuse
// the value; a stand-in for RegSetValueExW refuses it.
LONG WINAPI RefuseValue(HKEY, LPCWSTR, DWORD, DWORD, const BYTE*, DWORD) { return ERROR_NO_SYSTEM_RESOURCES; }

TEST_F(BasicClientRemovalTest, RunOnceValueThatCannotBeWrittenGivesZero) {
  EXPECT_EQ(ScheduleRemovalScriptAtLogon(BasicClientScript(), &RefuseValue), 0);
  EXPECT_FALSE(GetStringValue(HKEY_CURRENT_USER, kRunOnceKeyPath, kRunOnceValue).has_value());
  EXPECT_EQ(ScheduleRemovalScriptAtLogon(BasicClientScript()), 1);
  EXPECT_EQ(GetStringValue(HKEY_CURRENT_USER, kRunOnceKeyPath, kRunOnceValue), L"\"" + BasicClientScript() + L"\"");
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
