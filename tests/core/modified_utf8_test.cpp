#include "boundary/core/modified_utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace gantry {
namespace {

struct CodecRow {
  const char* name;
  std::u16string text;
  std::string bytes;
};

// Each text with the exact bytes a JVM's GetStringUTFChars gives for it.
TEST(ModifiedUtf8, EncodesAndDecodesExactlyAsTheJvm) {
  const CodecRow rows[] = {
      {"empty", u"", ""},
      {"ASCII", u"C:\\x.msi", "C:\\x.msi"},
      {"U+0000 is C0 80", std::u16string(u"a\0b", 3), "a\xC0\x80" "b"},
      {"two-byte letters", u"T\u00e9l\u00e9", "T\xC3\xA9l\xC3\xA9"},
      {"U+07FF last two-byte", u"\u07FF", "\xDF\xBF"},
      {"U+0800 first three-byte", u"\u0800", "\xE0\xA0\x80"},
      {"U+FFFF", u"\uFFFF", "\xEF\xBF\xBF"},
      {"outside the BMP: two three-byte surrogates", u"\U0001F600", "\xED\xA0\xBD\xED\xB8\x80"},
      {"lone low surrogate", std::u16string(1, char16_t(0xDC00)), "\xED\xB0\x80"},
  };
  for (const CodecRow& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(EncodeModifiedUtf8(row.text), row.bytes);
    const std::optional<std::u16string> decoded = DecodeModifiedUtf8(row.bytes);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(*decoded, row.text);
  }
}

TEST(ModifiedUtf8, RefusesWhatNoJvmProduces) {
  const std::pair<const char*, std::string> rows[] = {
      {"raw zero byte", std::string("a\0b", 3)},
      {"four-byte standard UTF-8", "\xF0\x9F\x98\x80"},
      {"stray continuation", "\x80"},
      {"truncated two-byte", "\xC3"},
      {"truncated three-byte", "\xE2\x82"},
      {"bad continuation", "\xC3\x41"},
      {"overlong two-byte other than C0 80", "\xC1\x81"},
      {"overlong three-byte", "\xE0\x80\x80"},
      {"lead byte FF", "\xFF"},
  };
  for (const auto& [name, bytes] : rows) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(DecodeModifiedUtf8(bytes).has_value());
  }
}

TEST(ModifiedUtf8, EveryCodeUnitRoundTrips) {
  std::u16string all;
  for (unsigned unit = 0; unit <= 0xFFFF; ++unit) all.push_back(static_cast<char16_t>(unit));
  const std::string bytes = EncodeModifiedUtf8(all);
  EXPECT_EQ(bytes.find('\0'), std::string::npos) << "the form never holds a zero byte";
  EXPECT_EQ(DecodeModifiedUtf8(bytes), all);
}

}  // namespace
}  // namespace gantry
