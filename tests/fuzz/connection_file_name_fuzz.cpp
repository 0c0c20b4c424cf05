// A session start's texts from a hostile connection file name: the file stays
// below the temporary folder, and the client's command line hands over
// exactly the program and the file.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/windows_names.h"
#include "windows/session/core/session_start_text.h"

namespace gantry::fuzz {
namespace {

// How the started program splits its command line: the program name runs to
// the next quote when it starts with one, otherwise to the first blank; the
// arguments follow the C runtime's rules for quotes and backslashes.
std::vector<std::u16string> SplitCommandLine(std::u16string_view line) {
  std::vector<std::u16string> words;
  std::size_t i = 0;
  std::u16string program;
  if (!line.empty() && line.front() == u'"') {
    for (i = 1; i < line.size() && line[i] != u'"'; ++i) program.push_back(line[i]);
    if (i < line.size()) ++i;
  } else {
    for (; i < line.size() && line[i] != u' ' && line[i] != u'\t'; ++i) program.push_back(line[i]);
  }
  words.push_back(program);
  while (true) {
    while (i < line.size() && (line[i] == u' ' || line[i] == u'\t')) ++i;
    if (i == line.size()) return words;
    std::u16string word;
    bool quoted = false;
    while (i < line.size() && (quoted || (line[i] != u' ' && line[i] != u'\t'))) {
      if (line[i] == u'\\') {
        std::size_t backslashes = 0;
        while (i < line.size() && line[i] == u'\\') ++backslashes, ++i;
        if (i < line.size() && line[i] == u'"') {
          word.append(backslashes / 2, u'\\');
          if (backslashes % 2 == 1) {
            word.push_back(u'"');
            ++i;
          }
        } else {
          word.append(backslashes, u'\\');
        }
      } else if (line[i] == u'"') {
        if (quoted && i + 1 < line.size() && line[i + 1] == u'"') {
          word.push_back(u'"');
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else {
        word.push_back(line[i++]);
      }
    }
    words.push_back(word);
  }
}

void CheckConnectionFilePath(const std::u16string& temporaryFolder, const std::u16string& name) {
  const std::optional<std::u16string> path = ComposeConnectionFilePath(temporaryFolder, name);
  if (!path) return;
  Require(*path == temporaryFolder + name, "the path is not the temporary folder and the name");
  Require(path->size() < 260, "the path does not fit 260 units with its terminator");
  Require(!IsPathSeparator(name.front()), "the name starts at a root");
  Require(name.find(u'\0') == std::u16string::npos, "the name holds a zero unit");
  ForEachComponent(name, [](std::u16string_view component) {
    Require(!LeavesItsFolder(component), "a component climbs out, names a drive, a stream or a device");
  });
}

void CheckCommandLine(const std::u16string& program, const std::u16string& connectionFile) {
  const std::optional<std::u16string> line = ComposeSessionCommandLine(program, connectionFile);
  if (!line) return;
  Require(line->size() < kSessionCommandLineUnits, "the command line does not fit its buffer");
  // The shell hands over texts read up to their first zero unit.
  if (program.find(u'\0') != std::u16string::npos || connectionFile.find(u'\0') != std::u16string::npos) return;
  const std::vector<std::u16string> words = SplitCommandLine(*line);
  Require(words.size() == 2 && words[0] == program && words[1] == connectionFile,
          "the command line splits into other words than the program and the file");
}

}  // namespace
}  // namespace gantry::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace gantry;
  using namespace gantry::fuzz;
  FuzzInput input(data, size);
  std::u16string temporaryFolder = input.NextText();
  const std::u16string name = input.NextText();
  const std::u16string program = input.NextText();

  // The temporary folder comes from the system and always ends in a backslash.
  if (temporaryFolder.empty() || temporaryFolder.back() != u'\\') temporaryFolder.push_back(u'\\');
  CheckConnectionFilePath(temporaryFolder, name);
  if (name.size() < 250) {
    Require(IsConfinedConnectionFileName(name) == ComposeConnectionFilePath(u"T\\", name).has_value(),
            "a composition that fits disagrees with the name check");
  }

  const std::optional<std::u16string> path = ComposeConnectionFilePath(temporaryFolder, name);
  CheckCommandLine(program, path ? *path : name);
  return 0;
}
