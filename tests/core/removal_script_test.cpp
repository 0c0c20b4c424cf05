// The removal script's bytes and the RunOnce command that runs it.
#include "windows/install/core/removal_script.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace gantry {
namespace {

std::vector<std::string> SplitCrLf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  lines.push_back(text.substr(start));
  return lines;
}

TEST(RemovalScriptText, WholeTextForAFolderWithABlank) {
  const std::string expected =
      "cd \\\r\n"
      "echo Windows Registry Editor Version 5.00> \"%TEMP%\\tempreg.reg\"\r\n"
      "echo [-HKEY_CURRENT_USER\\Software\\Classes\\MIME\\Database\\Content Type\\application/x-kuva]>> "
      "\"%TEMP%\\tempreg.reg\"\r\n"
      "echo [-HKEY_CURRENT_USER\\Software\\Classes\\tavikclient]>> \"%TEMP%\\tempreg.reg\"\r\n"
      "echo [-HKEY_CURRENT_USER\\Software\\Classes\\.kuva]>> \"%TEMP%\\tempreg.reg\"\r\n"
      "echo [-HKEY_CURRENT_USER\\Software\\Classes\\Varnel.Document]>> \"%TEMP%\\tempreg.reg\"\r\n"
      "echo [HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce]>> \"%TEMP%\\tempreg.reg\"\r\n"
      "echo \"ClearKuvBasicClient\"=->> \"%TEMP%\\tempreg.reg\"\r\n"
      "regedit /S \"%TEMP%\\tempreg.reg\"\r\n"
      "del \"%TEMP%\\tempreg.reg\"\r\n"
      "start /wait regsvr32 /u /s \"C:\\Users\\Test User\\AppData\\Roaming\\KuvClient\\Bin\\TavikClientSystem.dll\"\r\n"
      "rmdir /S /Q \"C:\\Users\\Test User\\AppData\\Roaming\\KuvClient\\Bin\"";
  EXPECT_EQ(RemovalScriptText("C:\\Users\\Test User\\AppData\\Roaming\\KuvClient\\Bin"), expected);
}

TEST(RemovalScriptText, ShapeHoldsForEveryFolder) {
  const std::string folders[] = {"C:\\KuvClient\\Bin", "C:\\Users\\Test User\\KuvClient\\Bin",
                                 "C:\\Users\\\xC4nne & Co\\KuvClient\\Bin", std::string(258, 'x')};
  for (const std::string& folder : folders) {
    SCOPED_TRACE(folder);
    const std::string text = RemovalScriptText(folder);
    EXPECT_EQ(text.find('\0'), std::string::npos) << "no zero byte anywhere";
    const std::vector<std::string> lines = SplitCrLf(text);
    ASSERT_EQ(lines.size(), 12u) << "CR LF after lines 1 to 11 and none after line 12";
    EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1);
    for (std::size_t i = 0; i < lines.size(); ++i) {
      EXPECT_EQ(lines[i].find(" >"), std::string::npos) << "line " << i + 1 << " has a blank before '>'";
      EXPECT_EQ(lines[i].find('\r'), std::string::npos) << "line " << i + 1;
    }
    EXPECT_EQ(lines[10], "start /wait regsvr32 /u /s \"" + folder + "\\TavikClientSystem.dll\"");
    EXPECT_EQ(lines[11], "rmdir /S /Q \"" + folder + "\"");
    EXPECT_EQ(text.back(), '"') << "the file ends right after line 12's closing quote";
  }
}

// The interpreter expands %...% inside quotes too and drops a lone %: written
// as it is, the first folder would make rmdir delete C:\Users\ac\Bin.
TEST(RemovalScriptText, PercentSignsInTheFolderReachTheInterpreterAsTheyAre) {
  const struct {
    std::string folder;
    std::string spelled;
  } cases[] = {
      {"C:\\Users\\a%b\\x%c\\Bin", "C:\\Users\\a%%b\\x%%c\\Bin"},
      {"C:\\Users\\%PATH%\\Bin", "C:\\Users\\%%PATH%%\\Bin"},
      {"C:\\Users\\100%\\Bin", "C:\\Users\\100%%\\Bin"},
      {"C:\\Users\\%%\\Bin", "C:\\Users\\%%%%\\Bin"},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.folder);
    const std::vector<std::string> lines = SplitCrLf(RemovalScriptText(row.folder));
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines[10], "start /wait regsvr32 /u /s \"" + row.spelled + "\\TavikClientSystem.dll\"");
    EXPECT_EQ(lines[11], "rmdir /S /Q \"" + row.spelled + "\"");
    EXPECT_EQ(lines[1], "echo Windows Registry Editor Version 5.00> \"%TEMP%\\tempreg.reg\"")
        << "the script's own %TEMP% stays one variable";
  }
}

TEST(RunOnceCommand, QuotesTheScriptPath) {
  EXPECT_EQ(RunOnceCommand(u"C:\\Users\\Test User\\KuvClient\\Bin\\RemoveBasicClient.bat"),
            u"\"C:\\Users\\Test User\\KuvClient\\Bin\\RemoveBasicClient.bat\"");
  EXPECT_EQ(RunOnceCommand(u"C:\\B\\RemoveBasicClient.bat"), u"\"C:\\B\\RemoveBasicClient.bat\"");
}

}  // namespace
}  // namespace gantry
