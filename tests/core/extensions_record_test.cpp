#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "windows/extensions/core/extension_record.h"

namespace gantry {
namespace {

TEST(ExtensionRecord, RecordFarmNeedsAFourByteDword) {
  struct Row {
    bool read;
    std::uint32_t type;
    std::size_t bytes;
    std::uint32_t value;
    std::int32_t farm;
  } rows[] = {
      {true, kRegistryDword, 4, 5, 5},
      {true, kRegistryDword, 4, 0xFFFFFFFEu, -2},
      {true, kRegistryDword, 4, 0xFFFFFFFFu, kRecordWithoutFarm},
      {false, kRegistryDword, 4, 5, kRecordWithoutFarm},  // absent, or larger than 4 bytes
      {true, kRegistryString, 4, 5, kRecordWithoutFarm},
      {true, 3 /* REG_BINARY */, 4, 5, kRecordWithoutFarm},
      {true, kRegistryDword, 2, 5, kRecordWithoutFarm},
  };
  for (const Row& row : rows) EXPECT_EQ(RecordFarm(row.read, row.type, row.bytes, row.value), row.farm);
}

TEST(ExtensionRecord, FarmRule) {
  EXPECT_TRUE(RestoresRecord(0, 5));
  EXPECT_TRUE(RestoresRecord(0, kRecordWithoutFarm));
  EXPECT_TRUE(RestoresRecord(5, 5));
  EXPECT_FALSE(RestoresRecord(5, 7));
  EXPECT_FALSE(RestoresRecord(5, 0));
  EXPECT_TRUE(RestoresRecord(5, kRecordWithoutFarm));
  EXPECT_TRUE(RestoresRecord(-2, -2));
  EXPECT_FALSE(RestoresRecord(-2, 5));
  EXPECT_TRUE(RestoresRecord(-1, kRecordWithoutFarm));
  EXPECT_FALSE(RestoresRecord(-1, 7));
}

ValueRead Read(std::uint32_t type, std::u16string units, std::size_t bytes, bool succeeded = true) {
  ValueRead read;
  read.succeeded = succeeded;
  read.type = type;
  units.resize(kBackupValueUnits, u'\0');
  read.units = units;
  read.byteCount = bytes;
  return read;
}

TEST(ExtensionRecord, BackupStringRules) {
  struct Row {
    const char* name;
    ValueRead read;
    std::optional<std::u16string> text;
  } rows[] = {
      {"terminated", Read(kRegistryString, u"txtfile", 16), u"txtfile"},
      {"expandable, taken as stored", Read(kRegistryExpandableString, u"%X%\\a", 12), u"%X%\\a"},
      {"0 bytes", Read(kRegistryString, u"", 0), u""},
      {"a single NUL", Read(kRegistryString, u"", 2), u""},
      {"unterminated", Read(kRegistryString, u"abc", 6), std::nullopt},
      {"odd byte count", Read(kRegistryString, u"ab", 5), std::nullopt},
      {"a DWORD", Read(kRegistryDword, u"ab", 6), std::nullopt},
      {"failed read", Read(kRegistryString, u"ab", 6, false), std::nullopt},
      {"NUL inside: the text before it", Read(kRegistryString, std::u16string(u"ab\0cd", 5), 12), u"ab"},
      {"259 units and NUL fill the buffer", Read(kRegistryString, std::u16string(259, u'p'), 520),
       std::u16string(259, u'p')},
      {"260 units without NUL", Read(kRegistryString, std::u16string(260, u'p'), 520), std::nullopt},
  };
  for (const Row& row : rows) EXPECT_EQ(BackupStringText(row.read), row.text) << row.name;
}

TEST(ExtensionRecord, ShortcutTextIsUpToTheFirstNulWhateverTheType) {
  EXPECT_EQ(ShortcutBackupText(Read(kRegistryString, u"txtfile", 16)), u"txtfile");
  EXPECT_EQ(ShortcutBackupText(Read(3, u"txtfile", 14)), u"txtfile") << "type not examined, no NUL needed";
  EXPECT_EQ(ShortcutBackupText(Read(kRegistryString, u"", 0)), u"");
  EXPECT_EQ(ShortcutBackupText(Read(kRegistryString, u"abc", 8, false)), u"");
  EXPECT_EQ(ShortcutBackupText(Read(kRegistryString, std::u16string(260, u's'), 520)), std::u16string(260, u's'))
      << "a full buffer without NUL is all 260 units, never more";
  EXPECT_EQ(ShortcutBackupText(Read(kRegistryString, u"abcd", 5)), u"ab") << "half a unit is not read";
}

constexpr std::uint32_t kAccessDenied = 5;   // ERROR_ACCESS_DENIED
constexpr std::uint32_t kWriteFault = 29;    // ERROR_WRITE_FAULT
constexpr std::uint32_t kKeyDeleted = 1018;  // ERROR_KEY_DELETED

TEST(ExtensionRecord, WhatEachStepsResultMeans) {
  using S = RestoreStep;
  using O = StepOutcome;
  struct Row {
    RestoreStep step;
    std::uint32_t result;
    StepOutcome outcome;
  } rows[] = {
      {S::OpenRecord, 0, O::Done},
      {S::OpenRecord, kAccessDenied, O::Failed},
      {S::OpenClasses, kAccessDenied, O::Failed},
      {S::WriteClassDefault, 0, O::Done},
      {S::WriteClassDefault, kAccessDenied, O::Failed},
      {S::DeleteExtensionClass, kErrorFileNotFound, O::Done},  // nothing there to remove
      {S::DeleteExtensionClass, kAccessDenied, O::Failed},
      {S::DeleteClientClass, 0, O::Done},
      {S::DeleteClientClass, kErrorFileNotFound, O::Done},  // already gone counts as deleted
      {S::DeleteClientClass, kAccessDenied, O::Failed},
      {S::DeleteClientClass, kKeyDeleted, O::Failed},
      {S::OpenExplorer, 0, O::Done},
      {S::OpenExplorer, kErrorFileNotFound, O::NothingToRestore},
      {S::OpenExplorer, kAccessDenied, O::Failed},
      {S::PutBackProgid, kAccessDenied, O::Failed},
      {S::PutBackProgid, kErrorFileNotFound, O::Failed},  // the backup value vanished under us
      {S::ReadApplication, 0, O::Done},
      {S::ReadApplication, kErrorFileNotFound, O::NothingToRestore},
      {S::ReadApplication, kErrorMoreData, O::NothingToRestore},  // larger than the buffer: never restorable
      {S::ReadApplication, kErrorInvalidData, O::NothingToRestore},
      {S::ReadApplication, kAccessDenied, O::Failed},
      {S::PutBackApplication, 0, O::Done},
      {S::PutBackApplication, kWriteFault, O::Failed},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(ClassifyRestoreStep(row.step, row.result), row.outcome)
        << "step " << static_cast<int>(row.step) << " result " << row.result;
  }
}

TEST(ExtensionRecord, ARecordGoesOnlyWhenNoStepFailed) {
  using S = RestoreStep;
  struct Note {
    RestoreStep step;
    std::uint32_t result;
    bool goesOn;
  };
  struct Row {
    const char* name;
    std::vector<Note> notes;
    std::uint32_t failure;  // 0: the record may be deleted
  } rows[] = {
      {"everything put back",
       {{S::OpenRecord, 0, true}, {S::OpenClasses, 0, true}, {S::WriteClassDefault, 0, true},
        {S::DeleteClientClass, 0, true}, {S::OpenExplorer, 0, true}, {S::PutBackProgid, 0, true},
        {S::ReadApplication, 0, true}, {S::PutBackApplication, 0, true}},
       0},
      {"the client's class key already gone: Explorer still restored",
       {{S::OpenRecord, 0, true}, {S::OpenClasses, 0, true}, {S::DeleteExtensionClass, kErrorFileNotFound, true},
        {S::DeleteClientClass, kErrorFileNotFound, true}, {S::OpenExplorer, 0, true},
        {S::ReadApplication, 0, true}, {S::PutBackApplication, 0, true}},
       0},
      {"no Explorer key: nothing more to restore",
       {{S::OpenRecord, 0, true}, {S::OpenClasses, 0, true}, {S::DeleteClientClass, 0, true},
        {S::OpenExplorer, kErrorFileNotFound, false}},
       0},
      {"no usable TavikBackupApplication",
       {{S::OpenRecord, 0, true}, {S::OpenClasses, 0, true}, {S::DeleteClientClass, 0, true},
        {S::OpenExplorer, 0, true}, {S::PutBackProgid, 0, true}, {S::ReadApplication, kErrorInvalidData, false}},
       0},
      {"the record cannot be opened", {{S::OpenRecord, kAccessDenied, false}}, kAccessDenied},
      {"the client's class key cannot be deleted: Explorer is not touched",
       {{S::OpenRecord, 0, true}, {S::OpenClasses, 0, true}, {S::WriteClassDefault, 0, true},
        {S::DeleteClientClass, kAccessDenied, false}, {S::OpenExplorer, 0, false}},
       kAccessDenied},
      {"the class default cannot be written: the rest still runs, the record stays",
       {{S::OpenRecord, 0, true}, {S::OpenClasses, 0, true}, {S::WriteClassDefault, kAccessDenied, true},
        {S::DeleteClientClass, 0, true}, {S::OpenExplorer, 0, true}, {S::ReadApplication, 0, true},
        {S::PutBackApplication, 0, true}},
       kAccessDenied},
      {"the Explorer key denies writing",
       {{S::OpenRecord, 0, true}, {S::OpenClasses, 0, true}, {S::DeleteClientClass, 0, true},
        {S::OpenExplorer, kAccessDenied, false}},
       kAccessDenied},
      {"Application cannot be written; the first failure is the one kept",
       {{S::OpenRecord, 0, true}, {S::OpenClasses, 0, true}, {S::WriteClassDefault, kWriteFault, true},
        {S::DeleteClientClass, 0, true}, {S::OpenExplorer, 0, true}, {S::ReadApplication, 0, true},
        {S::PutBackApplication, kAccessDenied, false}},
       kWriteFault},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    RecordRestoration restoration;
    for (const Note& note : row.notes) {
      EXPECT_EQ(restoration.Note(note.step, note.result), note.goesOn) << "step " << static_cast<int>(note.step);
      EXPECT_EQ(restoration.GoesOn(), note.goesOn);
    }
    EXPECT_EQ(restoration.failure(), row.failure);
  }
}

}  // namespace
}  // namespace gantry
