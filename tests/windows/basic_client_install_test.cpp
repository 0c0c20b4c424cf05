// The basic client installation and its restart clean-up, through the
// exports, with the normal test package (the test client as "Varnel.exe").
// Which client the ".kuva" association names decides between the client's own
// "-regext"/"-regcleanbasic" run and the library's own work; the test client
// logs its command line and exits with the code the test sets.
#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include <string>

#include "tests/windows/harness/basic_client_support.h"
#include "tests/windows/harness/test_support.h"

namespace gantry::testing {
namespace {

constexpr wchar_t kRunOnceValue[] = L"ClearKuvBasicClient";

class BasicClientTest : public GantryTest {
 protected:
  void SetUp() override {
    TerminateProcesses(L"Varnel.exe");
    RemoveConnectionFileAssociation();
    RemoveBasicClientTraces();
    DeleteTree(log_);
  }
  void TearDown() override {
    TerminateProcesses(L"Varnel.exe");
    RemoveConnectionFileAssociation();
    RemoveBasicClientTraces();
    DeleteTree(log_);
    GantryTest::TearDown();
  }

  bool Install(const std::wstring& package) { return InstallBasicClient(Str(U16(package))); }
  static std::wstring NormalPackage() { return BasicClientFixture(L"client.msi"); }

  // B's files as the package lays them out, less the left-out names.
  static std::map<std::wstring, std::string> ExpectedFiles(bool withScript) {
    std::map<std::wstring, std::string> files = SnapshotTree(BasicClientFixture(L"expected"));
    if (withScript) files[L"RemoveBasicClient.bat"] = ExpectedRemovalScript(BasicClientFolder());
    return files;
  }
  static bool PerUserRegistrationWritten() {
    return GetStringValue(HKEY_CURRENT_USER, L"Software\\Classes\\Varnel.Document\\shell\\open\\command",
                          nullptr) == BasicClientProgram() + L" %1" &&
           GetStringValue(HKEY_CURRENT_USER, L"Software\\Classes\\tavikclient\\shell\\open\\command", nullptr) ==
               L"\"" + BasicClientProgram() + L"\" urlSchema \"%1\"";
  }
  static bool AnyRegistrationKey() {
    for (const wchar_t* key : kRegistrationTopKeys) {
      if (KeyExists(HKEY_CURRENT_USER, key)) return true;
    }
    return false;
  }
  std::vector<std::string> ClientRuns() const { return ReadLogLines(log_); }
  std::string ExpectedRun(const char* argument) const {
    return "\"" + Utf8(BasicClientProgram()) + "\" " + argument;
  }

