// The client version text: the number reading agrees with the C library's own
// strtol on every text, a well-shaped version text gives back the numbers it
// was made from, and the version query names the translation it was given.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>

#include "tests/fuzz/fuzz_input.h"
#include "windows/discovery/core/version_text.h"

namespace gantry::fuzz {
namespace {

// strtoll over the text with units past ASCII read as a letter (none of them
// is a digit, a sign or white space to the C locale), clamped to 32 bits the
// way a 32-bit long saturates.
std::int32_t ReferenceWcstol(std::u16string_view text) {
  std::string narrow;
  for (const char16_t unit : text) narrow.push_back(unit < 0x80 ? static_cast<char>(unit) : 'x');
  errno = 0;
  const long long value = std::strtoll(narrow.c_str(), nullptr, 10);
  if (value > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (value < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

std::u16string Decimal(std::int32_t value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

std::int32_t NextNumber(std::string_view& bytes) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4 && !bytes.empty(); ++i) {
    value = (value << 8) | static_cast<unsigned char>(bytes.front());
    bytes.remove_prefix(1);
  }
  return static_cast<std::int32_t>(value);
}

}  // namespace
}  // namespace gantry::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace gantry;
  using namespace gantry::fuzz;
  FuzzInput input(data, size);

  // Any text: no fault while cutting it, and the numbers read as strtol reads them.
  const std::u16string text = input.NextText();
  ParseClientVersion(text);
  Require(ParseDecimalLikeWcstol(text) == ReferenceWcstol(text), "the number differs from strtol's");

  // "<major>.<minor> <word> <build>)" with any word free of blanks and ')'.
  std::u16string word;
  for (const char16_t unit : input.NextText()) {
    if (unit != u' ' && unit != u')') word.push_back(unit);
  }
  const std::string numberBytes = input.NextBytes();
  std::string_view numbers = numberBytes;
  ClientVersion made;
  made.major = NextNumber(numbers);
  made.minor = NextNumber(numbers);
  made.build = NextNumber(numbers);
  const std::u16string shaped =
      Decimal(made.major) + u"." + Decimal(made.minor) + u" " + word + u" " + Decimal(made.build) + u")";
  const ClientVersion read = ParseClientVersion(shaped);
  Require(read.major == made.major && read.minor == made.minor && read.build == made.build,
          "a well-shaped version text gives other numbers");

  const auto language = static_cast<std::uint16_t>(made.major);
  const auto codePage = static_cast<std::uint16_t>(made.minor);
  char hex[9];
  std::snprintf(hex, sizeof hex, "%04X%04X", static_cast<unsigned>(language), static_cast<unsigned>(codePage));
  const std::u16string expected = u"\\StringFileInfo\\" + std::u16string(hex, hex + 8) + u"\\FileVersion";
  Require(FileVersionQuery(language, codePage) == expected, "the version query names another translation");
  return 0;
}
