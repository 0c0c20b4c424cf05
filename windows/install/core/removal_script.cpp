#include "windows/install/core/removal_script.h"

namespace gantry {
namespace {

// The temporary registry script, quoted so that a %TEMP% with a blank in it
// stays one word; the echoed text runs right up to the redirection.
constexpr std::string_view kCreateRegFile = "> \"%TEMP%\\tempreg.reg\"\r\n";
constexpr std::string_view kAppendRegFile = ">> \"%TEMP%\\tempreg.reg\"\r\n";

// The folder as the batch file must spell it. The interpreter expands %name%
// even inside quotes and drops a lone %, so "C:\Users\a%b\x%c" would reach
// rmdir as "C:\Users\ac", another folder; "%%" in a batch file is one %.
std::string BatchLiteral(std::string_view text) {
  std::string literal;
  literal.reserve(text.size());
  for (const char unit : text) {
    if (unit == '%') literal.push_back('%');
    literal.push_back(unit);
  }
  return literal;
}

}  // namespace

std::string RemovalScriptText(std::string_view folderAnsi) {
  const std::string folder = BatchLiteral(folderAnsi);
  std::string text;
  text += "cd \\\r\n";
  text.append("echo Windows Registry Editor Version 5.00").append(kCreateRegFile);
  text.append("echo [-HKEY_CURRENT_USER\\Software\\Classes\\MIME\\Database\\Content Type\\application/x-kuva]")
      .append(kAppendRegFile);
  text.append("echo [-HKEY_CURRENT_USER\\Software\\Classes\\tavikclient]").append(kAppendRegFile);
  text.append("echo [-HKEY_CURRENT_USER\\Software\\Classes\\.kuva]").append(kAppendRegFile);
  text.append("echo [-HKEY_CURRENT_USER\\Software\\Classes\\Varnel.Document]").append(kAppendRegFile);
  text.append("echo [HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce]")
      .append(kAppendRegFile);
  text.append("echo \"ClearKuvBasicClient\"=-").append(kAppendRegFile);
  text += "regedit /S \"%TEMP%\\tempreg.reg\"\r\n";
  text += "del \"%TEMP%\\tempreg.reg\"\r\n";
  text.append("start /wait regsvr32 /u /s \"").append(folder).append("\\TavikClientSystem.dll\"\r\n");
  // The folder goes last: the script itself lies in it.
  text.append("rmdir /S /Q \"").append(folder).append("\"");
  return text;
}

std::u16string RunOnceCommand(std::u16string_view scriptPath) {
  std::u16string command;
  command.reserve(scriptPath.size() + 2);
  command.append(u"\"").append(scriptPath).append(u"\"");
  return command;
}

}  // namespace gantry
