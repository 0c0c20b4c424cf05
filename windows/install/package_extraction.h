// One extraction run of the client package: the cabinet the package carries
// is copied to the user's temporary folder, then every member is placed
// below the target folder where the package's File, Component and Directory
// tables say it belongs. Members are never written outside the target folder.
#pragma once

#include <windows.h>
#include <msi.h>

#include <string>
#include <string_view>
#include <vector>

#include "windows/install/core/package_status.h"
#include "windows/shared/unique_resource.h"

namespace gantry {

struct PackageExtraction {
  // Last failure recorded (package_status.h), 0 when none. A run starts at 0
  // and later successes never clear it.
  int status = kExtractionSucceeded;
  // The package opened read-only for the lookups of the cabinet pass; empty
  // (0) before and after it. Closed when the record goes away.
  UniqueMsiHandle database;
  wchar_t targetFolder[MAX_PATH] = {};
  wchar_t packagePath[MAX_PATH] = {};
  wchar_t cabinetName[MAX_PATH] = {};
  // Long names of members left out, compared without regard to case.
  std::vector<std::wstring> skipNames;

  PackageExtraction() = default;
  PackageExtraction(const PackageExtraction&) = delete;
  PackageExtraction& operator=(const PackageExtraction&) = delete;

  // Copies the package path (cut to 259 units, as every fixed buffer here).
  void SetPackagePath(std::wstring_view path);

  // The run into `target`: true exactly when no failure was recorded.
  bool Extract(const wchar_t* target);

  // Copies the stream named `cabinetName` to `tempFolder` + `cabinetName`.
  // False after a failure (status 1 to 5); true otherwise, also when the
  // package has no such stream. `saved`, when given, tells whether this call
  // wrote the file.
  bool SaveCabinetStream(const wchar_t* tempFolder, bool* saved = nullptr);
  // Column 2 of a fetched `_Streams` row into `tempFolder` + `cabinetName`,
  // through one 64 KiB buffer. False when the stream could not be read or
  // the file could not be created, written or closed.
  bool WriteStreamToFile(MSIHANDLE record, const wchar_t* tempFolder);
  // Member `fileKey` to its long name and absolute folder (260-unit caller
  // buffers, both empty on entry). False when no File row was read.
  bool LookUpFile(const wchar_t* fileKey, wchar_t* name, wchar_t* folder);
  // Absolute folder of a Directory key, or empty when it cannot be resolved.
  std::wstring ResolveDirectory(const std::wstring& directoryKey);
};

// The same run, for callers that prefer a free operation.
bool Extract(PackageExtraction& extraction, const wchar_t* targetFolder);
// The run into the `targetFolder` the creator has already put in the record.
bool Extract(PackageExtraction& extraction);

// The cabinet iterator's callback; `context` is the PackageExtraction.
// Answers FILEOP_DOIT with the member's target path, FILEOP_SKIP, or 0 for
// every notification other than a member about to be extracted; a member the
// iterator reports as not written (its Win32 error) records status 11.
UINT CALLBACK OnCabinetNotification(PVOID context, UINT notification, UINT_PTR param1,
                                    UINT_PTR param2);

// Creates every folder level below the path's root (drive, share or their
// "\\?\" forms) leading to the file `path`; an existing level is not an
// error. False when a level cannot be created or the path has no such root.
bool CreateDirectoryChain(const wchar_t* path);

}  // namespace gantry
