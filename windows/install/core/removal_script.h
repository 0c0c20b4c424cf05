// The removal script "RemoveBasicClient.bat" that undoes a basic client
// installation, and the RunOnce entry that runs it at the user's next logon.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace gantry {

inline constexpr char16_t kRemovalScriptName[] = u"RemoveBasicClient.bat";
inline constexpr char16_t kRunOnceKey[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
inline constexpr char16_t kRunOnceValueName[] = u"ClearKuvBasicClient";
// The COM server of the client package that the script unregisters.
inline constexpr char16_t kClientComServerName[] = u"TavikClientSystem.dll";

// The keys below HKEY_CURRENT_USER that the script deletes with their
// subtrees: the four top keys of the per-user registration.
inline constexpr std::array<std::u16string_view, 4> kRemovedRegistrationKeys = {
    u"Software\\Classes\\MIME\\Database\\Content Type\\application/x-kuva",
    u"Software\\Classes\\tavikclient",
    u"Software\\Classes\\.kuva",
    u"Software\\Classes\\Varnel.Document",
};

// The environment variable the script keeps its own folder in.
inline constexpr char kRemovalScriptFolderVariable[] = "KuvBasicClientFolder";

// The script's bytes. It always lies in the basic client folder B and is
// started by its full path, so it names B through its own location
// ("%~dps0") and holds no folder text at all: plain ASCII, the same for every
// user, read alike in any code page, whatever characters B has. It deletes
// the registration keys and the RunOnce value with "reg delete" (the user's
// own rights: no elevation prompt at logon; a key already gone does not stop
// it), unregisters the COM server and deletes B last. CR LF after every line
// but the last, and no zero byte anywhere (a command interpreter may spin on
// one).
std::string RemovalScriptText();

// The RunOnce data for the script: its path in double quotes, because Windows
// runs the data as a command line and would split an unquoted path at a blank.
std::u16string RunOnceCommand(std::u16string_view scriptPath);

}  // namespace gantry
