#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "windows/session/core/session_start_text.h"

namespace gantry {
namespace {

TEST(ConnectionFileName, OnlyNamesBelowTheTemporaryFolderAreConfined) {
  const std::pair<std::u16string, bool> rows[] = {
      {u"session.kuva", true},
      {u"sub\\session.kuva", true},
      {u"sub/deeper/session.kuva", true},
      {u".\\session.kuva", true},
      {u"..session.kuva", true},   // a name that only begins with dots
      {u"session..kuva", true},
      {u"a..\\b", true},
      {u"CONSOLE.kuva", true},     // not a device name
      {u"COM0", true},
      {u"", false},
      {u"..", false},
      {u"..\\x.bat", false},
      {u"../x.bat", false},
      {u"sub\\..\\..\\x.bat", false},
      {u"sub\\..", false},
      {u"...\\x", false},
      {u".. \\x", false},
      {u". .\\x", false},
      {u"\\x", false},
      {u"/x", false},
      {u"\\\\server\\share\\x", false},
      {u"\\\\?\\C:\\x", false},
      {u"C:\\x", false},
      {u"C:x", false},
      {u"x:stream", false},
      {u"x::$DATA", false},
      {u"sub\\", false},
      {u"sub/", false},
      {u"CON", false},
      {u"con.kuva", false},
      {u"sub\\Nul", false},
      {u"AUX .txt", false},
      {u"lpt9", false},
      {u"COM1.x.y", false},
      {u"COM\u00B9", false},  // superscript digits name the ports too
      {u"lpt\u00B3.kuva", false},
      {u"uL\\Lpt\u00B3\\lpt)\\lKnne", false},  // found by the fuzzer
      {u"COM\u2074", true},   // a superscript four is no port
      {u"CONOUT$", false},
      {u"sub\\conin$.kuva", false},
      {std::u16string(u"a\0b", 3), false},
  };
  for (const auto& [name, confined] : rows) {
    EXPECT_EQ(IsConfinedConnectionFileName(name), confined) << std::string(name.begin(), name.end());
  }
}

TEST(ConnectionFileName, PathMustFitTwoHundredSixtyUnits) {
  const std::u16string folder = u"C:\\Temp\\";
  const std::u16string fits(259 - folder.size(), u'n');
  EXPECT_EQ(ComposeConnectionFilePath(folder, fits), folder + fits);
  EXPECT_EQ(ComposeConnectionFilePath(folder, fits + u"n"), std::nullopt);
  EXPECT_EQ(ComposeConnectionFilePath(folder, u"..\\x"), std::nullopt);
  EXPECT_EQ(ComposeConnectionFilePath(u"", u"x"), std::nullopt);
  EXPECT_EQ(ComposeConnectionFilePath(u"C:\\Users\\Test User\\Temp\\", u"s.kuva"), u"C:\\Users\\Test User\\Temp\\s.kuva");
}

TEST(SessionCommandLine, QuotesBothPathsAndFitsOneThousandTwentyFourUnits) {
  EXPECT_EQ(ComposeSessionCommandLine(u"C:\\Program Files\\Kuv\\Varnel.exe", u"C:\\Users\\Test User\\Temp\\s.kuva"),
            u"\"C:\\Program Files\\Kuv\\Varnel.exe\" \"C:\\Users\\Test User\\Temp\\s.kuva\"");
  const std::u16string file = u"C:\\T\\s";
  const std::u16string program(1023 - 5 - file.size(), u'p');
  EXPECT_EQ(ComposeSessionCommandLine(program, file)->size(), 1023u);
  EXPECT_EQ(ComposeSessionCommandLine(program + u"p", file), std::nullopt);
  // Parts that cannot be quoted soundly.
  EXPECT_EQ(ComposeSessionCommandLine(u"\"C:\\Kuv\\Varnel.exe", file), std::nullopt);
  EXPECT_EQ(ComposeSessionCommandLine(u"C:\\Kuv\\Varnel.exe", u"C:\\T\\"), std::nullopt);
  EXPECT_EQ(ComposeSessionCommandLine(u"", file), std::nullopt);
}

}  // namespace
}  // namespace gantry
