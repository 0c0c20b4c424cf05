#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "windows/install/core/full_client_text.h"
#include "windows/install/core/installer_result.h"
#include "windows/shared/core/path_text.h"

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

TEST(FullClientText, InstallerProgramIsTheSystemFoldersOwn) {
  const std::u16string fits(kMaxPathUnits - 1 - 12, u's');  // with "\\msiexec.exe", 259 units
  const struct {
    const char* name;
    std::u16string systemFolder;
    std::optional<std::u16string> program;
  } rows[] = {
      {"the system folder", u"C:\\Windows\\system32", u"C:\\Windows\\system32\\msiexec.exe"},
      {"with a trailing backslash", u"C:\\Windows\\system32\\", u"C:\\Windows\\system32\\msiexec.exe"},
      {"a network share", u"\\\\server\\share\\sys", u"\\\\server\\share\\sys\\msiexec.exe"},
      {"exactly 259 units", u"C:\\" + fits.substr(3), u"C:\\" + fits.substr(3) + u"\\msiexec.exe"},
      {"one unit too long", u"C:\\" + fits.substr(2), std::nullopt},
      {"empty: the folder could not be read", u"", std::nullopt},
      {"relative, would be looked up", u"system32", std::nullopt},
      {"drive-relative", u"C:system32", std::nullopt},
      {"a double quote could not be quoted", u"C:\\Win\"dows", std::nullopt},
  };
  for (const auto& row : rows) EXPECT_EQ(InstallerProgramPath(row.systemFolder), row.program) << row.name;
}

TEST(FullClientText, InstallerProgramCommandLine) {
  const std::u16string program = u"C:\\Windows\\system32\\msiexec.exe";
  EXPECT_EQ(MakeInstallerProgramCommandLine(program, u"C:\\pkg\\client.msi", false),
            u"\"C:\\Windows\\system32\\msiexec.exe\" /i \"C:\\pkg\\client.msi\"");
  EXPECT_EQ(MakeInstallerProgramCommandLine(program, u"C:\\a b\\c.msi", true),
            u"\"C:\\Windows\\system32\\msiexec.exe\" /i \"C:\\a b\\c.msi\" /quiet");
  EXPECT_EQ(MakeInstallerProgramCommandLine(u"C:\\Program Files\\sys\\msiexec.exe", u"", false),
            u"\"C:\\Program Files\\sys\\msiexec.exe\" /i \"\"");
  const std::u16string longPath = u"C:\\" + std::u16string(2000, u'x') + u".msi";
  EXPECT_EQ(MakeInstallerProgramCommandLine(program, longPath, true),
            u"\"" + program + u"\" /i \"" + longPath + u"\" /quiet")
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
