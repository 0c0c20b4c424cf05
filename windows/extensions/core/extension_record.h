// The rules for reading the records the client program leaves when it takes a
// file extension over: which records a farm's restoration handles, and which
// stored backup texts can be put back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace gantry {

// Registry value types as the registry stores them.
inline constexpr std::uint32_t kRegistryString = 1;            // REG_SZ
inline constexpr std::uint32_t kRegistryExpandableString = 2;  // REG_EXPAND_SZ
inline constexpr std::uint32_t kRegistryDword = 4;             // REG_DWORD

// Every string value is read into this many UTF-16 units.
inline constexpr std::size_t kBackupValueUnits = 260;
inline constexpr std::size_t kBackupValueBytes = kBackupValueUnits * 2;

// The farm a record stands for when it has no usable "FarmID".
inline constexpr std::int32_t kRecordWithoutFarm = -1;

// What one registry value read gave: whether the read succeeded, the type,
// and the bytes it delivered.
struct ValueRead {
  bool succeeded = false;
  std::uint32_t type = 0;
  std::u16string units;        // the buffer's units (the bytes as UTF-16LE)
  std::size_t byteCount = 0;   // how many bytes the read reported
};

// The farm of a record from the read of its "FarmID": the stored number when
// it is a REG_DWORD of 4 bytes, kRecordWithoutFarm otherwise.
std::int32_t RecordFarm(bool readSucceeded, std::uint32_t type, std::size_t byteCount, std::uint32_t value);

// Farm 0 restores every record; another farm restores its own records and
// those without a farm, compared as the same 32-bit pattern.
bool RestoresRecord(std::int32_t farmId, std::int32_t recordFarm);

// The text of a "TavikBackupShortCut" read: the units up to the first NUL;
// empty for a failed read. Its type is not examined.
std::u16string ShortcutBackupText(const ValueRead& read);

// The text of a "TavikBackupProgid" or "TavikBackupApplication" read, or
// nothing when it is not a valid string: not REG_SZ or REG_EXPAND_SZ
// (taken as stored), an odd byte count, or data that does not end in NUL.
// 0 bytes is the empty text.
std::optional<std::u16string> BackupStringText(const ValueRead& read);

}  // namespace gantry
