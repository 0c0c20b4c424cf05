#include "tests/windows/harness/test_support.h"

#include <shlobj.h>

#include <memory>

namespace gantry::testing {

const GantryLibrary& Library() {
  static const GantryLibrary* library = new GantryLibrary(TestBinDir() + L"\\Gantry.dll");
  return *library;
}

void GantryTest::TearDown() {
  for (const std::string& violation : jni.Violations()) ADD_FAILURE() << "JNI misuse: " << violation;
  EXPECT_EQ(jni.OutstandingBuffers(), 0u) << "string buffers handed out by GetStringUTFChars and never released";
}

jint GantryTest::GetNativeVersion() { return Library().CallInt(jni.env(), "GetNativeVersion"); }
jint GantryTest::IsKuvClientInstalled() { return Library().CallInt(jni.env(), "IsKuvClientInstalled"); }
std::u16string GantryTest::GetKuvClientVersion() {
  jstring s = Library().CallString(jni.env(), "GetKuvClientVersion");
  EXPECT_NE(s, nullptr) << "a string result is never null";
  return jni.TextOf(s);
}
std::u16string GantryTest::GetUserKuvFolder() {
  jstring s = Library().CallString(jni.env(), "GetUserKuvFolder");
  EXPECT_NE(s, nullptr) << "a string result is never null";
  return jni.TextOf(s);
}
bool GantryTest::InstallFullClient(jstring p) {
  return Library().CallBooleanWithString(jni.env(), "InstallFullClient", p) != JNI_FALSE;
}
bool GantryTest::InstallBasicClient(jstring p) {
  return Library().CallBooleanWithString(jni.env(), "InstallBasicClient", p) != JNI_FALSE;
}
jint GantryTest::CleanBasicClientOnRestart() {
  // The export's result is the operation's int in a jboolean-typed slot;
  // read the whole register as the Java side may.
  const FARPROC f = Library().Resolve("CleanBasicClientOnRestart");
  if (f == nullptr) {
    ADD_FAILURE() << "CleanBasicClientOnRestart is not exported";
    return -1;
  }
  auto call = reinterpret_cast<jint(JNICALL*)(JNIEnv*, jclass)>(reinterpret_cast<void (*)()>(f));
  return call(jni.env(), nullptr);
}
bool GantryTest::StartSession(jstring t, jstring n) {
  return Library().CallBooleanWithStrings(jni.env(), "StartSession", t, n) != JNI_FALSE;
}
bool GantryTest::IsAnySession() { return Library().CallBoolean(jni.env(), "IsAnySession") != JNI_FALSE; }
bool GantryTest::IsAnyNativeDesktopSessions() {
  return Library().CallBoolean(jni.env(), "IsAnyNativeDesktopSessions") != JNI_FALSE;
}
bool GantryTest::IsFarmSessions(jint f) {
  return Library().CallBooleanWithInt(jni.env(), "IsFarmSessions", f) != JNI_FALSE;
}
jint GantryTest::GetDesktopState(jint f) { return Library().CallIntWithInt(jni.env(), "GetDesktopState", f); }
bool GantryTest::LogoffAllSessions() {
  return Library().CallBoolean(jni.env(), "LogoffAllSessions") != JNI_FALSE;
}
bool GantryTest::DisconnectAllSessions() {
  return Library().CallBoolean(jni.env(), "DisconnectAllSessions") != JNI_FALSE;
}
bool GantryTest::LogOffFarmSessions(jint f) {
  return Library().CallBooleanWithInt(jni.env(), "LogOffFarmSessions", f) != JNI_FALSE;
}
bool GantryTest::DisconnectFarmSessions(jint f) {
  return Library().CallBooleanWithInt(jni.env(), "DisconnectFarmSessions", f) != JNI_FALSE;
}
bool GantryTest::UnregisterExtensions(jint f) {
  return Library().CallBooleanWithInt(jni.env(), "UnregisterExtensions", f) != JNI_FALSE;
}

void NoClientTest::SetUp() {
  RemoveConnectionFileAssociation();
  DeleteTree(ClientFolder() + L"Bin");
}

void NoClientTest::TearDown() {
  RemoveConnectionFileAssociation();
  DeleteTree(ClientFolder() + L"Bin");
  GantryTest::TearDown();
}

bool RunsUnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

std::wstring TestBinDir() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  return folder.substr(0, folder.find_last_of(L'\\'));
}

std::wstring TestClientPath(const std::wstring& variant) { return TestBinDir() + L"\\" + variant + L".exe"; }

std::wstring AppDataFolder() {
  wchar_t path[MAX_PATH] = {};
  SHGetSpecialFolderPathW(nullptr, path, CSIDL_APPDATA, TRUE);
  return path;
}

std::wstring TempFolder() {
  wchar_t path[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, path);
  return path;
}

std::wstring ClientFolder() { return AppDataFolder() + L"\\KuvClient\\"; }

std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }
std::u16string U16(std::wstring_view text) { return std::u16string(text.begin(), text.end()); }
std::string Utf8(std::wstring_view text) { return Utf16ToUtf8(U16(text)); }

std::optional<std::string> ReadFileBytes(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string bytes;
  char chunk[65536];
  DWORD read = 0;
  while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0) bytes.append(chunk, read);
  CloseHandle(file);
  return bytes;
}

bool WriteFileBytes(const std::wstring& path, std::string_view bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

bool PathExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsDirectory(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void DeleteTree(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") DeleteTree(path + L"\\" + name);
      } while (FindNextFileW(search, &found));
      FindClose(search);
    }
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryW(path.c_str());
  } else {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileW(path.c_str())) RemoveDirectoryW(path.c_str());
  }
}

