// The cabinet pass: the package's cabinet, saved to the temporary folder by
// this run, is walked member by member; each member goes where the package's
// tables put it below the target folder, or is skipped.
#include <windows.h>
#include <msiquery.h>
#include <setupapi.h>

#include <algorithm>
#include <string>

#include "windows/shared/core/path_text.h"
#include "windows/install/core/cabinet_header.h"
#include "windows/install/core/folder_chain.h"
#include "windows/install/core/target_path.h"
#include "windows/install/package_extraction.h"
#include "windows/install/package_member_lookup.h"
#include "windows/shared/unique_resource.h"
#include "windows/shared/wide_text.h"

namespace gantry {
namespace {

constexpr wchar_t kCabinetName[] = L"Calix.cab";

// Every run saves its cabinet as the same file in the user's temporary
// folder. Runs in other threads, or in other processes of the logon session,
// take turns from the save to the end of the walk, so no run walks a cabinet
// that another run is still writing, or installs another package's members.
class TemporaryCabinetTurn {
 public:
  TemporaryCabinetTurn() : mutex_(CreateMutexW(nullptr, FALSE, L"Local\\Gantry.TemporaryCabinet")) {
    // Without the mutex (it could not be made or opened) the run goes on
    // alone, as a run always did.
    if (!mutex_) return;
    const DWORD waited = WaitForSingleObject(mutex_.get(), INFINITE);
    // An owner that ended without releasing leaves the cabinet to be rewritten anyway.
    owned_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
  }
  ~TemporaryCabinetTurn() {
    if (owned_) ReleaseMutex(mutex_.get());
  }
  TemporaryCabinetTurn(const TemporaryCabinetTurn&) = delete;
  TemporaryCabinetTurn& operator=(const TemporaryCabinetTurn&) = delete;

