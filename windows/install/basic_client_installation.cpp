#include "windows/install/basic_client_installation.h"

#include <windows.h>

#include <string>

#include "windows/shared/core/path_text.h"
#include "windows/discovery/version_reader.h"
#include "windows/install/basic_client_launch.h"
#include "windows/install/basic_client_paths.h"
#include "windows/install/client_registration.h"
#include "windows/install/core/basic_client_package.h"
#include "windows/install/core/removal_script.h"
#include "windows/install/package_extraction.h"
#include "windows/shared/unique_resource.h"
#include "windows/shared/wide_text.h"

namespace gantry {
namespace {

// The folder in the thread's ANSI code page, the script's own encoding; a
// character the code page lacks becomes its default character.
std::optional<std::string> ToThreadAnsi(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int length = static_cast<int>(text.size());
  const int bytes = WideCharToMultiByte(CP_THREAD_ACP, 0, text.c_str(), length, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return std::nullopt;
  std::string ansi(static_cast<std::size_t>(bytes), '\0');
  if (WideCharToMultiByte(CP_THREAD_ACP, 0, text.c_str(), length, ansi.data(), bytes, nullptr, nullptr) != bytes) {
    return std::nullopt;
  }
  return ansi;
}

// Replaces the script in one write. A script that could not be written whole
// is deleted: a cut-off last line would remove a folder other than B.
bool WriteRemovalScript(const std::wstring& scriptPath, const std::string& text) {
  bool written = false;
  {
    const UniqueFile file(CreateFileW(scriptPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD count = 0;
    written = WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &count, nullptr) &&
              count == text.size();
    if (written) written = FlushFileBuffers(file.get()) != FALSE;
  }
  if (!written) DeleteFileW(scriptPath.c_str());
  return written;
}

}  // namespace

int InstallBasicClient(std::u16string_view packagePath) {
  if (packagePath.empty() || !FitsWithTerminator(packagePath.size(), kMaxPathUnits)) return 0;
  // B, E and S are settled before anything is placed, so a profile folder too
  // long for them leaves nothing half-installed.
  const std::optional<BasicClientPaths> paths = MakeBasicClientPaths();
  if (!paths) return 0;

  PackageExtraction extraction;
  extraction.SetPackagePath(AsWide(packagePath));
  for (const char16_t* name : kBasicClientSkipNames) extraction.skipNames.push_back(ToWide(name));
  if (!Extract(extraction, paths->folder.c_str())) return 0;

  // The associated client decides, not necessarily the one just placed.
  ClientVersion version;
  ReadClientVersion(version);
  if (PassesSelfRegistrationTest(version)) {
    if (RunClientSwitch(paths->program, L"-regext") != 0) return 0;
  } else {
    // Two independent halves: a failure in the first still lets the second run.
    RegisterConnectionFileType(paths->program);
    RegisterUrlProtocol(paths->program);
  }

  const std::optional<std::string> folderAnsi = ToThreadAnsi(paths->folder);
  if (!folderAnsi) return 0;
  return WriteRemovalScript(paths->script, RemovalScriptText(*folderAnsi)) ? 1 : 0;
}

}  // namespace gantry
