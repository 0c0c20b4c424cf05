#include "tools/jni_env/fake_jni.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <utility>

namespace gantry::testing {

struct JavaString {
  std::u16string text;
};

struct FakeJni::State {
  JNIEnv_ env;  // first: the environment pointer leads back to the state
  JNINativeInterface_ table;
  CRITICAL_SECTION lock;
  std::vector<std::unique_ptr<JavaString>> strings;
  std::map<const char*, JavaString*> outstanding;
  std::vector<std::string> violations;
  int gets = 0;
  int releases = 0;
  int news = 0;
};

namespace {

constexpr int kSlotCount = sizeof(JNINativeInterface_) / sizeof(void*);

void DefaultTrapHandler(int slot) {
  std::fprintf(stderr,
               "FAILED: the library called JNI function table slot %d; it may call only "
               "NewStringUTF (167), GetStringUTFChars (169) and ReleaseStringUTFChars (170)\n",
               slot);
  std::fflush(stderr);
  ExitProcess(kTrapExitCode);
}

TrapHandler trapHandler = DefaultTrapHandler;

// One distinct trap per slot so that the slot can be named. A trap never
// returns: under __stdcall it could not clean up arguments it does not know.
template <int Slot>
void JNICALL Trap() {
  trapHandler(Slot);
  ExitProcess(kTrapExitCode);
}

template <int... Slots>
void FillTraps(void** slots, std::integer_sequence<int, Slots...>) {
  ((slots[Slots] = reinterpret_cast<void*>(&Trap<Slots>)), ...);
}

FakeJni::State* StateOf(JNIEnv* env) { return reinterpret_cast<FakeJni::State*>(env); }

class Locked {
 public:
  explicit Locked(FakeJni::State* state) : state_(state) { EnterCriticalSection(&state_->lock); }
  ~Locked() { LeaveCriticalSection(&state_->lock); }

