// Several Java threads calling at once: 8 threads, released together, each
// make a fixed mix of calls (discovery, questions to a running client with
// windows, commands, session starts, extension restoration with no records).
// The same mix run on one thread first gives every expected result; the
// concurrent run must give the same result call for call, write every
// connection file whole, start every client once, and deliver every question
// and command to the client windows under the registered message.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/windows/harness/basic_client_support.h"
#include "tests/windows/harness/session_client.h"
#include "tests/windows/harness/test_support.h"
#include "windows/shared/unique_resource.h"

namespace gantry::testing {
namespace {

constexpr int kThreads = 8;
constexpr int kCallsPerThread = 200;
// The client a session start runs; it exits at once.
constexpr wchar_t kStartedClient[] = L"varnel-11.0-build5000";
constexpr wchar_t kRecordsKey[] = L"Software\\Kuv\\FileExts";

enum class Method {
  GetNativeVersion,
  IsKuvClientInstalled,
  GetKuvClientVersion,
  GetUserKuvFolder,
  IsAnySession,
  IsAnyNativeDesktopSessions,
  IsFarmSessions,
  GetDesktopState,
  LogoffAllSessions,
  DisconnectAllSessions,
  LogOffFarmSessions,
  DisconnectFarmSessions,
  StartSession,
  UnregisterExtensions,
};

// The mix: questions and discovery often; now and then a session start (a
// process) and an extension restoration (its shell notification is slow
// under Wine).
constexpr Method kMix[] = {
    Method::GetNativeVersion,     Method::IsKuvClientInstalled,  Method::GetKuvClientVersion,
    Method::GetUserKuvFolder,     Method::IsAnySession,          Method::IsAnyNativeDesktopSessions,
    Method::IsFarmSessions,       Method::GetDesktopState,       Method::IsFarmSessions,
    Method::GetDesktopState,      Method::LogoffAllSessions,     Method::DisconnectAllSessions,
    Method::LogOffFarmSessions,   Method::DisconnectFarmSessions, Method::UnregisterExtensions,
    Method::IsAnySession,         Method::StartSession,           Method::IsAnyNativeDesktopSessions,
};
constexpr jint kFarms[] = {0, 1, 7, -1, 42, 0x7FFFFFFF, -2147483647 - 1};

struct Call {
  Method method;
  jint farm;
};

// A thread's calls, the same on every run.
std::vector<Call> CallsOfThread(int thread) {
  std::uint32_t state = 0x9E3779B9u * static_cast<std::uint32_t>(thread + 1);
  std::vector<Call> calls;
  for (int i = 0; i < kCallsPerThread; ++i) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    calls.push_back({kMix[state % std::size(kMix)], kFarms[(state >> 8) % std::size(kFarms)]});
  }
  return calls;
}

bool IsQuestion(Method m) {
  return m == Method::IsAnyNativeDesktopSessions || m == Method::IsFarmSessions || m == Method::GetDesktopState;
}
bool IsCommand(Method m) {
  return m == Method::LogoffAllSessions || m == Method::DisconnectAllSessions || m == Method::LogOffFarmSessions ||
         m == Method::DisconnectFarmSessions;
}

const char* NameOf(Method m) {
  switch (m) {
    case Method::GetNativeVersion: return "GetNativeVersion";
    case Method::IsKuvClientInstalled: return "IsKuvClientInstalled";
    case Method::GetKuvClientVersion: return "GetKuvClientVersion";
    case Method::GetUserKuvFolder: return "GetUserKuvFolder";
    case Method::IsAnySession: return "IsAnySession";
    case Method::IsAnyNativeDesktopSessions: return "IsAnyNativeDesktopSessions";
    case Method::IsFarmSessions: return "IsFarmSessions";
    case Method::GetDesktopState: return "GetDesktopState";
    case Method::LogoffAllSessions: return "LogoffAllSessions";
    case Method::DisconnectAllSessions: return "DisconnectAllSessions";
    case Method::LogOffFarmSessions: return "LogOffFarmSessions";
    case Method::DisconnectFarmSessions: return "DisconnectFarmSessions";
    case Method::StartSession: return "StartSession";
    case Method::UnregisterExtensions: return "UnregisterExtensions";
  }
  return "?";
}

// The session control code a question or command carries, and whether its
// farm goes along as the parameter.
int CodeOf(Method m) {
  switch (m) {
    case Method::LogoffAllSessions: return 0;
    case Method::DisconnectAllSessions: return 1;
    case Method::LogOffFarmSessions: return 2;
    case Method::DisconnectFarmSessions: return 4;
    case Method::IsFarmSessions:
    case Method::GetDesktopState: return 6;
    case Method::IsAnyNativeDesktopSessions: return 12;
    default: return -1;
  }
}
bool CarriesFarm(Method m) {
  return m == Method::LogOffFarmSessions || m == Method::DisconnectFarmSessions || m == Method::IsFarmSessions ||
         m == Method::GetDesktopState;
}

std::string MessageLine(int window, Method m, jint farm) {
  const long long parameter = CarriesFarm(m) ? farm : 0;
  return "window=" + std::to_string(window) + " code=" + std::to_string(CodeOf(m)) +
         " param=" + std::to_string(static_cast<int>(parameter)) + " lparam=" + std::to_string(parameter);
}

// One thread's run: its calls, its own JNI environment (as each Java thread
// has its own), the folder its connection files go to.
struct ThreadRun {
  int thread = 0;
  std::vector<Call> calls;
  std::wstring connectionFolder;  // relative to the temporary folder
  HANDLE go = nullptr;            // released together; null: start at once
  std::unique_ptr<FakeJni> jni = std::make_unique<FakeJni>();
  std::vector<std::string> results;
};

std::wstring ConnectionFileName(const ThreadRun& run, std::size_t call) {
  return run.connectionFolder + L"\\t" + std::to_wstring(run.thread) + L"-c" + std::to_wstring(call) + L".kuva";
}
std::u16string ConnectionText(const ThreadRun& run, std::size_t call) {
  return u"[connection]\r\nthread=" + U16(std::to_wstring(run.thread)) + u"\r\ncall=" +
         U16(std::to_wstring(call)) + u"\r\nname=\u00e9t\u00e9 \u20ac\r\n";
}

std::string ResultOf(ThreadRun& run, std::size_t index) {
  const Call& call = run.calls[index];
  JNIEnv* env = run.jni->env();
  const GantryLibrary& library = Library();
  auto boolean = [](jboolean value) { return std::string(value != JNI_FALSE ? "true" : "false"); };
  switch (call.method) {
    case Method::GetNativeVersion: return std::to_string(library.CallInt(env, "GetNativeVersion"));
    case Method::IsKuvClientInstalled: return std::to_string(library.CallInt(env, "IsKuvClientInstalled"));
    case Method::GetKuvClientVersion:
    case Method::GetUserKuvFolder: {
      const jstring text = library.CallString(env, NameOf(call.method));
      return text == nullptr ? "<null>" : Utf16ToUtf8(run.jni->TextOf(text));
    }
    case Method::IsAnySession:
    case Method::IsAnyNativeDesktopSessions:
    case Method::LogoffAllSessions:
    case Method::DisconnectAllSessions: return boolean(library.CallBoolean(env, NameOf(call.method)));
    case Method::IsFarmSessions:
    case Method::LogOffFarmSessions:
    case Method::DisconnectFarmSessions:
    case Method::UnregisterExtensions:
      return boolean(library.CallBooleanWithInt(env, NameOf(call.method), call.farm));
    case Method::GetDesktopState: return std::to_string(library.CallIntWithInt(env, "GetDesktopState", call.farm));
    case Method::StartSession:
      return boolean(library.CallBooleanWithStrings(env, "StartSession",
                                                    run.jni->NewString(ConnectionText(run, index)),
                                                    run.jni->NewString(U16(ConnectionFileName(run, index)))));
  }
  return "?";
}

DWORD WINAPI RunThread(void* context) {
  auto& run = *static_cast<ThreadRun*>(context);
  if (run.go != nullptr) WaitForSingleObject(run.go, INFINITE);
  for (std::size_t i = 0; i < run.calls.size(); ++i) run.results.push_back(ResultOf(run, i));
  return 0;
}

std::size_t CountOf(const std::vector<ThreadRun>& runs, bool (*matches)(Method)) {
  std::size_t count = 0;
  for (const ThreadRun& run : runs) {
    for (const Call& call : run.calls) count += matches(call.method) ? 1 : 0;
  }
  return count;
}

bool MakeEmptyRecordsKey() {
  UniqueHkey key;
  return RegCreateKeyExW(HKEY_CURRENT_USER, kRecordsKey, 0, nullptr, 0, KEY_READ, nullptr, key.put(), nullptr) ==
         ERROR_SUCCESS;
}

// Subkeys and values under the records key; nothing when it is gone.
std::optional<DWORD> RecordsKeyContent() {
  UniqueHkey key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kRecordsKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return std::nullopt;
  DWORD subkeys = 0;
  DWORD values = 0;
  if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                       nullptr, nullptr) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return subkeys + values;
}

