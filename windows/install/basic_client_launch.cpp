#include "windows/install/basic_client_launch.h"

#include <shellapi.h>

#include "windows/shared/unique_resource.h"

namespace gantry {

DWORD RunClientSwitch(const std::wstring& program, const wchar_t* argument) {
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  // No UI: a missing program would otherwise block the Java thread in a
  // modal shell box.
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = L"open";
  info.lpFile = program.c_str();
  info.lpParameters = argument;
  info.nShow = SW_HIDE;
  ShellExecuteExW(&info);  // a failed start leaves no process and the exit code at 0
  const UniqueHandle process(info.hProcess);
  DWORD exitCode = 0;
  if (process) {
    WaitForSingleObject(process.get(), kClientSwitchTimeoutMs);
    GetExitCodeProcess(process.get(), &exitCode);
  }
  return exitCode;
}

}  // namespace gantry
