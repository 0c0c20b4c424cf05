#include "windows/install/package_extraction.h"

#include <msiquery.h>
#include <shlwapi.h>

#include <algorithm>
#include <memory>
#include <new>

#include "windows/shared/core/path_text.h"
#include "windows/install/core/package_text.h"
#include "windows/install/package_member_lookup.h"
#include "windows/shared/wide_text.h"

namespace gantry {
namespace {

constexpr wchar_t kStreamsQuery[] = L"SELECT `Name`, `Data` FROM `_Streams`";
// The key goes in as a parameter, so a quote in it cannot change the query.
constexpr wchar_t kFileQuery[] =
    L"SELECT `File`.`FileName`,`Component`.`Directory_` FROM `File`,`Component` "
    L"WHERE `File`.`Component_`=`Component`.`Component` AND `File`.`File` = ?";
constexpr wchar_t kDirectoryQuery[] =
    L"SELECT `Directory`.`Directory_Parent` FROM `Directory` WHERE `Directory`.`Directory` = ?";

// Under Wine every read and write is a trip through the platform layers: 64
// KiB chunks copy a 20 MB cabinet in about half the time 1 KiB chunks take,
// and memory use still does not grow with the cabinet.
constexpr DWORD kStreamChunkBytes = 64 * 1024;

// Copies at most 259 units into a 260-unit buffer and always terminates.
void CopyCut(wchar_t* buffer, std::wstring_view text) {
  const std::size_t units = std::min<std::size_t>(text.size(), MAX_PATH - 1);
  std::copy_n(text.data(), units, buffer);
  buffer[units] = L'\0';
}

// A string column: size query first, then a buffer of the size asked for.
bool ReadStringColumn(MSIHANDLE record, UINT field, std::wstring& text) {
  wchar_t empty[1] = {L'\0'};
  DWORD units = 0;
  UINT result = MsiRecordGetStringW(record, field, empty, &units);
  if (result == ERROR_SUCCESS) {
    text.clear();
    return true;
  }
  if (result != ERROR_MORE_DATA) return false;
  std::wstring buffer(units + 1, L'\0');
  DWORD capacity = units + 1;
  if (MsiRecordGetStringW(record, field, buffer.data(), &capacity) != ERROR_SUCCESS) return false;
  buffer.resize(std::min<std::size_t>(capacity, units));
  text = std::move(buffer);
  return true;
}

// Prepares `query` on `database` and executes it with `key` as its one
// parameter; records status 2 or 3 on failure.
bool OpenKeyedView(PackageExtraction& extraction, const wchar_t* query, const std::u16string& key,
                   UniqueMsiHandle& view) {
  if (MsiDatabaseOpenViewW(extraction.database.get(), query, view.put()) != ERROR_SUCCESS) {
    extraction.status = kQueryNotPrepared;
    return false;
  }
  UniqueMsiHandle parameters(MsiCreateRecord(1));
  if (!parameters ||
      MsiRecordSetStringW(parameters.get(), 1, ToWide(key).c_str()) != ERROR_SUCCESS ||
      MsiViewExecute(view.get(), parameters.get()) != ERROR_SUCCESS) {
    extraction.status = kQueryNotExecuted;
    return false;
  }
  return true;
}

DirectoryParent LookUpDirectoryParent(PackageExtraction& extraction, std::u16string_view key) {
  using Outcome = DirectoryParent::Outcome;
  UniqueMsiHandle view;
  if (!OpenKeyedView(extraction, kDirectoryQuery, std::u16string(key), view)) {
    return {Outcome::kFailed, {}};
  }
  UniqueMsiHandle record;
  if (MsiViewFetch(view.get(), record.put()) != ERROR_SUCCESS) return {Outcome::kNoRow, {}};
  std::wstring parent;
  if (!ReadStringColumn(record.get(), 1, parent)) {
    extraction.status = kStringNotRead;
    return {Outcome::kFailed, {}};
  }
  return {Outcome::kFound, ToUtf16(parent)};
}

DirectoryWalk WalkFrom(PackageExtraction& extraction, std::u16string_view key) {
  return WalkDirectoryChain(key, [&extraction](std::u16string_view level) {
    return LookUpDirectoryParent(extraction, level);
  });
}

std::u16string AbsoluteFolder(const PackageExtraction& extraction, const std::u16string& relative) {
  std::u16string folder(AsUtf16(extraction.targetFolder));
  if (relative.empty()) return folder;
  if (folder.empty() || folder.back() != u'\\') folder.push_back(u'\\');
  return folder + relative;
}

}  // namespace

void PackageExtraction::SetPackagePath(std::wstring_view path) { CopyCut(packagePath, path); }

bool PackageExtraction::SaveCabinetStream(const wchar_t* tempFolder, bool* saved) {
  if (saved != nullptr) *saved = false;
  UniqueMsiHandle package;
  if (MsiOpenDatabaseW(packagePath, MSIDBOPEN_READONLY, package.put()) != ERROR_SUCCESS) {
    status = kPackageNotOpened;
    return false;
  }
  UniqueMsiHandle view;
  if (MsiDatabaseOpenViewW(package.get(), kStreamsQuery, view.put()) != ERROR_SUCCESS) {
    status = kQueryNotPrepared;
    return false;
  }
  if (MsiViewExecute(view.get(), 0) != ERROR_SUCCESS) {
    status = kQueryNotExecuted;
    return false;
  }
  UniqueMsiHandle record;
  while (MsiViewFetch(view.get(), record.put()) == ERROR_SUCCESS) {
    std::wstring streamName;
    if (!ReadStringColumn(record.get(), 1, streamName)) {
      status = kStringNotRead;
      return false;
    }
    if (streamName != cabinetName) continue;  // case matters, and the whole length
    if (!WriteStreamToFile(record.get(), tempFolder)) {
      status = kCabinetNotSaved;
      return false;
    }
    if (saved != nullptr) *saved = true;
  }
  return true;  // record, view and package close in that order
}

bool PackageExtraction::WriteStreamToFile(MSIHANDLE record, const wchar_t* tempFolder) {
  const auto path = JoinPath(AsUtf16(tempFolder), AsUtf16(cabinetName));
  if (!path) return false;
  UniqueFile file(CreateFileW(AsWide(*path).data(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  // On the heap: the calling Java thread's stack may be small.
  const std::unique_ptr<char[]> buffer(new (std::nothrow) char[kStreamChunkBytes]);
  if (!buffer) return false;
  DWORD count = kStreamChunkBytes;
  do {
    if (MsiRecordReadStream(record, 2, buffer.get(), &count) != ERROR_SUCCESS) return false;
    if (count > kStreamChunkBytes) return false;
    DWORD written = 0;
    if (count > 0 && (!WriteFile(file.get(), buffer.get(), count, &written, nullptr) || written != count)) {
      return false;
    }
  } while (count != 0);
  // A full disk may only show when the last data is flushed at close.
  return CloseHandle(file.release()) != FALSE;
}

MemberLookup LookUpMember(PackageExtraction& extraction, const std::u16string& fileKey) {
  MemberLookup member;
  UniqueMsiHandle view;
  if (!OpenKeyedView(extraction, kFileQuery, fileKey, view)) return member;
  UniqueMsiHandle record;
  while (MsiViewFetch(view.get(), record.put()) == ERROR_SUCCESS) {
    std::wstring fileName;
    if (!ReadStringColumn(record.get(), 1, fileName)) {
      extraction.status = kStringNotRead;
      break;
    }
    member.name = std::u16string(LongFileName(AsUtf16(fileName)));
    member.relativeFolder.clear();
    std::wstring directoryKey;
    // A Directory_ that cannot be read leaves the member in the target folder.
    if (ReadStringColumn(record.get(), 2, directoryKey)) {
      DirectoryWalk walk = WalkFrom(extraction, AsUtf16(directoryKey));
      if (walk.outcome == DirectoryWalk::Outcome::kResolved) {
        member.relativeFolder = std::move(walk.relativeFolder);
      }
    }
    member.found = true;
  }
  return member;
}

bool PackageExtraction::LookUpFile(const wchar_t* fileKey, wchar_t* name, wchar_t* folder) {
  const MemberLookup member = LookUpMember(*this, ToUtf16(fileKey));
  if (!member.found) return false;
  CopyCut(name, AsWide(member.name));
  CopyCut(folder, AsWide(AbsoluteFolder(*this, member.relativeFolder)));
  return true;
}

std::wstring PackageExtraction::ResolveDirectory(const std::wstring& directoryKey) {
  DirectoryWalk walk = WalkFrom(*this, AsUtf16(directoryKey));
  if (walk.outcome != DirectoryWalk::Outcome::kResolved) return {};
  return ToWide(AbsoluteFolder(*this, walk.relativeFolder));
}

}  // namespace gantry
