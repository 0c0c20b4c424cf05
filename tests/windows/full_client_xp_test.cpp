// The full installation on a system that reports Windows XP (major 5): the
// installer's user interface is switched off for the process and the
// fallback, the system folder's "msiexec.exe", runs without " /quiet",
// showing its own dialogs.
#include <gtest/gtest.h>
#include <msi.h>

#include "tests/windows/harness/full_client_support.h"

namespace gantry::testing {
namespace {

using FullClientXpTest = FullClientTestBase;

TEST_F(FullClientXpTest, SystemReportsMajorFive) {
  ASSERT_TRUE(RealFullClientPlatform().systemMajorVersion().has_value());
  EXPECT_EQ(*RealFullClientPlatform().systemMajorVersion(), 5u);
}

TEST_F(FullClientXpTest, FallbackIsNotQuietAndTheUserInterfaceIsOff) {
  const FallbackRow rows[] = {{0, true}, {1, false}, {3010, true}};
  for (const FallbackRow& row : rows) {
    SCOPED_TRACE(row.exitCode);
    const FallbackRun run = RunFallback(jni, Str(u"C:\\pkg dir\\client.msi"), row.exitCode);
    EXPECT_EQ(run.installed, row.installed);
    EXPECT_EQ(run.commandLines, std::vector<std::string>{"\"" + Utf8(SystemInstallerProgramStandIn::Path()) +
                                                         "\" /i \"C:\\pkg dir\\client.msi\""});
    ASSERT_EQ(run.programs.size(), 1u);
    EXPECT_TRUE(SystemInstallerProgramStandIn::IsStandInPath(run.programs[0])) << run.programs[0];
    EXPECT_EQ(run.boxes, 0u);
    EXPECT_EQ(MsiSetInternalUI(INSTALLUILEVEL_NOCHANGE, nullptr), INSTALLUILEVEL_NONE)
        << "switched off for the whole process";
  }
}

TEST_F(FullClientXpTest, RealInstallationOfTheFixturePackage) {
  const InstalledFixture fixture;
  MessageBoxWatcher watcher;
  EXPECT_TRUE(InstallFullClient(Str(U16(FixturePackagePath()))));
  EXPECT_TRUE(watcher.Stop().empty());
  EXPECT_TRUE(PathExists(FixtureInstalledFile()));
  EXPECT_EQ(MsiSetInternalUI(INSTALLUILEVEL_NOCHANGE, nullptr), INSTALLUILEVEL_NONE);
}

}  // namespace
}  // namespace gantry::testing