  const std::wstring log_ = TempFolder() + L"gantry-basic-client.log";
  ScopedEnvironment logEnvironment_{L"GANTRY_CLIENT_LOG", log_};
};

TEST_F(BasicClientTest, NormalPackageWithoutAssociation) {
  ASSERT_TRUE(PathExists(NormalPackage()));
  EXPECT_TRUE(Install(NormalPackage()));
  EXPECT_EQ(SnapshotTree(BasicClientFolder()), ExpectedFiles(true))
      << "B holds the package's files less Brenlo.exe, BrenloDEU.dll and BrenloJPN.dll (any case)";
  EXPECT_EQ(ReadFileBytes(BasicClientScript()), ExpectedRemovalScript(BasicClientFolder()));
  EXPECT_TRUE(PerUserRegistrationWritten());
  EXPECT_TRUE(ClientRuns().empty()) << "no \"-regext\" run";
}

struct VersionRow {
  const char* name;
  std::optional<std::wstring> associatedClient;  // test client variant
  bool selfRegistration;
};

TEST_F(BasicClientTest, AssociatedVersionDecidesWhoRegisters) {
  const VersionRow rows[] = {
      {"no association", std::nullopt, false},
      {"10.1 build 1238", L"varnel-10.1-build1238", true},
      {"11.0 build 5000 (minor 0)", L"varnel-11.0-build5000", false},
      {"10.2 build 900 (build below 1238)", L"varnel-10.2-build900", false},
  };
  for (const VersionRow& row : rows) {
    SCOPED_TRACE(row.name);
    RemoveBasicClientTraces();
    DeleteTree(log_);
    std::optional<ScopedAssociation> association;
    if (row.associatedClient) association.emplace(ScopedAssociation::ToProgram(TestClientPath(*row.associatedClient)));
    EXPECT_TRUE(Install(NormalPackage()));
    EXPECT_EQ(ReadFileBytes(BasicClientScript()), ExpectedRemovalScript(BasicClientFolder()));
    if (row.selfRegistration) {
      EXPECT_EQ(ClientRuns(), std::vector<std::string>{ExpectedRun("-regext")});
      EXPECT_FALSE(AnyRegistrationKey()) << "the client's run takes the library's place";
    } else {
      EXPECT_TRUE(ClientRuns().empty());
      EXPECT_TRUE(PerUserRegistrationWritten());
    }
  }
}

TEST_F(BasicClientTest, FailedSelfRegistrationWritesNoScript) {
  ScopedAssociation association = ScopedAssociation::ToProgram(TestClientPath(L"varnel-10.1-build1238"));
  {
    ScopedEnvironment exitCode(L"GANTRY_CLIENT_EXIT_CODE", L"1");
    EXPECT_FALSE(Install(NormalPackage()));
  }
  EXPECT_EQ(ClientRuns(), std::vector<std::string>{ExpectedRun("-regext")});
  EXPECT_EQ(SnapshotTree(BasicClientFolder()), ExpectedFiles(false)) << "files stay, no script";
  EXPECT_FALSE(AnyRegistrationKey());
}

TEST_F(BasicClientTest, ClientStillRunningAfterTenSecondsIsLeftRunning) {
  ScopedAssociation association = ScopedAssociation::ToProgram(TestClientPath(L"varnel-10.1-build1238"));
  ScopedEnvironment sleep(L"GANTRY_CLIENT_SLEEP_MS", L"25000");
  const DWORD start = GetTickCount();
  EXPECT_FALSE(Install(NormalPackage()));
  const DWORD elapsed = GetTickCount() - start;
  EXPECT_GE(elapsed, 9900u);
  EXPECT_LT(elapsed, 20000u);
  EXPECT_EQ(CountProcesses(L"Varnel.exe"), 1) << "the client keeps running";
  EXPECT_FALSE(PathExists(BasicClientScript()));
}

TEST_F(BasicClientTest, PackageWithoutClientProgramFailsTheSelfRegistration) {
  // The start fails without a modal box (which would never be closed here);
  // nothing registered the connection files, so the installation failed.
  ScopedAssociation association = ScopedAssociation::ToProgram(TestClientPath(L"varnel-10.1-build1238"));
  EXPECT_FALSE(Install(BasicClientFixture(L"client-no-program.msi")));
  EXPECT_FALSE(PathExists(BasicClientProgram()));
  EXPECT_TRUE(PathExists(BasicClientFolder() + L"\\settings.ini")) << "the extracted files stay";
  EXPECT_FALSE(PathExists(BasicClientScript())) << "as for any failed \"-regext\" run";
  EXPECT_FALSE(AnyRegistrationKey());
}

TEST_F(BasicClientTest, SecondRunReplacesTheScript) {
  ASSERT_TRUE(Install(NormalPackage()));
  const std::string longer = ExpectedRemovalScript(BasicClientFolder()) + "\r\necho stale tail\r\n";
  ASSERT_TRUE(WriteFileBytes(BasicClientScript(), longer));
  EXPECT_TRUE(Install(NormalPackage()));
  EXPECT_EQ(ReadFileBytes(BasicClientScript()), ExpectedRemovalScript(BasicClientFolder()));
  EXPECT_EQ(SnapshotTree(BasicClientFolder()), ExpectedFiles(true));
}

TEST_F(BasicClientTest, PackagePathLengthsAndCharacters) {
  ScratchFolder scratch(L"gantry-basic-\u00c4\u00f6\u00fc \u65e5\u672c");
  const std::wstring copy = scratch / L"Client \u00e9t\u00e9.msi";
  ASSERT_TRUE(CopyFileW(NormalPackage().c_str(), copy.c_str(), FALSE));
  // ".\" steps make a path of any length that names the same package; the
  // two names differ in length by one to reach both parities.
  for (const wchar_t* name : {L"c.msi", L"cc.msi"}) {
    ASSERT_TRUE(CopyFileW(NormalPackage().c_str(), (scratch / name).c_str(), FALSE));
  }
  auto named = [&](std::size_t length) {
    std::wstring path = scratch.path() + L"\\";
    const std::wstring name = (length - path.size()) % 2 == 1 ? L"c.msi" : L"cc.msi";
    while (path.size() + name.size() < length) path += L".\\";
    return path + name;
  };
  const std::wstring at259 = named(259);
  const std::wstring at260 = named(260);
  ASSERT_EQ(at259.size(), 259u);
  ASSERT_EQ(at260.size(), 260u);
  ASSERT_TRUE(PathExists(at260)) << "the 260-unit path names a real package";

  EXPECT_FALSE(Install(at260));
  EXPECT_FALSE(PathExists(BasicClientFolder())) << "nothing installed";
  EXPECT_FALSE(AnyRegistrationKey());

  EXPECT_TRUE(Install(at259));
  EXPECT_EQ(SnapshotTree(BasicClientFolder()), ExpectedFiles(true));

  RemoveBasicClientTraces();
  EXPECT_TRUE(Install(copy)) << "a path outside ASCII";
  EXPECT_EQ(SnapshotTree(BasicClientFolder()), ExpectedFiles(true));

  RemoveBasicClientTraces();
  EXPECT_FALSE(Install(scratch / L"missing.msi"));
  EXPECT_FALSE(PathExists(BasicClientScript()));
  EXPECT_FALSE(AnyRegistrationKey());
  EXPECT_FALSE(InstallBasicClient(nullptr));
}

// Either half of the registration failing fails the installation; the other
// half still runs and the script that removes both is still written.
TEST_F(BasicClientTest, FailureAtTheContentTypeStillRegistersTheProtocol) {
  ASSERT_TRUE(MakeVolatileKey(L"Software\\Classes\\MIME"));
  EXPECT_FALSE(Install(NormalPackage()));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\Varnel.Document"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\.kuva"));
  EXPECT_EQ(GetStringValue(HKEY_CURRENT_USER, L"Software\\Classes\\tavikclient\\shell\\open\\command", nullptr),
            L"\"" + BasicClientProgram() + L"\" urlSchema \"%1\"");
  EXPECT_EQ(ReadFileBytes(BasicClientScript()), ExpectedRemovalScript(BasicClientFolder()));
}

