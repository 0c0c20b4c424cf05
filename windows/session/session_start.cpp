#include "windows/session/session_start.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "boundary/java_strings.h"
#include "windows/discovery/client_locator.h"
#include "windows/session/core/session_start_text.h"
#include "windows/shared/unique_resource.h"
#include "windows/shared/wide_text.h"

namespace gantry {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using UniqueCFile = std::unique_ptr<std::FILE, FileCloser>;

// The associated client, else the basic client when its program is there.
std::optional<std::wstring> FindClientProgram() {
  if (std::optional<std::wstring> associated = FindAssociatedClient()) return associated;
  std::optional<std::wstring> basic = MakeBasicClientProgramPath(kSessionCommandLineUnits);
  if (!basic || !IsBasicClientPresent()) return std::nullopt;
  return basic;
}

std::optional<std::wstring> TemporaryFolder() {
  wchar_t folder[MAX_PATH] = {};
  const DWORD length = GetTempPathW(MAX_PATH, folder);
  if (length == 0 || length >= MAX_PATH) return std::nullopt;
  return std::wstring(folder, length);
}

// "wb+" creates or empties the file, without text translation. A failed write
// or close is reported: a client would otherwise open a cut connection file.
bool WriteConnectionFile(const std::wstring& path, std::string_view content) {
  UniqueCFile file(_wfopen(path.c_str(), L"wb+"));
  if (!file) return false;
  const bool written = content.empty() || std::fwrite(content.data(), 1, content.size(), file.get()) == content.size();
  return std::fclose(file.release()) == 0 && written;
}

bool StartClient(std::wstring commandLine) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOW;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                      &startup, &process)) {
    return false;
  }
  UniqueHandle thread(process.hThread);
  UniqueHandle client(process.hProcess);
  thread.reset();  // the thread first, then the process; the client runs on
  return true;
}

}  // namespace

bool StartClientSession(JNIEnv* env, jstring connectionText, jstring connectionFileName) {
  const std::optional<std::wstring> program = FindClientProgram();
  if (!program) return false;

  const JavaStringBytes text(env, connectionText);
  if (!text.ok()) return false;
  const JavaStringBytes fileName(env, connectionFileName);
  if (!fileName.ok()) return false;

  // Decoded exactly, like every path argument: a name that is not well-formed
  // modified UTF-8 or holds U+0000 is refused with nothing written.
  const std::optional<std::u16string> name = ReadPathArgument(fileName);
  const std::optional<std::wstring> folder = TemporaryFolder();
  if (!name || !folder) return false;
  const std::optional<std::u16string> connectionFile = ComposeConnectionFilePath(AsUtf16(*folder), *name);
  if (!connectionFile) return false;
  // Composed before anything is written, so a command line that cannot be
  // made leaves no file behind.
  const std::optional<std::u16string> commandLine = ComposeSessionCommandLine(AsUtf16(*program), *connectionFile);
  if (!commandLine) return false;

  if (!WriteConnectionFile(ToWide(*connectionFile), text.bytes())) return false;
  return StartClient(ToWide(*commandLine));
}

}  // namespace gantry
