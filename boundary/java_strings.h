// Java strings at the boundary. A string comes in as the modified UTF-8 bytes
// of GetStringUTFChars and is given back on every path; a string goes out as
// modified UTF-8 through NewStringUTF. These three are the only JNI functions
// the library calls.
#pragma once

#include <jni.h>

#include <optional>
#include <string>
#include <string_view>

namespace gantry {

// Owns the bytes GetStringUTFChars handed out for one Java string and
// releases them when it goes away. A null Java string, or a null answer from
// GetStringUTFChars, leaves it empty.
class JavaStringBytes {
 public:
  JavaStringBytes(JNIEnv* env, jstring string);
  ~JavaStringBytes();
  JavaStringBytes(const JavaStringBytes&) = delete;
  JavaStringBytes& operator=(const JavaStringBytes&) = delete;

  bool ok() const { return bytes_ != nullptr; }
  const char* c_str() const { return bytes_; }
  // The bytes before the terminating zero; the form holds no other zero byte.
  std::string_view bytes() const;

 private:
  JNIEnv* env_;
  jstring string_;
  const char* bytes_ = nullptr;
};

// A path argument as UTF-16: nothing for a null string, bytes that are not
// well-formed modified UTF-8, or a text with U+0000 in it (the platform would
// read it as a shorter path).
std::optional<std::u16string> ReadPathArgument(const JavaStringBytes& argument);

// The Java string of a UTF-16 text.
jstring MakeJavaString(JNIEnv* env, std::u16string_view text);

inline jboolean ToJavaBoolean(bool value) { return value ? JNI_TRUE : JNI_FALSE; }

}  // namespace gantry
