#include "modified_utf8.h"

namespace gantry {
namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

std::optional<std::u16string> DecodeModifiedUtf8(std::string_view bytes) {
  std::u16string text;
  text.reserve(bytes.size());
  size_t i = 0;
  while (i < bytes.size()) {
    const unsigned char lead = static_cast<unsigned char>(bytes[i]);
    if (lead == 0x00) return std::nullopt;  // never part of the form
    if (lead < 0x80) {
      text.push_back(static_cast<char16_t>(lead));
      i += 1;
    } else if ((lead & 0xE0) == 0xC0) {
      if (i + 1 >= bytes.size()) return std::nullopt;
      const unsigned char second = static_cast<unsigned char>(bytes[i + 1]);
      if (!IsContinuation(second)) return std::nullopt;
      const char16_t unit = static_cast<char16_t>(((lead & 0x1F) << 6) | (second & 0x3F));
      // The only shortened form allowed is C0 80 for U+0000.
      if (unit < 0x80 && unit != 0) return std::nullopt;
      text.push_back(unit);
      i += 2;
    } else if ((lead & 0xF0) == 0xE0) {
      if (i + 2 >= bytes.size()) return std::nullopt;
      const unsigned char second = static_cast<unsigned char>(bytes[i + 1]);
      const unsigned char third = static_cast<unsigned char>(bytes[i + 2]);
      if (!IsContinuation(second) || !IsContinuation(third)) return std::nullopt;
      const char16_t unit =
          static_cast<char16_t>(((lead & 0x0F) << 12) | ((second & 0x3F) << 6) | (third & 0x3F));
      if (unit < 0x800) return std::nullopt;
      text.push_back(unit);
      i += 3;
    } else {
      return std::nullopt;  // continuation byte without a lead, or F0..FF
    }
  }
  return text;
}

std::string EncodeModifiedUtf8(std::u16string_view text) {
  std::string bytes;
  bytes.reserve(text.size() * 3);
  for (const char16_t unit : text) {
    if (unit != 0 && unit < 0x80) {
      bytes.push_back(static_cast<char>(unit));
    } else if (unit < 0x800) {
      bytes.push_back(static_cast<char>(0xC0 | (unit >> 6)));
      bytes.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
    } else {
      bytes.push_back(static_cast<char>(0xE0 | (unit >> 12)));
      bytes.push_back(static_cast<char>(0x80 | ((unit >> 6) & 0x3F)));
      bytes.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
    }
  }
  return bytes;
}

}  // namespace gantry
