// The basic client installation against the mutated-package corpus
// (bin/fixtures/mutated-packages): every package is installed through the
// export by a child run of this program, in a profile folder of its own
// (AppData and the temporary folder point into it), with a time limit. No
// connection-file association exists, so the library registers the client
// itself and never starts a program it has just extracted.
//
// A package installs (true, with the removal script and the registration in
// place), fails cleanly (false), or misbehaves: the child crashed, hung,
// misused JNI or left installer handles open; a file appeared, changed or
// vanished on drive C outside the basic client folder and the temporary
// folder; a registry value changed outside the registration keys; or the call
// said true without a complete installation. A crash or hang inside Wine's
// own database or cabinet reader, on corrupt bytes, is counted apart and
// listed (see IsFaultInWineReader).
#include <windows.h>
#include <msi.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/windows/harness/basic_client_support.h"
#include "tests/windows/harness/platform_call_watch.h"
#include "tests/windows/harness/test_support.h"

namespace gantry::testing {
namespace {

// Exit codes of a child run.
constexpr DWORD kChildInstalled = 0;
constexpr DWORD kChildFailed = 1;
constexpr DWORD kChildJniMisuse = 3;
constexpr DWORD kChildHandlesLeft = 4;
constexpr DWORD kChildHung = 5;
constexpr DWORD kChildUnknownMode = 6;
constexpr DWORD kChildNotWatched = 7;

// The child stops a call still running after its limit itself, to report
// where it was; the parent's limit is the backstop.
constexpr DWORD kInstallLimitMs = 10000;
constexpr DWORD kBackstopExtraMs = 10000;
constexpr wchar_t kLimitVariable[] = L"GANTRY_MUTATED_LIMIT_MS";
constexpr wchar_t kRunRoot[] = L"C:\\gantry-mutated";
// Where a child writes what went wrong (the one file the run itself adds).
constexpr wchar_t kChildReport[] = L"C:\\gantry-mutated\\child-report.txt";
constexpr wchar_t kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
constexpr wchar_t kResolvedShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
// Places on the Linux side that member names aim at through drive Z:.
const wchar_t* const kEscapeMarkers[] = {L"Z:\\tmp\\gantry-mutant-escape.txt", L"Z:\\gantry-mutant-escape.txt"};

// ------------------------------------------------------------------ child

// The module holding a code address, or null.
HMODULE ModuleHandleOf(const void* address) {
  HMODULE module = nullptr;
  if (address == nullptr ||
      !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          static_cast<const char*>(address), &module)) {
    return nullptr;
  }
  return module;
}

// Its file name ("msi.dll"), or "" outside any module.
std::string ModuleOf(const void* address) {
  char name[MAX_PATH] = {};
  const HMODULE module = ModuleHandleOf(address);
  if (module == nullptr || GetModuleFileNameA(module, name, MAX_PATH) == 0) return {};
  const char* base = std::strrchr(name, '\\');
  return base != nullptr ? base + 1 : name;
}

// "module+offset" of a code address, or the bare address outside any module.
std::string CodeLocation(const void* address) {
  const std::string module = ModuleOf(address);
  if (module.empty()) {
    char bare[32];
    std::snprintf(bare, sizeof bare, "%p", address);
    return bare;
  }
  char offset[32];
  std::snprintf(offset, sizeof offset, "+0x%llX",
                static_cast<unsigned long long>(static_cast<const char*>(address) -
                                                reinterpret_cast<const char*>(ModuleHandleOf(address))));
  return module + offset;
}

// The code addresses of a thread's stack, innermost first, for the report
// only: on x64 by unwinding `context` with the modules' unwind tables (a
// frame without them ends the walk after its return address); x86 has no
// unwind tables, so there it is the innermost frame alone.
#ifdef _WIN64
#define GANTRY_PC Rip
#define GANTRY_SP Rsp
#else
#define GANTRY_PC Eip
#define GANTRY_SP Esp
#endif

std::string StackText(CONTEXT context) {
  std::string text = CodeLocation(reinterpret_cast<const void*>(context.GANTRY_PC));
#ifdef _WIN64
  for (int depth = 0; depth < 24; ++depth) {
    DWORD64 imageBase = 0;
    PRUNTIME_FUNCTION function = RtlLookupFunctionEntry(context.Rip, &imageBase, nullptr);
    if (function == nullptr) {
      // A leaf function, or code without unwind data: the return address is on top.
      context.Rip = *reinterpret_cast<DWORD64*>(context.Rsp);
      context.Rsp += 8;
    } else {
      void* handlerData = nullptr;
      DWORD64 establisher = 0;
      RtlVirtualUnwind(UNW_FLAG_NHANDLER, imageBase, context.Rip, function, &context, &handlerData, &establisher,
                       nullptr);
    }
    if (context.Rip == 0) break;
    text += " < " + CodeLocation(reinterpret_cast<const void*>(context.Rip));
  }
#endif
  return text;
}

// Where a child run crashed or was stopped.
struct FaultPlace {
  bool hung = false;            // stopped at its limit; otherwise it crashed
  std::string codeModule;       // module of the faulting or sampled instruction; "" outside any module
  std::string call;             // the package reader's platform call the library was in; "" = its own code
  DWORD callElapsedMs = 0;      // how long that one call had been running
};

// Wine's own structured storage, installer and cabinet code crashes or loops
// on some corrupt databases and cabinets (a storage object released after a
// failed open, a FAT chain that never ends). The library cannot step around
// that inside one synchronous call. Such a fault is Wine's when the library
// was waiting in one of the reader's platform calls and the instruction was
// not the library's or this program's, wherever in Wine it landed; for a
// hang, that one call must have run for most of the limit, so a library that
// loops over short calls is not taken for it.
bool IsFaultInWineReader(const FaultPlace& place, DWORD limitMs) {
  if (place.call.empty()) return false;
  for (const char* own : {"Gantry.dll", "mutated_package_test.exe"}) {
    if (lstrcmpiA(place.codeModule.c_str(), own) == 0) return false;
  }
  return !place.hung || place.callElapsedMs >= limitMs / 2;
}

// The report's first line says whether the fault was Wine's reader's.
constexpr char kReaderFaultLine[] = "in Wine's reader\n";

std::string PlaceText(const FaultPlace& place) {
  return place.call.empty() ? std::string("in the library's own code or none")
                            : "in " + place.call + " for " + std::to_string(place.callElapsedMs) + " ms";
}

void WriteChildReport(const std::string& text) { WriteFileBytes(kChildReport, text); }

LONG WINAPI ExitWithExceptionCode(EXCEPTION_POINTERS* exception) {
  // Where it happened, and the calls that led there.
  const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
  CONTEXT context = *exception->ContextRecord;
  if (ModuleHandleOf(reinterpret_cast<const void*>(context.GANTRY_PC)) == nullptr || context.GANTRY_PC < 0x10000) {
    // A call through a bad pointer: the caller's return address is on top.
    context.GANTRY_PC = *reinterpret_cast<const DWORD_PTR*>(context.GANTRY_SP);
    context.GANTRY_SP += sizeof(DWORD_PTR);
  }
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(record.ExceptionCode));
  const PlatformCallInProgress call = CurrentPlatformCall();
  const FaultPlace place{false, ModuleOf(record.ExceptionAddress), call.call, call.elapsedMs};
  WriteChildReport(std::string(IsFaultInWineReader(place, 0) ? kReaderFaultLine : "") + "exception " + code + " at " +
                   CodeLocation(record.ExceptionAddress) + ", " + PlaceText(place) + ", stack " + StackText(context));
  // No debugger and no box: the parent reads the exception code.
  TerminateProcess(GetCurrentProcess(), record.ExceptionCode);
  return EXCEPTION_EXECUTE_HANDLER;
}

