// Helpers of the basic client tests: its paths, the expected removal script,
// the per-user registration as it stands in the registry, client processes.
#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace gantry::testing {

std::wstring BasicClientFolder();  // ClientFolder() + "Bin"
std::wstring BasicClientProgram();  // ... + "\Varnel.exe"
std::wstring BasicClientScript();   // ... + "\RemoveBasicClient.bat"
// bin\fixtures\basic-client\<name>
std::wstring BasicClientFixture(const std::wstring& name);

// The removal script's bytes, written out here on its own. The script names
// no folder (it reaches B through its own location), so they are the same
// for every basic client folder.
std::string ExpectedRemovalScript(const std::wstring& folder = {});

// Runs the RunOnce value's command itself through cmd, as the logon does:
// the script where it lies. False when it did not end within a minute.
bool RunRunOnceCommand();
// `path` and, where the volume has one, `path` with its folder in the short
// (8.3) form.
std::vector<std::wstring> LongAndShortForms(const std::wstring& path);

inline constexpr wchar_t kRunOnceKeyPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
inline constexpr wchar_t kComServerMarkKey[] = L"Software\\GantryTest\\TavikClientSystem";

// The four top keys of the per-user registration, under HKEY_CURRENT_USER.
extern const wchar_t* const kRegistrationTopKeys[4];
// True when none of the four keys and no RunOnce value is left.
bool RegistrationAndRunOnceGone();
// Deletes the registration, the RunOnce value, the COM server's marks and B.
void RemoveBasicClientTraces();

// A value as stored: its type and raw bytes.
struct RawValue {
  DWORD type = 0;
  std::string bytes;
  bool operator==(const RawValue& o) const { return type == o.type && bytes == o.bytes; }
};
void PrintTo(const RawValue& value, std::ostream* os);
std::optional<RawValue> ReadRawValue(HKEY root, const std::wstring& key, const wchar_t* name);
// REG_SZ bytes of a text with its terminating zero.
RawValue StringValue(const std::wstring& text);
// Every key and value below `key`, by "subkey|value name" (keys as "subkey|<key>").
std::map<std::wstring, RawValue> SnapshotRegistry(HKEY root, const std::wstring& key);

// Makes `key` (below HKEY_CURRENT_USER, deleted first) a volatile key: no
// lasting key can be created below it, which makes writes there fail.
bool MakeVolatileKey(const std::wstring& key);

// Processes of this image name (for example "Varnel.exe") that are running.
int CountProcesses(const wchar_t* imageName);
// Waits up to `timeoutMs` for none of them to be running; false when some still are.
bool WaitForNoProcess(const wchar_t* imageName, DWORD timeoutMs);
void TerminateProcesses(const wchar_t* imageName);

// Lines of a UTF-8 log file written by the test client (none when absent).
std::vector<std::string> ReadLogLines(const std::wstring& path);

}  // namespace gantry::testing
