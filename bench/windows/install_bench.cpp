// gantry-bench: how fast the basic client installation is, side by side with
// Windows Installer's own extraction of the same package and a plain
// extraction of the same cabinet, all in one prefix (or on one Windows
// machine); then the latency of session start and of a question to the
// client windows with one hung window among them.
//
//   gantry-bench --package P.msi --cabinet Calix.cab --manifest manifest.txt
//                [--runs 7] [--calls 20] [--no-fresh-hang] [--no-phases]
//                [--compare-dll OTHER\Gantry.dll]
//
// Every timed run starts from an empty target and is checked afterwards
// against the manifest (file count, sizes, CRC-32): a run that did not
// produce every file ends the benchmark with exit code 1, since timing a
// failing run says nothing.
#include <windows.h>
#include <msiquery.h>
#include <setupapi.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "bench/windows/bench_support.h"
#include "tools/jni_env/fake_jni.h"
#include "tools/jni_env/gantry_library.h"
#include "windows/discovery/client_locator.h"
#include "windows/install/client_registration.h"
#include "windows/install/package_extraction.h"
#include "windows/install/core/basic_client_package.h"
#include "windows/shared/unique_resource.h"

using namespace gantry;
using namespace gantry::bench;
using gantry::testing::FakeJni;
using gantry::testing::GantryLibrary;