int InstallOne(const std::wstring& package) {
  FakeJni jni;
  const bool installed = Library().CallBooleanWithString(jni.env(), "InstallBasicClient", jni.NewString(U16(package))) !=
                         JNI_FALSE;
  for (const std::string& violation : jni.Violations()) std::fprintf(stderr, "JNI misuse: %s\n", violation.c_str());
  if (!jni.Violations().empty() || jni.OutstandingBuffers() != 0) return kChildJniMisuse;
  // Installer handles count per thread: this thread made the call.
  if (const UINT open = MsiCloseAllHandles(); open != 0) {
    std::fprintf(stderr, "%u installer handles left open\n", open);
    return kChildHandlesLeft;
  }
  return installed ? kChildInstalled : kChildFailed;
}

// Deliberate faults, to show that the run notices each kind.
int Misbehave(const std::wstring& how) {
  if (how == L"crash") {
    volatile int* nowhere = nullptr;
    *nowhere = 1;
  } else if (how == L"hang") {
    Sleep(INFINITE);
  } else if (how == L"stray-file") {
    WriteFileBytes(L"stray.txt", "written in the profile folder, outside B and the temporary folder");
    return kChildFailed;
  } else if (how == L"stray-value") {
    SetStringValue(HKEY_CURRENT_USER, L"Software\\GantryMutatedStray", L"value", L"written");
    return kChildFailed;
  } else if (how == L"true-without-install") {
    return kChildInstalled;
  }
  return kChildUnknownMode;
}

