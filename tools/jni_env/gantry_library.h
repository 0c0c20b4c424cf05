// Gantry.dll loaded as the Java runtime loads it: LoadLibrary, then every
// export resolved by its exact name (decorated on x86), so a wrong name or
// decoration is a missing method here as it would be for the JVM.
#pragma once

#include <jni.h>
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gantry::testing {

enum class JavaType { Int, Boolean, String };

struct NativeMethod {
  const char* name;
  JavaType result;
  std::vector<JavaType> parameters;
};

// The 17 methods of Native.Gantry, in declaration order.
const std::vector<NativeMethod>& NativeMethods();
const NativeMethod* FindNativeMethod(std::string_view name);

// "Java_Native_Gantry_X" on x64; "_Java_Native_Gantry_X@N" on x86, where N is
// the argument bytes (JNIEnv*, jclass, 4 bytes a parameter).
std::string ExportName(std::string_view method, std::size_t parameterCount);

class GantryLibrary {
 public:
  explicit GantryLibrary(const std::wstring& path = L"Gantry.dll");
  ~GantryLibrary();
  GantryLibrary(const GantryLibrary&) = delete;
  GantryLibrary& operator=(const GantryLibrary&) = delete;

  bool loaded() const { return module_ != nullptr; }
  DWORD loadError() const { return loadError_; }
  HMODULE module() const { return module_; }

  // The export of a method by its exact name, or null.
  FARPROC Resolve(std::string_view method) const;

  // Typed calls, one per Java signature shape. A method that is not exported
  // makes the call fail loudly rather than return a made-up result.
  jint CallInt(JNIEnv* env, std::string_view method) const;
  jint CallIntWithInt(JNIEnv* env, std::string_view method, jint value) const;
  jboolean CallBoolean(JNIEnv* env, std::string_view method) const;
  jboolean CallBooleanWithInt(JNIEnv* env, std::string_view method, jint value) const;
  jboolean CallBooleanWithString(JNIEnv* env, std::string_view method, jstring value) const;
  jboolean CallBooleanWithStrings(JNIEnv* env, std::string_view method, jstring first, jstring second) const;
  jstring CallString(JNIEnv* env, std::string_view method) const;

 private:
  FARPROC Require(std::string_view method) const;

  HMODULE module_ = nullptr;
  DWORD loadError_ = 0;
};

}  // namespace gantry::testing
