#include "windows/session/core/session_start_text.h"

#include <array>

#include "windows/shared/core/path_text.h"

namespace gantry {
namespace {

bool IsSeparator(char16_t unit) { return unit == u'\\' || unit == u'/'; }

char16_t AsciiUpper(char16_t unit) { return unit >= u'a' && unit <= u'z' ? unit - (u'a' - u'A') : unit; }

// Windows trims trailing dots and blanks from a path component, so ".. " and
// "..." reach the file system as "..": a component of dots and blanks with
// two dots or more climbs out.
bool ClimbsOut(std::u16string_view component) {
  std::size_t dots = 0;
  for (const char16_t unit : component) {
    if (unit == u'.') {
      ++dots;
    } else if (unit != u' ') {
      return false;
    }
  }
  return dots >= 2;
}

// "CON", "nul.txt", "COM1 .kuva", "CONOUT$": Win32 opens the device, not a file in the folder.
bool IsReservedDeviceName(std::u16string_view component) {
  std::u16string_view stem = component.substr(0, component.find(u'.'));
  while (!stem.empty() && stem.back() == u' ') stem.remove_suffix(1);
  std::u16string upper;
  for (const char16_t unit : stem) upper.push_back(AsciiUpper(unit));
  static constexpr std::array<std::u16string_view, 6> kPlain = {u"CON", u"PRN", u"AUX", u"NUL", u"CONIN$",
                                                                  u"CONOUT$"};
  for (const std::u16string_view device : kPlain) {
    if (upper == device) return true;
  }
  if (upper.size() == 4 && (upper.compare(0, 3, u"COM") == 0 || upper.compare(0, 3, u"LPT") == 0)) {
    // Windows also counts the superscript one, two and three as port digits.
    return (upper[3] >= u'1' && upper[3] <= u'9') || upper[3] == u'\u00B9' || upper[3] == u'\u00B2' ||
           upper[3] == u'\u00B3';
  }
  return false;
}

}  // namespace

bool IsConfinedConnectionFileName(std::u16string_view name) {
  if (name.empty() || IsSeparator(name.front()) || IsSeparator(name.back())) return false;
  if (name.find(u':') != std::u16string_view::npos) return false;
  if (name.find(u'\0') != std::u16string_view::npos) return false;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = start;
    while (end < name.size() && !IsSeparator(name[end])) ++end;
    const std::u16string_view component = name.substr(start, end - start);
    if (ClimbsOut(component) || IsReservedDeviceName(component)) return false;
    start = end + 1;
  }
  return true;
}

std::optional<std::u16string> ComposeConnectionFilePath(std::u16string_view temporaryFolder,
                                                         std::u16string_view name) {
  if (temporaryFolder.empty() || !IsConfinedConnectionFileName(name)) return std::nullopt;
  return ConcatBounded(temporaryFolder, name, kMaxPathUnits);
}

std::optional<std::u16string> ComposeSessionCommandLine(std::u16string_view program,
                                                        std::u16string_view connectionFile) {
  for (const std::u16string_view part : {program, connectionFile}) {
    if (part.empty() || part.find(u'"') != std::u16string_view::npos || part.back() == u'\\') {
      return std::nullopt;
    }
  }
  const std::size_t units = program.size() + connectionFile.size() + 5;  // four quotes, one blank
  if (!FitsWithTerminator(units, kSessionCommandLineUnits)) return std::nullopt;
  std::u16string line;
  line.reserve(units);
  line.append(u"\"").append(program).append(u"\" \"").append(connectionFile).append(u"\"");
  return line;
}

}  // namespace gantry
