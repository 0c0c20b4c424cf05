// Shared helpers of the Windows tests: the library under test as the JVM sees
// it, and small real-platform tools (registry, files, processes, environment).
#pragma once

#include <gtest/gtest.h>
#include <jni.h>
#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/jni_env/fake_jni.h"
#include "tools/jni_env/gantry_library.h"

namespace gantry::testing {

// Gantry.dll from the test program's folder, loaded once per process.
const GantryLibrary& Library();

// A test that calls the library through a fresh fake JNI environment and, at
// its end, fails when the library misused JNI (is-copy pointer, a buffer not
// released exactly once with its own string, malformed NewStringUTF bytes).
class GantryTest : public ::testing::Test {
 protected:
  void TearDown() override;

  jstring Str(std::u16string_view text) { return jni.NewString(text); }
  jstring Utf8Str(std::string_view utf8) { return jni.NewStringFromUtf8(utf8); }
  std::u16string TextOf(jstring s) const { return jni.TextOf(s); }

  // The Java methods, called by their exact export names.
  jint GetNativeVersion();
  jint IsKuvClientInstalled();
  std::u16string GetKuvClientVersion();
  std::u16string GetUserKuvFolder();
  bool InstallFullClient(jstring packagePath);
  bool InstallBasicClient(jstring packagePath);
  jint CleanBasicClientOnRestart();  // the int the Java boolean is made of
  bool StartSession(jstring connectionText, jstring connectionFileName);
  bool IsAnySession();
  bool IsAnyNativeDesktopSessions();
  bool IsFarmSessions(jint farmId);
  jint GetDesktopState(jint farmId);
  bool LogoffAllSessions();
  bool DisconnectAllSessions();
  bool LogOffFarmSessions(jint farmId);
  bool DisconnectFarmSessions(jint farmId);
  bool UnregisterExtensions(jint farmId);

  FakeJni jni;
};

// A GantryTest that starts and ends with no connection-file association and
// no basic client folder, for tests that set up a client themselves.
class NoClientTest : public GantryTest {
 protected:
  void SetUp() override;
  void TearDown() override;
};

// True when the program runs under Wine (ntdll has wine_get_version).
bool RunsUnderWine();

// Paths.
std::wstring TestBinDir();  // folder of the test program, Gantry.dll and the test clients
std::wstring TestClientPath(const std::wstring& variant);  // bin\<variant>.exe
std::wstring AppDataFolder();  // CSIDL_APPDATA
std::wstring TempFolder();     // GetTempPathW, with its trailing backslash
std::wstring ClientFolder();   // AppDataFolder() + "\KuvClient\"

// Text.
std::wstring Wide(std::u16string_view text);
std::u16string U16(std::wstring_view text);
std::string Utf8(std::wstring_view text);

// Files. Nothing here follows reparse points.
std::optional<std::string> ReadFileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, std::string_view bytes);
bool PathExists(const std::wstring& path);
bool IsDirectory(const std::wstring& path);
void DeleteTree(const std::wstring& path);  // file or folder, recursively; absent is fine
bool CreateFolders(const std::wstring& path);  // every missing level
// Every file below `root` by path relative to it, with its bytes (folders as "<dir>").
std::map<std::wstring, std::string> SnapshotTree(const std::wstring& root);
// Every file and folder below `folder` (such as "C:"), without following
// links, by full path, with what shows a write: size, last write time and
// attributes ("<dir>" for a folder).
using DriveState = std::map<std::wstring, std::wstring>;
void WalkDrive(const std::wstring& folder, DriveState& state);

// A fresh folder below the temporary folder, removed with its content.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::wstring& hint = L"gantry-test");
  ~ScratchFolder();
  const std::wstring& path() const { return path_; }  // no trailing backslash
  std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

// Registry.
bool SetStringValue(HKEY root, const std::wstring& subkey, const wchar_t* name, const std::wstring& value);
std::optional<std::wstring> GetStringValue(HKEY root, const std::wstring& subkey, const wchar_t* name);
bool KeyExists(HKEY root, const std::wstring& subkey);
void DeleteKeyTree(HKEY root, const std::wstring& subkey);

// The connection-file association as Windows reads it through
// HKEY_CLASSES_ROOT. Wine shows only HKLM\Software\Classes there (Windows
// merges the user's classes over it), so tests write it in that place.
class ScopedAssociation {
 public:
  // ".kuva" -> progId; progId\shell\open\command -> command (when given).
  ScopedAssociation(const std::wstring& progId, const std::optional<std::wstring>& command);
  // The usual association to a test client program: "\"<path>\" \"%1\"".
  static ScopedAssociation ToProgram(const std::wstring& programPath);
  ~ScopedAssociation();
  ScopedAssociation(ScopedAssociation&&) = default;

 private:
  std::wstring progId_;
};
void RemoveConnectionFileAssociation();

// Environment.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const wchar_t* name, const std::optional<std::wstring>& value);
  ~ScopedEnvironment();

 private:
  std::wstring name_;
  std::optional<std::wstring> previous_;
};

// Processes.
struct ProcessResult {
  bool started = false;
  bool finished = false;
  DWORD exitCode = 0;
};
// Starts a command line and waits for it at most `timeoutMs`; a process still
// running then is terminated.
ProcessResult RunProcess(const std::wstring& commandLine, DWORD timeoutMs = 30000,
                         const wchar_t* currentFolder = nullptr);

}  // namespace gantry::testing
