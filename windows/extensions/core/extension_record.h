// The rules for reading the records the client program leaves when it takes a
// file extension over: which records a farm's restoration handles, which
// stored backup texts can be put back, and when a record may be deleted.
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

// The Win32 results the restoration's decisions turn on.
inline constexpr std::uint32_t kErrorFileNotFound = 2;  // ERROR_FILE_NOT_FOUND
inline constexpr std::uint32_t kErrorInvalidData = 13;  // ERROR_INVALID_DATA
inline constexpr std::uint32_t kErrorMoreData = 234;    // ERROR_MORE_DATA

// The steps of restoring one record, in their order.
enum class RestoreStep {
  OpenRecord,            // the record's key, opened for reading and writing
  OpenClasses,           // HKCU\Software\Classes
  WriteClassDefault,     // the extension's class default put back from "TavikBackupShortCut"
  DeleteExtensionClass,  // the extension's class key removed (no "TavikBackupShortCut" text)
  DeleteClientClass,     // the client program's class key "TAVIKShortCut<ext>" removed
  OpenExplorer,          // the extension's Explorer key
  PutBackProgid,         // "Progid" set from its backup, then the backup value deleted
  ReadApplication,       // "TavikBackupApplication" read as a valid string
  PutBackApplication,    // "Application" set from its backup, then the backup value deleted
};

enum class StepOutcome {
  Done,              // the step did its part
  NothingToRestore,  // nothing of the record can be put back any more: the restoration ends
  Failed,            // a real error (access denied, a write that failed)
};

// What a step's Win32 result means. A key to be deleted that is already gone
// counts as deleted. A missing Explorer key, and a "TavikBackupApplication"
// that is absent, larger than the buffer or not a valid string, leave nothing
// to restore. Any other error is a real failure.
StepOutcome ClassifyRestoreStep(RestoreStep step, std::uint32_t result);

// What the restoration of one record came to, step by step. The backup
// values are deleted one by one as they are put back, so a record that is
// kept after a failure holds exactly what a later call still has to restore.
class RecordRestoration {
 public:
  // Notes a step's result. True when the restoration goes on with the next
  // step: after a success, and after a failed write of the extension's own
  // class key, which leaves the client's class key and Explorer's values to
  // put right all the same. Any other failure, or nothing left to restore,
  // ends it.
  bool Note(RestoreStep step, std::uint32_t result);
  bool GoesOn() const { return !ended_; }
  // The first real error, 0 when there was none: then the record may be
  // deleted, since everything was put back or nothing restorable remains.
  std::uint32_t failure() const { return failure_; }

 private:
  bool ended_ = false;
  std::uint32_t failure_ = 0;
};

}  // namespace gantry
