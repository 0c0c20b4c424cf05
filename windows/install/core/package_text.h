// Text rules of the client package's tables, free of any platform call: the
// long file name, and the walk from a Directory key up to the target folder.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace gantry {

// A FileName column holds "short|long" or one name: the text after the first
// bar, or the whole text when there is none (a second bar stays in the name).
std::u16string_view LongFileName(std::u16string_view fileName);

// The Directory key that stands for the target folder itself.
inline constexpr std::u16string_view kInstallDirKey = u"INSTALLDIR";

// No real package nests folders this deep; a longer chain cannot fit a
// 260-unit path anyway (every level adds at least two units).
inline constexpr std::size_t kMaxDirectoryDepth = 128;

// One level of the walk: the parent of a Directory key.
struct DirectoryParent {
  enum class Outcome { kFound, kNoRow, kFailed } outcome = Outcome::kNoRow;
  std::u16string parent;
};
using DirectoryParentLookup = std::function<DirectoryParent(std::u16string_view key)>;

// Where a Directory key lies below the target folder.
struct DirectoryWalk {
  // kResolved: `relativeFolder` holds the keys from the top level down,
  // joined by backslashes (empty for the target folder itself). kUnresolved:
  // a key without a row, a loop or a chain beyond kMaxDirectoryDepth.
  // kFailed: a lookup failed (the lookup recorded why).
  enum class Outcome { kResolved, kUnresolved, kFailed } outcome = Outcome::kUnresolved;
  std::u16string relativeFolder;
};

// Walks up from `key` until "INSTALLDIR", an empty parent or a row that is
// its own parent (a root, like an empty parent). Iterative: a hostile table
// cannot exhaust the stack.
DirectoryWalk WalkDirectoryChain(std::u16string_view key, const DirectoryParentLookup& lookUpParent);

}  // namespace gantry