TEST_F(BasicClientTest, FailureAtTheProtocolFailsTheInstallation) {
  ASSERT_TRUE(MakeVolatileKey(L"Software\\Classes\\tavikclient"));
  EXPECT_FALSE(Install(NormalPackage()));
  EXPECT_EQ(GetStringValue(HKEY_CURRENT_USER, L"Software\\Classes\\Varnel.Document\\shell\\open\\command", nullptr),
            BasicClientProgram() + L" %1");
  EXPECT_EQ(ReadFileBytes(BasicClientScript()), ExpectedRemovalScript(BasicClientFolder()));
}

// Clean-up on restart: the result table, row by row.
enum class ProgramInB { kNone, kClient, kNotAProgram };

struct CleanRow {
  const char* name;
  std::optional<std::wstring> associatedClient;
  ProgramInB programInB;
  const wchar_t* exitCode;
  const wchar_t* sleepMs;
  jint result;
  bool runOnceWritten;
  bool clientRuns;
  bool stillRunning;
};

TEST_F(BasicClientTest, CleanOnRestartResultTable) {
  const CleanRow rows[] = {
      {"no association, no basic client at all", std::nullopt, ProgramInB::kNone, nullptr, nullptr, 1, true, false, false},
      {"11.0 build 5000 (minor 0)", L"varnel-11.0-build5000", ProgramInB::kClient, nullptr, nullptr, 1, true, false, false},
      {"10.1 build 1238, exit code 0", L"varnel-10.1-build1238", ProgramInB::kClient, L"0", nullptr, 1, false, true, false},
      {"10.1 build 1238, exit code 1", L"varnel-10.1-build1238", ProgramInB::kClient, L"1", nullptr, 0, false, true, false},
      // Nothing left for the client program to clean.
      {"10.1 build 1238, no client program", L"varnel-10.1-build1238", ProgramInB::kNone, nullptr, nullptr, 1, false, false, false},
      {"10.1 build 1238, client program that cannot be started", L"varnel-10.1-build1238", ProgramInB::kNotAProgram,
       nullptr, nullptr, 0, false, false, false},
      {"10.1 build 1238, still running", L"varnel-10.1-build1238", ProgramInB::kClient, nullptr, L"25000", 0, false, true, true},
  };
  for (const CleanRow& row : rows) {
    SCOPED_TRACE(row.name);
    TerminateProcesses(L"Varnel.exe");
    RemoveBasicClientTraces();
    DeleteTree(log_);
    if (row.programInB != ProgramInB::kNone) {
      ASSERT_TRUE(CreateFolders(BasicClientFolder()));
    }
    if (row.programInB == ProgramInB::kClient) {
      ASSERT_TRUE(CopyFileW(TestClientPath(L"varnel-10.1-build1238").c_str(), BasicClientProgram().c_str(), FALSE));
    } else if (row.programInB == ProgramInB::kNotAProgram) {
      ASSERT_TRUE(WriteFileBytes(BasicClientProgram(), "not a program"));
    }
    std::optional<ScopedAssociation> association;
    if (row.associatedClient) association.emplace(ScopedAssociation::ToProgram(TestClientPath(*row.associatedClient)));
    ScopedEnvironment exitCode(L"GANTRY_CLIENT_EXIT_CODE",
                               row.exitCode ? std::optional<std::wstring>(row.exitCode) : std::nullopt);
    ScopedEnvironment sleep(L"GANTRY_CLIENT_SLEEP_MS",
                            row.sleepMs ? std::optional<std::wstring>(row.sleepMs) : std::nullopt);
    EXPECT_EQ(CleanBasicClientOnRestart(), row.result);
    const std::optional<std::wstring> runOnce = GetStringValue(HKEY_CURRENT_USER, kRunOnceKeyPath, kRunOnceValue);
    if (row.runOnceWritten) {
      EXPECT_EQ(runOnce, L"\"" + BasicClientScript() + L"\"") << "the script path, quoted";
    } else {
      EXPECT_FALSE(runOnce.has_value());
    }
    EXPECT_EQ(ClientRuns(), row.clientRuns ? std::vector<std::string>{ExpectedRun("-regcleanbasic")}
                                           : std::vector<std::string>{});
    EXPECT_EQ(CountProcesses(L"Varnel.exe"), row.stillRunning ? 1 : 0);
  }
}

