// The client program's "FileVersion" text and the numbers read from it. The
// text is expected as "10.1 (Build 1238)": major, full stop, minor, blank, a
// word, blank, build, closing parenthesis. Other shapes are not errors; the
// missing parts come out as 0 or as the cutting rules below give them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace gantry {

struct ClientVersion {
  std::int32_t major = 0;
  std::int32_t minor = 0;
  std::int32_t build = 0;
};

// The three numbers of a version text.
ClientVersion ParseClientVersion(std::u16string_view text);

// A client program from 10.1 build 1238 on registers and removes itself
// ("-regext", "-regcleanbasic"). Each number is compared on its own, so 11.0
// build 5000 does not pass.
bool PassesSelfRegistrationTest(const ClientVersion& version);

// The version resource query for the "FileVersion" string of one translation:
// "\\StringFileInfo\\LLLLCCCC\\FileVersion" with upper-case hex digits.
std::u16string FileVersionQuery(std::uint16_t language, std::uint16_t codePage);

// The code page the query uses when the resource does not list exactly one
// translation: UTF-16 (04B0) in the user's default language.
inline constexpr std::uint16_t kUnicodeCodePage = 0x04B0;

// Longest "FileVersion" text the callers' 1024-unit buffers hold with the
// terminator. A longer text counts as unreadable rather than being cut.
inline constexpr std::size_t kVersionTextCapacity = 1024;

// The C library's wcstol in base 10 over a text, with a 32-bit long: leading
// white space skipped, an optional sign, then decimal digits up to the first
// other character; no digits gives 0, values past the 32-bit range the
// nearest limit.
std::int32_t ParseDecimalLikeWcstol(std::u16string_view text);

}  // namespace gantry
