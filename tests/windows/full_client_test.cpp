// The full installation under Wine, on a system that reports major version 6
// or more: the installer results that count as installed, the error box, the
// "msiexec" fallback, the basic client's removal first, and a real
// installation of a small package.
#include <gtest/gtest.h>
#include <msi.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/windows/harness/full_client_support.h"

namespace gantry::testing {
namespace {

using FullClientTest = FullClientTestBase;

TEST_F(FullClientTest, SystemReportsMajorSixOrMore) {
  ASSERT_TRUE(RealFullClientPlatform().systemMajorVersion().has_value());
  EXPECT_GE(*RealFullClientPlatform().systemMajorVersion(), 6u);
}

struct DirectRow {
  UINT result;
  bool installed;
  bool box;
};

TEST_F(FullClientTest, DirectInstallerResults) {
  const DirectRow rows[] = {
      {0, true, false}, {1602, true, false}, {3010, true, false}, {1641, true, false},
      {1603, false, true}, {1, false, true},
  };
  for (const DirectRow& row : rows) {
    SCOPED_TRACE(row.result);
    std::vector<std::wstring> packages;
    FullClientPlatform platform = RealFullClientPlatform();
    platform.messageModule = Library().module();
    platform.installProduct = [&](const wchar_t* path) {
      packages.push_back(path);
      return row.result;
    };
    MessageBoxWatcher watcher;
    EXPECT_EQ(InstallFullClientFromJava(jni.env(), Str(u"C:\\pkg\\client.msi"), platform), row.installed);
    const std::vector<SeenMessageBox> boxes = watcher.Stop();
    EXPECT_EQ(packages, std::vector<std::wstring>{L"C:\\pkg\\client.msi"});
    ASSERT_EQ(boxes.size(), row.box ? 1u : 0u);
    if (row.box) {
      EXPECT_EQ(boxes[0].caption, L"Error");
      EXPECT_EQ(boxes[0].text, L"The Kuv client could not be installed: Windows Installer reported error " +
                                   std::to_wstring(row.result) + L".")
          << "the library's own text, with the result";
      EXPECT_FALSE(boxes[0].hasOwner);
      EXPECT_TRUE(boxes[0].showsErrorIcon);
    }
  }
  EXPECT_EQ(jni.GetCount(), jni.ReleaseCount());
}

TEST_F(FullClientTest, ErrorTextFallsBackWhenTheModuleHasNoTemplate) {
  // The test program has no string table.
  EXPECT_EQ(InstallerErrorText(GetModuleHandleW(nullptr), 1603),
            L"The Kuv client could not be installed. Windows Installer error 1603.");
  EXPECT_EQ(InstallerErrorText(nullptr, 4294967295u),
            L"The Kuv client could not be installed. Windows Installer error 4294967295.");
  EXPECT_EQ(InstallerErrorText(Library().module(), 4294967295u),
            L"The Kuv client could not be installed: Windows Installer reported error 4294967295.")
      << "the result as an unsigned number";
}

TEST_F(FullClientTest, RealInstallerFailureThroughTheExportShowsTheLibrarysBox) {
  ScratchFolder folder;
  const std::wstring notAPackage = folder / L"not-a-package.msi";
  ASSERT_TRUE(WriteFileBytes(notAPackage, "this is no installer database"));
  // The platform's own answer for a file that is not a package: Windows
  // gives 1620 (ERROR_INSTALL_PACKAGE_INVALID), Wine gives 1627
  // (ERROR_FUNCTION_FAILED). The box must show whichever it is.
  const INSTALLUILEVEL level = MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
  const UINT platformResult = MsiInstallProductW(notAPackage.c_str(), nullptr);
  MsiSetInternalUI(level, nullptr);
  EXPECT_TRUE(platformResult == 1620 || platformResult == 1627) << platformResult;

  MessageBoxWatcher watcher;
  EXPECT_FALSE(InstallFullClient(Str(U16(notAPackage))));
  const std::vector<SeenMessageBox> boxes = watcher.Stop();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, L"Error");
  EXPECT_EQ(boxes[0].text, L"The Kuv client could not be installed: Windows Installer reported error " +
                               std::to_wstring(platformResult) + L".");
  EXPECT_FALSE(boxes[0].hasOwner);
}

TEST_F(FullClientTest, PackagePathReachesTheInstallerDecoded) {
  const std::u16string longPath =
      u"C:\\Pakete \u00e9t\u00e9\\" + std::u16string(400, u'x') + u"\\\U0001F600 client.msi";
  struct Row {
    const char* name;
    std::u16string javaText;
    std::wstring installed;  // what the installer is handed
  } rows[] = {
      {"plain", u"C:\\pkg\\client.msi", L"C:\\pkg\\client.msi"},
      {"outside ASCII and longer than 260 units", longPath, Wide(longPath)},
      {"empty", u"", L""},
      {"U+0000 inside: not a usable path, the empty path", std::u16string(u"C:\\a\0b.msi", 10), L""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<std::wstring> packages;
    FullClientPlatform platform = RealFullClientPlatform();
    platform.installProduct = [&](const wchar_t* path) {
      packages.push_back(path);
      return 0u;
    };
    EXPECT_TRUE(InstallFullClientFromJava(jni.env(), Str(row.javaText), platform));
    EXPECT_EQ(packages, std::vector<std::wstring>{row.installed});
  }
}

TEST_F(FullClientTest, NullStringGivesFalseWithoutInstalling) {
  int calls = 0;
  FullClientPlatform platform = RealFullClientPlatform();
  platform.installProduct = [&](const wchar_t*) {
    ++calls;
    return 0u;
  };
  MessageBoxWatcher watcher;
  EXPECT_FALSE(InstallFullClientFromJava(jni.env(), nullptr, platform));
  EXPECT_EQ(calls, 0);
  EXPECT_TRUE(watcher.Stop().empty());
  EXPECT_FALSE(InstallFullClient(nullptr)) << "through the export";
}

TEST_F(FullClientTest, UserInterfaceLevelIsLeftAloneFromMajorSix) {
  const INSTALLUILEVEL before = MsiSetInternalUI(INSTALLUILEVEL_NOCHANGE, nullptr);
  FullClientPlatform platform = RealFullClientPlatform();
  platform.installProduct = [](const wchar_t*) { return 0u; };
  EXPECT_TRUE(InstallFullClientFromJava(jni.env(), Str(u"C:\\pkg\\client.msi"), platform));
  EXPECT_EQ(MsiSetInternalUI(INSTALLUILEVEL_NOCHANGE, nullptr), before);
  EXPECT_NE(before, INSTALLUILEVEL_NONE);
}

// "<system folder>\msiexec.exe" quoted, as the library starts it.
std::string QuotedSystemInstaller() { return "\"" + Utf8(SystemInstallerProgramStandIn::Path()) + "\""; }

TEST_F(FullClientTest, InstallerProgramFallbackIsQuietFromMajorSix) {
  const FallbackRow rows[] = {
      {0, true}, {1, false}, {3010, true}, {1641, true}, {1602, false},
  };
  for (const FallbackRow& row : rows) {
    SCOPED_TRACE(row.exitCode);
    const FallbackRun run = RunFallback(jni, Str(u"C:\\pkg dir\\client.msi"), row.exitCode);
    EXPECT_EQ(run.installed, row.installed);
    EXPECT_EQ(run.commandLines,
              std::vector<std::string>{QuotedSystemInstaller() + " /i \"C:\\pkg dir\\client.msi\" /quiet"});
    EXPECT_EQ(run.boxes, 0u);
  }
}

// A bare "msiexec" would be looked for in the program's folder and the
// current folder before the system folder: the decoys put there never run.
TEST_F(FullClientTest, OnlyTheSystemFoldersInstallerProgramIsStarted) {
  const FallbackRun run = RunFallback(jni, Str(u"C:\\pkg\\client.msi"), 0);
  EXPECT_TRUE(run.installed);
  ASSERT_EQ(run.programs.size(), 1u) << "one program ran";
  EXPECT_TRUE(SystemInstallerProgramStandIn::IsStandInPath(run.programs[0]))
      << run.programs[0] << ": the system folder's program ran, not a decoy";
}

TEST_F(FullClientTest, InstallerProgramFallbackWithoutAReadableVersion) {
  const INSTALLUILEVEL before = MsiSetInternalUI(INSTALLUILEVEL_NOCHANGE, nullptr);
  const FallbackRun run = RunFallback(jni, Str(u"C:\\pkg\\client.msi"), 0, /*versionReadable=*/false);
  EXPECT_TRUE(run.installed);
  EXPECT_EQ(run.commandLines, std::vector<std::string>{QuotedSystemInstaller() + " /i \"C:\\pkg\\client.msi\""});
  EXPECT_EQ(MsiSetInternalUI(INSTALLUILEVEL_NOCHANGE, nullptr), before) << "the level is left alone";
}

TEST_F(FullClientTest, InstallerProgramThatCannotStartGivesFalseWithoutABox) {
  ScratchFolder folder(L"gantry-no-msiexec");
  // A file by the program's name that is no program at all.
  ASSERT_TRUE(WriteFileBytes(folder / L"msiexec.exe", "not a program"));
  const SystemInstallerProgramStandIn standIn(folder / L"msiexec.exe");
  ASSERT_TRUE(standIn.placed());
  const FallbackRun run = RunFallbackIn(jni, Str(u"C:\\pkg\\client.msi"));
  EXPECT_FALSE(run.installed);
  EXPECT_EQ(run.boxes, 0u);
  EXPECT_TRUE(run.programs.empty()) << "no decoy ran instead";
}

// GetSystemDirectoryW does not fail under Wine: its answer comes through the seam.
TEST_F(FullClientTest, InstallerProgramPathThatCannotBeMadeGivesFalseWithoutABox) {
  const SystemInstallerProgramStandIn standIn(TestClientPath(L"varnel-10.1-build1238"));
  ASSERT_TRUE(standIn.placed());
  const struct {
    const char* name;
    std::optional<std::wstring> systemFolder;
  } rows[] = {
      {"the system folder cannot be read", std::nullopt},
      {"the path does not fit 260 units", L"C:\\" + std::wstring(250, L's')},
      {"a relative folder", L"system32"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const FallbackRun run = RunFallbackIn(jni, Str(u"C:\\pkg\\client.msi"), /*versionReadable=*/true,
                                          [&] { return row.systemFolder; });
    EXPECT_FALSE(run.installed);
    EXPECT_EQ(run.boxes, 0u);
    EXPECT_TRUE(run.programs.empty()) << "nothing was started, no decoy either";
  }
}

TEST_F(FullClientTest, BasicClientIsRemovedBeforeThePackageIsRead) {
  const BasicClientStandIn basic;
  bool scriptRanFirst = false;
  FullClientPlatform platform = RealFullClientPlatform();
  platform.installProduct = [](const wchar_t*) { return 0u; };
  const bool installed = gantry::InstallFullClient(
      [&]() -> std::optional<std::u16string> {
        // The script was started before this read if its marker shows up
        // while the read is held here.
        scriptRanFirst = basic.WaitForScript(20000);
        return u"C:\\pkg\\client.msi";
      },
      platform);
  EXPECT_TRUE(installed);
  EXPECT_TRUE(scriptRanFirst);
}

TEST_F(FullClientTest, BasicClientIsRemovedAlsoForANullString) {
  const BasicClientStandIn basic;
  EXPECT_FALSE(InstallFullClient(nullptr));
  EXPECT_TRUE(basic.WaitForScript(20000));
}

TEST_F(FullClientTest, NoBasicClientNoScript) {
  const BasicClientStandIn basic(/*programPresent=*/false);
  EXPECT_FALSE(InstallFullClient(nullptr));
  Sleep(1500);
  EXPECT_FALSE(basic.WaitForScript(0)) << "the script runs only when the basic client's program is there";
}

TEST_F(FullClientTest, RealInstallationOfTheFixturePackage) {
  const InstalledFixture fixture;
  MessageBoxWatcher watcher;
  EXPECT_TRUE(InstallFullClient(Str(U16(FixturePackagePath()))));
  EXPECT_TRUE(watcher.Stop().empty());
  EXPECT_EQ(ReadFileBytes(FixtureInstalledFile()), std::optional<std::string>("installed by the full client fixture\r\n"));
}

}  // namespace
}  // namespace gantry::testing
