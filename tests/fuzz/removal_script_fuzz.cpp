// The removal script read by a model of the command interpreter, for any
// basic client folder a Windows path can hold: the script names the folder
// only through its own location, so whatever the folder's characters ("%",
// "!", "&", "^", blanks, letters outside every code page, a share), the
// interpreter hands regsvr32 and rmdir exactly that folder, inside quotes.
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/fuzz/fuzz_input.h"
#include "windows/install/core/removal_script.h"

namespace gantry::fuzz {
namespace {

// Units no Windows folder path holds: control characters and the double quote.
bool IsFolderWindowsCanHold(std::u16string_view folder) {
  if (folder.empty() || folder.back() == u'\\') return false;
  for (const char16_t unit : folder) {
    if (unit < 0x20 || unit == u'"') return false;
  }
  return true;
}

std::vector<std::u16string> CrLfLines(const std::string& text) {
  std::vector<std::u16string> lines(1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      Require(i + 1 < text.size() && text[i + 1] == '\n', "a CR without its LF");
      lines.emplace_back();
      ++i;
      continue;
    }
    Require(text[i] != '\n', "an LF without its CR");
    lines.back().push_back(static_cast<char16_t>(static_cast<unsigned char>(text[i])));
  }
  return lines;
}

// One line after the interpreter's percent expansion in a batch file:
// "%%" is one "%", "%~dps0" the script's folder with its closing backslash,
// "%NAME%" a variable (empty when undefined), a lone "%" vanishes. The
// expansion is one pass: its results are not read again. `fromFolder` marks
// the units that came from the folder.
std::u16string Expand(std::u16string_view line, const std::u16string& location,
                      const std::map<std::u16string, std::u16string>& variables, std::vector<bool>& fromFolder) {
  std::u16string out;
  fromFolder.clear();
  auto append = [&](std::u16string_view text, bool folder) {
    out.append(text);
    fromFolder.insert(fromFolder.end(), text.size(), folder);
  };
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] != u'%') {
      append(line.substr(i, 1), false);
    } else if (line.substr(i, 2) == u"%%") {
      append(u"%", false);
      ++i;
    } else if (line.substr(i, 6) == u"%~dps0") {
      append(location, true);
      i += 5;
    } else {
      const std::size_t close = line.find(u'%', i + 1);
      if (close == std::u16string_view::npos) continue;
      const auto found = variables.find(std::u16string(line.substr(i + 1, close - i - 1)));
      if (found != variables.end()) append(found->second, true);
      i = close;
    }
  }
  return out;
}

// The double-quoted arguments of an expanded line; every unit that came from
// the folder must lie inside one, where "&", "^", "|", "<" and ">" are plain
// characters.
std::vector<std::u16string> QuotedArguments(const std::u16string& line, const std::vector<bool>& fromFolder) {
  std::vector<std::u16string> arguments;
  bool inside = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == u'"' && !fromFolder[i]) {
      inside = !inside;
      if (inside) arguments.emplace_back();
      continue;
    }
    Require(inside || !fromFolder[i], "a unit of the folder stands outside quotes");
    if (inside) arguments.back().push_back(line[i]);
  }
  Require(!inside, "a quote left open");
  return arguments;
}

}  // namespace
}  // namespace gantry::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace gantry;
  using namespace gantry::fuzz;
  FuzzInput input(data, size);
  const std::u16string folder = input.NextText();

  static const std::string text = RemovalScriptText();
  for (const char byte : text) {
    Require(byte == '\r' || byte == '\n' || (byte >= 0x20 && byte < 0x7F), "a byte outside printable ASCII");
  }
  if (!IsFolderWindowsCanHold(folder)) return 0;

  const std::u16string location = folder + u"\\";
  std::map<std::u16string, std::u16string> variables;
  std::vector<std::u16string> unregistered;
  std::vector<std::u16string> removed;
  bool leftTheFolder = false;
  for (const std::u16string& line : CrLfLines(text)) {
    std::vector<bool> fromFolder;
    const std::u16string expanded = Expand(line, location, variables, fromFolder);
    const std::vector<std::u16string> arguments = QuotedArguments(expanded, fromFolder);
    if (StartsWith(expanded, u"set \"")) {
      Require(arguments.size() == 1, "a set line with more than its one quoted assignment");
      const std::size_t equals = arguments[0].find(u'=');
      Require(equals != std::u16string::npos, "a set line without '='");
      variables[arguments[0].substr(0, equals)] = arguments[0].substr(equals + 1);
    } else if (expanded == u"cd \\") {
      leftTheFolder = true;
    } else if (StartsWith(expanded, u"start /wait regsvr32 /u /s ")) {
      Require(arguments.size() == 1, "regsvr32 gets more than one path");
      unregistered.push_back(arguments[0]);
    } else if (expanded.find(u"rmdir") != std::u16string::npos) {
      Require(leftTheFolder, "B is removed while it may be the current folder");
      Require(StartsWith(expanded, u"if exist \""), "rmdir without the check that B holds the script");
      Require(arguments.size() == 2, "the rmdir line's paths");
      Require(arguments[0] == location + u"RemoveBasicClient.bat", "the check looks for another script");
      removed.push_back(arguments[1]);
    } else {
      Require(arguments.empty() || StartsWith(expanded, u"reg delete \"HKCU\\"), "an unexpected command");
      for (const bool unit : fromFolder) Require(!unit, "the folder reaches another command");
    }
  }
  Require(unregistered == std::vector<std::u16string>{location + u"TavikClientSystem.dll"},
          "regsvr32 reads another COM server path");
  Require(removed == std::vector<std::u16string>{location + u"."}, "rmdir reads another folder");

  // The RunOnce command splits back into exactly the script's path.
  const std::u16string script = location + u"RemoveBasicClient.bat";
  const std::u16string command = RunOnceCommand(script);
  Require(command.size() == script.size() + 2 && command.front() == u'"' && command.back() == u'"' &&
              command.compare(1, script.size(), script) == 0,
          "the RunOnce command does not quote the script path whole");
  return 0;
}
