// The portable core speaks char16_t; the Win32 calls take wchar_t, which is
// the same 16-bit unit on Windows.
#pragma once

#include <string>
#include <string_view>

namespace gantry {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wchar_t is UTF-16");

inline std::wstring_view AsWide(std::u16string_view text) {
  return {reinterpret_cast<const wchar_t*>(text.data()), text.size()};
}
inline std::u16string_view AsUtf16(std::wstring_view text) {
  return {reinterpret_cast<const char16_t*>(text.data()), text.size()};
}
inline std::wstring ToWide(std::u16string_view text) { return std::wstring(AsWide(text)); }
inline std::u16string ToUtf16(std::wstring_view text) { return std::u16string(AsUtf16(text)); }

}  // namespace gantry
