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

FallbackRun RunFallbackIn(const std::wstring& currentFolder, FakeJni& jni, jstring packagePath,
                          bool versionReadable) {
  FullClientPlatform platform = RealFullClientPlatform();
  platform.installProduct = [](const wchar_t*) { return 1601u; };  // the service cannot be reached
  if (!versionReadable) platform.systemMajorVersion = [] { return std::optional<DWORD>(); };
  const std::wstring log = currentFolder + L"\\msiexec-log.txt";
  DeleteTree(log);
  const ScopedEnvironment logTo(L"GANTRY_CLIENT_LOG", log);
  FallbackRun run;
  {
    const ScopedCurrentFolder here(currentFolder);
    MessageBoxWatcher watcher;
    run.installed = InstallFullClientFromJava(jni.env(), packagePath, platform);
    run.boxes = watcher.Stop().size();
  }
  if (const std::optional<std::string> logged = ReadFileBytes(log)) run.commandLines = Lines(*logged);
  return run;
}

FallbackRun RunFallback(FakeJni& jni, jstring packagePath, DWORD exitCode, bool versionReadable) {
  ScratchFolder folder(L"gantry-msiexec");
  CopyFileW(TestClientPath(L"varnel-10.1-build1238").c_str(), (folder / L"msiexec.exe").c_str(), FALSE);
  const ScopedEnvironment exitWith(L"GANTRY_CLIENT_EXIT_CODE", std::to_wstring(exitCode));
  return RunFallbackIn(folder.path(), jni, packagePath, versionReadable);
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
