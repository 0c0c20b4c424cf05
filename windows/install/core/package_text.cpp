#include "package_text.h"

#include <algorithm>
#include <vector>

namespace gantry {

std::u16string_view LongFileName(std::u16string_view fileName) {
  const auto bar = fileName.find(u'|');
  return bar == std::u16string_view::npos ? fileName : fileName.substr(bar + 1);
}

namespace {

bool IsTargetFolderKey(std::u16string_view key) { return key.empty() || key == kInstallDirKey; }

}  // namespace

DirectoryWalk WalkDirectoryChain(std::u16string_view key, const DirectoryParentLookup& lookUpParent) {
  using Walk = DirectoryWalk::Outcome;
  std::vector<std::u16string> levels;  // from `key` upwards
  std::u16string current(key);
  while (!IsTargetFolderKey(current)) {
    if (levels.size() >= kMaxDirectoryDepth) return {Walk::kUnresolved, {}};
    if (std::find(levels.begin(), levels.end(), current) != levels.end()) {
      return {Walk::kUnresolved, {}};  // a loop of two or more rows
    }
    DirectoryParent parent = lookUpParent(current);
    if (parent.outcome == DirectoryParent::Outcome::kFailed) return {Walk::kFailed, {}};
    if (parent.outcome == DirectoryParent::Outcome::kNoRow) return {Walk::kUnresolved, {}};
    levels.push_back(current);
    if (parent.parent == current) break;  // its own parent: a root
    current = std::move(parent.parent);
  }
  std::u16string relative;
  for (auto level = levels.rbegin(); level != levels.rend(); ++level) {
    if (!relative.empty()) relative.push_back(u'\\');
    relative.append(*level);
  }
  return {Walk::kResolved, relative};
}

}  // namespace gantry
