// gantry-cli: calls any native method of Gantry.dll by name, the way the Java
// side would, and prints the result. For trying the library without Java,
// under Wine or on Windows.
//
//   gantry-cli [--dll PATH] METHOD [ARG ...]
//   gantry-cli [--dll PATH] --list
//
// String arguments are taken as given (the literal --null passes a null
// Java string); int arguments are decimal. The result is printed on one line:
// a number, true or false, or the string's text in UTF-8.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "tools/jni_env/fake_jni.h"
#include "tools/jni_env/gantry_library.h"

using namespace gantry::testing;

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitJniMisuse = 3;
constexpr int kExitNoLibrary = 4;

std::u16string AsUtf16(const wchar_t* text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text), std::wcslen(text));
}

void PrintLine(const std::string& utf8) {
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

const char* TypeName(JavaType type) {
  switch (type) {
    case JavaType::Int: return "int";
    case JavaType::Boolean: return "boolean";
    case JavaType::String: return "String";
  }
  return "?";
}

int Usage() {
  std::fprintf(stderr,
               "usage: gantry-cli [--dll PATH] METHOD [ARG ...]\n"
               "       gantry-cli [--dll PATH] --list\n"
               "String arguments as given (--null for a null string), int arguments in decimal.\n");
  return kExitUsage;
}

bool ParseInt(const wchar_t* text, jint& value) {
  wchar_t* end = nullptr;
  errno = 0;
  const long parsed = std::wcstol(text, &end, 10);
  if (end == text || *end != L'\0' || errno == ERANGE) return false;
  value = static_cast<jint>(parsed);
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring dllPath = L"Gantry.dll";
  int next = 1;
  if (next + 1 < argc && std::wcscmp(argv[next], L"--dll") == 0) {
    dllPath = argv[next + 1];
    next += 2;
  }
  if (next >= argc) return Usage();

  GantryLibrary library(dllPath);
  if (!library.loaded()) {
    std::fprintf(stderr, "cannot load %ls (error %lu)\n", dllPath.c_str(), library.loadError());
    return kExitNoLibrary;
  }

  if (std::wcscmp(argv[next], L"--list") == 0) {
    for (const NativeMethod& method : NativeMethods()) {
      std::string line = std::string(TypeName(method.result)) + " " + method.name + "(";
      for (std::size_t i = 0; i < method.parameters.size(); ++i) {
        line += (i ? ", " : "") + std::string(TypeName(method.parameters[i]));
      }
      line += library.Resolve(method.name) ? ")  exported" : ")  not exported";
      PrintLine(line);
    }
    return 0;
  }

  const std::string name = Utf16ToUtf8(AsUtf16(argv[next]));
  const NativeMethod* method = FindNativeMethod(name);
  if (method == nullptr) {
    std::fprintf(stderr, "no native method named %s (try --list)\n", name.c_str());
    return kExitUsage;
  }
  if (!library.Resolve(name)) {
    std::fprintf(stderr, "%s is not exported by %ls as %s\n", name.c_str(), dllPath.c_str(),
                 ExportName(name, method->parameters.size()).c_str());
    return kExitNoLibrary;
  }
  const int given = argc - next - 1;
  if (given != static_cast<int>(method->parameters.size())) {
    std::fprintf(stderr, "%s takes %zu argument(s), %d given\n", name.c_str(), method->parameters.size(), given);
    return kExitUsage;
  }

  FakeJni jni;
  std::vector<jstring> strings;
  std::vector<jint> ints;
  for (std::size_t i = 0; i < method->parameters.size(); ++i) {
    const wchar_t* argument = argv[next + 1 + i];
    if (method->parameters[i] == JavaType::Int) {
      jint value = 0;
      if (!ParseInt(argument, value)) {
        std::fprintf(stderr, "argument %zu of %s must be an int\n", i + 1, name.c_str());
        return kExitUsage;
      }
      ints.push_back(value);
    } else {
      strings.push_back(std::wcscmp(argument, L"--null") == 0 ? nullptr : jni.NewString(AsUtf16(argument)));
    }
  }

  JNIEnv* env = jni.env();
  std::string result;
  const auto& params = method->parameters;
  if (method->result == JavaType::String) {
    result = Utf16ToUtf8(jni.TextOf(library.CallString(env, name)));
  } else if (method->result == JavaType::Int) {
    const jint value = params.empty() ? library.CallInt(env, name) : library.CallIntWithInt(env, name, ints[0]);
    result = std::to_string(value);
  } else {
    jboolean value = JNI_FALSE;
    if (params.empty()) {
      value = library.CallBoolean(env, name);
    } else if (params[0] == JavaType::Int) {
      value = library.CallBooleanWithInt(env, name, ints[0]);
    } else if (params.size() == 1) {
      value = library.CallBooleanWithString(env, name, strings[0]);
    } else {
      value = library.CallBooleanWithStrings(env, name, strings[0], strings[1]);
    }
    result = value ? "true" : "false";
  }
  PrintLine(result);

  int status = 0;
  for (const std::string& violation : jni.Violations()) {
    std::fprintf(stderr, "JNI misuse: %s\n", violation.c_str());
    status = kExitJniMisuse;
  }
  if (jni.OutstandingBuffers() != 0) {
    std::fprintf(stderr, "JNI misuse: %zu string buffer(s) never released\n", jni.OutstandingBuffers());
    status = kExitJniMisuse;
  }
  return status;
}
