// The removal script for any basic client folder a Windows path can hold: the
// folder changes nothing but its two lines, and the command interpreter reads
// it back there exactly, inside its quotes.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/fuzz/fuzz_input.h"
#include "windows/install/core/removal_script.h"

namespace gantry::fuzz {
namespace {

// Bytes no Windows path holds: control characters and the double quote. A
// trailing backslash is not given either.
bool IsFolderWindowsCanHold(std::string_view folder) {
  if (folder.empty() || folder.back() == '\\') return false;
  for (const char byte : folder) {
    if (static_cast<unsigned char>(byte) < 0x20 || byte == '"') return false;
  }
  return true;
}

// The script's lines, or nothing unless every line but the last ends in CR LF
// and no other CR or LF stands anywhere.
std::optional<std::vector<std::string>> CrLfLines(std::string_view text) {
  std::vector<std::string> lines;
  while (true) {
    const std::size_t lineFeed = text.find('\n');
    const std::string_view line = text.substr(0, lineFeed == std::string_view::npos ? text.size() : lineFeed);
    if (lineFeed == std::string_view::npos) {
      if (line.find('\r') != std::string_view::npos) return std::nullopt;
      lines.emplace_back(line);
      return lines;
    }
    if (line.empty() || line.back() != '\r' || line.find('\r') != line.size() - 1) return std::nullopt;
    lines.emplace_back(line.substr(0, line.size() - 1));
    text.remove_prefix(lineFeed + 1);
  }
}

// A batch file line after the command interpreter's percent expansion, when
// the result does not depend on the environment: "%%" stands for one percent
// sign, and any other percent sign starts a variable, an argument or (alone)
// vanishes. Nothing when the line holds such an expansion.
std::optional<std::string> LiteralAfterPercentExpansion(std::string_view line) {
  std::string literal;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] != '%') {
      literal.push_back(line[i]);
    } else if (i + 1 < line.size() && line[i + 1] == '%') {
      literal.push_back('%');
      ++i;
    } else {
      return std::nullopt;
    }
  }
  return literal;
}

}  // namespace
}  // namespace gantry::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace gantry;
  using namespace gantry::fuzz;
  const std::string folder(reinterpret_cast<const char*>(data), size);
  if (!IsFolderWindowsCanHold(folder)) return 0;

  const std::string text = RemovalScriptText(folder);
  Require(text.find('\0') == std::string::npos, "the script holds a zero byte");
  const std::optional<std::vector<std::string>> split = CrLfLines(text);
  Require(split.has_value(), "a line break other than CR LF, or a last line that ends in one");
  const std::vector<std::string>& lines = *split;
  Require(lines.size() == 12, "the script does not have twelve lines");

  static const std::vector<std::string> plainLines = *CrLfLines(RemovalScriptText("C:\\B"));
  for (std::size_t i = 0; i < 10; ++i) Require(lines[i] == plainLines[i], "the folder changed a fixed line");

  const std::optional<std::string> unregister = LiteralAfterPercentExpansion(lines[10]);
  Require(unregister == "start /wait regsvr32 /u /s \"" + folder + "\\TavikClientSystem.dll\"",
          "the interpreter reads another COM server path");
  const std::optional<std::string> removal = LiteralAfterPercentExpansion(lines[11]);
  Require(removal == "rmdir /S /Q \"" + folder + "\"", "the interpreter reads another folder to delete");
  return 0;
}
