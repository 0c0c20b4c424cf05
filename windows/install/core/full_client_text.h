// The texts of a full installation: the installer program's command line and
// the error message shown when Windows Installer fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace gantry {

// Room CreateProcessW may use in the command line it is given.
inline constexpr std::size_t kInstallerCommandLineMinimumUnits = 1024;

// The system's own installer program: "msiexec.exe" in the system folder as
// the platform names it. A bare "msiexec" would be looked for in the
// program's folder and the current folder first, where anyone may have put
// a program by that name. Nothing when the folder is empty or not absolute,
// holds a double quote (it could not be quoted), or the path does not fit
// 260 units.
std::optional<std::u16string> InstallerProgramPath(std::u16string_view systemFolder);

// "\"<program>\" /i \"<package>\"", with " /quiet" appended when asked for.
std::u16string MakeInstallerProgramCommandLine(std::u16string_view programPath, std::u16string_view packagePath,
                                               bool quiet);

// The error message template's resource identifier in the library.
inline constexpr unsigned kInstallerErrorTextId = 10051;

// Shown when the library's own template cannot be loaded.
inline constexpr char16_t kInstallerErrorFallbackTemplate[] =
    u"The Kuv client could not be installed. Windows Installer error %1.";

// The template with every "%1" replaced by the installer result as an
// unsigned decimal number. Nothing else in the template is interpreted.
std::u16string FormatInstallerErrorText(std::u16string_view templateText, std::uint32_t result);

}  // namespace gantry
