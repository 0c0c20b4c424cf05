// The full client: the client package installed machine-wide through Windows
// Installer, or through its program "msiexec" when the installer service
// cannot be reached from this process.
#pragma once

#include <jni.h>
#include <windows.h>

#include <functional>
#include <optional>
#include <string>

namespace gantry {

// The platform answers a full installation depends on. The library uses the
// real ones; tests pass answers Wine cannot give (an unreachable installer
// service, an unreadable system version).
struct FullClientPlatform {
  // The system's major version, nothing when it cannot be read.
  std::function<std::optional<DWORD>()> systemMajorVersion;
  // MsiInstallProductW with the package path and no command line.
  std::function<UINT(const wchar_t* packagePath)> installProduct;
  // The system folder (GetSystemDirectoryW), where the installer program
  // "msiexec.exe" lives; nothing when it cannot be read.
  std::function<std::optional<std::wstring>()> systemFolder;
  // The module whose string table holds the error message template.
  HMODULE messageModule = nullptr;
};

// GetVersionExW, MsiInstallProductW, GetSystemDirectoryW and this library's
// own module.
FullClientPlatform RealFullClientPlatform();

// The package path as Java handed it over: nothing for a null string; the
// empty path for bytes that do not decode to a usable path.
using PackagePathReader = std::function<std::optional<std::u16string>()>;

// Removes a present basic client (its removal script is started, not waited
// for) before anything else, then installs the package. True when the client
// is installed, or the user cancelled the installer's own dialogs. When the
// installer service cannot be reached, runs the system folder's
// "msiexec.exe", never one found elsewhere; when its path cannot be made,
// or it cannot be started, the result is false without a box.
bool InstallFullClient(const PackagePathReader& readPackagePath, const FullClientPlatform& platform);

// The same for the Java method's string argument, decoded from modified
// UTF-8 without a length limit.
bool InstallFullClientFromJava(JNIEnv* env, jstring packagePath,
                               const FullClientPlatform& platform = RealFullClientPlatform());

// The error message for an installer result: the template 10051 of `module`,
// or a fixed text when the module has none.
std::wstring InstallerErrorText(HMODULE module, UINT result);

}  // namespace gantry
