// JNI's modified UTF-8, the form GetStringUTFChars hands out and NewStringUTF
// expects: U+0000 is the two bytes C0 80, and a character outside the Basic
// Multilingual Plane travels as its two UTF-16 surrogates, each encoded as a
// three-byte sequence. Windows works on UTF-16, so the two meet here.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace gantry {

// The exact UTF-16 text of the bytes, or nothing when they are not a
// well-formed modified UTF-8 text (a raw zero byte, a truncated or overlong
// sequence, a four-byte sequence, a stray continuation byte).
std::optional<std::u16string> DecodeModifiedUtf8(std::string_view bytes);

// The modified UTF-8 bytes of a UTF-16 text; every code unit is encoded on its
// own, so this never fails.
std::string EncodeModifiedUtf8(std::u16string_view text);

}  // namespace gantry
