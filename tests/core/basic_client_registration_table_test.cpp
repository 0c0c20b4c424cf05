// The per-user registration's values for a client program path.
#include "windows/install/core/basic_client_registration_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace gantry {

// Found by argument lookup from std::vector's comparison.
bool operator==(const DefaultValueEntry& a, const DefaultValueEntry& b) {
  return a.key == b.key && a.data == b.data;
}

void PrintTo(const DefaultValueEntry& e, std::ostream* os) {
  *os << std::string(e.key.begin(), e.key.end()) << " = " << std::string(e.data.begin(), e.data.end());
}

namespace {

TEST(RegistrationTable, ProgramPathWithABlank) {
  const std::u16string program = u"C:\\Users\\Test User\\AppData\\Roaming\\KuvClient\\Bin\\Varnel.exe";
  const std::vector<DefaultValueEntry> fileType = {
      {u"Software\\Classes\\Varnel.Document", u"Varnel.Document"},
      {u"Software\\Classes\\Varnel.Document\\DefaultIcon", program + u",0"},
      {u"Software\\Classes\\Varnel.Document\\shell\\open\\command", program + u" %1"},
      {u"Software\\Classes\\.kuva", u"Varnel.Document"},
  };
  EXPECT_EQ(ConnectionFileTypeDefaults(program), fileType);
  const std::vector<DefaultValueEntry> protocol = {
      {u"DefaultIcon", program + u",0"},
      {u"shell", u"open"},
      {u"shell\\open", u""},
      {u"shell\\open\\command", u"\"" + program + u"\" urlSchema \"%1\""},
  };
  EXPECT_EQ(UrlProtocolDefaults(program), protocol);
  // The command's tail is the 16 characters the shell hands the URL with.
  const std::u16string command = UrlProtocolDefaults(program)[3].data;
  EXPECT_EQ(command.substr(command.size() - 16), u"\" urlSchema \"%1\"");
}

}  // namespace
}  // namespace gantry
