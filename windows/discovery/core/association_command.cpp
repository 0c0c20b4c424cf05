#include "association_command.h"

namespace gantry {

bool IsClientProgId(std::u16string_view progId) { return progId == kClientProgId; }

std::optional<std::u16string> ClientProgramFromOpenCommand(std::u16string_view command) {
  if (!command.empty() && command.front() == u'"') command.remove_prefix(1);
  const std::size_t extension = command.find(u".exe");
  if (extension == std::u16string_view::npos) return std::nullopt;
  return std::u16string(command.substr(0, extension + 4));
}

}  // namespace gantry
