#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

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

}  // namespace
}  // namespace gantry
