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
  bool registered = true;
  if (PassesSelfRegistrationTest(version)) {
    // A client program that cannot be started registered nothing.
    if (RunClientSwitch(paths->program, L"-regext") != DWORD{0}) return 0;
  } else {
    // Two independent halves: a failure in the first still lets the second
    // run, and the script is still written to remove what was registered.
    const bool fileType = RegisterConnectionFileType(paths->program) == 1;
    const bool protocol = RegisterUrlProtocol(paths->program) == 1;
    registered = fileType && protocol;
  }

  const bool scriptWritten = WriteRemovalScript(paths->script, RemovalScriptText());
  return scriptWritten && registered ? 1 : 0;
}

}  // namespace gantry
