#include "tests/windows/harness/full_client_message_box.h"

#include <algorithm>

namespace gantry::testing {

namespace {

struct Found {
  std::vector<HWND> boxes;
};

BOOL CALLBACK CollectBox(HWND window, LPARAM context) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  wchar_t className[64] = {};
  GetClassNameW(window, className, 64);
  if (process == GetCurrentProcessId() && IsWindowVisible(window) && std::wstring(className) == L"#32770") {
    reinterpret_cast<Found*>(context)->boxes.push_back(window);
  }
  return TRUE;
}

struct Contents {
  std::wstring text;
  bool errorIcon = false;
};

BOOL CALLBACK ReadChild(HWND child, LPARAM context) {
  auto* contents = reinterpret_cast<Contents*>(context);
  wchar_t className[64] = {};
  GetClassNameW(child, className, 64);
  if (lstrcmpiW(className, L"Static") != 0) return TRUE;
  if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
    const HICON icon = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
    if (icon != nullptr && icon == LoadIconW(nullptr, IDI_ERROR)) contents->errorIcon = true;
    return TRUE;
  }
  wchar_t text[2048] = {};
  GetWindowTextW(child, text, 2048);
  if (text[0] != L'\0') {
    if (!contents->text.empty()) contents->text += L"\n";
    contents->text += text;
  }
  return TRUE;
}

}  // namespace

MessageBoxWatcher::MessageBoxWatcher() {
  InitializeCriticalSection(&lock_);
  stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  thread_ = CreateThread(nullptr, 0, &MessageBoxWatcher::Watch, this, 0, nullptr);
}

MessageBoxWatcher::~MessageBoxWatcher() {
  Stop();
  CloseHandle(stop_);
  DeleteCriticalSection(&lock_);
}

std::vector<SeenMessageBox> MessageBoxWatcher::Stop() {
  if (thread_ != nullptr) {
    SetEvent(stop_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
  }
  EnterCriticalSection(&lock_);
  std::vector<SeenMessageBox> seen = seen_;
  LeaveCriticalSection(&lock_);
  return seen;
}

void MessageBoxWatcher::CloseBoxesOnce() {
  Found found;
  EnumWindows(CollectBox, reinterpret_cast<LPARAM>(&found));
  for (HWND box : found.boxes) {
    if (std::find(closed_.begin(), closed_.end(), box) != closed_.end()) continue;
    SeenMessageBox seen;
    wchar_t caption[512] = {};
    GetWindowTextW(box, caption, 512);
    seen.caption = caption;
    seen.hasOwner = GetWindow(box, GW_OWNER) != nullptr;
    Contents contents;
    EnumChildWindows(box, ReadChild, reinterpret_cast<LPARAM>(&contents));
    seen.text = contents.text;
    seen.showsErrorIcon = contents.errorIcon;
    EnterCriticalSection(&lock_);
    seen_.push_back(seen);
    LeaveCriticalSection(&lock_);
    closed_.push_back(box);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  }
}

DWORD WINAPI MessageBoxWatcher::Watch(void* self) {
  auto* watcher = static_cast<MessageBoxWatcher*>(self);
  while (WaitForSingleObject(watcher->stop_, 20) == WAIT_TIMEOUT) watcher->CloseBoxesOnce();
  watcher->CloseBoxesOnce();
  return 0;
}

}  // namespace gantry::testing
