// The removal script "RemoveBasicClient.bat" that undoes a basic client
// installation, and the RunOnce entry that runs it at the user's next logon.
#pragma once

#include <string>
#include <string_view>

namespace gantry {

inline constexpr char16_t kRemovalScriptName[] = u"RemoveBasicClient.bat";
inline constexpr char16_t kRunOnceKey[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
inline constexpr char16_t kRunOnceValueName[] = u"ClearKuvBasicClient";
// The COM server of the client package that the script unregisters.
inline constexpr char16_t kClientComServerName[] = u"TavikClientSystem.dll";

// The script's bytes for the basic client folder given in the ANSI code page
// (no trailing backslash). Twelve lines, CR LF after the first eleven, and
// nothing after the last: no terminating zero, which a command interpreter
// may read as one more (never ending) line. Every path is quoted and no blank
// stands before a redirection, so a profile folder with a blank in it works
// and the temporary .reg file's lines carry no trailing blank. The folder's
// percent signs are doubled, so the interpreter reads the folder as it is.
std::string RemovalScriptText(std::string_view basicClientFolderAnsi);

// The RunOnce data for the script: its path in double quotes, because Windows
// runs the data as a command line and would split an unquoted path at a blank.
std::u16string RunOnceCommand(std::u16string_view scriptPath);

}  // namespace gantry