// ------------------------------------------------------------------ run

struct Package {
  std::wstring name;
  std::string kind;
  std::string what;
};

std::wstring CorpusFolder() { return TestBinDir() + L"\\fixtures\\mutated-packages"; }

std::vector<Package> ReadManifest() {
  std::vector<Package> packages;
  for (const std::string& line : ReadLogLines(CorpusFolder() + L"\\manifest.txt")) {
    const std::size_t first = line.find('\t');
    const std::size_t second = line.find('\t', first + 1);
    if (first == std::string::npos || second == std::string::npos) continue;
    const std::string name = line.substr(0, first);
    packages.push_back({std::wstring(name.begin(), name.end()), line.substr(first + 1, second - first - 1),
                        line.substr(second + 1)});
  }
  return packages;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) == CSTR_EQUAL;
}
// `path` is `folder` or lies below it.
bool IsAtOrBelow(const std::wstring& path, const std::wstring& folder) {
  if (SamePath(path, folder)) return true;
  const std::wstring prefix = folder + L"\\";
  return path.size() > prefix.size() && SamePath(path.substr(0, prefix.size()), prefix);
}

// The registry as a run may change it: the user's keys (without Wine's own
// shell folder cache, which the run itself rewrites).
std::map<std::wstring, RawValue> UserRegistry() {
  std::map<std::wstring, RawValue> state = SnapshotRegistry(HKEY_CURRENT_USER, L"Software");
  for (auto it = state.begin(); it != state.end();) {
    const bool shellFolders = it->first.rfind(L"\\Microsoft\\Windows\\CurrentVersion\\Explorer\\", 0) == 0 &&
                              (it->first.find(L"Shell Folders") != std::wstring::npos);
    it = shellFolders ? state.erase(it) : std::next(it);
  }
  return state;
}

// The registration keys and the keys made on the way to them.
bool IsRegistrationEntry(const std::wstring& entry) {
  const std::wstring key = entry.substr(0, entry.find(L'|'));
  for (const wchar_t* top : kRegistrationTopKeys) {
    const std::wstring full = std::wstring(L"\\") + (top + std::wcslen(L"Software\\"));
    if (IsAtOrBelow(key, full)) return true;
    if (IsAtOrBelow(full, key) && entry.substr(key.size()) == L"|<key>") return true;
  }
  return false;
}

void RemoveRegistration() {
  for (const wchar_t* key : kRegistrationTopKeys) DeleteKeyTree(HKEY_CURRENT_USER, key);
  DeleteKeyTree(HKEY_CURRENT_USER, L"Software\\Classes\\MIME");
}

enum class Verdict { kInstalled, kFailedCleanly, kWineFault, kMisbehaved };

struct RunResult {
  Verdict verdict = Verdict::kMisbehaved;
  std::string problem;  // what misbehaved, or Wine's fault
  DWORD milliseconds = 0;
};