// The lines of `a` that `b` lacks, counted as a multiset; both sorted.
std::vector<std::string> Lacking(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  std::vector<std::string> lacking;
  std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(lacking));
  return lacking;
}

// Sorted lines `actual` must be exactly `expected`; any difference is named line by line.
void ExpectSameLines(const std::vector<std::string>& actual, const std::vector<std::string>& expected,
                     const char* what) {
  std::string report;
  for (const std::string& line : Lacking(expected, actual)) report += "\n  missing: " + line;
  for (const std::string& line : Lacking(actual, expected)) report += "\n  extra:   " + line;
  EXPECT_TRUE(report.empty()) << what << report;
}

class ConcurrencyTest : public NoClientTest {
 protected:
  void SetUp() override {
    NoClientTest::SetUp();
    TerminateProcesses((std::wstring(kStartedClient) + L".exe").c_str());
    DeleteKeyTree(HKEY_CURRENT_USER, L"Software\\Kuv");
  }
  void TearDown() override {
    DeleteKeyTree(HKEY_CURRENT_USER, L"Software\\Kuv");
    NoClientTest::TearDown();
  }

  std::vector<ThreadRun> MakeRuns(const std::wstring& phase) {
    const std::wstring folder = scratch_ / phase;
    EXPECT_TRUE(CreateFolders(folder));
    std::vector<ThreadRun> runs(kThreads);
    for (int t = 0; t < kThreads; ++t) {
      runs[t].thread = t;
      runs[t].calls = CallsOfThread(t);
      runs[t].connectionFolder = folder.substr(TempFolder().size());
    }
    return runs;
  }

