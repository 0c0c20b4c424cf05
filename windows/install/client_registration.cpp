#include "windows/install/client_registration.h"

#include <windows.h>

#include "windows/install/core/basic_client_registration_table.h"
#include "windows/shared/unique_resource.h"
#include "windows/shared/wide_text.h"

namespace gantry {
namespace {

// Create-or-open: an existing key keeps its other values and subkeys.
LONG OpenOrCreateKey(HKEY parent, std::u16string_view path, UniqueHkey& key) {
  const std::wstring name = ToWide(path);
  return RegCreateKeyExW(parent, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                         nullptr, key.put(), nullptr);
}

// REG_SZ with its terminating zero: (length + 1) * 2 bytes.
LONG SetString(HKEY key, const wchar_t* valueName, std::u16string_view data) {
  const std::wstring text = ToWide(data);
  return RegSetValueExW(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

// Opens or creates `path` below `parent` and writes its default value.
LONG SetDefaultValue(HKEY parent, const DefaultValueEntry& entry) {
  UniqueHkey key;
  if (const LONG result = OpenOrCreateKey(parent, entry.key, key); result != ERROR_SUCCESS) return result;
  return SetString(key.get(), nullptr, entry.data);
}

}  // namespace

int RegisterConnectionFileType(const std::wstring& program) {
  UniqueHkey contentType;
  if (OpenOrCreateKey(HKEY_CURRENT_USER, kContentTypeKey, contentType) != ERROR_SUCCESS) return 0;
  if (SetString(contentType.get(), AsWide(kContentTypeValueName).data(), kContentTypeValue) != ERROR_SUCCESS) {
    return 0;
  }
  for (const DefaultValueEntry& entry : ConnectionFileTypeDefaults(AsUtf16(program))) {
    if (SetDefaultValue(HKEY_CURRENT_USER, entry) != ERROR_SUCCESS) return 0;
  }
  return 1;
}

int RegisterUrlProtocol(const std::wstring& program) {
  UniqueHkey protocol;
  if (OpenOrCreateKey(HKEY_CURRENT_USER, kUrlProtocolKey, protocol) != ERROR_SUCCESS) return 0;
  if (SetString(protocol.get(), AsWide(kUrlProtocolValueName).data(), u"") != ERROR_SUCCESS) return 0;
  for (const DefaultValueEntry& entry : UrlProtocolDefaults(AsUtf16(program))) {
    if (SetDefaultValue(protocol.get(), entry) != ERROR_SUCCESS) return 0;
  }
  return 1;
}

}  // namespace gantry
