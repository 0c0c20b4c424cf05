#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>

#include "windows/install/core/cabinet_header.h"
#include "windows/install/core/package_text.h"
#include "windows/install/core/target_path.h"

namespace gantry {
namespace {

// A fixed cabinet header with the given folder and member counts.
std::string CabinetHeader(std::uint16_t folders, std::uint16_t members) {
  std::string header(kCabinetHeaderBytes, '\0');
  header.replace(0, 4, "MSCF");
  header[25] = 1;  // version 1.3
  header[24] = 3;
  header[26] = static_cast<char>(folders & 0xFF);
  header[27] = static_cast<char>(folders >> 8);
  header[28] = static_cast<char>(members & 0xFF);
  header[29] = static_cast<char>(members >> 8);
  return header;
}

TEST(CabinetHeader, MembersNeedAFolderAndTheHeaderMustBeWhole) {
  EXPECT_TRUE(IsWalkableCabinetHeader(CabinetHeader(1, 7)));
  EXPECT_TRUE(IsWalkableCabinetHeader(CabinetHeader(0x0100, 0x0100)));  // counts are little-endian
  EXPECT_TRUE(IsWalkableCabinetHeader(CabinetHeader(0, 0)));            // nothing listed, nothing to read
  EXPECT_TRUE(IsWalkableCabinetHeader(CabinetHeader(1, 1) + "more of the cabinet"));
  EXPECT_FALSE(IsWalkableCabinetHeader(CabinetHeader(0, 1)));
  EXPECT_FALSE(IsWalkableCabinetHeader(CabinetHeader(0, 0xFFFF)));
  EXPECT_FALSE(IsWalkableCabinetHeader(CabinetHeader(1, 1).substr(0, kCabinetHeaderBytes - 1)));
  EXPECT_FALSE(IsWalkableCabinetHeader(""));
  std::string wrongSignature = CabinetHeader(1, 1);
  wrongSignature[0] = 'N';
  EXPECT_FALSE(IsWalkableCabinetHeader(wrongSignature));
}

TEST(LongFileName, KeepsTheTextAfterTheFirstBar) {
  EXPECT_EQ(LongFileName(u"VARNEL.EXE|Varnel.exe"), u"Varnel.exe");
  EXPECT_EQ(LongFileName(u"README.TXT"), u"README.TXT");
  EXPECT_EQ(LongFileName(u"A|b|c.txt"), u"b|c.txt");
  EXPECT_EQ(LongFileName(u"A|"), u"");
  EXPECT_EQ(LongFileName(u""), u"");
}

// A Directory table as rows key -> parent; a key missing from the map has no row.
DirectoryWalk Walk(const std::map<std::u16string, std::u16string>& rows, std::u16string_view key,
                   int* lookups = nullptr) {
  return WalkDirectoryChain(key, [&](std::u16string_view level) {
    if (lookups != nullptr) ++*lookups;
    const auto row = rows.find(std::u16string(level));
    if (row == rows.end()) return DirectoryParent{DirectoryParent::Outcome::kNoRow, {}};
    if (row->second == u"<fail>") return DirectoryParent{DirectoryParent::Outcome::kFailed, {}};
    return DirectoryParent{DirectoryParent::Outcome::kFound, row->second};
  });
}

TEST(DirectoryWalk, ResolvesKeysUpToInstallDirOrARoot) {
  using W = DirectoryWalk::Outcome;
  const std::map<std::u16string, std::u16string> rows = {
      {u"TARGETDIR", u""},     {u"INSTALLDIR", u"TARGETDIR"}, {u"Languages", u"INSTALLDIR"},
      {u"Help", u"Languages"}, {u"Menu", u"TARGETDIR"},      {u"Root", u"Root"},
      {u"Under", u"Root"},     {u"LoopA", u"LoopB"},         {u"LoopB", u"LoopA"},
      {u"Orphan", u"Ghost"},   {u"Broken", u"<fail>"},       {u"AboveBroken", u"Broken"},
      {u"installdir", u"TARGETDIR"},
  };
  const struct {
    std::u16string key;
    W outcome;
    std::u16string relative;
  } cases[] = {
      {u"", W::kResolved, u""},
      {u"INSTALLDIR", W::kResolved, u""},
      {u"Languages", W::kResolved, u"Languages"},
      {u"Help", W::kResolved, u"Languages\\Help"},
      {u"Menu", W::kResolved, u"TARGETDIR\\Menu"},      // not below INSTALLDIR: every key from the root
      {u"installdir", W::kResolved, u"TARGETDIR\\installdir"},  // the key matches case-sensitively
      {u"Root", W::kResolved, u"Root"},                 // its own parent: a root
      {u"Under", W::kResolved, u"Root\\Under"},
      {u"LoopA", W::kUnresolved, u""},
      {u"Ghost", W::kUnresolved, u""},
      {u"Orphan", W::kUnresolved, u""},
      {u"Broken", W::kFailed, u""},
      {u"AboveBroken", W::kFailed, u""},
  };
  for (const auto& row : cases) {
    const DirectoryWalk walk = Walk(rows, row.key);
    EXPECT_EQ(walk.outcome, row.outcome) << std::string(row.key.begin(), row.key.end());
    EXPECT_EQ(walk.relativeFolder, row.relative) << std::string(row.key.begin(), row.key.end());
  }
}

TEST(DirectoryWalk, StopsADeepChainWithoutRecursion) {
  std::map<std::u16string, std::u16string> rows;
  const int depth = 100000;
  // A chain of numbered keys, each the parent of the one before.
  auto name = [](int i) {
    const std::string text = "D" + std::to_string(i);
    return std::u16string(text.begin(), text.end());
  };
  for (int i = 0; i < depth; ++i) rows[name(i)] = name(i + 1);
  rows[name(depth)] = u"INSTALLDIR";
  int lookups = 0;
  const DirectoryWalk walk = Walk(rows, name(0), &lookups);
  EXPECT_EQ(walk.outcome, DirectoryWalk::Outcome::kUnresolved);
  EXPECT_EQ(static_cast<std::size_t>(lookups), kMaxDirectoryDepth);

  // A chain within the bound still resolves.
  rows[name(5)] = u"INSTALLDIR";
  EXPECT_EQ(Walk(rows, name(0)).relativeFolder, u"D5\\D4\\D3\\D2\\D1\\D0");
}

TEST(TargetPath, RefusesEveryPieceThatLeavesTheTarget) {
  const std::u16string target = u"C:\\Users\\u\\AppData\\KuvClient\\Bin";
  const struct {
    std::u16string folder;
    std::u16string name;
    MemberTarget::Outcome outcome;
  } cases[] = {
      {u"", u"Varnel.exe", MemberTarget::Outcome::kPlaced},
      {u"Languages\\Help", u"help.idx", MemberTarget::Outcome::kPlaced},
      {u"", u"sub\\x.txt", MemberTarget::Outcome::kPlaced},
      {u"", u"x' OR 'a'='a", MemberTarget::Outcome::kPlaced},
      {u"", u"a..b.txt", MemberTarget::Outcome::kPlaced},
      {u"", u"..\\..\\..\\Start Menu\\Programs\\Startup\\x.exe", MemberTarget::Outcome::kNotConfined},
      {u"", u"../../x.exe", MemberTarget::Outcome::kNotConfined},
      {u"", u"sub\\..\\..\\x.exe", MemberTarget::Outcome::kNotConfined},
      {u"..", u"x.txt", MemberTarget::Outcome::kNotConfined},
      {u"Up\\..", u"x.txt", MemberTarget::Outcome::kNotConfined},
      {u"", u"C:\\x.txt", MemberTarget::Outcome::kNotConfined},
      {u"", u"C:x.txt", MemberTarget::Outcome::kNotConfined},
      {u"", u"fine.txt:hidden", MemberTarget::Outcome::kNotConfined},
      {u"", u"\\x.txt", MemberTarget::Outcome::kNotConfined},
      {u"", u"\\\\?\\C:\\x.txt", MemberTarget::Outcome::kNotConfined},
      {u"", u"\\\\server\\share\\x.txt", MemberTarget::Outcome::kNotConfined},
      {u"", u"...", MemberTarget::Outcome::kNotConfined},
      {u"", u". .", MemberTarget::Outcome::kNotConfined},
      {u"", u".", MemberTarget::Outcome::kNotConfined},
      {u"", u"", MemberTarget::Outcome::kNotConfined},
      {u"", u"NUL", MemberTarget::Outcome::kNotConfined},
      {u"", u"con.txt", MemberTarget::Outcome::kNotConfined},
      {u"", u"Com1 ", MemberTarget::Outcome::kNotConfined},
      {u"", u"COM10", MemberTarget::Outcome::kPlaced},
      {u"", u"COM\u00B2.txt", MemberTarget::Outcome::kNotConfined},  // superscript digits name the ports too
      {u"Lpt\u00B9", u"x.txt", MemberTarget::Outcome::kNotConfined},
      {u"", u"COM\u2074", MemberTarget::Outcome::kPlaced},
      {u"", u"CONSOLE.txt", MemberTarget::Outcome::kPlaced},
      {u"", u"tab\tname", MemberTarget::Outcome::kNotConfined},
      {u"a\\\\b", u"x.txt", MemberTarget::Outcome::kNotConfined},
      {u"", std::u16string(300, u'n'), MemberTarget::Outcome::kTooLong},
  };
  for (const auto& row : cases) {
    const MemberTarget placed = ComposeMemberTarget(target, row.folder, row.name);
    EXPECT_EQ(placed.outcome, row.outcome) << std::string(row.folder.begin(), row.folder.end()) << " | "
                                           << std::string(row.name.begin(), row.name.end());
    if (placed.outcome == MemberTarget::Outcome::kPlaced) {
      EXPECT_EQ(placed.path.compare(0, target.size() + 1, target + u"\\"), 0);
    } else {
      EXPECT_TRUE(placed.path.empty());
    }
  }
  EXPECT_EQ(ComposeMemberTarget(target, u"Languages", u"KuvDEU.dll").path, target + u"\\Languages\\KuvDEU.dll");
  EXPECT_EQ(ComposeMemberTarget(u"C:\\T\\", u"", u"x").path, u"C:\\T\\x");
  EXPECT_EQ(ComposeMemberTarget(u"", u"", u"x").outcome, MemberTarget::Outcome::kNotConfined);
}

TEST(TargetPath, FitsExactly259UnitsAndNotOneMore) {
  const std::u16string target = u"C:\\T";  // 4 units, then a backslash
  const std::u16string fits(259 - 5, u'n');
  EXPECT_EQ(ComposeMemberTarget(target, u"", fits).outcome, MemberTarget::Outcome::kPlaced);
  EXPECT_EQ(ComposeMemberTarget(target, u"", fits + u"n").outcome, MemberTarget::Outcome::kTooLong);
  EXPECT_EQ(ComposeMemberTarget(target, std::u16string(200, u'd'), std::u16string(53, u'n')).outcome,
            MemberTarget::Outcome::kPlaced);
  EXPECT_EQ(ComposeMemberTarget(target, std::u16string(200, u'd'), std::u16string(54, u'n')).outcome,
            MemberTarget::Outcome::kTooLong);
}

}  // namespace
}  // namespace gantry