namespace {

struct Options {
  std::wstring package;
  std::wstring cabinet;
  std::wstring manifest;
  int runs = 7;
  int calls = 20;
  bool freshHang = true;
  bool phases = true;
  std::wstring compareDll;  // a second build of the library, timed beside the first
};

struct Failure {
  std::string what;
};

[[noreturn]] void Fail(const std::string& what) { throw Failure{what}; }

std::u16string U16(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }

void PrintTiming(const char* label, const Timing& timing, const char* note = "") {
  std::printf("%-44s %9.3f %9.3f %9.3f %4zu  %s\n", label, timing.median, timing.min, timing.max, timing.samples,
              note);
  std::fflush(stdout);
}

void Require(const TreeCheck& check, std::size_t expected, std::size_t extra, const std::string& what) {
  if (check.Complete(expected, extra)) return;
  std::string message = what + ": " + std::to_string(check.matching) + " of " + std::to_string(expected) +
                        " files right, " + std::to_string(check.files) + " files in all";
  for (const std::wstring& problem : check.problems) message += "; " + Narrow(problem);
  Fail(message);
}

double Time(const std::function<void()>& action) {
  const double start = Now();
  action();
  return Now() - start;
}

// The installer's extraction under the mode that produced the files: "/a"
// (administrative installation), or "/i" with TARGETDIR where the
// administrative installation is not available (Wine 8 runs no "ADMIN"
// action; the package's execute sequence holds only costing and InstallFiles,
// so "/i" does the same extraction and registers nothing).
struct InstallerMode {
  const wchar_t* option;
  const char* label;
};

std::wstring InstallerCommand(const InstallerMode& mode, const std::wstring& package, const std::wstring& target) {
  return L"msiexec " + std::wstring(mode.option) + L" " + Quoted(package) + L" /qn " +
         Quoted(L"TARGETDIR=" + target);
}

// --- In-process phases of the basic client installation -------------------

// An empty `file` reads the stream without writing it anywhere.
std::wstring StreamCopyWithChunk(const std::wstring& package, const std::wstring& file, DWORD chunk) {
  UniqueMsiHandle database;
  if (MsiOpenDatabaseW(package.c_str(), MSIDBOPEN_READONLY, database.put()) != ERROR_SUCCESS) return L"open";
  UniqueMsiHandle view;
  if (MsiDatabaseOpenViewW(database.get(), L"SELECT `Name`, `Data` FROM `_Streams` WHERE `Name` = 'Calix.cab'",
                           view.put()) != ERROR_SUCCESS ||
      MsiViewExecute(view.get(), 0) != ERROR_SUCCESS) {
    return L"query";
  }
  UniqueMsiHandle record;
  if (MsiViewFetch(view.get(), record.put()) != ERROR_SUCCESS) return L"fetch";
  UniqueFile out;
  if (!file.empty()) {
    out.reset(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) return L"create";
  }
  std::vector<char> buffer(chunk);
  DWORD count = chunk;
  do {
    if (MsiRecordReadStream(record.get(), 2, buffer.data(), &count) != ERROR_SUCCESS) return L"read";
    DWORD written = 0;
    if (out && count > 0 && !WriteFile(out.get(), buffer.data(), count, &written, nullptr)) return L"write";
  } while (count != 0);
  return L"";
}

struct FlatTarget {
  std::wstring folder;
  int placed = 0;
};

UINT CALLBACK PlaceFlat(PVOID context, UINT notification, UINT_PTR param1, UINT_PTR) {
  if (notification != SPFILENOTIFY_FILEINCABINET) return NO_ERROR;
  auto& target = *static_cast<FlatTarget*>(context);
  auto& member = *reinterpret_cast<FILE_IN_CABINET_INFO_W*>(param1);
  const std::wstring path = target.folder + L"\\" + member.NameInCabinet;
  if (path.size() >= MAX_PATH) return FILEOP_SKIP;
  std::wcscpy(member.FullTargetName, path.c_str());
  ++target.placed;
  return FILEOP_DOIT;
}

void MeasurePhases(const Options& options, const std::vector<ManifestEntry>& manifest) {
  const std::wstring scratch = TemporaryFolder() + L"gantry-bench-phases";
  DeleteTree(scratch);
  CreateDirectoryW(scratch.c_str(), nullptr);
  const std::wstring scratchWithSlash = scratch + L"\\";
  std::vector<double> flushed, folders, save, smallCopy, wideCopy, hugeCopy, readOnly, lookups, iterate, extract, registration;
  for (int run = 0; run < options.runs; ++run) {
    // The library's own stream copy.
    save.push_back(Time([&] {
      PackageExtraction extraction;
      extraction.SetPackagePath(options.package);
      std::wcscpy(extraction.cabinetName, L"Calix.cab");
      bool saved = false;
      if (!extraction.SaveCabinetStream(scratchWithSlash.c_str(), &saved) || !saved) Fail("stream not saved");
    }));
    // The same copy in other chunk sizes, to see what the chunk size costs.
    smallCopy.push_back(Time([&] {
      const std::wstring error = StreamCopyWithChunk(options.package, scratch + L"\\small.cab", 1024);
      if (!error.empty()) Fail("1 KiB stream copy: " + Narrow(error));
    }));
    wideCopy.push_back(Time([&] {
      const std::wstring error = StreamCopyWithChunk(options.package, scratch + L"\\wide.cab", 1 << 16);
      if (!error.empty()) Fail("64 KiB stream copy: " + Narrow(error));
    }));
    hugeCopy.push_back(Time([&] {
      const std::wstring error = StreamCopyWithChunk(options.package, scratch + L"\\huge.cab", 1 << 20);
      if (!error.empty()) Fail("1 MiB stream copy: " + Narrow(error));
    }));
    // Reading alone: what Windows Installer's stream reader costs.
    readOnly.push_back(Time([&] {
      const std::wstring error = StreamCopyWithChunk(options.package, L"", 1 << 16);
      if (!error.empty()) Fail("stream read: " + Narrow(error));
    }));
    // Every member's File and Directory queries, nothing written.
    lookups.push_back(Time([&] {
      PackageExtraction extraction;
      extraction.SetPackagePath(options.package);
      std::wcscpy(extraction.targetFolder, L"C:\\lookups");
      if (MsiOpenDatabaseW(extraction.packagePath, MSIDBOPEN_READONLY, extraction.database.put()) != ERROR_SUCCESS) {
        Fail("package not opened");
      }
      for (const ManifestEntry& entry : manifest) {
        wchar_t name[MAX_PATH] = {};
        wchar_t folder[MAX_PATH] = {};
        if (!extraction.LookUpFile(entry.fileKey.c_str(), name, folder)) Fail("lookup failed");
      }
    }));
    // The cabinet walk alone: decompression and writes, flat, no lookups.
    const std::wstring flat = scratch + L"\\flat";
    DeleteTree(flat);
    CreateDirectoryW(flat.c_str(), nullptr);
    FlatTarget target{flat};
    iterate.push_back(Time([&] {
      if (!SetupIterateCabinetW((scratch + L"\\wide.cab").c_str(), 0, PlaceFlat, &target)) Fail("cabinet walk");
    }));
    Require(CheckTree(flat, manifest, Naming::kFileKey), manifest.size(), 0, "cabinet walk");
    // The whole extraction run of the installation (save, walk, lookups, folders, writes).
    const std::wstring placed = scratch + L"\\placed";
    DeleteTree(placed);
    extract.push_back(Time([&] {
      PackageExtraction extraction;
      extraction.SetPackagePath(options.package);
      for (const char16_t* name : kBasicClientSkipNames) {
        extraction.skipNames.push_back(reinterpret_cast<const wchar_t*>(name));
      }
      if (!extraction.Extract(placed.c_str())) Fail("extraction status " + std::to_string(extraction.status));
    }));
    Require(CheckTree(placed, manifest, Naming::kRelativePath), manifest.size(), 0, "extraction run");
    // A small file written and flushed to disk right after the extraction,
    // as the installation writes its removal script.
    flushed.push_back(Time([&] {
      UniqueFile file(CreateFileW((placed + L"\\flushed.bat").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
      const char text[] = "@echo off\r\n";
      DWORD written = 0;
      if (!file || !WriteFile(file.get(), text, sizeof text - 1, &written, nullptr) ||
          !FlushFileBuffers(file.get())) {
        Fail("flushed file");
      }
    }));
    DeleteFileW((placed + L"\\flushed.bat").c_str());
    // The folder levels of every member's path, all present already: what
    // the walk spends making sure a member's folders exist.
    folders.push_back(Time([&] {
      for (const ManifestEntry& entry : manifest) {
        if (!CreateDirectoryChain((placed + L"\\" + entry.relativePath).c_str())) Fail("folder chain");
      }
    }));
    // The per-user registration the installation does when no associated
    // client registers itself.
    const std::wstring program = placed + L"\\Varnel.exe";
    registration.push_back(Time([&] {
      if (!RegisterConnectionFileType(program) || !RegisterUrlProtocol(program)) Fail("registration");
    }));
  }
  DeleteTree(scratch);
  std::printf("\nphases of the installation, in process (seconds)   median       min       max    n\n");
  PrintTiming("stream to temporary file (SaveCabinetStream)", Summarize(save), "(the library's copy)");
  PrintTiming("stream to temporary file, 1 KiB chunks", Summarize(smallCopy), "(comparison only)");
  PrintTiming("stream to temporary file, 64 KiB chunks", Summarize(wideCopy), "(comparison only)");
  PrintTiming("stream to temporary file, 1 MiB chunks", Summarize(hugeCopy), "(comparison only)");
  PrintTiming("stream read only, 64 KiB chunks, no file", Summarize(readOnly), "(comparison only)");
  PrintTiming("File + Directory queries, every member", Summarize(lookups));
  PrintTiming("SetupIterateCabinetW, flat, no queries", Summarize(iterate));
  PrintTiming("whole extraction run (PackageExtraction)", Summarize(extract));
  PrintTiming("folder chains of every member, all present", Summarize(folders));
  PrintTiming("small file written and flushed after it", Summarize(flushed));
  PrintTiming("registration (file type, URL protocol)", Summarize(registration));
}

// --- Session start and questions --------------------------------------------

struct WindowSearch {
  DWORD processId;
  int count;
};

BOOL CALLBACK CountClientWindows(HWND window, LPARAM context) {
  auto& search = *reinterpret_cast<WindowSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search.processId && GetPropW(window, L"Kuv_Varnel") != nullptr) ++search.count;
  return TRUE;
}

// A test client showing one client window, stopped by process id.
class ClientWindowProcess {
 public:
  ClientWindowProcess(const std::wstring& program, bool hang, DWORD limitMs) {
    const std::wstring log = TemporaryFolder() + L"gantry-bench-window.log";
    std::wstring commandLine = Quoted(program) + L" --window 0,0 --log " + Quoted(log) + L" --limit-ms " +
                               std::to_wstring(limitMs) + (hang ? L" --hang" : L"");
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &started)) {
      Fail("test client window not started");
    }
    UniqueHandle thread(started.hThread);
    process_.reset(started.hProcess);
    for (int attempt = 0; attempt < 400; ++attempt) {
      WindowSearch search{started.dwProcessId, 0};
      EnumWindows(CountClientWindows, reinterpret_cast<LPARAM>(&search));
      if (search.count == 1) {
        readyAt_ = Now();
        return;
      }
      Sleep(25);
    }
    Fail("test client window not shown");
  }
  ~ClientWindowProcess() {
    TerminateProcess(process_.get(), 1);
    WaitForSingleObject(process_.get(), 10000);
  }
  double readyAt() const { return readyAt_; }

