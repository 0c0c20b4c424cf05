#include "target_path.h"

#include <array>

#include "windows/shared/core/path_text.h"

namespace gantry {
namespace {

char16_t AsciiUpper(char16_t unit) { return unit >= u'a' && unit <= u'z' ? unit - (u'a' - u'A') : unit; }

bool EqualsAsciiIgnoringCase(std::u16string_view left, std::u16string_view right) {
  if (left.size() != right.size()) return false;
  for (std::size_t i = 0; i < left.size(); ++i) {
    if (AsciiUpper(left[i]) != AsciiUpper(right[i])) return false;
  }
  return true;
}

// Windows also counts the superscript one, two and three as port digits:
// "COM\u00B9" opens COM1.
bool IsDevicePortDigit(char16_t unit) {
  return (unit >= u'1' && unit <= u'9') || unit == u'\u00B9' || unit == u'\u00B2' || unit == u'\u00B3';
}

// "CON", "nul.txt", "COM1 ": the system opens the device, not a file.
bool IsDeviceName(std::u16string_view name) {
  std::u16string_view base = name.substr(0, name.find(u'.'));
  while (!base.empty() && base.back() == u' ') base.remove_suffix(1);
  static constexpr std::array<std::u16string_view, 6> kFixed = {u"CON", u"PRN", u"AUX", u"NUL",
                                                                  u"CONIN$", u"CONOUT$"};
  for (auto device : kFixed) {
    if (EqualsAsciiIgnoringCase(base, device)) return true;
  }
  if (base.size() == 4 && IsDevicePortDigit(base[3]) &&
      (EqualsAsciiIgnoringCase(base.substr(0, 3), u"COM") ||
       EqualsAsciiIgnoringCase(base.substr(0, 3), u"LPT"))) {
    return true;
  }
  return false;
}

}  // namespace

bool IsPlainName(std::u16string_view name) {
  if (name.empty()) return false;
  bool onlyDotsAndBlanks = true;
  for (char16_t unit : name) {
    if (unit == u'\\' || unit == u'/' || unit == u':' || unit < 0x20) return false;
    if (unit != u'.' && unit != u' ') onlyDotsAndBlanks = false;
  }
  // ".", ".." and the forms the system trims down to them (". .", "...").
  if (onlyDotsAndBlanks) return false;
  return !IsDeviceName(name);
}

bool IsConfinedRelativePath(std::u16string_view relative) {
  if (relative.empty()) return true;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = relative.find_first_of(u"\\/", start);
    const auto level = relative.substr(start, end == std::u16string_view::npos ? end : end - start);
    if (!IsPlainName(level)) return false;
    if (end == std::u16string_view::npos) return true;
    start = end + 1;
  }
}

MemberTarget ComposeMemberTarget(std::u16string_view targetFolder, std::u16string_view relativeFolder,
                                 std::u16string_view name) {
  using Outcome = MemberTarget::Outcome;
  if (targetFolder.empty() || name.empty() || !IsConfinedRelativePath(relativeFolder) ||
      !IsConfinedRelativePath(name)) {
    return {Outcome::kNotConfined, {}};
  }
  std::u16string path(targetFolder);
  for (auto piece : {relativeFolder, name}) {
    if (piece.empty()) continue;
    if (path.back() != u'\\') path.push_back(u'\\');
    path.append(piece);
  }
  if (!FitsWithTerminator(path.size(), kMaxPathUnits)) return {Outcome::kTooLong, {}};
  return {Outcome::kPlaced, path};
}

}  // namespace gantry
