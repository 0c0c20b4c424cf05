// The removal script's properties and the RunOnce command that runs it.
#include "windows/install/core/removal_script.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "windows/install/core/basic_client_registration_table.h"

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

std::string Narrow(std::u16string_view text) { return std::string(text.begin(), text.end()); }

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

// The script is read by the command interpreter in the OEM code page and
// written by the library without knowing it: plain ASCII reads the same in
// every code page, and no text of B is in it to be misread.
TEST(RemovalScriptText, PlainAsciiLinesWithoutAnyFolder) {
  const std::string text = RemovalScriptText();
  for (const char byte : text) {
    const auto unit = static_cast<unsigned char>(byte);
    EXPECT_TRUE(unit == '\r' || unit == '\n' || (unit >= 0x20 && unit < 0x7F)) << "byte " << unsigned(unit);
  }
  EXPECT_EQ(text.find('\0'), std::string::npos) << "cmd may spin on a zero byte";
  EXPECT_EQ(text.find(":\\"), std::string::npos) << "no drive path";
  EXPECT_EQ(text.find("\\\\"), std::string::npos) << "no network path";
  const std::vector<std::string> lines = SplitCrLf(text);
  for (const std::string& line : lines) EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
  EXPECT_NE(text.back(), '\n') << "no line end after the last line";
}

// Every "%" of the script starts one of two expansions: the script's own
// location, taken once, or the variable that keeps it. Nothing else is read
// from the environment (no %TEMP%, no temporary file).
TEST(RemovalScriptText, ExpandsOnlyItsOwnLocation) {
  const std::string variable = std::string("%") + kRemovalScriptFolderVariable + "%";
  const std::vector<std::string> lines = SplitCrLf(RemovalScriptText());
  int locationTaken = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE(lines[i]);
    std::string rest = lines[i];
    for (std::size_t at; (at = rest.find(variable)) != std::string::npos;) rest.erase(at, variable.size());
    for (std::size_t at; (at = rest.find("%~dps0")) != std::string::npos; ++locationTaken) rest.erase(at, 6);
    EXPECT_EQ(rest.find('%'), std::string::npos);
    EXPECT_EQ(rest.find('!'), std::string::npos);
  }
  EXPECT_EQ(locationTaken, 1);
}

// The order that matters: delayed expansion off before the location is
// taken, the location taken before the current folder changes, out of B
// before B is deleted, and B deleted last.
TEST(RemovalScriptText, TakesItsFolderFirstAndDeletesItLast) {
  const std::vector<std::string> lines = SplitCrLf(RemovalScriptText());
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0], "setlocal DisableDelayedExpansion");
  EXPECT_EQ(lines[1], std::string("set \"") + kRemovalScriptFolderVariable + "=%~dps0\"");
  EXPECT_EQ(lines[2], "cd \\");
  const std::string folder = std::string("\"%") + kRemovalScriptFolderVariable + "%";
  EXPECT_EQ(lines.back(), "if exist " + folder + "RemoveBasicClient.bat\" rmdir /S /Q " + folder + ".\"")
      << "B itself (its location ends in a backslash), only while it still holds this script";
  int rmdirLines = 0;
  for (const std::string& line : lines) rmdirLines += line.find("rmdir") != std::string::npos;
  EXPECT_EQ(rmdirLines, 1);
  const auto unregister = std::find(lines.begin(), lines.end(),
                                    "start /wait regsvr32 /u /s " + folder + "TavikClientSystem.dll\"");
  EXPECT_NE(unregister, lines.end()) << "the COM server in B, by its whole path, waited for";
}

// The registry goes with "reg delete ... /f", in the user's own rights: no
// regedit (which asks for elevation at logon) and no temporary .reg file.
// The keys deleted cover everything the per-user registration writes.
TEST(RemovalScriptText, DeletesTheRegistrationWithRegDeleteOnly) {
  const std::string text = RemovalScriptText();
  EXPECT_EQ(text.find("regedit"), std::string::npos);
  EXPECT_EQ(text.find(".reg"), std::string::npos);
  std::vector<std::string> deletedKeys;
  std::vector<std::string> deletedValues;
  for (const std::string& line : SplitCrLf(text)) {
    if (!StartsWith(line, "reg ")) continue;
    ASSERT_TRUE(StartsWith(line, "reg delete \"HKCU\\")) << line;
    const std::size_t keyEnd = line.find('"', 17);
    ASSERT_NE(keyEnd, std::string::npos) << line;
    const std::string key = line.substr(17, keyEnd - 17);
    const std::string options = line.substr(keyEnd + 1);
    if (options == " /f") {
      deletedKeys.push_back(key);
    } else {
      EXPECT_EQ(options, " /v ClearKuvBasicClient /f") << line;
      EXPECT_EQ(key, Narrow(kRunOnceKey));
      deletedValues.push_back(key);
    }
  }
  EXPECT_EQ(deletedValues.size(), 1u) << "the RunOnce value";
  EXPECT_EQ(deletedKeys.size(), 4u);

  std::vector<std::string> written = {Narrow(kContentTypeKey), Narrow(kUrlProtocolKey)};
  for (const DefaultValueEntry& entry : ConnectionFileTypeDefaults(u"C:\\B\\Varnel.exe")) {
    written.push_back(Narrow(entry.key));
  }
  for (const DefaultValueEntry& entry : UrlProtocolDefaults(u"C:\\B\\Varnel.exe")) {
    written.push_back(Narrow(kUrlProtocolKey) + "\\" + Narrow(entry.key));
  }
  for (const std::string& key : written) {
    SCOPED_TRACE(key);
    EXPECT_TRUE(std::any_of(deletedKeys.begin(), deletedKeys.end(), [&key](const std::string& deleted) {
      return key == deleted || StartsWith(key, deleted + "\\");
    })) << "a registration key the script leaves behind";
  }
}

TEST(RunOnceCommand, QuotesTheScriptPath) {
  EXPECT_EQ(RunOnceCommand(u"C:\\Users\\Test User\\KuvClient\\Bin\\RemoveBasicClient.bat"),
            u"\"C:\\Users\\Test User\\KuvClient\\Bin\\RemoveBasicClient.bat\"");
  EXPECT_EQ(RunOnceCommand(u"\\\\server\\share\\B\\RemoveBasicClient.bat"),
            u"\"\\\\server\\share\\B\\RemoveBasicClient.bat\"");
}

}  // namespace
}  // namespace gantry
