#include "boundary/java_strings.h"

#include <cstring>

#include "boundary/core/modified_utf8.h"

namespace gantry {

JavaStringBytes::JavaStringBytes(JNIEnv* env, jstring string) : env_(env), string_(string) {
  if (env_ != nullptr && string_ != nullptr) bytes_ = env_->GetStringUTFChars(string_, nullptr);
}

JavaStringBytes::~JavaStringBytes() {
  if (bytes_ != nullptr) env_->ReleaseStringUTFChars(string_, bytes_);
}

std::string_view JavaStringBytes::bytes() const {
  if (bytes_ == nullptr) return {};
  return std::string_view(bytes_, std::strlen(bytes_));
}

std::optional<std::u16string> ReadPathArgument(const JavaStringBytes& argument) {
  if (!argument.ok()) return std::nullopt;
  std::optional<std::u16string> text = DecodeModifiedUtf8(argument.bytes());
  if (!text || text->find(u'\0') != std::u16string::npos) return std::nullopt;
  return text;
}

jstring MakeJavaString(JNIEnv* env, std::u16string_view text) {
  const std::string bytes = EncodeModifiedUtf8(text);
  return env->NewStringUTF(bytes.c_str());
}

}  // namespace gantry
