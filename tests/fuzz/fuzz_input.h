// The fuzzer's bytes as the texts the core takes. Fields are separated by a
// 0x0A byte, so a seed file is readable: one field a line. Inside a field a
// byte below 0xF0 is one UTF-16 unit of the same value, and 0xF0..0xFF
// followed by two bytes is the unit those two bytes give (high byte first),
// so every unit, a line feed included, can still be reached.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace gantry::fuzz {

class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool AtEnd() const { return at_ >= size_; }

  // The next field's bytes as they are.
  std::string NextBytes() {
    std::string bytes;
    while (at_ < size_ && data_[at_] != kFieldEnd) bytes.push_back(static_cast<char>(data_[at_++]));
    if (at_ < size_) ++at_;
    return bytes;
  }

  // The next field read as units.
  std::u16string NextText() {
    std::u16string text;
    while (at_ < size_ && data_[at_] != kFieldEnd) {
      const std::uint8_t byte = data_[at_++];
      if (byte < kEscape) {
        text.push_back(static_cast<char16_t>(byte));
      } else if (size_ - at_ >= 2) {
        text.push_back(static_cast<char16_t>((data_[at_] << 8) | data_[at_ + 1]));
        at_ += 2;
      } else {
        at_ = size_;  // an escape cut short ends the input
      }
    }
    if (at_ < size_) ++at_;
    return text;
  }

 private:
  static constexpr std::uint8_t kFieldEnd = 0x0A;
  static constexpr std::uint8_t kEscape = 0xF0;
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// Whether `text` starts with `prefix`.
inline bool StartsWith(std::u16string_view text, std::u16string_view prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

// A broken property ends the run as a crash, so libFuzzer saves the input.
inline void Require(bool holds, const char* property) {
  if (holds) return;
  std::fprintf(stderr, "broken property: %s\n", property);
  std::abort();
}

}  // namespace gantry::fuzz
