// The modified UTF-8 codec on any bytes: what it accepts comes back byte for
// byte, and any UTF-16 text survives the trip through the bytes.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "boundary/core/modified_utf8.h"
#include "tests/fuzz/fuzz_input.h"

namespace gantry::fuzz {
namespace {

// Bytes that no modified UTF-8 text holds: a raw zero and the four-byte leads.
bool HoldsForbiddenByte(std::string_view bytes) {
  for (const char byte : bytes) {
    const auto value = static_cast<unsigned char>(byte);
    if (value == 0x00 || value >= 0xF0) return true;
  }
  return false;
}

void CheckDecoding(std::string_view bytes) {
  const std::optional<std::u16string> text = DecodeModifiedUtf8(bytes);
  if (!text) return;
  Require(!HoldsForbiddenByte(bytes), "accepted bytes hold a zero byte or a four-byte lead");
  Require(text->size() <= bytes.size(), "more units than bytes");
  // Only the one shortest form is accepted, so encoding gives the same bytes.
  Require(EncodeModifiedUtf8(*text) == bytes, "decode then encode changes accepted bytes");
}

void CheckEncoding(std::u16string_view text) {
  const std::string bytes = EncodeModifiedUtf8(text);
  Require(!HoldsForbiddenByte(bytes), "encoded text holds a zero byte or a four-byte lead");
  Require(bytes.size() <= text.size() * 3, "more than three bytes a unit");
  const std::optional<std::u16string> back = DecodeModifiedUtf8(bytes);
  Require(back.has_value(), "the encoder's bytes are refused");
  Require(*back == text, "encode then decode changes the text");
}

}  // namespace
}  // namespace gantry::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace gantry::fuzz;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  CheckDecoding(bytes);

  // The same bytes read as UTF-16LE: lone and paired surrogates, zeros, everything.
  std::u16string units;
  for (std::size_t i = 0; i + 1 < size; i += 2) units.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  CheckEncoding(units);
  return 0;
}