// A RunOnce key the user may read but not write: Wine checks the key's
// access list as Windows does.
TEST_F(BasicClientTest, CleanOnRestartWithRunOnceKeyThatCannotBeOpenedGivesZero) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kRunOnceKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  DWORD size = 0;
  RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &size);
  std::string previous(size, '\0');
  ASSERT_EQ(RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, previous.data(), &size), ERROR_SUCCESS);
  PSECURITY_DESCRIPTOR readOnly = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;KR;;;WD)", SDDL_REVISION_1, &readOnly,
                                                                   nullptr));
  ASSERT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, readOnly), ERROR_SUCCESS);
  LocalFree(readOnly);

  const jint result = CleanBasicClientOnRestart();
  const bool written = GetStringValue(HKEY_CURRENT_USER, kRunOnceKeyPath, kRunOnceValue).has_value();
  ASSERT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, previous.data()), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(written);
  EXPECT_EQ(CleanBasicClientOnRestart(), 1) << "the key's access list is back";
}

TEST_F(BasicClientTest, CleanOnRestartCallsAgainWriteTheSameValue) {
  EXPECT_EQ(CleanBasicClientOnRestart(), 1);
  EXPECT_EQ(CleanBasicClientOnRestart(), 1);
  EXPECT_EQ(ReadRawValue(HKEY_CURRENT_USER, kRunOnceKeyPath, kRunOnceValue),
            StringValue(L"\"" + BasicClientScript() + L"\""));
}

}  // namespace
}  // namespace gantry::testing
