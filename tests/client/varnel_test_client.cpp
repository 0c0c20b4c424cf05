// A stand-in for the client program "Varnel.exe", driven by the tests through
// its environment (the library decides its command line):
//   GANTRY_CLIENT_LOG        append the command line, in UTF-8, as one line to this file
//   GANTRY_CLIENT_SLEEP_MS   wait this long before exiting
//   GANTRY_CLIENT_WINDOW_MS  show a plain top-level window for this long
//   GANTRY_CLIENT_EXIT_CODE  exit with this code (default 0)
// Built in several variants that differ only in their version resource.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::wstring Environment(const wchar_t* name) {
  wchar_t value[2048] = {};
  const DWORD length = GetEnvironmentVariableW(name, value, 2048);
  if (length == 0 || length >= 2048) return {};
  return value;
}

DWORD EnvironmentNumber(const wchar_t* name, DWORD fallback) {
  const std::wstring text = Environment(name);
  return text.empty() ? fallback : static_cast<DWORD>(std::wcstoul(text.c_str(), nullptr, 10));
}

void LogCommandLine() {
  const std::wstring logPath = Environment(L"GANTRY_CLIENT_LOG");
  if (logPath.empty()) return;
  const wchar_t* commandLine = GetCommandLineW();
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, commandLine, -1, nullptr, 0, nullptr, nullptr);
  std::string line(bytes > 0 ? bytes - 1 : 0, '\0');
  if (bytes > 1) WideCharToMultiByte(CP_UTF8, 0, commandLine, -1, line.data(), bytes, nullptr, nullptr);
  line += "\n";
  HANDLE file = CreateFileW(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
}

void ShowWindowFor(DWORD milliseconds) {
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"VarnelTestClientWindow";
  RegisterClassW(&windowClass);
  HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"Varnel test client", WS_OVERLAPPEDWINDOW,
                                CW_USEDEFAULT, CW_USEDEFAULT, 320, 200, nullptr, nullptr,
                                windowClass.hInstance, nullptr);
  ShowWindow(window, SW_SHOW);
  const DWORD end = GetTickCount() + milliseconds;
  while (static_cast<LONG>(end - GetTickCount()) > 0) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, end - GetTickCount(), QS_ALLINPUT);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
  DestroyWindow(window);
}

}  // namespace

int wmain() {
  LogCommandLine();
  if (const DWORD windowMs = EnvironmentNumber(L"GANTRY_CLIENT_WINDOW_MS", 0)) ShowWindowFor(windowMs);
  if (const DWORD sleepMs = EnvironmentNumber(L"GANTRY_CLIENT_SLEEP_MS", 0)) Sleep(sleepMs);
  return static_cast<int>(EnvironmentNumber(L"GANTRY_CLIENT_EXIT_CODE", 0));
}
