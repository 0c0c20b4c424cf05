// Small tools of the Windows benchmark: a clock, timing summaries, the
// package manifest and the check that a folder holds exactly what it says,
// folder removal and child processes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace gantry::bench {

// Seconds since an arbitrary start, from the performance counter.
double Now();

struct Timing {
  double median = 0;
  double min = 0;
  double max = 0;
  std::size_t samples = 0;
};
Timing Summarize(std::vector<double> seconds);

// One file of the generated package, as make_bench_package.py lists it.
struct ManifestEntry {
  std::wstring fileKey;       // the cabinet member's name
  std::wstring relativePath;  // below the client folder
  std::uint64_t size = 0;
  std::uint32_t crc32 = 0;
};
std::optional<std::vector<ManifestEntry>> ReadManifest(const std::wstring& path);

// What a folder holds compared with the manifest. Files are named either by
// their path below the client folder or by their File key (a flat cabinet
// extraction).
enum class Naming { kRelativePath, kFileKey };
struct TreeCheck {
  std::size_t files = 0;         // every file below the folder
  std::uint64_t bytes = 0;       // their sizes added up
  std::size_t matching = 0;      // manifest files present with the right size and CRC-32
  std::vector<std::wstring> problems;  // the first few differences, for the report
  bool Complete(std::size_t expectedFiles, std::size_t extraFiles) const {
    return problems.empty() && matching == expectedFiles && files == expectedFiles + extraFiles;
  }
};
TreeCheck CheckTree(const std::wstring& root, const std::vector<ManifestEntry>& manifest, Naming naming);

std::uint32_t FileCrc32(const std::wstring& path, std::uint64_t* size);

// Removes a file or folder with everything below it; absent is fine. Does
// not follow reparse points.
void DeleteTree(const std::wstring& path);

struct ProcessRun {
  bool started = false;
  bool finished = false;
  DWORD exitCode = 0;
};
// Starts the command line, waits up to `timeoutMs` (terminating it then).
ProcessRun RunProcess(const std::wstring& commandLine, DWORD timeoutMs);

std::wstring ProgramFolder();  // with no trailing backslash
std::wstring TemporaryFolder();  // with its trailing backslash
std::wstring Quoted(const std::wstring& text);
std::string Narrow(const std::wstring& text);  // UTF-8

}  // namespace gantry::bench
