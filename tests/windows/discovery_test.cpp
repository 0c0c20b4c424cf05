// Client discovery under Wine: the association, the client folders and the
// version resource of real test client programs.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tests/windows/harness/test_support.h"
#include "windows/discovery/client_locator.h"
#include "windows/discovery/version_reader.h"

namespace gantry::testing {
namespace {

using DiscoveryTest = NoClientTest;

TEST_F(DiscoveryTest, UserKuvFolderEndsInABackslashAndIsCreatedWithoutBin) {
  DeleteTree(ClientFolder());
  ASSERT_FALSE(PathExists(ClientFolder()));
  const std::u16string folder = GetUserKuvFolder();
  EXPECT_EQ(folder, U16(AppDataFolder() + L"\\KuvClient\\"));
  EXPECT_TRUE(IsDirectory(ClientFolder()));
  EXPECT_FALSE(PathExists(ClientFolder() + L"Bin"));
  EXPECT_EQ(GetUserKuvFolder(), folder) << "the same path the second time";
}

struct AssociationRow {
  const char* name;
  std::wstring progId;
  std::optional<std::wstring> command;
  std::optional<std::wstring> program;  // what the locator must find
};

TEST_F(DiscoveryTest, AssociationRules) {
  const std::wstring longFolder(520, L'x');
  const std::wstring fits = L"C:\\" + std::wstring(511 - 3 - 11, L'y') + L"\\Varnel.exe";  // 511 characters
  ASSERT_EQ(fits.size(), 511u);
  const AssociationRow rows[] = {
      {"plain path, blank, %1", L"Varnel.Document", L"C:\\Kuv\\Varnel.exe %1", L"C:\\Kuv\\Varnel.exe"},
      {"quoted path, as installers register it", L"Varnel.Document",
       L"\"C:\\Program Files\\Kuv\\Varnel.exe\" \"%1\"", L"C:\\Program Files\\Kuv\\Varnel.exe"},
      {".exe inside a folder name first", L"Varnel.Document", L"C:\\tools.exe.d\\Varnel.exe %1", L"C:\\tools.exe"},
      {"capital .EXE", L"Varnel.Document", L"C:\\Kuv\\VARNEL.EXE %1", std::nullopt},
      {"no .exe at all", L"Varnel.Document", L"C:\\Kuv\\Varnel.com %1", std::nullopt},
      {"ProgID in other letter case", L"varnel.document", L"C:\\Kuv\\Varnel.exe %1", std::nullopt},
      {"ProgID that only begins with the right one", L"Varnel.Document.2", L"C:\\Kuv\\Varnel.exe %1", std::nullopt},
      {"no open command", L"Varnel.Document", std::nullopt, std::nullopt},
      {"empty open command", L"Varnel.Document", L"", std::nullopt},
      {"command of 511 characters fits", L"Varnel.Document", fits, fits},
      {"command of 512+ characters", L"Varnel.Document", L"C:\\" + longFolder + L"\\Varnel.exe", std::nullopt},
  };
  for (const AssociationRow& row : rows) {
    SCOPED_TRACE(row.name);
    std::optional<std::wstring> found;
    {
      ScopedAssociation association(row.progId, row.command);
      if (row.progId == L"Varnel.Document.2" || row.progId == L"varnel.document") {
        // The right ProgID with a command exists too: only ".kuva"'s value decides.
        SetStringValue(HKEY_LOCAL_MACHINE, L"Software\\Classes\\Varnel.Document\\shell\\open\\command", nullptr,
                       L"C:\\Kuv\\Varnel.exe %1");
      }
      found = FindAssociatedClient();
    }
    EXPECT_EQ(found, row.program);
  }
  // A ".kuva" value of 512 characters or more.
  ScopedAssociation association(L"Varnel.Document" + std::wstring(600, L' '), L"C:\\Kuv\\Varnel.exe %1");
  EXPECT_FALSE(FindAssociatedClient().has_value());
}

struct VersionRow {
  const wchar_t* variant;
  std::optional<std::u16string> text;  // nothing: no readable version
  ClientVersion numbers;
};

TEST_F(DiscoveryTest, VersionTextsAndTranslations) {
  const LANGID language = GetUserDefaultLangID();
  // With two translations only the user's language with code page 04B0 counts.
  std::optional<std::u16string> twoLanguages;
  ClientVersion twoLanguagesNumbers;
  if (language == 0x0409) {
    twoLanguages = u"7.1 (Build 111)";
    twoLanguagesNumbers = {7, 1, 111};
  } else if (language == 0x0407) {
    twoLanguages = u"8.1 (Build 222)";
    twoLanguagesNumbers = {8, 1, 222};
  }
  const VersionRow rows[] = {
      {L"varnel-10.1-build1238", u"10.1 (Build 1238)", {10, 1, 1238}},
      {L"varnel-11.0-build5000", u"11.0 (Build 5000)", {11, 0, 5000}},
      {L"varnel-dotted", u"10.1.1238", {10, 0, 0}},
      {L"varnel-paren", u"12.3 (4567)", {12, 3, 12}},
      {L"varnel-empty", u"", {0, 0, 0}},
      {L"varnel-german", u"10.5 (Build 2000)", {10, 5, 2000}},
      {L"varnel-two-languages", twoLanguages, twoLanguagesNumbers},
      {L"varnel-two-foreign-languages", std::nullopt, {}},
      {L"varnel-long-version", std::nullopt, {}},
      {L"varnel-no-version", std::nullopt, {}},
  };
  for (const VersionRow& row : rows) {
    SCOPED_TRACE(Utf8(row.variant));
    ScopedAssociation association = ScopedAssociation::ToProgram(TestClientPath(row.variant));
    EXPECT_EQ(GetKuvClientVersion(), row.text.value_or(u""));
    EXPECT_EQ(IsKuvClientInstalled(), row.text ? 1 : 0);
    ClientVersion numbers{-7, -7, -7};
    EXPECT_EQ(ReadClientVersion(numbers), row.text.has_value());
    const ClientVersion expected = row.text ? row.numbers : ClientVersion{-7, -7, -7};
    EXPECT_EQ(numbers.major, expected.major);
    EXPECT_EQ(numbers.minor, expected.minor);
    EXPECT_EQ(numbers.build, expected.build);
  }
}

TEST_F(DiscoveryTest, InstalledStateCountsTheBasicClientProgram) {
  const std::wstring bin = ClientFolder() + L"Bin";
  // 0: no association, even with the basic client's program present.
  ASSERT_TRUE(CreateFolders(bin));
  ASSERT_TRUE(WriteFileBytes(bin + L"\\Varnel.exe", "MZ"));
  EXPECT_TRUE(IsBasicClientPresent());
  EXPECT_EQ(IsKuvClientInstalled(), 0);
  EXPECT_EQ(GetKuvClientVersion(), u"");

  ScopedAssociation association = ScopedAssociation::ToProgram(TestClientPath(L"varnel-10.1-build1238"));
  EXPECT_EQ(IsKuvClientInstalled(), 2);
  DeleteTree(bin + L"\\Varnel.exe");
  EXPECT_FALSE(IsBasicClientPresent());
  EXPECT_EQ(IsKuvClientInstalled(), 1);
  // A folder of that name counts as present.
  ASSERT_TRUE(CreateFolders(bin + L"\\Varnel.exe"));
  EXPECT_TRUE(IsBasicClientPresent());
  EXPECT_EQ(IsKuvClientInstalled(), 2);
}

TEST_F(DiscoveryTest, BasicClientPathsAreComposedBelowTheClientFolder) {
  DeleteTree(ClientFolder());
  EXPECT_EQ(MakeBasicClientFolderPath(), ClientFolder() + L"Bin");
  EXPECT_EQ(MakeBasicClientProgramPath(), ClientFolder() + L"Bin\\Varnel.exe");
  EXPECT_TRUE(IsDirectory(ClientFolder())) << "the client folder is created";
  EXPECT_FALSE(PathExists(ClientFolder() + L"Bin")) << "Bin is not";
  // A capacity too small for the whole path fails instead of cutting it.
  const std::size_t exact = (ClientFolder() + L"Bin").size() + 1;
  EXPECT_TRUE(MakeBasicClientFolderPath(exact).has_value());
  EXPECT_FALSE(MakeBasicClientFolderPath(exact - 1).has_value());
}

// An application-data folder so long that "\KuvClient\" does not fit in 260
// units: nothing is created under a cut name and the folder path is empty.
TEST_F(DiscoveryTest, ApplicationDataPathTooLongFailsCleanly) {
  const std::wstring shellFolders = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
  const std::wstring shellFoldersCache = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
  const std::optional<std::wstring> saved = GetStringValue(HKEY_CURRENT_USER, shellFolders, L"AppData");
  const std::optional<std::wstring> savedCache = GetStringValue(HKEY_CURRENT_USER, shellFoldersCache, L"AppData");
  ScratchFolder scratch(L"long-appdata");
  std::wstring longAppData = scratch.path();
  while (longAppData.size() < 252) longAppData += L"\\" + std::wstring(std::min<std::size_t>(40, 251 - longAppData.size()), L'a');
  ASSERT_TRUE(CreateFolders(longAppData));
  SetStringValue(HKEY_CURRENT_USER, shellFolders, L"AppData", longAppData);
  SetStringValue(HKEY_CURRENT_USER, shellFoldersCache, L"AppData", longAppData);
  const std::wstring seen = AppDataFolder();
  const std::u16string folder = GetUserKuvFolder();
  const bool basicPresent = IsBasicClientPresent();
  if (saved) SetStringValue(HKEY_CURRENT_USER, shellFolders, L"AppData", *saved);
  if (savedCache) SetStringValue(HKEY_CURRENT_USER, shellFoldersCache, L"AppData", *savedCache);
  if (seen != longAppData) GTEST_SKIP() << "this Wine does not take the AppData folder from the registry";
  EXPECT_EQ(folder, u"");
  EXPECT_FALSE(basicPresent);
  const std::map<std::wstring, std::string> below = SnapshotTree(longAppData);
  EXPECT_TRUE(below.empty()) << "something was created below the long folder";
}

}  // namespace
}  // namespace gantry::testing