class MutatedPackageRun : public ::testing::Test {
 protected:
  void SetUp() override {
    savedAppData_ = ReadRawValue(HKEY_CURRENT_USER, kShellFolders, L"AppData");
    RemoveConnectionFileAssociation();
    RemoveRegistration();
    DeleteTree(kRunRoot);
    ASSERT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L".kuva")) << "an association would start extracted programs";
    Baseline();
  }
  void TearDown() override {
    DeleteTree(kRunRoot);
    RemoveRegistration();
    if (savedAppData_) {
      HKEY key = nullptr;
      if (RegOpenKeyExW(HKEY_CURRENT_USER, kShellFolders, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegSetValueExW(key, L"AppData", 0, savedAppData_->type, reinterpret_cast<const BYTE*>(savedAppData_->bytes.data()),
                       static_cast<DWORD>(savedAppData_->bytes.size()));
        RegCloseKey(key);
      }
    }
  }

  void Baseline() {
    drive_.clear();
    WalkDrive(L"C:", drive_);
    registry_ = UserRegistry();
  }

  // One child run of this program with `arguments` in a fresh profile folder
  // named `name`, judged as described at the top.
  // `corruptBytes`: the package differs from the normal one only by flipped or
  // missing bytes, so a fault inside Wine's reader is Wine's.
  RunResult RunInFreshProfile(const std::wstring& name, const std::wstring& arguments, bool corruptBytes,
                              DWORD limitMs = kInstallLimitMs) {
    RunResult result;
    const std::wstring profile = std::wstring(kRunRoot) + L"\\" + name;
    const std::wstring appData = profile + L"\\AppData";
    const std::wstring temp = profile + L"\\Temp";
    const std::wstring basicClient = appData + L"\\KuvClient\\Bin";
    CreateFolders(appData);
    CreateFolders(temp);
    SetExpandValue(kShellFolders, L"AppData", appData);
    std::string problem;
    std::optional<std::string> wineFault;
    {
      ScopedEnvironment tmp(L"TMP", temp + L"\\");
      ScopedEnvironment tempVariable(L"TEMP", temp + L"\\");
      ScopedEnvironment limit(kLimitVariable, std::to_wstring(limitMs));
      const DWORD start = GetTickCount();
      const ProcessResult child = RunProcess(L"\"" + TestBinDir() + L"\\mutated_package_test.exe\" " + arguments,
                                             limitMs + kBackstopExtraMs, profile.c_str());
      result.milliseconds = GetTickCount() - start;
      if (!child.started) {
        problem = "the child run did not start";
      } else if (!child.finished) {
        problem = "still running after " + std::to_string((limitMs + kBackstopExtraMs) / 1000) + " s";
      } else if (child.exitCode == kChildInstalled) {
        result.verdict = Verdict::kInstalled;
        problem = IncompleteInstallation(basicClient);
      } else if (child.exitCode == kChildFailed) {
        result.verdict = Verdict::kFailedCleanly;
      } else if (child.exitCode == kChildJniMisuse || child.exitCode == kTrapExitCode) {
        problem = "JNI misuse (exit code " + std::to_string(child.exitCode) + ")";
      } else if (child.exitCode == kChildHandlesLeft) {
        problem = "installer handles left open";
      } else if (child.exitCode == kChildHung) {
        problem = "hang";
      } else if (child.exitCode == kChildNotWatched) {
        problem = "the library's platform calls could not be watched";
      } else {
        char code[32];
        std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(child.exitCode));
        problem = std::string("ended with code ") + code + (child.exitCode >= 0xC0000000u ? " (crash)" : "");
      }
      if (const std::optional<std::string> report = ReadFileBytes(kChildReport)) {
        if (corruptBytes && (child.exitCode == kChildHung || child.exitCode >= 0xC0000000u) &&
            report->rfind(kReaderFaultLine, 0) == 0) {
          wineFault = report->substr(std::strlen(kReaderFaultLine));
        } else {
          AddProblem(problem, *report);
        }
        DeleteFileW(kChildReport);
      }
    }
    if (wineFault) problem.clear();
    AddProblem(problem, StrayFiles(profile, appData, basicClient, temp));
    AddProblem(problem, StrayRegistryEntries());
    for (const wchar_t* marker : kEscapeMarkers) {
      if (PathExists(marker)) {
        AddProblem(problem, "file outside drive C: " + Utf8(marker));
        DeleteFileW(marker);
      }
    }
    DeleteTree(profile);
    RemoveRegistration();
    if (!problem.empty()) {
      result.verdict = Verdict::kMisbehaved;
      result.problem = problem;
      Baseline();  // so the next package is judged on its own
    } else if (wineFault) {
      result.verdict = Verdict::kWineFault;
      result.problem = *wineFault;
    }
    return result;
  }

  static void AddProblem(std::string& problems, const std::string& problem) {
    if (problem.empty()) return;
    problems += (problems.empty() ? "" : "; ") + problem;
  }

  static void SetExpandValue(const wchar_t* key, const wchar_t* name, const std::wstring& value) {
    HKEY handle = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(handle, name, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(handle);
  }

  // True was given: B holds its removal script and the registration names B.
  static std::string IncompleteInstallation(const std::wstring& basicClient) {
    if (!IsDirectory(basicClient)) return "true, but no basic client folder " + Utf8(basicClient);
    if (ReadFileBytes(basicClient + L"\\RemoveBasicClient.bat") != ExpectedRemovalScript(basicClient)) {
      return "true, but no complete removal script";
    }
    const std::wstring program = basicClient + L"\\Varnel.exe";
    if (GetStringValue(HKEY_CURRENT_USER, L"Software\\Classes\\Varnel.Document\\shell\\open\\command", nullptr) !=
            program + L" %1" ||
        GetStringValue(HKEY_CURRENT_USER, L"Software\\Classes\\tavikclient\\shell\\open\\command", nullptr) !=
            L"\"" + program + L"\" urlSchema \"%1\"") {
      return "true, but the registration is missing";
    }
    return {};
  }

  // Changes on drive C since the baseline outside B and the temporary folder
  // (the folders leading to them may be made).
  std::string StrayFiles(const std::wstring& profile, const std::wstring& appData, const std::wstring& basicClient,
                         const std::wstring& temp) {
    DriveState after;
    WalkDrive(L"C:", after);
    auto allowed = [&](const std::wstring& path, const std::wstring& state) {
      if (IsAtOrBelow(path, basicClient) || IsAtOrBelow(path, temp)) return true;
      if (state != L"<dir>") return false;
      for (const std::wstring& way : {std::wstring(kRunRoot), profile, appData, appData + L"\\KuvClient"}) {
        if (SamePath(path, way)) return true;
      }
      return false;
    };
    std::string stray;
    for (const auto& [path, state] : after) {
      const auto earlier = drive_.find(path);
      if (earlier != drive_.end() && (earlier->second == state || state == L"<dir>")) continue;
      if (!allowed(path, state)) AddProblem(stray, (earlier == drive_.end() ? "new " : "changed ") + Utf8(path));
    }
    for (const auto& [path, state] : drive_) {
      if (after.count(path) == 0) AddProblem(stray, "removed " + Utf8(path));
    }
    return stray;
  }

  std::string StrayRegistryEntries() const {
    const std::map<std::wstring, RawValue> after = UserRegistry();
    std::string stray;
    for (const auto& [entry, value] : after) {
      const auto earlier = registry_.find(entry);
      if (earlier != registry_.end() && earlier->second == value) continue;
      if (!IsRegistrationEntry(entry)) AddProblem(stray, "registry HKCU\\Software" + Utf8(entry));
    }
    for (const auto& [entry, value] : registry_) {
      if (after.count(entry) == 0 && !IsRegistrationEntry(entry)) {
        AddProblem(stray, "registry removed HKCU\\Software" + Utf8(entry));
      }
    }
    return stray;
  }

  std::optional<RawValue> savedAppData_;
  DriveState drive_;
  std::map<std::wstring, RawValue> registry_;
};

