// The basic client's paths: its folder B, its client program E and its
// removal script S. All three must fit 260 units whole; a path that does not
// is never cut into another one, the caller gets nothing instead.
#pragma once

#include <optional>
#include <string>

namespace gantry {

struct BasicClientPaths {
  std::wstring folder;   // B, "<application data>\KuvClient\Bin"
  std::wstring program;  // E, B\Varnel.exe
  std::wstring script;   // S, B\RemoveBasicClient.bat
};

// Builds the three paths (creating the client folder above B when missing).
std::optional<BasicClientPaths> MakeBasicClientPaths();

}  // namespace gantry
