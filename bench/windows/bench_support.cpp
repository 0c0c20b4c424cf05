#include "bench/windows/bench_support.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <map>
#include <sstream>

#include "windows/shared/unique_resource.h"

namespace gantry::bench {
namespace {

struct FindHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Handle h) { return h != INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { FindClose(h); }
};
using UniqueFind = UniqueResource<FindHandleTraits>;

std::wstring Widen(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), units);
  return wide;
}

const std::array<std::uint32_t, 256>& CrcTable() {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> entries{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      entries[i] = c;
    }
    return entries;
  }();
  return table;
}

// Every file below `root`, by its path relative to it.
void ListFiles(const std::wstring& root, const std::wstring& relative,
               std::map<std::wstring, std::wstring>& files) {
  WIN32_FIND_DATAW found;
  const std::wstring folder = relative.empty() ? root : root + L"\\" + relative;
  UniqueFind search(FindFirstFileW((folder + L"\\*").c_str(), &found));
  if (!search) return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring child = relative.empty() ? name : relative + L"\\" + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) ListFiles(root, child, files);
    } else {
      files[child] = root + L"\\" + child;
    }
  } while (FindNextFileW(search.get(), &found));
}

}  // namespace

double Now() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / frequency;
}

Timing Summarize(std::vector<double> seconds) {
  Timing timing;
  timing.samples = seconds.size();
  if (seconds.empty()) return timing;
  std::sort(seconds.begin(), seconds.end());
  const std::size_t middle = seconds.size() / 2;
  timing.median = seconds.size() % 2 ? seconds[middle] : (seconds[middle - 1] + seconds[middle]) / 2;
  timing.min = seconds.front();
  timing.max = seconds.back();
  return timing;
}

std::optional<std::vector<ManifestEntry>> ReadManifest(const std::wstring& path) {
  std::ifstream in(Narrow(path), std::ios::binary);
  // mingw's ifstream takes a narrow path in the ANSI code page; the paths
  // here are ASCII, so UTF-8 is the same text.
  if (!in) return std::nullopt;
  std::vector<ManifestEntry> entries;
  for (std::string line; std::getline(in, line);) {
    if (line.empty()) continue;
    std::istringstream fields(line);
    std::string key, relative, size, crc;
    if (!std::getline(fields, key, '\t') || !std::getline(fields, relative, '\t') ||
        !std::getline(fields, size, '\t') || !std::getline(fields, crc)) {
      return std::nullopt;
    }
    entries.push_back({Widen(key), Widen(relative), std::stoull(size),
                       static_cast<std::uint32_t>(std::stoul(crc, nullptr, 16))});
  }
  return entries;
}

std::uint32_t FileCrc32(const std::wstring& path, std::uint64_t* size) {
  *size = 0;
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return 0;
  const auto& table = CrcTable();
  std::uint32_t crc = 0xFFFFFFFFu;
  std::vector<unsigned char> buffer(1 << 16);
  DWORD count = 0;
  while (ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &count, nullptr) && count > 0) {
    for (DWORD i = 0; i < count; ++i) crc = table[(crc ^ buffer[i]) & 0xFF] ^ (crc >> 8);
    *size += count;
  }
  return crc ^ 0xFFFFFFFFu;
}

TreeCheck CheckTree(const std::wstring& root, const std::vector<ManifestEntry>& manifest, Naming naming) {
  TreeCheck check;
  std::map<std::wstring, std::wstring> files;
  ListFiles(root, L"", files);
  // Windows names compare without regard to case.
  std::map<std::wstring, std::wstring> byUpperName;
  for (const auto& [relative, full] : files) {
    std::wstring upper = relative;
    CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    byUpperName[upper] = full;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExW(full.c_str(), GetFileExInfoStandard, &data)) {
      check.bytes += (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
  }
  check.files = files.size();
  auto note = [&check](const std::wstring& text) {
    if (check.problems.size() < 5) check.problems.push_back(text);
  };
  for (const ManifestEntry& entry : manifest) {
    std::wstring name = naming == Naming::kFileKey ? entry.fileKey : entry.relativePath;
    CharUpperBuffW(name.data(), static_cast<DWORD>(name.size()));
    const auto found = byUpperName.find(name);
    if (found == byUpperName.end()) {
      note(L"missing " + name);
      continue;
    }
    std::uint64_t size = 0;
    const std::uint32_t crc = FileCrc32(found->second, &size);
    if (size != entry.size || crc != entry.crc32) {
      note(L"different content " + name);
      continue;
    }
    ++check.matching;
  }
  return check;
}

void DeleteTree(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    WIN32_FIND_DATAW found;
    {
      UniqueFind search(FindFirstFileW((path + L"\\*").c_str(), &found));
      std::vector<std::wstring> children;
      if (search) {
        do {
          const std::wstring name = found.cFileName;
          if (name != L"." && name != L"..") children.push_back(path + L"\\" + name);
        } while (FindNextFileW(search.get(), &found));
      }
      search.reset();
      for (const std::wstring& child : children) DeleteTree(child);
    }
    RemoveDirectoryW(path.c_str());
  } else {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
  }
}

ProcessRun RunProcess(const std::wstring& commandLine, DWORD timeoutMs) {
  ProcessRun run;
  std::wstring writable = commandLine;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return run;
  }
  const UniqueHandle thread(process.hThread);
  const UniqueHandle child(process.hProcess);
  run.started = true;
  if (WaitForSingleObject(child.get(), timeoutMs) == WAIT_OBJECT_0) {
    run.finished = true;
    GetExitCodeProcess(child.get(), &run.exitCode);
  } else {
    TerminateProcess(child.get(), 1);
    WaitForSingleObject(child.get(), 10000);
  }
  return run;
}

std::wstring ProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, path.data(), MAX_PATH);
  path.resize(length);
  return path.substr(0, path.find_last_of(L'\\'));
}

std::wstring TemporaryFolder() {
  wchar_t folder[MAX_PATH] = {};
  const DWORD length = GetTempPathW(MAX_PATH, folder);
  return std::wstring(folder, length < MAX_PATH ? length : 0);
}

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

std::string Narrow(const std::wstring& text) {
  if (text.empty()) return {};
  const int bytes =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), bytes, nullptr,
                      nullptr);
  return narrow;
}

}  // namespace gantry::bench