 private:
  UniqueHandle mutex_;
  bool owned_ = false;
};

// The first bytes of the saved cabinet pass the header check before the
// platform's reader sees the file.
bool HasWalkableHeader(const std::wstring& cabinetPath) {
  const UniqueFile file(CreateFileW(cabinetPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  char header[kCabinetHeaderBytes] = {};
  DWORD count = 0;
  if (!ReadFile(file.get(), header, sizeof header, &count, nullptr)) return false;
  return IsWalkableCabinetHeader(std::string_view(header, count));
}

std::wstring UpperCase(std::wstring_view text) {
  std::wstring upper(text);
  if (!upper.empty()) CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
  return upper;
}

bool IsSkipped(const PackageExtraction& extraction, std::u16string_view name) {
  const std::wstring upperName = UpperCase(AsWide(name));
  return std::any_of(extraction.skipNames.begin(), extraction.skipNames.end(),
                     [&upperName](const std::wstring& skip) { return UpperCase(skip) == upperName; });
}

// The platform's cabinet reader may take paths in the ANSI code page only:
// Wine's SetupIterateCabinetW runs its ANSI iterator, which opens the cabinet
// and writes every member through the ANSI form of its path, so a letter the
// code page lacks becomes "?" and the file is never reached.
bool IsExactInAnsiCodePage(const std::wstring& text) {
  if (GetACP() == CP_UTF8) return true;  // every text has an ANSI form there
  BOOL usedDefault = FALSE;
  const int bytes =
      WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.c_str(), -1, nullptr, 0, nullptr, &usedDefault);
  return bytes > 0 && !usedDefault;
}

std::optional<std::wstring> ShortForm(const std::wstring& existingPath) {
  wchar_t shortPath[MAX_PATH] = {};
  const DWORD units = GetShortPathNameW(existingPath.c_str(), shortPath, MAX_PATH);
  if (units == 0 || units >= MAX_PATH) return std::nullopt;
  return std::wstring(shortPath, units);
}

// `path` as the cabinet reader can reach it: as it is when its ANSI form is
// exact, else with its existing folder part (or, for an existing file, the
// whole path) in the short (8.3) form, which is plain ASCII where the volume
// has short names. Where it has none, the long form goes on and the reader
// answers for itself.
std::wstring ReachableByCabinetReader(const std::wstring& path, bool fileExists) {
  if (IsExactInAnsiCodePage(path)) return path;
  if (fileExists) {
    const std::optional<std::wstring> shortPath = ShortForm(path);
    return shortPath && IsExactInAnsiCodePage(*shortPath) ? *shortPath : path;
  }
  const std::size_t slash = path.rfind(L'\\');
  if (slash == std::wstring::npos) return path;
  const std::optional<std::wstring> shortFolder = ShortForm(path.substr(0, slash));
  if (!shortFolder) return path;
  const std::optional<std::u16string> joined = JoinPath(AsUtf16(*shortFolder), AsUtf16(path).substr(slash + 1));
  return joined && IsExactInAnsiCodePage(ToWide(*joined)) ? ToWide(*joined) : path;
}

UINT PlaceMember(PackageExtraction& extraction, FILE_IN_CABINET_INFO_W& member) {
  const std::u16string cabinetName(AsUtf16(member.NameInCabinet));
  MemberLookup lookup = LookUpMember(extraction, cabinetName);
  if (!lookup.found && lookup.name.empty()) {
    // No File row: the member keeps its cabinet name, in the target folder.
    extraction.status = kMemberWithoutFileRow;
    lookup.name = cabinetName;
    lookup.relativeFolder.clear();
  }
  if (IsSkipped(extraction, lookup.name)) return FILEOP_SKIP;

  const MemberTarget target =
      ComposeMemberTarget(AsUtf16(extraction.targetFolder), lookup.relativeFolder, lookup.name);
  if (target.outcome != MemberTarget::Outcome::kPlaced) {
    extraction.status = kMemberNotConfined;
    return FILEOP_SKIP;
  }
  const std::wstring path = ToWide(target.path);
  if (!CreateDirectoryChain(path.c_str())) {
    extraction.status = kFolderNotCreated;
    return FILEOP_SKIP;
  }
  // Fits: the composition refuses anything of 260 units or more, and a
  // short form is never longer.
  const std::wstring reachable = ReachableByCabinetReader(path, false);
  std::copy_n(reachable.c_str(), reachable.size() + 1, member.FullTargetName);
  return FILEOP_DOIT;
}

// On Windows the reader reports a member it could not write (in use by a
// running client, a full disk) here and goes on with the next one.
UINT OnMemberExtracted(PackageExtraction& extraction, const FILEPATHS_W& paths) {
  if (paths.Win32Error != NO_ERROR) extraction.status = kMemberNotWritten;
  return NO_ERROR;
}

}  // namespace

UINT CALLBACK OnCabinetNotification(PVOID context, UINT notification, UINT_PTR param1, UINT_PTR) {
  auto& extraction = *static_cast<PackageExtraction*>(context);
  if (notification == SPFILENOTIFY_FILEEXTRACTED && param1 != 0) {
    return OnMemberExtracted(extraction, *reinterpret_cast<const FILEPATHS_W*>(param1));
  }
  if (notification != SPFILENOTIFY_FILEINCABINET) return NO_ERROR;
  try {
    return PlaceMember(extraction, *reinterpret_cast<FILE_IN_CABINET_INFO_W*>(param1));
  } catch (...) {
    // Out of memory: the member is not placed; nothing may unwind through
    // the cabinet iterator.
    extraction.status = kMemberNotConfined;
    return FILEOP_SKIP;
  }
}

bool CreateDirectoryChain(const wchar_t* path) {
  const std::wstring_view text(path != nullptr ? path : L"");
  const std::optional<std::vector<std::size_t>> levels = FolderChainLengths(AsUtf16(text));
  if (!levels) return false;
  for (const std::size_t length : *levels) {
    const std::wstring level(text.substr(0, length));
    if (!CreateDirectoryW(level.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
  }
  return true;
}

bool PackageExtraction::Extract(const wchar_t* target) {
  status = kExtractionSucceeded;
  database.reset();
  const std::wstring_view targetText(target != nullptr ? target : L"");
  std::copy_n(kCabinetName, std::size(kCabinetName), cabinetName);
  // A target that does not fit would be cut into another folder, and an
  // empty one would place members relative to the current folder.
  if (targetText.empty() || !FitsWithTerminator(targetText.size(), MAX_PATH)) {
    targetFolder[0] = L'\0';
    status = kMemberNotConfined;
    return false;
  }
  std::copy_n(targetText.data(), targetText.size(), targetFolder);
  targetFolder[targetText.size()] = L'\0';

  wchar_t tempFolder[MAX_PATH] = {};
  const DWORD tempUnits = GetTempPathW(MAX_PATH, tempFolder);
  if (tempUnits == 0 || tempUnits >= MAX_PATH) {
    status = kCabinetNotSaved;
    return false;
  }
  const TemporaryCabinetTurn turn;
  bool saved = false;
  if (!SaveCabinetStream(tempFolder, &saved)) return false;
  // Only a cabinet this run wrote is walked: a "Calix.cab" left by an earlier
  // run belongs to another package.
  if (!saved) {
    status = kNoCabinetStream;
    return false;
  }
  const auto cabinetPath = JoinPath(AsUtf16(tempFolder), AsUtf16(cabinetName));
  if (!cabinetPath) {
    status = kCabinetNotSaved;
    return false;
  }
  if (!HasWalkableHeader(ToWide(*cabinetPath))) {
    status = kCabinetNotReadable;
    return false;
  }
  if (MsiOpenDatabaseW(packagePath, MSIDBOPEN_READONLY, database.put()) != ERROR_SUCCESS) {
    status = kPackageNotOpened;
    return false;
  }
  // A cabinet that cannot be walked installed nothing: not a success.
  const std::wstring cabinetForReader = ReachableByCabinetReader(ToWide(*cabinetPath), true);
  if (!SetupIterateCabinetW(cabinetForReader.c_str(), 0, OnCabinetNotification, this)) {
    status = kCabinetNotReadable;
  }
  database.reset();
  return status == kExtractionSucceeded;
}

bool Extract(PackageExtraction& extraction, const wchar_t* targetFolder) {
  return extraction.Extract(targetFolder);
}

bool Extract(PackageExtraction& extraction) {
  wchar_t target[MAX_PATH];
  std::copy_n(extraction.targetFolder, MAX_PATH, target);
  target[MAX_PATH - 1] = L'\0';
  return extraction.Extract(target);
}

}  // namespace gantry
