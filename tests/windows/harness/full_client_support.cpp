#include "tests/windows/harness/full_client_support.h"

#include <msi.h>
#include <shlobj.h>

namespace gantry::testing {

namespace {

std::wstring BasicClientFolder() { return ClientFolder() + L"Bin"; }

class ScopedCurrentFolder {
 public:
  explicit ScopedCurrentFolder(const std::wstring& folder) {
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    previous_ = previous;
    SetCurrentDirectoryW(folder.c_str());
  }
  ~ScopedCurrentFolder() { SetCurrentDirectoryW(previous_.c_str()); }

 private:
  std::wstring previous_;
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

}  // namespace

void FullClientTestBase::SetUp() { DeleteTree(BasicClientFolder()); }

void FullClientTestBase::TearDown() {
  DeleteTree(BasicClientFolder());
  GantryTest::TearDown();
}

std::wstring SystemInstallerProgramStandIn::Path() {
  wchar_t folder[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::wstring(folder, length) + L"\\msiexec.exe";
}

bool SystemInstallerProgramStandIn::IsStandInPath(const std::string& loggedPath) {
  std::vector<std::wstring> paths = {Path()};
  using IsWow64 = BOOL(WINAPI*)(HANDLE, PBOOL);
  using Wow64Folder = UINT(WINAPI*)(LPWSTR, UINT);
  const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  const auto isWow64 =
      reinterpret_cast<IsWow64>(reinterpret_cast<void (*)()>(GetProcAddress(kernel, "IsWow64Process")));
  const auto wow64Folder = reinterpret_cast<Wow64Folder>(
      reinterpret_cast<void (*)()>(GetProcAddress(kernel, "GetSystemWow64DirectoryW")));
  BOOL wow64 = FALSE;
  wchar_t folder[MAX_PATH] = {};
  if (isWow64 != nullptr && wow64Folder != nullptr && isWow64(GetCurrentProcess(), &wow64) && wow64) {
    const UINT length = wow64Folder(folder, MAX_PATH);
    if (length > 0 && length < MAX_PATH) paths.push_back(std::wstring(folder, length) + L"\\msiexec.exe");
  }
  for (const std::wstring& path : paths) {
    if (lstrcmpiW(Wide(Utf8ToUtf16(loggedPath)).c_str(), path.c_str()) == 0) return true;
  }
  return false;
}

namespace {

const wchar_t kWineOverrides[] = L"Software\\Wine\\DllOverrides";

std::wstring SetAsidePath() { return SystemInstallerProgramStandIn::Path() + L".gantry-original"; }

// Puts back the prefix's own program when a stand-in is in its place.
void PutBackOriginal() {
  const std::wstring aside = SetAsidePath();
  if (!PathExists(aside)) return;
  MoveFileExW(aside.c_str(), SystemInstallerProgramStandIn::Path().c_str(), MOVEFILE_REPLACE_EXISTING);
}

// A test client as "msiexec.exe" beside the test program (where a JVM's own
// program would be), removed again when the holder goes.
class ProgramFolderDecoy {
 public:
  ProgramFolderDecoy() : path_(TestBinDir() + L"\\msiexec.exe") {
    CopyFileW(TestClientPath(L"varnel-10.1-build1237").c_str(), path_.c_str(), FALSE);
  }
  ~ProgramFolderDecoy() { DeleteFileW(path_.c_str()); }
  ProgramFolderDecoy(const ProgramFolderDecoy&) = delete;
  ProgramFolderDecoy& operator=(const ProgramFolderDecoy&) = delete;

 private:
  std::wstring path_;
};

}  // namespace

SystemInstallerProgramStandIn::SystemInstallerProgramStandIn(const std::wstring& program) {
  const std::wstring path = Path();
  if (path.empty()) return;
  PutBackOriginal();
  if (PathExists(path) && !MoveFileExW(path.c_str(), SetAsidePath().c_str(), 0)) return;
  placed_ = CopyFileW(program.c_str(), path.c_str(), FALSE) != FALSE;
  if (RunsUnderWine()) {
    previousOverride_ = GetStringValue(HKEY_CURRENT_USER, kWineOverrides, L"msiexec.exe");
    SetStringValue(HKEY_CURRENT_USER, kWineOverrides, L"msiexec.exe", L"native");
  }
}

SystemInstallerProgramStandIn::~SystemInstallerProgramStandIn() {
  if (RunsUnderWine()) {
    if (previousOverride_) {
      SetStringValue(HKEY_CURRENT_USER, kWineOverrides, L"msiexec.exe", *previousOverride_);
    } else {
      HKEY key = nullptr;
      if (RegOpenKeyExW(HKEY_CURRENT_USER, kWineOverrides, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueW(key, L"msiexec.exe");
        RegCloseKey(key);
      }
    }
  }
  if (placed_) DeleteFileW(Path().c_str());
  PutBackOriginal();
}

FallbackRun RunFallbackIn(FakeJni& jni, jstring packagePath, bool versionReadable,
                          std::function<std::optional<std::wstring>()> systemFolder) {
  FullClientPlatform platform = RealFullClientPlatform();
  platform.installProduct = [](const wchar_t*) { return 1601u; };  // the service cannot be reached
  if (!versionReadable) platform.systemMajorVersion = [] { return std::optional<DWORD>(); };
  if (systemFolder) platform.systemFolder = std::move(systemFolder);

  // Decoys where a bare "msiexec" would be looked for first.
  ScratchFolder current(L"gantry-msiexec-decoy");
  CopyFileW(TestClientPath(L"varnel-10.1-build1237").c_str(), (current / L"msiexec.exe").c_str(), FALSE);
  const ProgramFolderDecoy programFolderDecoy;

  const std::wstring log = current / L"msiexec-log.txt";
  const std::wstring programLog = current / L"msiexec-programs.txt";
  const ScopedEnvironment logTo(L"GANTRY_CLIENT_LOG", log);
  const ScopedEnvironment programsTo(L"GANTRY_CLIENT_MODULE_LOG", programLog);
  FallbackRun run;
  {
    const ScopedCurrentFolder here(current.path());
    MessageBoxWatcher watcher;
    run.installed = InstallFullClientFromJava(jni.env(), packagePath, platform);
    run.boxes = watcher.Stop().size();
  }
  if (const std::optional<std::string> logged = ReadFileBytes(log)) run.commandLines = Lines(*logged);
  if (const std::optional<std::string> logged = ReadFileBytes(programLog)) run.programs = Lines(*logged);
  return run;
}

FallbackRun RunFallback(FakeJni& jni, jstring packagePath, DWORD exitCode, bool versionReadable) {
  const SystemInstallerProgramStandIn standIn(TestClientPath(L"varnel-10.1-build1238"));
  EXPECT_TRUE(standIn.placed()) << "the stand-in is not in the system folder";
  const ScopedEnvironment exitWith(L"GANTRY_CLIENT_EXIT_CODE", std::to_wstring(exitCode));
  return RunFallbackIn(jni, packagePath, versionReadable);
}

BasicClientStandIn::BasicClientStandIn(bool programPresent) : marker_(TempFolder() + L"gantry-removal-marker.txt") {
  DeleteTree(marker_);
  CreateFolders(BasicClientFolder());
  if (programPresent) WriteFileBytes(BasicClientFolder() + L"\\Varnel.exe", "stand-in");
  WriteFileBytes(BasicClientFolder() + L"\\RemoveBasicClient.bat",
                 "@echo off\r\necho removed> \"" + Utf8(marker_) + "\"\r\n");
}

BasicClientStandIn::~BasicClientStandIn() {
  WaitForScript(3000);  // let a started script finish before its folder goes
  DeleteTree(BasicClientFolder());
  DeleteTree(marker_);
}

bool BasicClientStandIn::WaitForScript(DWORD timeoutMs) const {
  for (DWORD waited = 0;; waited += 50) {
    if (PathExists(marker_)) return true;
    if (waited >= timeoutMs) return false;
    Sleep(50);
  }
}

std::wstring FixturePackagePath() { return TestBinDir() + L"\\fixtures\\full-client\\full-client.msi"; }

std::wstring FixtureInstalledFile() {
  wchar_t folder[MAX_PATH] = {};
  SHGetSpecialFolderPathW(nullptr, folder, CSIDL_LOCAL_APPDATA, FALSE);
  return std::wstring(folder) + L"\\GantryFullClientFixture\\installed.txt";
}

void InstalledFixture::Remove() {
  const INSTALLUILEVEL previous = MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
  MsiConfigureProductW(kFixtureProductCode, INSTALLLEVEL_DEFAULT, INSTALLSTATE_ABSENT);
  MsiSetInternalUI(previous, nullptr);
  DeleteTree(FixtureInstalledFile());
}

}  // namespace gantry::testing