  // Every connection file holds its text; every started client logged the
  // program and its file, once; none of them is still running.
  void ExpectSessionsStarted(const std::vector<ThreadRun>& runs) {
    std::vector<std::string> expected;
    const std::string program = "\"" + Utf8(TestClientPath(kStartedClient)) + "\" ";
    for (const ThreadRun& run : runs) {
      for (std::size_t i = 0; i < run.calls.size(); ++i) {
        if (run.calls[i].method != Method::StartSession) continue;
        const std::wstring file = TempFolder() + ConnectionFileName(run, i);
        EXPECT_EQ(ReadFileBytes(file), std::optional<std::string>(Utf16ToUtf8(ConnectionText(run, i)))) << Utf8(file);
        expected.push_back(program + "\"" + Utf8(file) + "\"");
      }
    }
    std::vector<std::string> logged = ReadLogLines(startLog_, expected.size(), 60000);
    std::sort(expected.begin(), expected.end());
    std::sort(logged.begin(), logged.end());
    ExpectSameLines(logged, expected, "each started client logs its command line once");
    EXPECT_TRUE(WaitForNoProcess((std::wstring(kStartedClient) + L".exe").c_str(), 30000))
        << "started clients still running";
    DeleteTree(startLog_);
  }

  // What the client windows logged since the last look, sorted.
  std::vector<std::string> NewMessageLines(std::size_t expectedCount) {
    std::vector<std::string> all = ReadLogLines(messageLog_, seenMessageLines_ + expectedCount, 30000);
    std::vector<std::string> fresh(all.begin() + static_cast<std::ptrdiff_t>(std::min(seenMessageLines_, all.size())),
                                   all.end());
    seenMessageLines_ = all.size();
    std::sort(fresh.begin(), fresh.end());
    return fresh;
  }

  ScratchFolder scratch_{L"gantry-concurrency"};
  std::wstring startLog_ = scratch_ / L"started-clients.log";
  std::wstring messageLog_ = scratch_ / L"messages.log";
  std::size_t seenMessageLines_ = 0;
  ScopedEnvironment clientLog_{L"GANTRY_CLIENT_LOG", startLog_};
};

