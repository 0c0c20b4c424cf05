#include "windows/discovery/version_reader.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <cwchar>
#include <memory>
#include <new>

#include "windows/discovery/client_locator.h"
#include "windows/shared/wide_text.h"

namespace gantry {

std::optional<std::wstring> ReadClientFileVersion() {
  const std::optional<std::wstring> program = FindAssociatedClient();
  if (!program) return std::nullopt;

  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(program->c_str(), &ignored);
  if (size == 0) return std::nullopt;
  std::unique_ptr<BYTE[]> block(new (std::nothrow) BYTE[size]);
  if (!block) return std::nullopt;
  if (!GetFileVersionInfoW(program->c_str(), 0, size, block.get())) return std::nullopt;

  // One translation: its own table. None, or several: the user's language
  // with the UTF-16 code page.
  std::uint16_t language = GetUserDefaultLangID();
  std::uint16_t codePage = kUnicodeCodePage;
  void* translation = nullptr;
  UINT translationBytes = 0;
  if (VerQueryValueW(block.get(), L"\\VarFileInfo\\Translation", &translation, &translationBytes) &&
      translation != nullptr && translationBytes == 4) {
    DWORD entry = 0;
    std::memcpy(&entry, translation, sizeof entry);
    language = LOWORD(entry);
    codePage = HIWORD(entry);
  }

  const std::wstring query = ToWide(FileVersionQuery(language, codePage));
  void* text = nullptr;
  UINT textUnits = 0;
  if (!VerQueryValueW(block.get(), query.c_str(), &text, &textUnits)) return std::nullopt;
  if (text == nullptr || textUnits == 0) return std::wstring();
  const wchar_t* units = static_cast<const wchar_t*>(text);
  const std::size_t length = wcsnlen(units, textUnits);
  if (length >= kVersionTextCapacity) return std::nullopt;
  return std::wstring(units, length);
}

bool ReadClientVersion(ClientVersion& version) {
  const std::optional<std::wstring> text = ReadClientFileVersion();
  if (!text) return false;
  version = ParseClientVersion(AsUtf16(*text));
  return true;
}

int ClientInstallationState() {
  if (!ReadClientFileVersion()) return 0;
  return IsBasicClientPresent() ? 2 : 1;
}

}  // namespace gantry
