// Watches this process for message boxes while a test runs, notes what each
// showed and closes it, so a call that shows a modal box can return.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace gantry::testing {

struct SeenMessageBox {
  std::wstring caption;
  std::wstring text;  // the texts of its static controls, one per line
  bool hasOwner = false;
  bool showsErrorIcon = false;
};

class MessageBoxWatcher {
 public:
  MessageBoxWatcher();
  ~MessageBoxWatcher();  // stops watching
  MessageBoxWatcher(const MessageBoxWatcher&) = delete;
  MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

  // Stops watching (a box open now is still closed first) and returns every
  // box seen since the start.
  std::vector<SeenMessageBox> Stop();

 private:
  static DWORD WINAPI Watch(void* self);
  void CloseBoxesOnce();

  HANDLE stop_ = nullptr;
  HANDLE thread_ = nullptr;
  CRITICAL_SECTION lock_;
  std::vector<SeenMessageBox> seen_;
  std::vector<HWND> closed_;
};

}  // namespace gantry::testing
