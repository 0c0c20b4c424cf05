#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>

#include "windows/shared/core/path_text.h"
#include "windows/discovery/core/association_command.h"
#include "windows/discovery/core/version_text.h"

namespace gantry {
namespace {

TEST(AssociationCommand, CutsAfterTheFirstExeAndDropsALeadingQuote) {
  const std::pair<std::u16string, std::optional<std::u16string>> rows[] = {
      {u"C:\\Kuv\\Varnel.exe %1", u"C:\\Kuv\\Varnel.exe"},
      {u"\"C:\\Program Files\\Kuv\\Varnel.exe\" \"%1\"", u"C:\\Program Files\\Kuv\\Varnel.exe"},
      {u"C:\\a.exe.d\\Varnel.exe", u"C:\\a.exe"},
      {u"C:\\Kuv\\Varnel.EXE %1", std::nullopt},
      {u"\"", std::nullopt},
      {u"", std::nullopt},
      {u".exe", u".exe"},
  };
  for (const auto& [command, program] : rows) {
    EXPECT_EQ(ClientProgramFromOpenCommand(command), program);
  }
  EXPECT_TRUE(IsClientProgId(u"Varnel.Document"));
  EXPECT_FALSE(IsClientProgId(u"Varnel.document"));
  EXPECT_FALSE(IsClientProgId(u"Varnel.Document "));
}

struct VersionRow {
  std::u16string text;
  ClientVersion expected;
};

TEST(VersionText, SubTextAndNumberRules) {
  const VersionRow rows[] = {
      {u"10.1 (Build 1238)", {10, 1, 1238}},
      {u"10.1.1238", {10, 0, 0}},
      {u"10.1 (1238)", {10, 1, 10}},  // no second blank: the build is read from the start
      {u"", {0, 0, 0}},
      {u"11.0 (Build 5000)", {11, 0, 5000}},
      {u"10.2 Build 900)", {10, 2, 900}},
      {u" 7. 8 x -9)", {7, 0, 8}},  // the first blank is before the dot: minor gets a negative count
      {u"99999999999.1 (Build 1)", {std::numeric_limits<std::int32_t>::max(), 1, 1}},
      {u"-99999999999.1 (Build 1)", {std::numeric_limits<std::int32_t>::min(), 1, 1}},
      {u"10.1 (Build 1238", {10, 1, 0}},  // no ")": close is -1, so the count is negative
      {u"10", {0, 0, 0}},
      {u"10.1 ", {10, 1, 0}},
  };
  for (const VersionRow& row : rows) {
    SCOPED_TRACE(std::string(row.text.begin(), row.text.end()));
    const ClientVersion v = ParseClientVersion(row.text);
    EXPECT_EQ(v.major, row.expected.major);
    EXPECT_EQ(v.minor, row.expected.minor);
    EXPECT_EQ(v.build, row.expected.build);
  }
}

TEST(VersionText, WcstolRules) {
  EXPECT_EQ(ParseDecimalLikeWcstol(u"  \t42abc"), 42);
  EXPECT_EQ(ParseDecimalLikeWcstol(u"+7"), 7);
  EXPECT_EQ(ParseDecimalLikeWcstol(u"-2147483648"), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(ParseDecimalLikeWcstol(u"2147483647"), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(ParseDecimalLikeWcstol(u"2147483648"), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(ParseDecimalLikeWcstol(u"-"), 0);
  EXPECT_EQ(ParseDecimalLikeWcstol(u"x1"), 0);
  EXPECT_EQ(ParseDecimalLikeWcstol(std::u16string(5000, u'9')), std::numeric_limits<std::int32_t>::max());
}

TEST(VersionText, SelfRegistrationTestComparesEachNumberOnItsOwn) {
  EXPECT_TRUE(PassesSelfRegistrationTest({10, 1, 1238}));
  EXPECT_TRUE(PassesSelfRegistrationTest({12, 5, 9000}));
  EXPECT_FALSE(PassesSelfRegistrationTest({11, 0, 5000}));
  EXPECT_FALSE(PassesSelfRegistrationTest({10, 2, 900}));
  EXPECT_FALSE(PassesSelfRegistrationTest({9, 9, 9999}));
  EXPECT_EQ(FileVersionQuery(0x0409, 0x04B0), u"\\StringFileInfo\\040904B0\\FileVersion");
  EXPECT_EQ(FileVersionQuery(0x0c0a, 0x04e4), u"\\StringFileInfo\\0C0A04E4\\FileVersion");
}

TEST(PathText, CompositionFitsOrFailsNeverCuts) {
  const std::u16string base(250, u'a');
  EXPECT_EQ(ConcatBounded(base, u"123456789"), base + u"123456789");  // 259 units + terminator
  EXPECT_FALSE(ConcatBounded(base, u"1234567890").has_value());      // 260 units: no room for the terminator
  EXPECT_EQ(JoinPath(u"C:\\B", u"Varnel.exe"), u"C:\\B\\Varnel.exe");
  EXPECT_EQ(JoinPath(u"C:\\B\\", u"Varnel.exe"), u"C:\\B\\Varnel.exe");
  EXPECT_EQ(JoinPath(u"C:\\B", u"\\Varnel.exe"), u"C:\\B\\Varnel.exe");
  EXPECT_FALSE(JoinPath(base, u"Varnel.exe").has_value());
  EXPECT_TRUE(JoinPath(u"C:\\B", u"x", 7).has_value());
  EXPECT_FALSE(JoinPath(u"C:\\B", u"x", 6).has_value());
}

}  // namespace
}  // namespace gantry
