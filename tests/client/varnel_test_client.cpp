// A stand-in for the client program "Varnel.exe", driven by the tests through
// its environment (the library decides its command line):
//   GANTRY_CLIENT_LOG        append the command line, in UTF-8, as one line to this file
//   GANTRY_CLIENT_MODULE_LOG append its own program path, in UTF-8, as one line to this file
//   GANTRY_CLIENT_SLEEP_MS   wait this long before exiting
//   GANTRY_CLIENT_WINDOW_MS  show a plain top-level window for this long
//   GANTRY_CLIENT_EXIT_CODE  exit with this code (default 0)
// Built in several variants that differ only in their version resource.
//
// Window mode, when the first argument is "--window" (a stand-in for a
// running client with sessions; the environment is then not looked at):
//   --window A6,A12   one top-level client window (property "Kuv_Varnel")
//                     that answers code 6 with A6 and code 12 with A12;
//                     repeat for more windows. The first window given is
//                     first in EnumWindows order; each carries its number
//                     (1, 2, ...) in the property "GantryTestWindow".
//   --log PATH        append "window=N code=C param=P lparam=L" for every
//                     session control message (P the second parameter as a
//                     signed int, L as a signed integer of full width)
//   --hang            stop taking messages once the windows are made
//   --limit-ms N      exit after N ms (default 30000), so none is left behind
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

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

// Appends one line. Many clients started at once may log to the same file,
// and under Wine appends from several processes can overwrite each other, so
// the file is opened exclusively; while another holds it, the open is retried.
void AppendLine(const std::wstring& path, const std::string& line) {
  if (path.empty()) return;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 2000; ++attempt) {
    file = CreateFileW(path.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION) break;
    Sleep(5);
  }
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
}

void LogLine(const wchar_t* logVariable, const wchar_t* text) {
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string line(bytes > 0 ? bytes - 1 : 0, '\0');
  if (bytes > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, line.data(), bytes, nullptr, nullptr);
  AppendLine(Environment(logVariable), line + "\n");
}

void LogCommandLine() {
  LogLine(L"GANTRY_CLIENT_LOG", GetCommandLineW());
  wchar_t program[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, program, MAX_PATH);
  if (length > 0 && length < MAX_PATH) LogLine(L"GANTRY_CLIENT_MODULE_LOG", program);
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

// Window mode.

struct ClientWindowAnswers {
  LRESULT farmSessions = 0;           // code 6
  LRESULT nativeDesktopSessions = 0;  // code 12
};

std::vector<ClientWindowAnswers> windowAnswers;
std::wstring messageLogPath;
UINT sessionControlMessage = 0;

LRESULT CALLBACK ClientWindowProcedure(HWND window, UINT message, WPARAM code, LPARAM parameter) {
  if (message != sessionControlMessage || sessionControlMessage == 0) {
    return DefWindowProcW(window, message, code, parameter);
  }
  const std::size_t number = reinterpret_cast<std::size_t>(GetPropW(window, L"GantryTestWindow"));
  char line[160];
  std::snprintf(line, sizeof line, "window=%u code=%u param=%d lparam=%lld\n", static_cast<unsigned>(number),
                static_cast<unsigned>(code), static_cast<int>(parameter), static_cast<long long>(parameter));
  AppendLine(messageLogPath, line);
  if (number == 0 || number > windowAnswers.size()) return 0;
  const ClientWindowAnswers& answers = windowAnswers[number - 1];
  if (code == 6) return answers.farmSessions;
  if (code == 12) return answers.nativeDesktopSessions;
  return 0;
}

int RunClientWindows(int argc, wchar_t** argv) {
  DWORD limitMs = 30000;
  bool hang = false;
  for (int i = 1; i < argc; ++i) {
    const std::wstring option = argv[i];
    const bool hasValue = i + 1 < argc;
    if (option == L"--window" && hasValue) {
      wchar_t* rest = nullptr;
      ClientWindowAnswers answers;
      answers.farmSessions = std::wcstol(argv[++i], &rest, 10);
      if (*rest == L',') answers.nativeDesktopSessions = std::wcstol(rest + 1, nullptr, 10);
      windowAnswers.push_back(answers);
    } else if (option == L"--log" && hasValue) {
      messageLogPath = argv[++i];
    } else if (option == L"--limit-ms" && hasValue) {
      limitMs = std::wcstoul(argv[++i], nullptr, 10);
    } else if (option == L"--hang") {
      hang = true;
    } else {
      return 2;
    }
  }
  sessionControlMessage = RegisterWindowMessageW(L"kuvSessionControl");

  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = ClientWindowProcedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"VarnelTestClientSessionWindow";
  RegisterClassW(&windowClass);
  std::vector<HWND> windows;
  for (std::size_t number = 1; number <= windowAnswers.size(); ++number) {
    const std::wstring title = L"Varnel test client window " + std::to_wstring(number);
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 320, 200, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (window == nullptr) return 3;
    SetPropW(window, L"GantryTestWindow", reinterpret_cast<HANDLE>(number));
    ShowWindow(window, SW_SHOWNOACTIVATE);
    windows.push_back(window);
  }
  // Raise them from the last to the first, so EnumWindows meets them in the
  // order given. The client property comes last: a window is found only once
  // it is ready to answer.
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    SetWindowPos(*it, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  for (HWND window : windows) SetPropW(window, L"Kuv_Varnel", reinterpret_cast<HANDLE>(1));

  const DWORD end = GetTickCount() + limitMs;
  if (hang) {
    Sleep(limitMs);
    return 0;
  }
  while (static_cast<LONG>(end - GetTickCount()) > 0) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, end - GetTickCount(), QS_ALLINPUT);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
  for (HWND window : windows) {
    RemovePropW(window, L"Kuv_Varnel");
    RemovePropW(window, L"GantryTestWindow");
    DestroyWindow(window);
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc > 1 && std::wcscmp(argv[1], L"--window") == 0) return RunClientWindows(argc, argv);
  LogCommandLine();
  if (const DWORD windowMs = EnvironmentNumber(L"GANTRY_CLIENT_WINDOW_MS", 0)) ShowWindowFor(windowMs);
  if (const DWORD sleepMs = EnvironmentNumber(L"GANTRY_CLIENT_SLEEP_MS", 0)) Sleep(sleepMs);
  return static_cast<int>(EnvironmentNumber(L"GANTRY_CLIENT_EXIT_CODE", 0));
}
