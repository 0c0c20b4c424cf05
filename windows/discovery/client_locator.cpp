#include "windows/discovery/client_locator.h"

#include <windows.h>
#include <shlobj.h>

#include <cwchar>

#include "windows/discovery/core/association_command.h"
#include "windows/shared/wide_text.h"

namespace gantry {
namespace {

// The association is read with a size of 1024 bytes, so a value of 512
// characters or more does not fit and counts as no association. The buffer
// is larger and zeroed, so the text read is always terminated.
constexpr DWORD kAssociationReadBytes = 1024;
constexpr std::size_t kAssociationBufferUnits = 1024;

std::optional<std::wstring> ReadClassesDefaultValue(std::u16string_view subkey) {
  wchar_t value[kAssociationBufferUnits] = {};
  LONG size = kAssociationReadBytes;
  const std::wstring name = ToWide(subkey);
  if (RegQueryValueW(HKEY_CLASSES_ROOT, name.c_str(), value, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  if (size == 0) return std::nullopt;
  return std::wstring(value, wcsnlen(value, kAssociationBufferUnits));
}

}  // namespace

std::optional<std::wstring> FindAssociatedClient() {
  const std::optional<std::wstring> progId = ReadClassesDefaultValue(kConnectionFileExtension);
  if (!progId || !IsClientProgId(AsUtf16(*progId))) return std::nullopt;
  const std::optional<std::wstring> command = ReadClassesDefaultValue(kClientOpenCommandKey);
  if (!command) return std::nullopt;
  const std::optional<std::u16string> program = ClientProgramFromOpenCommand(AsUtf16(*command));
  if (!program) return std::nullopt;
  return ToWide(*program);
}

std::optional<std::wstring> MakeClientFolderPath() {
  wchar_t appData[MAX_PATH] = {};
  if (!SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, TRUE) || appData[0] == L'\0') {
    return std::nullopt;
  }
  const std::optional<std::u16string> folder =
      ConcatBounded(AsUtf16(std::wstring_view(appData, wcsnlen(appData, MAX_PATH))), u"\\KuvClient\\");
  if (!folder) return std::nullopt;
  std::wstring path = ToWide(*folder);
  CreateDirectoryW(path.c_str(), nullptr);  // an existing folder is the normal case
  return path;
}

std::optional<std::wstring> MakeBasicClientFolderPath(std::size_t capacity) {
  const std::optional<std::wstring> clientFolder = MakeClientFolderPath();
  if (!clientFolder) return std::nullopt;
  const std::optional<std::u16string> folder = ConcatBounded(AsUtf16(*clientFolder), u"Bin", capacity);
  if (!folder) return std::nullopt;
  return ToWide(*folder);
}

std::optional<std::wstring> MakeBasicClientProgramPath(std::size_t capacity) {
  const std::optional<std::wstring> folder = MakeBasicClientFolderPath(capacity);
  if (!folder) return std::nullopt;
  const std::optional<std::u16string> program = JoinPath(AsUtf16(*folder), u"Varnel.exe", capacity);
  if (!program) return std::nullopt;
  return ToWide(*program);
}

bool IsBasicClientPresent() {
  const std::optional<std::wstring> program = MakeBasicClientProgramPath();
  return program && GetFileAttributesW(program->c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace gantry
