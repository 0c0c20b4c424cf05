// What Windows makes of a path component, written apart from the core's own
// checks so the fuzz targets can hold the core's compositions against it.
#pragma once

#include <array>
#include <string_view>

namespace gantry::fuzz {

inline char16_t AsciiUpperUnit(char16_t unit) { return unit >= u'a' && unit <= u'z' ? unit - 0x20 : unit; }

inline bool EqualsIgnoringAsciiCase(std::u16string_view left, std::u16string_view right) {
  if (left.size() != right.size()) return false;
  for (std::size_t i = 0; i < left.size(); ++i) {
    if (AsciiUpperUnit(left[i]) != AsciiUpperUnit(right[i])) return false;
  }
  return true;
}

// The device Win32 opens for a name: its text before the first dot, trailing
// blanks dropped, is CON, PRN, AUX, NUL, CONIN$, CONOUT$, or COM or LPT with a
// digit 1 to 9 or a superscript one, two or three.
inline bool NamesDevice(std::u16string_view component) {
  std::u16string_view stem = component.substr(0, component.find(u'.'));
  while (!stem.empty() && stem.back() == u' ') stem.remove_suffix(1);
  static constexpr std::array<std::u16string_view, 6> kDevices = {u"CON", u"PRN", u"AUX", u"NUL", u"CONIN$",
                                                                  u"CONOUT$"};
  for (const std::u16string_view device : kDevices) {
    if (EqualsIgnoringAsciiCase(stem, device)) return true;
  }
  if (stem.size() != 4) return false;
  if (!EqualsIgnoringAsciiCase(stem.substr(0, 3), u"COM") && !EqualsIgnoringAsciiCase(stem.substr(0, 3), u"LPT")) {
    return false;
  }
  const char16_t digit = stem[3];
  return (digit >= u'1' && digit <= u'9') || digit == u'\u00B9' || digit == u'\u00B2' || digit == u'\u00B3';
}

// Whether opening `component` inside a folder can reach anything but an entry
// of that folder: a colon (a drive or a stream), dots and blanks that Windows
// trims to "..", or a device.
inline bool LeavesItsFolder(std::u16string_view component) {
  if (component.find(u':') != std::u16string_view::npos) return true;
  std::size_t dots = 0;
  bool onlyDotsAndBlanks = true;
  for (const char16_t unit : component) {
    if (unit == u'.') {
      ++dots;
    } else if (unit != u' ') {
      onlyDotsAndBlanks = false;
    }
  }
  if (onlyDotsAndBlanks && dots >= 2) return true;
  return NamesDevice(component);
}

inline bool IsPathSeparator(char16_t unit) { return unit == u'\\' || unit == u'/'; }

// Calls `visit` with each component of `path`, split at either separator.
template <typename Visit>
void ForEachComponent(std::u16string_view path, Visit visit) {
  std::size_t start = 0;
  while (true) {
    std::size_t end = start;
    while (end < path.size() && !IsPathSeparator(path[end])) ++end;
    visit(path.substr(start, end - start));
    if (end == path.size()) return;
    start = end + 1;
  }
}

}  // namespace gantry::fuzz
