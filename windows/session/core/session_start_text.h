// The texts of a session start: where the connection file goes below the
// user's temporary folder, and the command line that hands it to the client.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace gantry {

// The client's command line lives in a buffer of this many units, terminator included.
inline constexpr std::size_t kSessionCommandLineUnits = 1024;

// A connection file name comes from a web page, so it must stay below the
// temporary folder: not empty, not absolute (no leading separator, no drive,
// no colon at all, which also rules out alternate data streams), no component
// that climbs out ("..", or dots and blanks that Windows trims to it), no
// reserved device name (CON, NUL, COM1, ...) and no trailing separator.
// Relative names with folders below the temporary folder are allowed.
bool IsConfinedConnectionFileName(std::u16string_view name);

// The temporary folder (with its trailing backslash) followed by the name,
// when the name is confined and the whole fits a 260-unit path buffer.
std::optional<std::u16string> ComposeConnectionFilePath(std::u16string_view temporaryFolder,
                                                         std::u16string_view name);

// "\"<program>\" \"<connection file>\"" within kSessionCommandLineUnits.
// Quoting keeps a program below "C:\Program Files" from being looked up as
// "C:\Program.exe" first, and a temporary folder with blanks one argument.
// Nothing when it does not fit, or when a part cannot be quoted soundly (it
// holds a double quote, or ends in a backslash that would escape the closing one).
std::optional<std::u16string> ComposeSessionCommandLine(std::u16string_view program,
                                                        std::u16string_view connectionFile);

}  // namespace gantry
