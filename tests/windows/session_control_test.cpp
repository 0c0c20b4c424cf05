// Session control under Wine: questions and commands between the library and
// real client windows of test clients running in processes of their own.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/windows/harness/session_client.h"
#include "tests/windows/harness/test_support.h"
#include "windows/session/session_control.h"

namespace gantry::testing {
namespace {

class SessionControlTest : public GantryTest {
 protected:
  void SetUp() override { ASSERT_FALSE(IsAnySession()) << "a client window left over from elsewhere"; }

  std::wstring LogPath() const { return scratch_ / L"messages.log"; }

  ScratchFolder scratch_{L"gantry-session-control"};
};

std::string Line(int window, int code, long long parameter) {
  return "window=" + std::to_string(window) + " code=" + std::to_string(code) +
         " param=" + std::to_string(static_cast<int>(parameter)) + " lparam=" + std::to_string(parameter);
}

TEST_F(SessionControlTest, NoClientWindowQuestionsAnswerNoAndCommandsStillSucceed) {
  EXPECT_FALSE(IsAnySession());
  EXPECT_FALSE(IsAnyNativeDesktopSessions());
  EXPECT_FALSE(IsFarmSessions(7));
  EXPECT_EQ(GetDesktopState(7), 2);
  EXPECT_TRUE(LogoffAllSessions());
  EXPECT_TRUE(DisconnectAllSessions());
  EXPECT_TRUE(LogOffFarmSessions(7));
  EXPECT_TRUE(DisconnectFarmSessions(7));
}

TEST_F(SessionControlTest, WindowsAreAskedInEnumerationOrderUntilOneAnswersYes) {
  ClientWindowsProcess client({{0, 0}, {1, 0}}, LogPath());
  ASSERT_TRUE(client.ready());
  ASSERT_EQ(ClientWindowNumbersInOrder(client.processId()), (std::vector<int>{1, 2}));
  EXPECT_EQ(CollectClientWindows().size(), 2u);

  EXPECT_TRUE(IsAnySession());
  EXPECT_TRUE(IsFarmSessions(42));
  EXPECT_EQ(ReadLogLines(LogPath()), (std::vector<std::string>{Line(1, 6, 42), Line(2, 6, 42)}));
  EXPECT_EQ(GetDesktopState(-5), 1);
  EXPECT_EQ(ReadLogLines(LogPath()).size(), 4u);
  EXPECT_EQ(ReadLogLines(LogPath()).back(), Line(2, 6, -5));
  // Code 12 answered no by both: asked both, answer no.
  EXPECT_FALSE(IsAnyNativeDesktopSessions());
  const std::vector<std::string> lines = ReadLogLines(LogPath());
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[4], Line(1, 12, 0));
  EXPECT_EQ(lines[5], Line(2, 12, 0));
}

TEST_F(SessionControlTest, AFirstYesMeansTheSecondWindowIsNotAsked) {
  ClientWindowsProcess client({{1, 1}, {1, 1}}, LogPath());
  ASSERT_TRUE(client.ready());
  ASSERT_EQ(ClientWindowNumbersInOrder(client.processId()), (std::vector<int>{1, 2}));
  EXPECT_TRUE(IsFarmSessions(3));
  EXPECT_TRUE(IsAnyNativeDesktopSessions());
  EXPECT_EQ(ReadLogLines(LogPath()), (std::vector<std::string>{Line(1, 6, 3), Line(1, 12, 0)}));
}

TEST_F(SessionControlTest, FarmAndNativeDesktopQuestionsAreAnsweredApart) {
  struct Row {
    const char* name;
    ClientWindowAnswers answers;
    bool farm;
    bool nativeDesktop;
  };
  const Row rows[] = {
      {"native desktop sessions only", {0, 1}, false, true},
      {"farm sessions only", {1, 0}, true, false},
      {"any nonzero answer is yes", {-1, 2}, true, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ClientWindowsProcess client({row.answers}, LogPath());
    ASSERT_TRUE(client.ready());
    EXPECT_EQ(IsFarmSessions(9), row.farm);
    EXPECT_EQ(GetDesktopState(9), row.farm ? 1 : 2);
    EXPECT_EQ(IsAnyNativeDesktopSessions(), row.nativeDesktop);
  }
}

TEST_F(SessionControlTest, EachCommandReachesTheClientWithItsCodeAndFarm) {
  ClientWindowsProcess client({{0, 0}}, LogPath());
  ASSERT_TRUE(client.ready());
  EXPECT_TRUE(LogoffAllSessions());
  EXPECT_TRUE(DisconnectAllSessions());
  EXPECT_TRUE(LogOffFarmSessions(-1));
  EXPECT_TRUE(DisconnectFarmSessions(0x7FFFFFFF));
  EXPECT_TRUE(LogOffFarmSessions(-2147483647 - 1));
  // Posted: they arrive in the order they were posted, a little later.
  const std::vector<std::string> expected = {Line(1, 0, 0), Line(1, 1, 0), Line(1, 2, -1),
                                             Line(1, 4, 0x7FFFFFFF), Line(1, 2, -2147483647LL - 1)};
  EXPECT_EQ(ReadLogLines(LogPath(), expected.size(), 10000), expected);
}

TEST_F(SessionControlTest, AHungClientWindowIsPassedOverWithoutWaitingForTheTimeOut) {
  ClientWindowsProcess client({{1, 1}}, LogPath(), /*hang=*/true);
  ASSERT_TRUE(client.ready());
  EXPECT_TRUE(IsAnySession()) << "nothing is sent to find a window";
  // Windows counts a thread as hung once it has not taken a message for 5 s.
  Sleep(5500);
  const DWORD start = GetTickCount();
  EXPECT_FALSE(IsFarmSessions(1));
  EXPECT_EQ(GetDesktopState(1), 2);
  EXPECT_FALSE(IsAnyNativeDesktopSessions());
  const DWORD elapsed = GetTickCount() - start;
  RecordProperty("three_questions_to_a_hung_window_ms", static_cast<int>(elapsed));
  std::printf("three questions to a hung client window took %lu ms\n", static_cast<unsigned long>(elapsed));
  EXPECT_LT(elapsed, 20000u) << "a hung window must not hold a question for the 60 s time-out";
  EXPECT_TRUE(ReadLogLines(LogPath()).empty());
}

}  // namespace
}  // namespace gantry::testing
