// The fixed part of a cabinet file's header, read before the cabinet is
// handed to the platform's cabinet reader. The package is downloaded input,
// and a reader that trusts the header's counts may fault on a header that
// lists members but no folder to hold them (Wine's does).
#pragma once

#include <cstddef>
#include <string_view>

namespace gantry {

// Bytes of the header's fixed part: signature "MSCF", sizes and offsets,
// version, then the folder count (offset 26) and the member count (offset 28).
inline constexpr std::size_t kCabinetHeaderBytes = 36;

// True when `header` (the file's first bytes) is a whole fixed header with
// the "MSCF" signature that does not list members without a folder.
bool IsWalkableCabinetHeader(std::string_view header);

}  // namespace gantry
