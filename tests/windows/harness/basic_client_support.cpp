#include "tests/windows/harness/basic_client_support.h"

#include <tlhelp32.h>

#include <vector>

#include "tests/windows/harness/test_support.h"

namespace gantry::testing {

const wchar_t* const kRegistrationTopKeys[4] = {
    L"Software\\Classes\\MIME\\Database\\Content Type\\application/x-kuva",
    L"Software\\Classes\\tavikclient",
    L"Software\\Classes\\.kuva",
    L"Software\\Classes\\Varnel.Document",
};

std::wstring BasicClientFolder() { return ClientFolder() + L"Bin"; }
std::wstring BasicClientProgram() { return BasicClientFolder() + L"\\Varnel.exe"; }
std::wstring BasicClientScript() { return BasicClientFolder() + L"\\RemoveBasicClient.bat"; }
std::wstring BasicClientFixture(const std::wstring& name) {
  return TestBinDir() + L"\\fixtures\\basic-client\\" + name;
}

std::string ExpectedRemovalScript(const std::wstring&) {
  return "setlocal DisableDelayedExpansion\r\n"
         "set \"KuvBasicClientFolder=%~dps0\"\r\n"
         "cd \\\r\n"
         "reg delete \"HKCU\\Software\\Classes\\MIME\\Database\\Content Type\\application/x-kuva\" /f\r\n"
         "reg delete \"HKCU\\Software\\Classes\\tavikclient\" /f\r\n"
         "reg delete \"HKCU\\Software\\Classes\\.kuva\" /f\r\n"
         "reg delete \"HKCU\\Software\\Classes\\Varnel.Document\" /f\r\n"
         "reg delete \"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce\" /v ClearKuvBasicClient /f\r\n"
         "start /wait regsvr32 /u /s \"%KuvBasicClientFolder%TavikClientSystem.dll\"\r\n"
         "if exist \"%KuvBasicClientFolder%RemoveBasicClient.bat\" rmdir /S /Q \"%KuvBasicClientFolder%.\"";
}

bool RunRunOnceCommand() {
  const std::optional<std::wstring> command =
      GetStringValue(HKEY_CURRENT_USER, kRunOnceKeyPath, L"ClearKuvBasicClient");
  if (!command) return false;
  // cmd /c keeps the quotes of a command that starts and ends with one only
  // when the whole command is quoted once more.
  const ProcessResult run = RunProcess(L"cmd.exe /c \"" + *command + L"\"", 60000);
  return run.started && run.finished;
}

std::vector<std::wstring> LongAndShortForms(const std::wstring& path) {
  std::vector<std::wstring> forms = {path};
  const std::size_t slash = path.rfind(L'\\');
  if (slash == std::wstring::npos) return forms;
  wchar_t shortFolder[MAX_PATH] = {};
  const DWORD units = GetShortPathNameW(path.substr(0, slash).c_str(), shortFolder, MAX_PATH);
  if (units > 0 && units < MAX_PATH) forms.push_back(std::wstring(shortFolder, units) + path.substr(slash));
  return forms;
}

bool RegistrationAndRunOnceGone() {
  for (const wchar_t* key : kRegistrationTopKeys) {
    if (KeyExists(HKEY_CURRENT_USER, key)) return false;
  }
  return !GetStringValue(HKEY_CURRENT_USER, kRunOnceKeyPath, L"ClearKuvBasicClient").has_value();
}

void RemoveBasicClientTraces() {
  for (const wchar_t* key : kRegistrationTopKeys) DeleteKeyTree(HKEY_CURRENT_USER, key);
  DeleteKeyTree(HKEY_CURRENT_USER, L"Software\\Classes\\MIME");
  HKEY runOnce = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunOnceKeyPath, 0, KEY_SET_VALUE, &runOnce) == ERROR_SUCCESS) {
    RegDeleteValueW(runOnce, L"ClearKuvBasicClient");
    RegCloseKey(runOnce);
  }
  DeleteKeyTree(HKEY_CURRENT_USER, kComServerMarkKey);
  DeleteTree(BasicClientFolder());
}

