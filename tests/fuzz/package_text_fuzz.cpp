// The package's table texts from a hostile package: the long file name, and
// the walk up a Directory table with loops, missing rows and deep chains.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tests/fuzz/fuzz_input.h"
#include "windows/install/core/package_text.h"

namespace gantry::fuzz {
namespace {

struct DirectoryRow {
  std::u16string key;
  std::u16string parent;
};

// The parent the table gives a key: the first row with that key. A parent
// text of "?" stands for a failed read.
DirectoryParent LookUp(const std::vector<DirectoryRow>& table, std::u16string_view key) {
  for (const DirectoryRow& row : table) {
    if (row.key != key) continue;
    if (row.parent == u"?") return {DirectoryParent::Outcome::kFailed, {}};
    return {DirectoryParent::Outcome::kFound, row.parent};
  }
  return {DirectoryParent::Outcome::kNoRow, {}};
}

std::vector<std::u16string> SplitAtBackslash(std::u16string_view text) {
  std::vector<std::u16string> parts;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find(u'\\', start)) != std::u16string_view::npos; start = end + 1) {
    parts.emplace_back(text.substr(start, end - start));
  }
  parts.emplace_back(text.substr(start));
  return parts;
}

void CheckLongFileName(std::u16string_view fileName) {
  const std::u16string_view longName = LongFileName(fileName);
  const std::size_t bar = fileName.find(u'|');
  Require(longName == (bar == std::u16string_view::npos ? fileName : fileName.substr(bar + 1)),
          "the long name is not the text after the first bar");
}

}  // namespace
}  // namespace gantry::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace gantry;
  using namespace gantry::fuzz;
  FuzzInput input(data, size);
  CheckLongFileName(input.NextText());

  // Keys are identifiers in a real table; a backslash would blur the levels
  // of the result, so it is left out here.
  auto nextKey = [&input] {
    std::u16string key = input.NextText();
    key.erase(std::remove(key.begin(), key.end(), u'\\'), key.end());
    return key;
  };
  const std::u16string start = nextKey();
  std::vector<DirectoryRow> table;
  while (!input.AtEnd()) {
    std::u16string key = nextKey();
    std::u16string parent = nextKey();
    table.push_back({std::move(key), std::move(parent)});
  }

  std::size_t lookups = 0;
  const DirectoryWalk walk = WalkDirectoryChain(start, [&](std::u16string_view key) {
    ++lookups;
    return LookUp(table, key);
  });
  Require(lookups <= kMaxDirectoryDepth + 1, "the walk looked up more rows than its depth allows");
  if (walk.outcome != DirectoryWalk::Outcome::kResolved) {
    Require(walk.relativeFolder.empty(), "an unresolved walk still has a folder");
    return 0;
  }
  if (start.empty() || start == kInstallDirKey) {
    Require(walk.relativeFolder.empty(), "the target folder's own key gave a folder");
    return 0;
  }
  // Each level is the parent of the one below it, the last is the start key,
  // and the top one's parent ends the walk.
  const std::vector<std::u16string> levels = SplitAtBackslash(walk.relativeFolder);
  Require(levels.size() <= kMaxDirectoryDepth, "more levels than the depth allows");
  Require(levels.back() == start, "the folder does not end in the start key");
  for (std::size_t i = 0; i + 1 < levels.size(); ++i) {
    const DirectoryParent parent = LookUp(table, levels[i + 1]);
    Require(parent.outcome == DirectoryParent::Outcome::kFound && parent.parent == levels[i],
            "a level is not its child's parent");
  }
  const DirectoryParent top = LookUp(table, levels.front());
  Require(top.outcome == DirectoryParent::Outcome::kFound &&
              (top.parent.empty() || top.parent == kInstallDirKey || top.parent == levels.front()),
          "the top level's parent does not end the walk");
  return 0;
}
