// The association's texts: the ProgID test and the client program cut out of
// any open command.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tests/fuzz/fuzz_input.h"
#include "windows/discovery/core/association_command.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace gantry;
  using namespace gantry::fuzz;
  FuzzInput input(data, size);
  const std::u16string command = input.NextText();

  std::u16string_view unquoted = command;
  if (!unquoted.empty() && unquoted.front() == u'"') unquoted.remove_prefix(1);
  const std::optional<std::u16string> program = ClientProgramFromOpenCommand(command);
  if (program) {
    Require(StartsWith(unquoted, *program), "the program is not where the command starts");
    Require(program->size() >= 4 && program->compare(program->size() - 4, 4, u".exe") == 0,
            "the program does not end in .exe");
    Require(program->find(u".exe") == program->size() - 4, "the cut is not at the first .exe");
  } else {
    Require(unquoted.find(u".exe") == std::u16string_view::npos, "a command with .exe gave no program");
  }

  Require(IsClientProgId(command) == (command == kClientProgId), "the ProgID test is not an exact match");
  return 0;
}
