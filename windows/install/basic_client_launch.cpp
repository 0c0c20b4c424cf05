#include "windows/install/basic_client_launch.h"

#include <shellapi.h>

#include "windows/shared/unique_resource.h"

namespace gantry {

std::optional<DWORD> RunClientSwitch(const std::wstring& program, const wchar_t* argument) {
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  // No UI: a missing program would otherwise block the Java thread in a
  // modal shell box.
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = L"open";
  info.lpFile = program.c_str();
  info.lpParameters = argument;
  info.nShow = SW_HIDE;
  const BOOL started = ShellExecuteExW(&info);
  const UniqueHandle process(info.hProcess);
  if (!started || !process) return std::nullopt;
  WaitForSingleObject(process.get(), kClientSwitchTimeoutMs);
  DWORD exitCode = 0;
  if (!GetExitCodeProcess(process.get(), &exitCode)) return std::nullopt;
  return exitCode;
}

}  // namespace gantry
