// A JNI environment without a Java runtime, for the command-line driver and
// the tests. Its function table holds a trap in every slot except the three
// the library may call: NewStringUTF (167), GetStringUTFChars (169) and
// ReleaseStringUTFChars (170). A trapped call names its slot and ends the
// process, so a library that touches anything else fails loudly.
//
// Java strings here hold UTF-16 text, as in a JVM; GetStringUTFChars hands
// out their modified UTF-8 form and NewStringUTF reads that form strictly.
// Every misuse is recorded: a non-null is-copy pointer, a buffer released
// twice, with the wrong string or never, malformed bytes given to NewStringUTF.
// One environment may be used from several threads at once: its records and
// counts are kept under a lock.
#pragma once

#include <jni.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace gantry::testing {

inline constexpr int kNewStringUtfSlot = 167;
inline constexpr int kGetStringUtfCharsSlot = 169;
inline constexpr int kReleaseStringUtfCharsSlot = 170;

class FakeJni {
 public:
  FakeJni();
  ~FakeJni();
  FakeJni(const FakeJni&) = delete;
  FakeJni& operator=(const FakeJni&) = delete;

  JNIEnv* env();

  // A Java string with this UTF-16 text, owned by the environment.
  jstring NewString(std::u16string_view text);
  // The same from UTF-8 text (test literals, command-line arguments).
  jstring NewStringFromUtf8(std::string_view utf8);
  // The UTF-16 text of a Java string (one the library made, or ours).
  std::u16string TextOf(jstring string) const;

  // Everything done wrong through this environment so far.
  std::vector<std::string> Violations() const;
  // Buffers handed out by GetStringUTFChars and not released yet.
  std::size_t OutstandingBuffers() const;
  // How often each of the three functions was called.
  int GetCount() const;
  int ReleaseCount() const;
  int NewCount() const;

  struct State;

 private:
  std::unique_ptr<State> state_;
};

// The reference codec of the fake JVM, written apart from the library's so
// that a fault in one is not hidden by the same fault in the other.
std::string JvmModifiedUtf8(std::u16string_view text);
bool JvmDecodeModifiedUtf8(std::string_view bytes, std::u16string& text);
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view text);

// What a trapped slot does; by default print the slot and exit with code 86.
using TrapHandler = void (*)(int slot);
void SetTrapHandler(TrapHandler handler);
inline constexpr int kTrapExitCode = 86;

}  // namespace gantry::testing
