// The backup texts read from a taken-over extension's record, for any value
// the registry can deliver: no text runs past the delivered bytes or holds a
// zero unit, and a restorable text is a whole terminated string.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tests/fuzz/fuzz_input.h"
#include "windows/extensions/core/extension_record.h"

namespace gantry::fuzz {
namespace {

bool IsPrefix(std::u16string_view prefix, std::u16string_view text) { return StartsWith(text, prefix); }

}  // namespace
}  // namespace gantry::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace gantry;
  using namespace gantry::fuzz;
  if (size < 4) return 0;
  // Header: success flag, type, and the byte count the read reports (which
  // may claim more than the buffer holds); then the buffer as UTF-16LE.
  ValueRead read;
  read.succeeded = (data[0] & 1) != 0;
  read.type = data[1] % 8;
  read.byteCount = static_cast<std::size_t>(data[2] | (data[3] << 8)) % (kBackupValueBytes + 8);
  for (std::size_t i = 4; i + 1 < size && read.units.size() < kBackupValueUnits; i += 2) {
    read.units.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  }
  const std::size_t deliveredUnits = std::min(read.byteCount / 2, read.units.size());

  const std::u16string shortcut = ShortcutBackupText(read);
  Require(shortcut.find(u'\0') == std::u16string::npos, "the shortcut text holds a zero unit");
  Require(shortcut.size() <= deliveredUnits, "the shortcut text runs past the delivered bytes");
  Require(IsPrefix(shortcut, read.units), "the shortcut text is not the buffer's start");
  if (!read.succeeded) Require(shortcut.empty(), "a failed read gave a shortcut text");

  const std::optional<std::u16string> backup = BackupStringText(read);
  if (!backup) return 0;
  Require(read.succeeded, "a failed read gave a backup text");
  Require(read.type == kRegistryString || read.type == kRegistryExpandableString, "a backup text of another type");
  Require(backup->find(u'\0') == std::u16string::npos, "the backup text holds a zero unit");
  if (read.byteCount == 0) {
    Require(backup->empty(), "no bytes gave a text");
    return 0;
  }
  Require(read.byteCount % 2 == 0 && read.byteCount / 2 <= read.units.size(), "a backup text from bytes not delivered");
  Require(read.units[read.byteCount / 2 - 1] == u'\0', "a backup text without its terminator");
  Require(IsPrefix(*backup, read.units) && backup->size() < read.byteCount / 2, "the backup text is not the buffer's start");
  return 0;
}
