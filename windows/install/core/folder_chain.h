// The folder levels to create for a file about to be written: every level
// below the path's root, never the root itself. A drive root ("C:\"), a
// network share ("\\server\share\") and their "\\?\" forms are roots: the
// system refuses to create a server or share level, so a chain that started
// above the share would fail on a redirected application-data folder.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace gantry {

// The length of the path's root with its closing backslash: "C:\" 3,
// "\\server\share\" up to the backslash after the share, "\\?\C:\" 7,
// "\\?\UNC\server\share\" likewise. A share root without its closing
// backslash is the whole path. Nothing for a path without such a root
// (relative, "\folder", "C:folder", a server without a share, other "\\?\"
// and "\\.\" forms).
std::optional<std::size_t> PathRootLength(std::u16string_view path);

// For the path of a file, the lengths of its prefixes that name the folders
// leading to it, each ending in a backslash, from the first level below the
// root down to the file's own folder (a path ending in a backslash creates
// its last level too). Nothing when the path has no root.
std::optional<std::vector<std::size_t>> FolderChainLengths(std::u16string_view filePath);

}  // namespace gantry
