// What the connection-file association says, read as text: the ProgID that
// ".kuva" must name, and the client program cut out of the open command.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace gantry {

inline constexpr std::u16string_view kConnectionFileExtension = u".kuva";
inline constexpr std::u16string_view kClientProgId = u"Varnel.Document";
inline constexpr std::u16string_view kClientOpenCommandKey = u"Varnel.Document\\shell\\open\\command";

// The association holds only when ".kuva" names exactly this ProgID, in this
// letter case; a longer text that begins with it does not count.
bool IsClientProgId(std::u16string_view progId);

// The client program path in an open command: the text up to and including the
// first ".exe" (compared case-sensitively). Installers usually quote the path,
// as in "\"C:\\Program Files\\Kuv\\Varnel.exe\" \"%1\"", so a leading double
// quote is dropped first. Nothing when the command holds no ".exe".
std::optional<std::u16string> ClientProgramFromOpenCommand(std::u16string_view command);

}  // namespace gantry