TEST_F(ConcurrencyTest, EightThreadsGiveTheResultsOfOneThread) {
  const ScopedAssociation association = ScopedAssociation::ToProgram(TestClientPath(kStartedClient));
  // Window 1 answers no to everything, window 2 yes to the farm question:
  // each question is sent to both windows.
  ClientWindowsProcess client({{0, 0}, {1, 0}}, messageLog_, /*hang=*/false, /*limitMs=*/600000);
  ASSERT_TRUE(client.ready());
  ASSERT_TRUE(MakeEmptyRecordsKey());
  DeleteTree(ClientFolder());
  Library();  // loaded before any thread runs, as the JVM loads it

  // The expected results: the same calls, one thread after the other.
  std::vector<ThreadRun> serial = MakeRuns(L"serial");
  const DWORD serialStart = GetTickCount();
  for (ThreadRun& run : serial) {
    HANDLE thread = CreateThread(nullptr, 0, RunThread, &run, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  }
  const DWORD serialMs = GetTickCount() - serialStart;
  ExpectSessionsStarted(serial);
  // Messages per run: 2 for a question (both windows asked), 2 for a command (broadcast).
  const std::size_t messageCount = 2 * (CountOf(serial, IsQuestion) + CountOf(serial, IsCommand));
  std::vector<std::string> expectedMessages;
  for (const ThreadRun& run : serial) {
    for (const Call& call : run.calls) {
      if (!IsQuestion(call.method) && !IsCommand(call.method)) continue;
      expectedMessages.push_back(MessageLine(1, call.method, call.farm));
      expectedMessages.push_back(MessageLine(2, call.method, call.farm));
    }
  }
  std::sort(expectedMessages.begin(), expectedMessages.end());
  ExpectSameLines(NewMessageLines(messageCount), expectedMessages, "one thread: what the client windows received");
  // The results one thread gives are the documented ones.
  for (const ThreadRun& run : serial) {
    for (std::size_t i = 0; i < run.calls.size(); ++i) {
      const Method m = run.calls[i].method;
      const std::string& result = run.results[i];
      std::string expected;
      switch (m) {
        case Method::GetNativeVersion: expected = "2"; break;
        case Method::IsKuvClientInstalled: expected = "1"; break;
        case Method::GetKuvClientVersion: expected = "11.0 (Build 5000)"; break;
        case Method::GetUserKuvFolder: expected = Utf8(ClientFolder()); break;
        case Method::IsAnyNativeDesktopSessions: expected = "false"; break;
        case Method::GetDesktopState: expected = "1"; break;
        default: expected = "true"; break;
      }
      EXPECT_EQ(result, expected) << "thread " << run.thread << " call " << i << " " << NameOf(m);
    }
  }

  // The same calls on 8 threads at once.
  DeleteTree(ClientFolder());  // made again by whichever thread asks first
  std::vector<ThreadRun> concurrent = MakeRuns(L"concurrent");
  UniqueHandle go(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::vector<HANDLE> threads;
  for (ThreadRun& run : concurrent) {
    run.go = go.get();
    HANDLE thread = CreateThread(nullptr, 0, RunThread, &run, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    threads.push_back(thread);
  }
  const DWORD concurrentStart = GetTickCount();
  SetEvent(go.get());
  const DWORD waited = WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, 600000);
  const DWORD concurrentMs = GetTickCount() - concurrentStart;
  for (HANDLE thread : threads) CloseHandle(thread);
  ASSERT_EQ(waited, WAIT_OBJECT_0) << "threads still calling after 10 minutes";
  std::printf("[ timing   ] %d calls: one thread %lu ms, %d threads %lu ms\n", kThreads * kCallsPerThread,
              static_cast<unsigned long>(serialMs), kThreads, static_cast<unsigned long>(concurrentMs));

  int differences = 0;
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_EQ(concurrent[t].results.size(), serial[t].results.size());
    for (std::size_t i = 0; i < serial[t].results.size(); ++i) {
      if (concurrent[t].results[i] == serial[t].results[i]) continue;
      if (++differences <= 10) {
        ADD_FAILURE() << "thread " << t << " call " << i << " " << NameOf(serial[t].calls[i].method) << ": "
                      << concurrent[t].results[i] << ", alone " << serial[t].results[i];
      }
    }
  }
  EXPECT_EQ(differences, 0);
  ExpectSessionsStarted(concurrent);
  ExpectSameLines(NewMessageLines(messageCount), expectedMessages,
                  "8 threads: the client windows received the same questions and commands, each under the "
                  "registered message with its own code and farm");
  EXPECT_TRUE(IsDirectory(ClientFolder()));
  EXPECT_FALSE(PathExists(ClientFolder() + L"Bin"));
  EXPECT_EQ(RecordsKeyContent(), std::optional<DWORD>(0)) << "the records key is kept, with nothing in it";

  for (const auto* runs : {&serial, &concurrent}) {
    for (const ThreadRun& run : *runs) {
      for (const std::string& violation : run.jni->Violations()) ADD_FAILURE() << "JNI misuse: " << violation;
      EXPECT_EQ(run.jni->OutstandingBuffers(), 0u);
      EXPECT_EQ(run.jni->GetCount(), run.jni->ReleaseCount());
    }
  }
}

}  // namespace
}  // namespace gantry::testing
