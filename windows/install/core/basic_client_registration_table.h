// The per-user registration of the basic client under
// HKEY_CURRENT_USER\Software\Classes: the connection-file type (content type,
// ProgID, extension) and the URL protocol, both naming the basic client's
// program. Every value is a REG_SZ.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace gantry {

// Opened first and held while the ProgID and extension defaults are written.
inline constexpr char16_t kContentTypeKey[] =
    u"Software\\Classes\\MIME\\Database\\Content Type\\application/x-kuva";
inline constexpr char16_t kContentTypeValueName[] = u"Extension";
inline constexpr char16_t kContentTypeValue[] = u".kuva";

// Opened first and held while its subkeys' defaults are written.
inline constexpr char16_t kUrlProtocolKey[] = u"Software\\Classes\\tavikclient";
inline constexpr char16_t kUrlProtocolValueName[] = u"URL Protocol";

// A default value to write; `key` is relative to the key the group names.
struct DefaultValueEntry {
  std::u16string key;
  std::u16string data;
};

// ProgID and extension defaults, below HKEY_CURRENT_USER, in writing order.
std::vector<DefaultValueEntry> ConnectionFileTypeDefaults(std::u16string_view program);

// Defaults of the URL protocol's subkeys, below kUrlProtocolKey, in writing order.
std::vector<DefaultValueEntry> UrlProtocolDefaults(std::u16string_view program);

}  // namespace gantry