bool CreateFolders(const std::wstring& path) {
  for (std::size_t at = path.find(L'\\', 3); ; at = path.find(L'\\', at + 1)) {
    const std::wstring level = path.substr(0, at);
    if (!level.empty() && !IsDirectory(level)) CreateDirectoryW(level.c_str(), nullptr);
    if (at == std::wstring::npos) break;
  }
  return IsDirectory(path);
}

namespace {
void Walk(const std::wstring& root, const std::wstring& relative, std::map<std::wstring, std::string>& out) {
  WIN32_FIND_DATAW found;
  const std::wstring folder = relative.empty() ? root : root + L"\\" + relative;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring child = relative.empty() ? name : relative + L"\\" + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      out[child] = "<link>";
    } else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      out[child] = "<dir>";
      Walk(root, child, out);
    } else {
      out[child] = ReadFileBytes(root + L"\\" + child).value_or("<unreadable>");
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
}
}  // namespace

std::map<std::wstring, std::string> SnapshotTree(const std::wstring& root) {
  std::map<std::wstring, std::string> out;
  std::wstring trimmed = root;
  while (!trimmed.empty() && trimmed.back() == L'\\') trimmed.pop_back();
  Walk(trimmed, L"", out);
  return out;
}

void WalkDrive(const std::wstring& folder, DriveState& state) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = folder + L"\\" + name;
    const bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const bool isLink = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    state[path] = isFolder ? L"<dir>"
                           : std::to_wstring(found.nFileSizeLow) + L" " +
                                 std::to_wstring(found.ftLastWriteTime.dwLowDateTime) + L" " +
                                 std::to_wstring(found.dwFileAttributes);
    if (isFolder && !isLink) WalkDrive(path, state);
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

ScratchFolder::ScratchFolder(const std::wstring& hint) {
  static LONG counter = 0;
  const LONG n = InterlockedIncrement(&counter);
  path_ = TempFolder() + hint + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(n);
  DeleteTree(path_);
  CreateFolders(path_);
}

ScratchFolder::~ScratchFolder() { DeleteTree(path_); }

bool SetStringValue(HKEY root, const std::wstring& subkey, const wchar_t* name, const std::wstring& value) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(root, subkey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const LONG result = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

std::optional<std::wstring> GetStringValue(HKEY root, const std::wstring& subkey, const wchar_t* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
  DWORD type = 0;
  DWORD size = 0;
  std::optional<std::wstring> value;
  if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ)) {
    std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) == ERROR_SUCCESS) {
      data.resize(wcsnlen(data.c_str(), data.size()));
      value = data;
    }
  }
  RegCloseKey(key);
  return value;
}

bool KeyExists(HKEY root, const std::wstring& subkey) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

void DeleteKeyTree(HKEY root, const std::wstring& subkey) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, subkey.c_str(), 0, KEY_READ | KEY_WRITE, &key) != ERROR_SUCCESS) return;
  for (;;) {
    wchar_t name[256];
    DWORD length = 256;
    if (RegEnumKeyExW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    DeleteKeyTree(key, name);
  }
  RegCloseKey(key);
  RegDeleteKeyW(root, subkey.c_str());
}

namespace {
const wchar_t kMachineClasses[] = L"Software\\Classes\\";
}

ScopedAssociation::ScopedAssociation(const std::wstring& progId, const std::optional<std::wstring>& command)
    : progId_(progId) {
  RemoveConnectionFileAssociation();
  SetStringValue(HKEY_LOCAL_MACHINE, std::wstring(kMachineClasses) + L".kuva", nullptr, progId);
  if (command) {
    SetStringValue(HKEY_LOCAL_MACHINE, std::wstring(kMachineClasses) + progId + L"\\shell\\open\\command", nullptr,
                   *command);
  }
}

ScopedAssociation ScopedAssociation::ToProgram(const std::wstring& programPath) {
  return ScopedAssociation(L"Varnel.Document", L"\"" + programPath + L"\" \"%1\"");
}

ScopedAssociation::~ScopedAssociation() {
  if (progId_.empty()) return;
  DeleteKeyTree(HKEY_LOCAL_MACHINE, std::wstring(kMachineClasses) + progId_);
  RemoveConnectionFileAssociation();
}

void RemoveConnectionFileAssociation() {
  DeleteKeyTree(HKEY_LOCAL_MACHINE, std::wstring(kMachineClasses) + L".kuva");
  DeleteKeyTree(HKEY_LOCAL_MACHINE, std::wstring(kMachineClasses) + L"Varnel.Document");
  DeleteKeyTree(HKEY_CURRENT_USER, L"Software\\Classes\\.kuva");
  DeleteKeyTree(HKEY_CURRENT_USER, L"Software\\Classes\\Varnel.Document");
}

ScopedEnvironment::ScopedEnvironment(const wchar_t* name, const std::optional<std::wstring>& value) : name_(name) {
  wchar_t buffer[32767];
  const DWORD length = GetEnvironmentVariableW(name, buffer, 32767);
  if (length > 0 && length < 32767) previous_ = std::wstring(buffer, length);
  SetEnvironmentVariableW(name, value ? value->c_str() : nullptr);
}

ScopedEnvironment::~ScopedEnvironment() {
  SetEnvironmentVariableW(name_.c_str(), previous_ ? previous_->c_str() : nullptr);
}

ProcessResult RunProcess(const std::wstring& commandLine, DWORD timeoutMs, const wchar_t* currentFolder) {
  ProcessResult result;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::wstring mutableLine = commandLine;
  if (!CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr, currentFolder, &startup,
                      &process)) {
    return result;
  }
  result.started = true;
  if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) {
    result.finished = true;
    GetExitCodeProcess(process.hProcess, &result.exitCode);
  } else {
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, 5000);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return result;
}

}  // namespace gantry::testing
