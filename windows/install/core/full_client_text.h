// The texts of a full installation: the installer program's command line and
// the error message shown when Windows Installer fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace gantry {

// Room CreateProcessW may use in the command line it is given.
inline constexpr std::size_t kInstallerCommandLineMinimumUnits = 1024;

// "\"msiexec\" /i \"<package>\"", with " /quiet" appended when asked for.
std::u16string MakeInstallerProgramCommandLine(std::u16string_view packagePath, bool quiet);

// The error message template's resource identifier in the library.
inline constexpr unsigned kInstallerErrorTextId = 10051;

// Shown when the library's own template cannot be loaded.
inline constexpr char16_t kInstallerErrorFallbackTemplate[] =
    u"The Kuv client could not be installed. Windows Installer error %1.";

// The template with every "%1" replaced by the installer result as an
// unsigned decimal number. Nothing else in the template is interpreted.
std::u16string FormatInstallerErrorText(std::u16string_view templateText, std::uint32_t result);

}  // namespace gantry
