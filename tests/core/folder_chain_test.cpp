// Where a path's root ends, and the folder levels below it that a file's
// placement creates.
#include "windows/install/core/folder_chain.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace gantry {
namespace {

std::string Narrow(std::u16string_view text) { return std::string(text.begin(), text.end()); }

struct ChainRow {
  std::u16string_view path;
  std::optional<std::size_t> root;
  std::vector<std::u16string_view> levels;  // expected only when there is a root
};

TEST(FolderChain, EveryLevelBelowTheRootAndNoneAboveIt) {
  const ChainRow rows[] = {
      {u"C:\\Users\\Ann\\KuvClient\\Bin\\Varnel.exe", 3u,
       {u"C:\\Users\\", u"C:\\Users\\Ann\\", u"C:\\Users\\Ann\\KuvClient\\", u"C:\\Users\\Ann\\KuvClient\\Bin\\"}},
      {u"c:\\file.txt", 3u, {}},
      {u"D:\\Bin\\", 3u, {u"D:\\Bin\\"}},
      // A redirected application-data folder: never "\\server\" or "\\server\share\".
      {u"\\\\server\\share\\users\\Ann\\Bin\\a.dll", 15u,
       {u"\\\\server\\share\\users\\", u"\\\\server\\share\\users\\Ann\\", u"\\\\server\\share\\users\\Ann\\Bin\\"}},
      {u"\\\\srv\\a$\\x", 9u, {}},
      {u"\\\\server\\share", 14u, {}},
      {u"\\\\?\\C:\\Users\\Bin\\f", 7u, {u"\\\\?\\C:\\Users\\", u"\\\\?\\C:\\Users\\Bin\\"}},
      {u"\\\\?\\UNC\\server\\share\\Bin\\f", 21u, {u"\\\\?\\UNC\\server\\share\\Bin\\"}},
      {u"\\\\?\\unc\\server\\share\\Bin\\f", 21u, {u"\\\\?\\unc\\server\\share\\Bin\\"}},
      // No root the chain could start below: refused, nothing is created.
      {u"Bin\\Varnel.exe", std::nullopt, {}},
      {u"\\Users\\Bin\\f", std::nullopt, {}},
      {u"C:Bin\\f", std::nullopt, {}},
      {u"1:\\Bin\\f", std::nullopt, {}},
      {u"\\\\server", std::nullopt, {}},
      {u"\\\\server\\", std::nullopt, {}},
      {u"\\\\server\\\\share\\f", std::nullopt, {}},
      {u"\\\\\\share\\f", std::nullopt, {}},
      {u"\\\\.\\C:\\Bin\\f", std::nullopt, {}},
      {u"\\\\?\\Volume{1}\\Bin\\f", std::nullopt, {}},
      {u"\\\\?\\UNC\\server", std::nullopt, {}},
      {u"\\\\?\\C:", std::nullopt, {}},
      {u"", std::nullopt, {}},
  };
  for (const ChainRow& row : rows) {
    SCOPED_TRACE(Narrow(row.path));
    EXPECT_EQ(PathRootLength(row.path), row.root);
    const std::optional<std::vector<std::size_t>> chain = FolderChainLengths(row.path);
    ASSERT_EQ(chain.has_value(), row.root.has_value());
    if (!chain) continue;
    std::vector<std::u16string_view> levels;
    for (std::size_t length : *chain) levels.push_back(row.path.substr(0, length));
    EXPECT_EQ(levels, row.levels);
  }
}

}  // namespace
}  // namespace gantry
