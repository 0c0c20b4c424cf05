// Test clients in window mode: real client windows in a process of their
// own, found the way the library finds them, stopped by process id.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace gantry::testing {

struct ClientWindowAnswers {
  int farmSessions = 0;           // answer to code 6
  int nativeDesktopSessions = 0;  // answer to code 12
};

// A test client showing one window per entry (the first first in EnumWindows
// order), logging every session control message to `logPath`. Waits until
// all its client windows can be found; terminated when it goes away.
class ClientWindowsProcess {
 public:
  ClientWindowsProcess(const std::vector<ClientWindowAnswers>& windows, const std::wstring& logPath,
                       bool hang = false, DWORD limitMs = 30000);
  ~ClientWindowsProcess();
  ClientWindowsProcess(const ClientWindowsProcess&) = delete;
  ClientWindowsProcess& operator=(const ClientWindowsProcess&) = delete;

  bool ready() const { return ready_; }
  DWORD processId() const { return processId_; }
  void Stop();  // TerminateProcess by its id, and wait for it to end

 private:
  DWORD processId_ = 0;
  bool ready_ = false;
};

// The window numbers ("GantryTestWindow") of the client windows of a process, in EnumWindows order.
std::vector<int> ClientWindowNumbersInOrder(DWORD processId);

// The lines of a message log; waits up to `timeoutMs` for at least `atLeast` of them.
std::vector<std::string> ReadLogLines(const std::wstring& path, std::size_t atLeast = 0, DWORD timeoutMs = 0);

}  // namespace gantry::testing
