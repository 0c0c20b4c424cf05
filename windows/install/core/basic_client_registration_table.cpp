#include "windows/install/core/basic_client_registration_table.h"

namespace gantry {
namespace {

std::u16string Icon(std::u16string_view program) {
  return std::u16string(program) + u",0";
}

}  // namespace

std::vector<DefaultValueEntry> ConnectionFileTypeDefaults(std::u16string_view program) {
  // The shell's "open" command holds the program unquoted, as the client's
  // own registration writes it.
  return {
      {u"Software\\Classes\\Varnel.Document", u"Varnel.Document"},
      {u"Software\\Classes\\Varnel.Document\\DefaultIcon", Icon(program)},
      {u"Software\\Classes\\Varnel.Document\\shell\\open\\command", std::u16string(program) + u" %1"},
      {u"Software\\Classes\\.kuva", u"Varnel.Document"},
  };
}

std::vector<DefaultValueEntry> UrlProtocolDefaults(std::u16string_view program) {
  return {
      {u"DefaultIcon", Icon(program)},
      {u"shell", u"open"},
      {u"shell\\open", u""},
      {u"shell\\open\\command", u"\"" + std::u16string(program) + u"\" urlSchema \"%1\""},
  };
}

}  // namespace gantry