 private:
  UniqueHandle process_;
  double readyAt_ = 0;
};

bool SetClassesDefault(const std::wstring& key, const std::wstring& value) {
  UniqueHkey opened;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, opened.put(), nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  return RegSetValueExW(opened.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

// The connection-file association to the test client, for session start;
// removed again afterwards. Wine reads HKEY_CLASSES_ROOT from the machine's
// classes only, so it is written there.
class ScopedAssociation {
 public:
  explicit ScopedAssociation(const std::wstring& program) {
    if (!SetClassesDefault(L".kuva", L"Varnel.Document") ||
        !SetClassesDefault(L"Varnel.Document\\shell\\open\\command", Quoted(program) + L" \"%1\"")) {
      Fail("association not written");
    }
  }
  ~ScopedAssociation() {
    SHDeleteKeyW(HKEY_CLASSES_ROOT, L"Varnel.Document");
    SHDeleteKeyW(HKEY_CLASSES_ROOT, L".kuva");
  }
};

void MeasureSessions(const Options& options, const GantryLibrary& library) {
  const std::wstring client = ProgramFolder() + L"\\varnel-10.1-build1238.exe";
  std::printf("\nsessions (seconds)                                median       min       max    n\n");
  {
    const ScopedAssociation association(client);
    std::vector<double> starts;
    for (int call = 0; call < options.calls; ++call) {
      FakeJni jni;
      const jstring text = jni.NewString(u"full address:s:bench\r\n");
      const jstring name = jni.NewString(u"gantry-bench.kuva");
      bool started = false;
      starts.push_back(Time([&] {
        started = library.CallBooleanWithStrings(jni.env(), "StartSession", text, name) != JNI_FALSE;
      }));
      if (!started) Fail("StartSession returned false");
      Sleep(100);  // the client started by the call exits at once; let it go before the next call
    }
    PrintTiming("StartSession (client exits at once)", Summarize(starts));
  }

  auto ask = [&library] {
    FakeJni jni;
    bool answer = true;
    const double seconds =
        Time([&] { answer = library.CallBoolean(jni.env(), "IsAnyNativeDesktopSessions") != JNI_FALSE; });
    if (answer) Fail("a window answering 0 was counted as a session");
    return seconds;
  };
  {
    const ClientWindowProcess window(client, false, 60000);
    std::vector<double> questions;
    for (int call = 0; call < options.calls; ++call) questions.push_back(ask());
    PrintTiming("IsAnyNativeDesktopSessions, 1 answering window", Summarize(questions));
  }
  {
    const ClientWindowProcess window(client, true, 150000);
    if (options.freshHang) {
      // Asked at once: the window has not been unpumped long enough to count
      // as hung, so the question may wait for the whole time-out.
      const double seconds = ask();
      PrintTiming("IsAnyNativeDesktopSessions, hung < 5 s ago", Summarize({seconds}),
                  "(asked as soon as the window showed)");
    }
    const double settled = window.readyAt() + 6.0;
    if (Now() < settled) Sleep(static_cast<DWORD>((settled - Now()) * 1000) + 1);
    std::vector<double> questions;
    for (int call = 0; call < options.calls; ++call) questions.push_back(ask());
    PrintTiming("IsAnyNativeDesktopSessions, hung > 5 s ago", Summarize(questions),
                "(window unpumped for at least 6 s)");
  }
}

// --- The installation comparison ---------------------------------------------

int Run(const Options& options) {
  const std::optional<std::vector<ManifestEntry>> manifest = ReadManifest(options.manifest);
  if (!manifest || manifest->empty()) Fail("manifest not read");
  std::uint64_t manifestBytes = 0;
  for (const ManifestEntry& entry : *manifest) manifestBytes += entry.size;
  const std::size_t fileCount = manifest->size();

  const GantryLibrary library(ProgramFolder() + L"\\Gantry.dll");
  if (!library.loaded()) Fail("Gantry.dll not loaded, error " + std::to_string(library.loadError()));
  const std::optional<std::wstring> clientFolder = MakeBasicClientFolderPath();
  if (!clientFolder) Fail("no basic client folder path");

  const std::wstring scratch = TemporaryFolder() + L"gantry-bench";
  DeleteTree(scratch);
  CreateDirectoryW(scratch.c_str(), nullptr);
  const std::wstring installerTarget = scratch + L"\\installer";
  const std::wstring rawTarget = scratch + L"\\raw";

  // The administrative installation first; where it installs nothing, the
  // installation with TARGETDIR stands in for it.
  InstallerMode mode{L"/a", "msiexec /a (administrative)"};
  {
    const ProcessRun probe = RunProcess(InstallerCommand(mode, options.package, installerTarget), 600000);
    const TreeCheck check = CheckTree(installerTarget + L"\\Kuv", *manifest, Naming::kRelativePath);
    std::printf("msiexec /a: exit code %lu, %zu of %zu files\n", probe.exitCode, check.matching, fileCount);
    if (!probe.finished || probe.exitCode != 0 || !check.Complete(fileCount, 0)) {
      mode = {L"/i", "msiexec /i TARGETDIR (stands in for /a)"};
      std::printf("administrative installation unavailable here: timing \"msiexec /i ... /qn TARGETDIR=...\" "
                  "(costing and InstallFiles only, nothing registered) instead\n");
    }
    DeleteTree(installerTarget);
  }

  std::printf("package: %zu files, %llu bytes; cabinet %s\n", fileCount,
              static_cast<unsigned long long>(manifestBytes), Narrow(options.cabinet).c_str());
  std::printf("runs: %d, in turn (each round starting with the next contender), each from an empty target,\n"
              "each checked file by file (size, CRC-32)\n\n",
              options.runs);

  std::optional<GantryLibrary> otherLibrary;
  if (!options.compareDll.empty()) {
    otherLibrary.emplace(options.compareDll);
    if (!otherLibrary->loaded()) Fail("the library to compare with was not loaded");
  }
  // One timed installation from an empty client folder, checked afterwards:
  // every package file and the removal script.
  auto install = [&](const GantryLibrary& installing, std::vector<double>& times) {
    DeleteTree(*clientFolder);
    FakeJni jni;
    const jstring package = jni.NewString(U16(options.package));
    bool installed = false;
    times.push_back(Time([&] {
      installed = installing.CallBooleanWithString(jni.env(), "InstallBasicClient", package) != JNI_FALSE;
    }));
    if (!installed) Fail("InstallBasicClient returned false");
    Require(CheckTree(*clientFolder, *manifest, Naming::kRelativePath), fileCount, 1, "InstallBasicClient");
  };

  std::vector<double> basic, other, installer, raw, processStart;
  const std::wstring client = ProgramFolder() + L"\\varnel-10.1-build1238.exe";
  for (int run = 0; run < options.runs; ++run) {
    // Each round starts with another contender, so the disk's write-back of
    // the previous one's 30 MB does not always fall on the same one.
    const std::vector<std::function<void()>> contenders = {
        [&] {
          install(library, basic);
          if (otherLibrary) install(*otherLibrary, other);
        },
        [&] {
          DeleteTree(installerTarget);
          ProcessRun installerRun;
          installer.push_back(Time([&] {
            installerRun = RunProcess(InstallerCommand(mode, options.package, installerTarget), 600000);
          }));
          if (!installerRun.finished || installerRun.exitCode != 0) {
            Fail("msiexec exit code " + std::to_string(installerRun.exitCode));
          }
          Require(CheckTree(installerTarget + L"\\Kuv", *manifest, Naming::kRelativePath), fileCount, 0, "msiexec");
        },
        [&] {
          DeleteTree(rawTarget);
          CreateDirectoryW(rawTarget.c_str(), nullptr);
          ProcessRun rawRun;
          raw.push_back(Time([&] {
            rawRun = RunProcess(L"extrac32 /e /l " + Quoted(rawTarget) + L" " + Quoted(options.cabinet), 600000);
          }));
          if (!rawRun.finished || rawRun.exitCode != 0) {
            Fail("extrac32 exit code " + std::to_string(rawRun.exitCode));
          }
          Require(CheckTree(rawTarget, *manifest, Naming::kFileKey), fileCount, 0, "extrac32");
        },
    };
    for (std::size_t turn = 0; turn < contenders.size(); ++turn) {
      contenders[(run + turn) % contenders.size()]();
    }

    // What starting any program costs here, for reading the two above.
    ProcessRun startRun;
    processStart.push_back(Time([&] { startRun = RunProcess(Quoted(client), 60000); }));
    if (!startRun.finished) Fail("test client did not exit");
  }
  DeleteTree(scratch);
  DeleteTree(*clientFolder);

  const Timing basicTiming = Summarize(basic);
  const Timing installerTiming = Summarize(installer);
  const Timing rawTiming = Summarize(raw);
  std::printf("installation (seconds)                            median       min       max    n\n");
  PrintTiming("InstallBasicClient (in process)", basicTiming);
  if (otherLibrary) PrintTiming("InstallBasicClient, the library compared", Summarize(other), Narrow(options.compareDll).c_str());
  PrintTiming(mode.label, installerTiming, "(process)");
  PrintTiming("extrac32 /e /l (raw cabinet extraction)", rawTiming, "(process)");
  PrintTiming("process start and exit (test client)", Summarize(processStart), "(included in the two above)");
  std::printf("\nInstallBasicClient / installer extraction: %.2f  (goal <= 0.50: %s)\n",
              basicTiming.median / installerTiming.median,
              basicTiming.median <= 0.5 * installerTiming.median ? "met" : "missed");
  std::printf("InstallBasicClient / raw extraction:       %.2f  (goal <= 1.50: %s)\n",
              basicTiming.median / rawTiming.median, basicTiming.median <= 1.5 * rawTiming.median ? "met" : "missed");
  std::fflush(stdout);

  if (options.phases) MeasurePhases(options, *manifest);
  MeasureSessions(options, library);
  return 0;
}

int Usage() {
  std::fprintf(stderr,
               "usage: gantry-bench --package P.msi --cabinet Calix.cab --manifest manifest.txt\n"
               "                    [--runs N] [--calls N] [--no-fresh-hang] [--no-phases]\n"
               "                    [--compare-dll OTHER\\Gantry.dll]\n");
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::wstring option = argv[i];
    const bool hasValue = i + 1 < argc;
    if (option == L"--package" && hasValue) {
      options.package = argv[++i];
    } else if (option == L"--cabinet" && hasValue) {
      options.cabinet = argv[++i];
    } else if (option == L"--manifest" && hasValue) {
      options.manifest = argv[++i];
    } else if (option == L"--runs" && hasValue) {
      options.runs = std::max(1, _wtoi(argv[++i]));
    } else if (option == L"--calls" && hasValue) {
      options.calls = std::max(1, _wtoi(argv[++i]));
    } else if (option == L"--no-fresh-hang") {
      options.freshHang = false;
    } else if (option == L"--compare-dll" && hasValue) {
      options.compareDll = argv[++i];
    } else if (option == L"--no-phases") {
      options.phases = false;
    } else {
      return Usage();
    }
  }
  if (options.package.empty() || options.cabinet.empty() || options.manifest.empty()) return Usage();
  try {
    return Run(options);
  } catch (const Failure& failure) {
    std::fflush(stdout);
    std::fprintf(stderr, "gantry-bench: %s\n", failure.what.c_str());
    return 1;
  }
}
