#include "windows/install/basic_client_paths.h"

#include "windows/shared/core/path_text.h"
#include "windows/discovery/client_locator.h"
#include "windows/install/core/removal_script.h"
#include "windows/shared/wide_text.h"

namespace gantry {

std::optional<BasicClientPaths> MakeBasicClientPaths() {
  const std::optional<std::wstring> folder = MakeBasicClientFolderPath();
  if (!folder) return std::nullopt;
  const std::optional<std::u16string> program = JoinPath(AsUtf16(*folder), u"Varnel.exe");
  const std::optional<std::u16string> script = JoinPath(AsUtf16(*folder), kRemovalScriptName);
  if (!program || !script) return std::nullopt;
  return BasicClientPaths{*folder, ToWide(*program), ToWide(*script)};
}

}  // namespace gantry
