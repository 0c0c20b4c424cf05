#include "tests/windows/harness/session_client.h"

#include <sstream>
#include <utility>

#include "tests/windows/harness/test_support.h"

namespace gantry::testing {
namespace {

struct WindowSearch {
  DWORD processId;
  std::vector<int> numbers;
};

BOOL CALLBACK CollectNumbers(HWND window, LPARAM context) {
  auto& search = *reinterpret_cast<WindowSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search.processId && GetPropW(window, L"Kuv_Varnel") != nullptr) {
    search.numbers.push_back(static_cast<int>(reinterpret_cast<INT_PTR>(GetPropW(window, L"GantryTestWindow"))));
  }
  return TRUE;
}

}  // namespace

std::vector<int> ClientWindowNumbersInOrder(DWORD processId) {
  WindowSearch search{processId, {}};
  EnumWindows(CollectNumbers, reinterpret_cast<LPARAM>(&search));
  return std::move(search.numbers);
}

ClientWindowsProcess::ClientWindowsProcess(const std::vector<ClientWindowAnswers>& windows,
                                           const std::wstring& logPath, bool hang, DWORD limitMs) {
  std::wstring commandLine = L"\"" + TestClientPath(L"varnel-10.1-build1238") + L"\"";
  for (const ClientWindowAnswers& answers : windows) {
    commandLine += L" --window " + std::to_wstring(answers.farmSessions) + L"," +
                   std::to_wstring(answers.nativeDesktopSessions);
  }
  commandLine += L" --log \"" + logPath + L"\" --limit-ms " + std::to_wstring(limitMs);
  if (hang) commandLine += L" --hang";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  processId_ = process.dwProcessId;
  for (int attempt = 0; attempt < 200 && !ready_; ++attempt) {
    ready_ = ClientWindowNumbersInOrder(processId_).size() == windows.size();
    if (!ready_) Sleep(50);
  }
}

ClientWindowsProcess::~ClientWindowsProcess() { Stop(); }

void ClientWindowsProcess::Stop() {
  if (processId_ == 0) return;
  if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId_)) {
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 10000);
    CloseHandle(process);
  }
  processId_ = 0;
}

std::vector<std::string> ReadLogLines(const std::wstring& path, std::size_t atLeast, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    std::vector<std::string> lines;
    std::istringstream text(ReadFileBytes(path).value_or(""));
    for (std::string line; std::getline(text, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty()) lines.push_back(line);
    }
    if (lines.size() >= atLeast || GetTickCount() - start >= timeoutMs) return lines;
    Sleep(50);
  }
}

}  // namespace gantry::testing
