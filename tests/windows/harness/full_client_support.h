// What the full installation tests share: the "msiexec" stand-in, a basic
// client stand-in whose removal script leaves a marker, and the real fixture
// package with its clean-up.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/windows/harness/full_client_message_box.h"
#include "tests/windows/harness/test_support.h"
#include "windows/install/full_client_installation.h"

namespace gantry::testing {

class FullClientTestBase : public GantryTest {
 protected:
  void SetUp() override;
  void TearDown() override;
};

struct FallbackRow {
  DWORD exitCode;
  bool installed;
};

struct FallbackRun {
  bool installed = false;
  std::vector<std::string> commandLines;  // as the started "msiexec" logged them
  std::vector<std::string> programs;      // the program path each started "msiexec" logged
  std::size_t boxes = 0;
};

// The system folder's "msiexec.exe" (GetSystemDirectoryW) replaced by
// `program` while the holder lives, and the prefix's own put back after; an
// original left aside by a run that was killed is put back first. A 32-bit
// program under WoW64 is given system32 too, and its file access there is
// redirected to the 32-bit system folder just as the library's start of the
// program is, so the stand-in lands where a library of the same architecture
// looks. Wine starts its own built-in msiexec for a program of the system
// folder unless told to prefer the file on disk, so under Wine the override
// "msiexec.exe"="native" (HKCU\Software\Wine\DllOverrides) is set for as long.
class SystemInstallerProgramStandIn {
 public:
  explicit SystemInstallerProgramStandIn(const std::wstring& program);
  ~SystemInstallerProgramStandIn();
  SystemInstallerProgramStandIn(const SystemInstallerProgramStandIn&) = delete;
  SystemInstallerProgramStandIn& operator=(const SystemInstallerProgramStandIn&) = delete;
  bool placed() const { return placed_; }
  static std::wstring Path();  // <system folder>\msiexec.exe
  // Whether a program path a started stand-in logged is that program: Path(),
  // or for a 32-bit program under WoW64 the redirected one in the 32-bit
  // system folder, which the system may report instead.
  static bool IsStandInPath(const std::string& loggedPath);

 private:
  bool placed_ = false;
  std::optional<std::wstring> previousOverride_;
};

// One full installation through InstallFullClientFromJava in which the
// installer service answers 1601, so "msiexec" is run. Meanwhile the current
// folder and the test program's folder each hold a decoy "msiexec.exe" (a
// test client that would log its own path), and whatever msiexec runs logs
// its command line and program path. Without a readable version the real
// one is replaced by none; a given `systemFolder` replaces the real one.
FallbackRun RunFallbackIn(FakeJni& jni, jstring packagePath, bool versionReadable = true,
                          std::function<std::optional<std::wstring>()> systemFolder = {});
// The same with a test client as the system's "msiexec.exe", exiting with `exitCode`.
FallbackRun RunFallback(FakeJni& jni, jstring packagePath, DWORD exitCode, bool versionReadable = true);

// "Varnel.exe" (unless not wanted) and "RemoveBasicClient.bat" in the basic
// client folder; the script writes a marker file when it runs.
class BasicClientStandIn {
 public:
  explicit BasicClientStandIn(bool programPresent = true);
  ~BasicClientStandIn();
  bool WaitForScript(DWORD timeoutMs) const;

 private:
  std::wstring marker_;
};

std::wstring FixturePackagePath();
std::wstring FixtureInstalledFile();
inline constexpr wchar_t kFixtureProductCode[] = L"{6A1E0F52-6B1D-4C55-9D0A-2E7C31F04A61}";

// The fixture package removed before and after a test that installs it.
class InstalledFixture {
 public:
  InstalledFixture() { Remove(); }
  ~InstalledFixture() { Remove(); }
  static void Remove();
};

}  // namespace gantry::testing