TEST(WineFaultClassification, OnlyAFaultWhileTheLibraryWaitsInAReaderCallIsWines) {
  struct Row {
    FaultPlace place;
    bool wineFault;
  };
  constexpr DWORD kLimit = 10000;
  const Row rows[] = {
      {{false, "msi.dll", "MsiOpenDatabaseW", 40}, true},          // crash inside the reader
      {{false, "ole32.dll", "MsiRecordReadStream", 3}, true},      // in what the reader calls
      {{false, "cabinet.dll", "SetupIterateCabinetW", 900}, true},
      {{false, "", "MsiOpenDatabaseW", 5}, true},                  // a jump to nowhere inside Wine
      {{true, "ucrtbase.dll", "MsiOpenDatabaseW", 9990}, true},    // one call looping: the sample lands anywhere
      {{true, "", "MsiRecordReadStream", 9990}, true},             // sampled on Wine's Unix side
      {{true, "ntdll.dll", "SetupIterateCabinetW", 9990}, true},
      {{true, "msi.dll", "MsiViewFetch", 4}, false},      // the library calling again and again: its loop
      {{false, "Gantry.dll", "", 0}, false},              // the library's own code
      {{true, "Gantry.dll", "", 0}, false},
      {{false, "msi.dll", "", 0}, false},                 // no reader call in progress (the installer path)
      {{true, "kernelbase.dll", "", 0}, false},           // the library's callback, inside the walk, waiting
      {{false, "Gantry.dll", "MsiOpenDatabaseW", 2}, false},  // an instruction of the library itself
      {{false, "mutated_package_test.exe", "MsiViewFetch", 1}, false},  // this program's own watch
  };
  for (const Row& row : rows) {
    EXPECT_EQ(IsFaultInWineReader(row.place, kLimit), row.wineFault)
        << (row.place.hung ? "hang" : "crash") << " at " << row.place.codeModule << ", " << PlaceText(row.place);
  }
}

