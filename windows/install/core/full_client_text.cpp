#include "windows/install/core/full_client_text.h"

#include "windows/shared/core/path_text.h"

namespace gantry {

namespace {
bool IsAbsoluteFolder(std::u16string_view folder) {
  const bool drive = folder.size() >= 3 && folder[1] == u':' && (folder[2] == u'\\' || folder[2] == u'/');
  const bool unc = folder.size() >= 3 && folder[0] == u'\\' && folder[1] == u'\\';
  return drive || unc;
}
}  // namespace

std::optional<std::u16string> InstallerProgramPath(std::u16string_view systemFolder) {
  if (!IsAbsoluteFolder(systemFolder) || systemFolder.find(u'"') != std::u16string_view::npos) return std::nullopt;
  return JoinPath(systemFolder, u"msiexec.exe");
}

std::u16string MakeInstallerProgramCommandLine(std::u16string_view programPath, std::u16string_view packagePath,
                                               bool quiet) {
  std::u16string line = u"\"";
  line.append(programPath);
  line.append(u"\" /i \"");
  line.append(packagePath);
  line.append(u"\"");
  if (quiet) line.append(u" /quiet");
  return line;
}

std::u16string FormatInstallerErrorText(std::u16string_view templateText, std::uint32_t result) {
  std::u16string number;
  do {
    number.insert(number.begin(), static_cast<char16_t>(u'0' + result % 10));
    result /= 10;
  } while (result != 0);

  std::u16string text;
  for (std::size_t at = 0; at < templateText.size();) {
    if (templateText.compare(at, 2, u"%1") == 0) {
      text.append(number);
      at += 2;
    } else {
      text.push_back(templateText[at++]);
    }
  }
  return text;
}

}  // namespace gantry