 private:
  FakeJni::State* state_;
};

jstring JNICALL NewStringUTF(JNIEnv* env, const char* bytes) {
  FakeJni::State* state = StateOf(env);
  Locked locked(state);
  ++state->news;
  if (bytes == nullptr) {
    state->violations.push_back("NewStringUTF called with a null pointer");
    return nullptr;
  }
  auto string = std::make_unique<JavaString>();
  if (!JvmDecodeModifiedUtf8(bytes, string->text)) {
    state->violations.push_back("NewStringUTF given bytes that are not modified UTF-8");
  }
  jstring handle = reinterpret_cast<jstring>(string.get());
  state->strings.push_back(std::move(string));
  return handle;
}

const char* JNICALL GetStringUTFChars(JNIEnv* env, jstring string, jboolean* isCopy) {
  FakeJni::State* state = StateOf(env);
  Locked locked(state);
  ++state->gets;
  if (isCopy != nullptr) state->violations.push_back("GetStringUTFChars called with an is-copy pointer");
  if (string == nullptr) {
    state->violations.push_back("GetStringUTFChars called with a null string");
    return nullptr;
  }
  JavaString* javaString = reinterpret_cast<JavaString*>(string);
  const std::string bytes = JvmModifiedUtf8(javaString->text);
  char* buffer = new char[bytes.size() + 1];
  std::memcpy(buffer, bytes.c_str(), bytes.size() + 1);
  state->outstanding[buffer] = javaString;
  return buffer;
}

void JNICALL ReleaseStringUTFChars(JNIEnv* env, jstring string, const char* chars) {
  FakeJni::State* state = StateOf(env);
  Locked locked(state);
  ++state->releases;
  auto it = state->outstanding.find(chars);
  if (it == state->outstanding.end()) {
    state->violations.push_back("ReleaseStringUTFChars given a buffer that is not out (twice, or never handed out)");
    return;
  }
  if (reinterpret_cast<JavaString*>(string) != it->second) {
    state->violations.push_back("ReleaseStringUTFChars given a buffer with another string");
  }
  delete[] it->first;
  state->outstanding.erase(it);
}

}  // namespace

void SetTrapHandler(TrapHandler handler) { trapHandler = handler ? handler : DefaultTrapHandler; }

FakeJni::FakeJni() : state_(std::make_unique<State>()) {
  InitializeCriticalSection(&state_->lock);
  void** slots = reinterpret_cast<void**>(&state_->table);
  FillTraps(slots, std::make_integer_sequence<int, kSlotCount>());
  slots[kNewStringUtfSlot] = reinterpret_cast<void*>(&NewStringUTF);
  slots[kGetStringUtfCharsSlot] = reinterpret_cast<void*>(&GetStringUTFChars);
  slots[kReleaseStringUtfCharsSlot] = reinterpret_cast<void*>(&ReleaseStringUTFChars);
  state_->env.functions = &state_->table;
}

FakeJni::~FakeJni() {
  for (auto& entry : state_->outstanding) delete[] entry.first;
  DeleteCriticalSection(&state_->lock);
}

JNIEnv* FakeJni::env() { return &state_->env; }

jstring FakeJni::NewString(std::u16string_view text) {
  Locked locked(state_.get());
  auto string = std::make_unique<JavaString>();
  string->text = std::u16string(text);
  jstring handle = reinterpret_cast<jstring>(string.get());
  state_->strings.push_back(std::move(string));
  return handle;
}

jstring FakeJni::NewStringFromUtf8(std::string_view utf8) { return NewString(Utf8ToUtf16(utf8)); }

std::u16string FakeJni::TextOf(jstring string) const {
  if (string == nullptr) return u"<null>";
  return reinterpret_cast<JavaString*>(string)->text;
}

std::vector<std::string> FakeJni::Violations() const {
  Locked locked(state_.get());
  return state_->violations;
}

std::size_t FakeJni::OutstandingBuffers() const {
  Locked locked(state_.get());
  return state_->outstanding.size();
}

int FakeJni::GetCount() const {
  Locked locked(state_.get());
  return state_->gets;
}
int FakeJni::ReleaseCount() const {
  Locked locked(state_.get());
  return state_->releases;
}
int FakeJni::NewCount() const {
  Locked locked(state_.get());
  return state_->news;
}

std::string JvmModifiedUtf8(std::u16string_view text) {
  std::string out;
  for (char16_t c : text) {
    const unsigned v = c;
    if (v >= 1 && v <= 0x7F) {
      out += static_cast<char>(v);
    } else if (v <= 0x7FF) {  // includes U+0000 as C0 80
      out += static_cast<char>(0xC0 | (v >> 6));
      out += static_cast<char>(0x80 | (v & 0x3F));
    } else {  // each surrogate on its own, as the JVM does
      out += static_cast<char>(0xE0 | (v >> 12));
      out += static_cast<char>(0x80 | ((v >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (v & 0x3F));
    }
  }
  return out;
}

bool JvmDecodeModifiedUtf8(std::string_view bytes, std::u16string& text) {
  text.clear();
  for (std::size_t i = 0; i < bytes.size();) {
    const unsigned char b = static_cast<unsigned char>(bytes[i]);
    auto cont = [&](std::size_t k) {
      return k < bytes.size() && (static_cast<unsigned char>(bytes[k]) & 0xC0) == 0x80;
    };
    if (b >= 1 && b <= 0x7F) {
      text += static_cast<char16_t>(b);
      i += 1;
    } else if ((b & 0xE0) == 0xC0 && cont(i + 1)) {
      text += static_cast<char16_t>(((b & 0x1F) << 6) | (bytes[i + 1] & 0x3F));
      i += 2;
    } else if ((b & 0xF0) == 0xE0 && cont(i + 1) && cont(i + 2)) {
      text += static_cast<char16_t>(((b & 0x0F) << 12) | ((bytes[i + 1] & 0x3F) << 6) | (bytes[i + 2] & 0x3F));
      i += 3;
    } else {
      return false;
    }
  }
  return true;
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), units);
  return std::u16string(reinterpret_cast<const char16_t*>(wide.data()), wide.size());
}

std::string Utf16ToUtf8(std::u16string_view text) {
  if (text.empty()) return {};
  const wchar_t* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(text.size()), out.data(), bytes, nullptr, nullptr);
  return out;
}

}  // namespace gantry::testing
