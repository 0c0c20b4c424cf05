#include "windows/install/core/full_client_text.h"

namespace gantry {

std::u16string MakeInstallerProgramCommandLine(std::u16string_view packagePath, bool quiet) {
  std::u16string line = u"\"msiexec\" /i \"";
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
