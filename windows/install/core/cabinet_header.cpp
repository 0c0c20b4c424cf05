#include "windows/install/core/cabinet_header.h"

#include <cstdint>

namespace gantry {
namespace {

std::uint16_t ReadLittleEndian16(std::string_view bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[offset]) |
                                    (static_cast<unsigned char>(bytes[offset + 1]) << 8));
}

}  // namespace

bool IsWalkableCabinetHeader(std::string_view header) {
  if (header.size() < kCabinetHeaderBytes || header.substr(0, 4) != "MSCF") return false;
  const std::uint16_t folders = ReadLittleEndian16(header, 26);
  const std::uint16_t members = ReadLittleEndian16(header, 28);
  return members == 0 || folders > 0;
}

}  // namespace gantry
