#include "tools/jni_env/gantry_library.h"

#include <cstdio>
#include <cstdlib>

namespace gantry::testing {
namespace {

// Through void(*)() so the compiler accepts the cast from FARPROC.
template <typename Function>
Function As(FARPROC address) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

}  // namespace

const std::vector<NativeMethod>& NativeMethods() {
  using T = JavaType;
  static const std::vector<NativeMethod> methods = {
      {"GetNativeVersion", T::Int, {}},
      {"IsKuvClientInstalled", T::Int, {}},
      {"GetKuvClientVersion", T::String, {}},
      {"GetUserKuvFolder", T::String, {}},
      {"InstallFullClient", T::Boolean, {T::String}},
      {"InstallBasicClient", T::Boolean, {T::String}},
      {"CleanBasicClientOnRestart", T::Boolean, {}},
      {"StartSession", T::Boolean, {T::String, T::String}},
      {"IsAnySession", T::Boolean, {}},
      {"IsAnyNativeDesktopSessions", T::Boolean, {}},
      {"IsFarmSessions", T::Boolean, {T::Int}},
      {"GetDesktopState", T::Int, {T::Int}},
      {"LogoffAllSessions", T::Boolean, {}},
      {"DisconnectAllSessions", T::Boolean, {}},
      {"LogOffFarmSessions", T::Boolean, {T::Int}},
      {"DisconnectFarmSessions", T::Boolean, {T::Int}},
      {"UnregisterExtensions", T::Boolean, {T::Int}},
  };
  return methods;
}

const NativeMethod* FindNativeMethod(std::string_view name) {
  for (const NativeMethod& method : NativeMethods()) {
    if (name == method.name) return &method;
  }
  return nullptr;
}

std::string ExportName(std::string_view method, std::size_t parameterCount) {
  std::string name = "Java_Native_Gantry_" + std::string(method);
#if defined(_WIN64)
  (void)parameterCount;
  return name;
#else
  return "_" + name + "@" + std::to_string(8 + 4 * parameterCount);
#endif
}

GantryLibrary::GantryLibrary(const std::wstring& path) {
  module_ = LoadLibraryW(path.c_str());
  if (module_ == nullptr) loadError_ = GetLastError();
}

GantryLibrary::~GantryLibrary() {
  if (module_ != nullptr) FreeLibrary(module_);
}

FARPROC GantryLibrary::Resolve(std::string_view method) const {
  const NativeMethod* declared = FindNativeMethod(method);
  if (module_ == nullptr || declared == nullptr) return nullptr;
  return GetProcAddress(module_, ExportName(method, declared->parameters.size()).c_str());
}

FARPROC GantryLibrary::Require(std::string_view method) const {
  FARPROC function = Resolve(method);
  if (function == nullptr) {
    std::fprintf(stderr, "FAILED: Gantry.dll does not export %.*s\n", static_cast<int>(method.size()),
                 method.data());
    std::fflush(stderr);
    std::abort();
  }
  return function;
}

jint GantryLibrary::CallInt(JNIEnv* env, std::string_view method) const {
  auto f = As<jint(JNICALL*)(JNIEnv*, jclass)>(Require(method));
  return f(env, nullptr);
}
jint GantryLibrary::CallIntWithInt(JNIEnv* env, std::string_view method, jint value) const {
  auto f = As<jint(JNICALL*)(JNIEnv*, jclass, jint)>(Require(method));
  return f(env, nullptr, value);
}
jboolean GantryLibrary::CallBoolean(JNIEnv* env, std::string_view method) const {
  auto f = As<jboolean(JNICALL*)(JNIEnv*, jclass)>(Require(method));
  return f(env, nullptr);
}
jboolean GantryLibrary::CallBooleanWithInt(JNIEnv* env, std::string_view method, jint value) const {
  auto f = As<jboolean(JNICALL*)(JNIEnv*, jclass, jint)>(Require(method));
  return f(env, nullptr, value);
}
jboolean GantryLibrary::CallBooleanWithString(JNIEnv* env, std::string_view method, jstring value) const {
  auto f = As<jboolean(JNICALL*)(JNIEnv*, jclass, jstring)>(Require(method));
  return f(env, nullptr, value);
}
jboolean GantryLibrary::CallBooleanWithStrings(JNIEnv* env, std::string_view method, jstring first,
                                               jstring second) const {
  auto f = As<jboolean(JNICALL*)(JNIEnv*, jclass, jstring, jstring)>(Require(method));
  return f(env, nullptr, first, second);
}
jstring GantryLibrary::CallString(JNIEnv* env, std::string_view method) const {
  auto f = As<jstring(JNICALL*)(JNIEnv*, jclass)>(Require(method));
  return f(env, nullptr);
}

}  // namespace gantry::testing