std::optional<RawValue> ReadRawValue(HKEY root, const std::wstring& key, const wchar_t* name) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) return std::nullopt;
  DWORD type = 0;
  DWORD size = 0;
  std::optional<RawValue> value;
  if (RegQueryValueExW(handle, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
    std::string bytes(size, '\0');
    if (RegQueryValueExW(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()), &size) ==
        ERROR_SUCCESS) {
      bytes.resize(size);
      value = RawValue{type, bytes};
    }
  }
  RegCloseKey(handle);
  return value;
}

void PrintTo(const RawValue& value, std::ostream* os) {
  *os << "type " << value.type << ", " << value.bytes.size() << " bytes: \"";
  for (std::size_t i = 0; i + 1 < value.bytes.size(); i += 2) {
    const unsigned unit = static_cast<unsigned char>(value.bytes[i]) | static_cast<unsigned char>(value.bytes[i + 1]) << 8;
    if (unit >= 0x20 && unit < 0x7F) *os << static_cast<char>(unit); else *os << "\\u" << std::hex << unit << std::dec;
  }
  *os << "\"";
}

RawValue StringValue(const std::wstring& text) {
  return RawValue{REG_SZ, std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * 2)};
}

namespace {
void SnapshotInto(HKEY root, const std::wstring& key, const std::wstring& prefix,
                  std::map<std::wstring, RawValue>& out) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return;
  out[prefix + L"|<key>"] = RawValue{};
  wchar_t name[16384];
  for (DWORD i = 0;; ++i) {
    DWORD length = 16384;
    if (RegEnumValueW(handle, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    if (auto value = ReadRawValue(root, key, name)) out[prefix + L"|" + name] = *value;
  }
  std::vector<std::wstring> subkeys;
  for (DWORD i = 0;; ++i) {
    DWORD length = 16384;
    if (RegEnumKeyExW(handle, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    subkeys.push_back(name);
  }
  RegCloseKey(handle);
  for (const std::wstring& sub : subkeys) SnapshotInto(root, key + L"\\" + sub, prefix + L"\\" + sub, out);
}
}  // namespace

std::map<std::wstring, RawValue> SnapshotRegistry(HKEY root, const std::wstring& key) {
  std::map<std::wstring, RawValue> out;
  SnapshotInto(root, key, L"", out);
  return out;
}

bool MakeVolatileKey(const std::wstring& key) {
  DeleteKeyTree(HKEY_CURRENT_USER, key);
  HKEY handle = nullptr;
  // The levels above stay lasting keys; only the last one is volatile.
  const std::wstring parent = key.substr(0, key.rfind(L'\\'));
  if (RegCreateKeyExW(HKEY_CURRENT_USER, parent.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(handle);
  if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                      &handle, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(handle);
  // Proof that the platform refuses a lasting child here.
  HKEY child = nullptr;
  const LONG result = RegCreateKeyExW(HKEY_CURRENT_USER, (key + L"\\probe").c_str(), 0, nullptr, 0,
                                      KEY_ALL_ACCESS, nullptr, &child, nullptr);
  if (result == ERROR_SUCCESS) {
    RegCloseKey(child);
    return false;
  }
  return true;
}

namespace {
template <typename Visit>
void ForEachProcess(const wchar_t* imageName, Visit visit) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    if (lstrcmpiW(entry.szExeFile, imageName) == 0) visit(entry.th32ProcessID);
  }
  CloseHandle(snapshot);
}
}  // namespace

int CountProcesses(const wchar_t* imageName) {
  int count = 0;
  ForEachProcess(imageName, [&count](DWORD) { ++count; });
  return count;
}

bool WaitForNoProcess(const wchar_t* imageName, DWORD timeoutMs) {
  for (DWORD waited = 0;; waited += 50) {
    if (CountProcesses(imageName) == 0) return true;
    if (waited >= timeoutMs) return false;
    Sleep(50);
  }
}

void TerminateProcesses(const wchar_t* imageName) {
  ForEachProcess(imageName, [](DWORD id) {
    if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id)) {
      TerminateProcess(process, 1);
      WaitForSingleObject(process, 5000);
      CloseHandle(process);
    }
  });
}

std::vector<std::string> ReadLogLines(const std::wstring& path) {
  std::vector<std::string> lines;
  const std::optional<std::string> bytes = ReadFileBytes(path);
  if (!bytes) return lines;
  std::size_t start = 0;
  for (std::size_t end; (end = bytes->find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(bytes->substr(start, end - start));
  }
  return lines;
}

}  // namespace gantry::testing
