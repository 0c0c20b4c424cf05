#include "windows/install/full_client_installation.h"

#include <msi.h>

#include <algorithm>
#include <vector>

#include "boundary/java_strings.h"
#include "windows/discovery/client_locator.h"
#include "windows/install/basic_client_removal.h"
#include "windows/install/core/full_client_text.h"
#include "windows/install/core/installer_result.h"
#include "windows/shared/unique_resource.h"
#include "windows/shared/wide_text.h"

namespace gantry {

namespace {

constexpr DWORD kFirstQuietInstallerProgramMajor = 6;

std::optional<DWORD> ReadSystemMajorVersion() {
  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof version;  // 276
  if (!GetVersionExW(&version)) return std::nullopt;
  return version.dwMajorVersion;
}

HMODULE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ReadSystemMajorVersion), &module);
  return module;
}

std::optional<std::wstring> ReadSystemFolder() {
  wchar_t folder[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::nullopt;
  return std::wstring(folder, length);
}

// Runs the system's "msiexec.exe" in a visible window and waits for it
// without a time limit. A 32-bit process under WoW64 is given system32 and
// starts the 32-bit program that the system redirects it to.
bool RunInstallerProgram(const std::optional<std::wstring>& systemFolder, const std::u16string& packagePath,
                         bool quiet) {
  if (!systemFolder) return false;
  const std::optional<std::u16string> program = InstallerProgramPath(AsUtf16(*systemFolder));
  if (!program) return false;
  const std::wstring text = ToWide(MakeInstallerProgramCommandLine(*program, packagePath, quiet));
  // CreateProcessW may write into the command line, so it gets a writable
  // copy with room for at least 1024 units.
  std::vector<wchar_t> commandLine(std::max(text.size() + 1, kInstallerCommandLineMinimumUnits), L'\0');
  std::copy(text.begin(), text.end(), commandLine.begin());

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOW;
  PROCESS_INFORMATION created = {};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &created)) {
    return false;
  }
  const UniqueHandle process(created.hProcess);
  const UniqueHandle thread(created.hThread);
  DWORD exitCode = 0;
  WaitForSingleObject(process.get(), INFINITE);
  if (!GetExitCodeProcess(process.get(), &exitCode)) return false;
  return IsInstalledExitCode(exitCode);
}

}  // namespace

FullClientPlatform RealFullClientPlatform() {
  FullClientPlatform platform;
  platform.systemMajorVersion = ReadSystemMajorVersion;
  platform.installProduct = [](const wchar_t* packagePath) { return MsiInstallProductW(packagePath, nullptr); };
  platform.systemFolder = ReadSystemFolder;
  platform.messageModule = ThisModule();
  return platform;
}

std::wstring InstallerErrorText(HMODULE module, UINT result) {
  wchar_t templateText[1024] = {};
  const int length = module != nullptr ? LoadStringW(module, kInstallerErrorTextId, templateText, 1024) : 0;
  const std::u16string_view chosen =
      length > 0 ? AsUtf16(std::wstring_view(templateText, static_cast<std::size_t>(length)))
                 : std::u16string_view(kInstallerErrorFallbackTemplate);
  return ToWide(FormatInstallerErrorText(chosen, result));
}

bool InstallFullClient(const PackagePathReader& readPackagePath, const FullClientPlatform& platform) {
  // The basic client goes first, whatever happens next: its script removes
  // the per-user copy while the installation runs.
  if (IsBasicClientPresent()) RunRemovalScriptNow();

  const std::optional<std::u16string> packagePath = readPackagePath();
  if (!packagePath) return false;

  bool quiet = false;
  if (const std::optional<DWORD> major = platform.systemMajorVersion()) {
    if (*major < kFirstQuietInstallerProgramMajor) {
      MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    } else {
      quiet = true;
    }
  }

  const UINT result = platform.installProduct(ToWide(*packagePath).c_str());
  switch (ClassifyDirectInstallResult(result)) {
    case DirectInstallOutcome::Installed:
      return true;
    case DirectInstallOutcome::RunInstallerProgram:
      return RunInstallerProgram(platform.systemFolder(), *packagePath, quiet);
    case DirectInstallOutcome::Failed:
      break;
  }
  const std::wstring text = InstallerErrorText(platform.messageModule, result);
  MessageBoxW(nullptr, text.c_str(), L"Error", MB_ICONERROR);
  return false;
}

bool InstallFullClientFromJava(JNIEnv* env, jstring packagePath, const FullClientPlatform& platform) {
  return InstallFullClient(
      [env, packagePath]() -> std::optional<std::u16string> {
        const JavaStringBytes bytes(env, packagePath);
        if (!bytes.ok()) return std::nullopt;
        // Bytes that are not a usable path reach the installer as the empty
        // path, which it refuses with its own result.
        return ReadPathArgument(bytes).value_or(std::u16string());
      },
      platform);
}

}  // namespace gantry