TEST_F(MutatedPackageRun, DeliberateFaultsAreNoticed) {
  struct Row {
    const wchar_t* how;
    const char* problem;  // part of the reported problem
  };
  const Row rows[] = {
      {L"crash", "(crash); exception 0xC0000005 at mutated_package_test.exe+"},
      {L"hang", "hang; still running after 3 s, in the library's own code or none, stack "},
      {L"stray-file", "new C:\\gantry-mutated\\stray-file\\stray.txt"},
      {L"stray-value", "registry HKCU\\Software\\GantryMutatedStray"},
      {L"true-without-install", "true, but no basic client folder"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(Utf8(row.how));
    const RunResult result = RunInFreshProfile(row.how, std::wstring(L"--misbehave ") + row.how, true, 3000);
    EXPECT_EQ(result.verdict, Verdict::kMisbehaved);
    EXPECT_NE(result.problem.find(row.problem), std::string::npos) << result.problem;
  }
  DeleteKeyTree(HKEY_CURRENT_USER, L"Software\\GantryMutatedStray");
}

TEST_F(MutatedPackageRun, NoPackageCrashesHangsOrWritesOutsideItsFolders) {
  const std::vector<Package> packages = ReadManifest();
  ASSERT_FALSE(packages.empty()) << "no manifest in " << Utf8(CorpusFolder());
  ASSERT_EQ(packages.front().name, L"normal");

  struct Counts {
    int installed = 0, failedCleanly = 0, wineFaults = 0, misbehaved = 0;
  };
  std::map<std::string, Counts> byKind;
  Counts total;
  std::vector<std::string> misbehaving;
  std::vector<std::string> wineFaults;
  DWORD longest = 0;
  std::string slowest;
  const DWORD start = GetTickCount();
  for (const Package& package : packages) {
    const bool corruptBytes = package.kind == "msi-flip" || package.kind == "msi-truncate" ||
                              package.kind == "cab-flip" || package.kind == "cab-truncate";
    const RunResult result = RunInFreshProfile(
        package.name, L"--install-one \"" + CorpusFolder() + L"\\" + package.name + L".msi\"", corruptBytes);
    Counts& counts = byKind[package.kind];
    switch (result.verdict) {
      case Verdict::kInstalled: ++counts.installed, ++total.installed; break;
      case Verdict::kFailedCleanly: ++counts.failedCleanly, ++total.failedCleanly; break;
      case Verdict::kWineFault:
        ++counts.wineFaults, ++total.wineFaults;
        wineFaults.push_back(Utf8(package.name) + " (" + package.what + "): " + result.problem);
        break;
      case Verdict::kMisbehaved:
        ++counts.misbehaved, ++total.misbehaved;
        misbehaving.push_back(Utf8(package.name) + " (" + package.what + "): " + result.problem);
        break;
    }
    if (result.milliseconds > longest) longest = result.milliseconds, slowest = Utf8(package.name);
    if (package.name == L"normal") {
      ASSERT_EQ(result.verdict, Verdict::kInstalled) << "the unchanged package must install: " << result.problem;
    }
  }
  const DWORD elapsed = GetTickCount() - start;

  std::printf("mutated packages: %zu in %lu s (longest %s, %lu ms)\n", packages.size(),
              static_cast<unsigned long>(elapsed / 1000), slowest.c_str(), static_cast<unsigned long>(longest));
  std::printf("  %-14s %9s %14s %11s %11s\n", "class", "installed", "failed cleanly", "Wine fault", "misbehaved");
  for (const auto& [kind, counts] : byKind) {
    std::printf("  %-14s %9d %14d %11d %11d\n", kind.c_str(), counts.installed, counts.failedCleanly,
                counts.wineFaults, counts.misbehaved);
  }
  std::printf("installed %d, failed cleanly %d, misbehaved %d (and %d faults inside Wine's own reader)\n",
              total.installed, total.failedCleanly, total.misbehaved, total.wineFaults);
  for (const std::string& line : wineFaults) std::printf("WINE FAULT %s\n", line.c_str());
  for (const std::string& line : misbehaving) std::printf("MISBEHAVED %s\n", line.c_str());
  std::fflush(stdout);
  EXPECT_EQ(total.misbehaved, 0);
}

struct ChildWork {
  std::wstring mode;
  std::wstring value;
  DWORD exitCode = kChildUnknownMode;
};

DWORD WINAPI RunChildWork(void* context) {
  auto& work = *static_cast<ChildWork*>(context);
  if (work.mode == L"--install-one") work.exitCode = InstallOne(work.value);
  if (work.mode == L"--misbehave") work.exitCode = Misbehave(work.value);
  return 0;
}

// The work runs on a thread of its own, so a call that hangs can be caught
// in the act: the report names the code it was running.
int RunChild(const std::wstring& mode, const std::wstring& value) {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  SetUnhandledExceptionFilter(ExitWithExceptionCode);
  if (!Library().loaded() || !WatchLibraryPlatformCalls(Library().module())) return kChildNotWatched;
  ChildWork work{mode, value};
  HANDLE thread = CreateThread(nullptr, 0, RunChildWork, &work, 0, nullptr);
  if (thread == nullptr) return kChildUnknownMode;
  wchar_t limitText[16] = {};
  DWORD limitMs = kInstallLimitMs;
  if (GetEnvironmentVariableW(kLimitVariable, limitText, 16) - 1u < 15u) limitMs = std::wcstoul(limitText, nullptr, 10);
  if (WaitForSingleObject(thread, limitMs) == WAIT_OBJECT_0) {
    CloseHandle(thread);
    return static_cast<int>(work.exitCode);
  }
  SuspendThread(thread);
  CONTEXT context = {};
  context.ContextFlags = CONTEXT_FULL;
  const bool stopped = GetThreadContext(thread, &context) != FALSE;
  const PlatformCallInProgress call = CurrentPlatformCall();
  const FaultPlace place{true, stopped ? ModuleOf(reinterpret_cast<const void*>(context.GANTRY_PC)) : "?", call.call,
                         call.elapsedMs};
  WriteChildReport(std::string(stopped && IsFaultInWineReader(place, limitMs) ? kReaderFaultLine : "") +
                   "still running after " + std::to_string(limitMs / 1000) + " s, " + PlaceText(place) + ", stack " +
                   (stopped ? StackText(context) : "?"));
  TerminateProcess(GetCurrentProcess(), kChildHung);
  return kChildHung;
}

}  // namespace
}  // namespace gantry::testing

// The program is also its own child: "--install-one <package>" installs one
// package through the export and reports by exit code; "--misbehave <how>"
// commits a deliberate fault. Anything else runs the tests.
int main(int argc, char** argv) {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments != nullptr && count == 3) {
    const std::wstring mode = arguments[1];
    const std::wstring value = arguments[2];
    LocalFree(arguments);
    if (mode == L"--install-one" || mode == L"--misbehave") return gantry::testing::RunChild(mode, value);
  } else if (arguments != nullptr) {
    LocalFree(arguments);
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
