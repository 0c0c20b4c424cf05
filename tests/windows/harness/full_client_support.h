// What the full installation tests share: the "msiexec" stand-in, a basic
// client stand-in whose removal script leaves a marker, and the real fixture
// package with its clean-up.
#pragma once

#include <windows.h>

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
  std::vector<std::string> commandLines;  // as the stand-in "msiexec" logged them
  std::size_t boxes = 0;
};

// The installer service answers 1601; the fallback finds a test client as
// "msiexec" in the current folder, which logs its command line and exits
// with `exitCode`. Without a readable version the real one is replaced by none.
FallbackRun RunFallback(FakeJni& jni, jstring packagePath, DWORD exitCode, bool versionReadable = true);
// The same with whatever `currentFolder` holds as "msiexec.exe".
FallbackRun RunFallbackIn(const std::wstring& currentFolder, FakeJni& jni, jstring packagePath,
                          bool versionReadable = true);

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
