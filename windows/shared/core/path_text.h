// Windows path text built in the fixed 260-unit buffers the platform calls
// take (MAX_PATH, terminator included). Every composition either fits whole
// or fails: a path is never cut into another path.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace gantry {

inline constexpr std::size_t kMaxPathUnits = 260;

// True when a text of this many units fits a buffer of `capacity` units with
// its terminator.
constexpr bool FitsWithTerminator(std::size_t units, std::size_t capacity) {
  return units < capacity;
}

// base + tail, or nothing when the result would not fit `capacity` units with
// its terminator.
std::optional<std::u16string> ConcatBounded(std::u16string_view base, std::u16string_view tail,
                                            std::size_t capacity = kMaxPathUnits);

// Joins a folder and a name with exactly one backslash between them, as the
// shell's PathAppend does for plain names; nothing when it does not fit.
std::optional<std::u16string> JoinPath(std::u16string_view folder, std::u16string_view name,
                                       std::size_t capacity = kMaxPathUnits);

}  // namespace gantry
