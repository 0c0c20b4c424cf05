#include "windows/session/session_control.h"

#include <new>

#include "windows/session/session_control_message.h"

namespace gantry {
namespace {

struct ClientWindowCollection {
  std::vector<HWND> windows;
  bool outOfMemory = false;
};

// Called by user32: nothing may be thrown through it.
BOOL CALLBACK CollectClientWindow(HWND window, LPARAM context) {
  auto& collection = *reinterpret_cast<ClientWindowCollection*>(context);
  if (GetPropW(window, kClientWindowProperty) == nullptr) return TRUE;
  try {
    collection.windows.push_back(window);
  } catch (const std::bad_alloc&) {
    collection.outOfMemory = true;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK FindFirstClientWindow(HWND window, LPARAM context) {
  if (GetPropW(window, kClientWindowProperty) == nullptr) return TRUE;
  *reinterpret_cast<bool*>(context) = true;
  return FALSE;
}

}  // namespace

std::vector<HWND> CollectClientWindows() {
  ClientWindowCollection collection;
  EnumWindows(CollectClientWindow, reinterpret_cast<LPARAM>(&collection));
  // A partial list would skip windows silently; the export turns this into "no".
  if (collection.outOfMemory) throw std::bad_alloc();
  return std::move(collection.windows);
}

bool AskClientWindows(SessionControlCode code, LPARAM parameter) {
  for (const HWND window : CollectClientWindows()) {
    DWORD_PTR answer = 0;
    // SMTO_ABORTIFHUNG: a window whose thread has stopped taking messages is
    // passed over at once instead of holding the caller for the time-out.
    const LRESULT sent = SendMessageTimeoutW(window, SessionControlMessage(), static_cast<WPARAM>(code), parameter,
                                             SMTO_ABORTIFHUNG, kSessionQuestionTimeoutMs, &answer);
    if (sent != 0 && answer != 0) return true;
  }
  return false;
}

void PostSessionCommand(SessionControlCode code, LPARAM parameter) {
  PostMessageW(HWND_BROADCAST, SessionControlMessage(), static_cast<WPARAM>(code), parameter);
}

bool IsAnyClientWindow() {
  bool found = false;
  EnumWindows(FindFirstClientWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

}  // namespace gantry
