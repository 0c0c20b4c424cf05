#include "windows/install/core/folder_chain.h"

namespace gantry {
namespace {

bool IsDriveLetter(char16_t unit) { return (unit >= u'A' && unit <= u'Z') || (unit >= u'a' && unit <= u'z'); }

// "X:\" at `at`: the length of the root up to `at` plus 3.
std::optional<std::size_t> DriveRootEnd(std::u16string_view path, std::size_t at) {
  if (path.size() < at + 3 || !IsDriveLetter(path[at]) || path[at + 1] != u':' || path[at + 2] != u'\\') {
    return std::nullopt;
  }
  return at + 3;
}

// "server\share\" at `at`, both names non-empty.
std::optional<std::size_t> ShareRootEnd(std::u16string_view path, std::size_t at) {
  const std::size_t serverEnd = path.find(u'\\', at);
  if (serverEnd == std::u16string_view::npos || serverEnd == at) return std::nullopt;
  const std::size_t shareEnd = path.find(u'\\', serverEnd + 1);
  if (shareEnd == serverEnd + 1 || serverEnd + 1 == path.size()) return std::nullopt;
  if (shareEnd == std::u16string_view::npos) return path.size();
  return shareEnd + 1;
}

bool StartsWithIgnoringAsciiCase(std::u16string_view text, std::u16string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char16_t unit = text[i];
    if (unit >= u'a' && unit <= u'z') unit = static_cast<char16_t>(unit - u'a' + u'A');
    if (unit != prefix[i]) return false;
  }
  return true;
}

}  // namespace

std::optional<std::size_t> PathRootLength(std::u16string_view path) {
  constexpr std::u16string_view kVerbatim = u"\\\\?\\";
  constexpr std::u16string_view kVerbatimShare = u"\\\\?\\UNC\\";
  if (path.substr(0, kVerbatim.size()) == kVerbatim) {
    if (StartsWithIgnoringAsciiCase(path, kVerbatimShare)) return ShareRootEnd(path, kVerbatimShare.size());
    return DriveRootEnd(path, kVerbatim.size());
  }
  if (path.substr(0, 2) == u"\\\\") {
    // "\\.\" names devices, not folders.
    if (path.size() >= 4 && path[2] == u'.' && path[3] == u'\\') return std::nullopt;
    return ShareRootEnd(path, 2);
  }
  return DriveRootEnd(path, 0);
}

std::optional<std::vector<std::size_t>> FolderChainLengths(std::u16string_view filePath) {
  const std::optional<std::size_t> root = PathRootLength(filePath);
  if (!root) return std::nullopt;
  std::vector<std::size_t> levels;
  for (std::size_t backslash = filePath.find(u'\\', *root); backslash != std::u16string_view::npos;
       backslash = filePath.find(u'\\', backslash + 1)) {
    levels.push_back(backslash + 1);
  }
  return levels;
}

}  // namespace gantry
