#include "windows/install/core/removal_script.h"

namespace gantry {
namespace {

std::string Ascii(std::u16string_view text) {
  std::string ascii;
  ascii.reserve(text.size());
  for (const char16_t unit : text) ascii.push_back(static_cast<char>(unit));
  return ascii;
}

}  // namespace

std::string RemovalScriptText() {
  const std::string folder = std::string("%") + kRemovalScriptFolderVariable + "%";
  std::string text;
  // A registry setting can turn delayed expansion on for every script; then a
  // "!" in B would be read as the start of a variable.
  text += "setlocal DisableDelayedExpansion\r\n";
  // B is taken while the current folder is still the one the script was
  // started from: "%~dps0" of a script started by a relative name is looked
  // up again in the current folder, so after "cd \" it could name the root.
  // The short (8.3) form holds no "%": Wine's cmd scans a substituted
  // parameter again for "%...%", Windows' cmd does not. Where a volume has no
  // short names the long form comes back, which Windows reads as it is.
  text.append("set \"").append(kRemovalScriptFolderVariable).append("=%~dps0\"\r\n");
  // Out of B: a command interpreter whose current folder is B keeps it busy.
  text += "cd \\\r\n";
  for (const std::u16string_view key : kRemovedRegistrationKeys) {
    text.append("reg delete \"HKCU\\").append(Ascii(key)).append("\" /f\r\n");
  }
  text.append("reg delete \"HKCU\\")
      .append(Ascii(kRunOnceKey))
      .append("\" /v ")
      .append(Ascii(kRunOnceValueName))
      .append(" /f\r\n");
  // %~dps0 ends in a backslash.
  text.append("start /wait regsvr32 /u /s \"").append(folder).append(Ascii(kClientComServerName)).append("\"\r\n");
  // B goes last, and only when it still holds this script: an empty or wrong
  // folder text never reaches rmdir. "B\." names B itself.
  text.append("if exist \"")
      .append(folder)
      .append(Ascii(kRemovalScriptName))
      .append("\" rmdir /S /Q \"")
      .append(folder)
      .append(".\"");
  return text;
}

std::u16string RunOnceCommand(std::u16string_view scriptPath) {
  std::u16string command;
  command.reserve(scriptPath.size() + 2);
  command.append(u"\"").append(scriptPath).append(u"\"");
  return command;
}

}  // namespace gantry
