#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "windows/install/core/full_client_text.h"
#include "windows/install/core/installer_result.h"

namespace gantry {
namespace {

TEST(InstallerResult, DirectResults) {
  const std::pair<std::uint32_t, DirectInstallOutcome> rows[] = {
      {0, DirectInstallOutcome::Installed},
      {1602, DirectInstallOutcome::Installed},  // the user cancelled the installer's dialogs
      {3010, DirectInstallOutcome::Installed},  // installed, restart required
      {1641, DirectInstallOutcome::Installed},  // installed, restart started
      {1601, DirectInstallOutcome::RunInstallerProgram},
      {1603, DirectInstallOutcome::Failed},
      {1619, DirectInstallOutcome::Failed},
      {2, DirectInstallOutcome::Failed},
      {1, DirectInstallOutcome::Failed},
      {0xFFFFFFFFu, DirectInstallOutcome::Failed},
  };
  for (const auto& [result, outcome] : rows) EXPECT_EQ(ClassifyDirectInstallResult(result), outcome) << result;
}

TEST(InstallerResult, InstallerProgramExitCodes) {
  const std::pair<std::uint32_t, bool> rows[] = {
      {0, true}, {3010, true}, {1641, true}, {1, false}, {1602, false}, {1603, false}, {1601, false},
      {259, false},  // still active
  };
  for (const auto& [exitCode, installed] : rows) EXPECT_EQ(IsInstalledExitCode(exitCode), installed) << exitCode;
}

TEST(FullClientText, InstallerProgramCommandLine) {
  EXPECT_EQ(MakeInstallerProgramCommandLine(u"C:\\pkg\\client.msi", false), u"\"msiexec\" /i \"C:\\pkg\\client.msi\"");
  EXPECT_EQ(MakeInstallerProgramCommandLine(u"C:\\a b\\c.msi", true), u"\"msiexec\" /i \"C:\\a b\\c.msi\" /quiet");
  EXPECT_EQ(MakeInstallerProgramCommandLine(u"", false), u"\"msiexec\" /i \"\"");
  const std::u16string longPath = u"C:\\" + std::u16string(2000, u'x') + u".msi";
  EXPECT_EQ(MakeInstallerProgramCommandLine(longPath, true), u"\"msiexec\" /i \"" + longPath + u"\" /quiet")
      << "no length limit";
}

TEST(FullClientText, ErrorTextHoldsTheResultAsAnUnsignedNumber) {
  const std::pair<std::uint32_t, std::u16string> rows[] = {
      {1603, u"error 1603."}, {0, u"error 0."}, {0xFFFFFFFFu, u"error 4294967295."}, {10, u"error 10."}};
  for (const auto& [result, text] : rows) EXPECT_EQ(FormatInstallerErrorText(u"error %1.", result), text);
  EXPECT_EQ(FormatInstallerErrorText(u"%1 and %1", 7), u"7 and 7");
  EXPECT_EQ(FormatInstallerErrorText(u"100%% %s %d %2 %", 7), u"100%% %s %d %2 %") << "nothing else is a format";
  EXPECT_EQ(FormatInstallerErrorText(u"", 7), u"");
  EXPECT_NE(FormatInstallerErrorText(kInstallerErrorFallbackTemplate, 1603).find(u"1603"), std::u16string::npos);
}

}  // namespace
}  // namespace gantry
