// No C++ exception may reach the Java runtime: every export runs its
// operation through one of these, which turn anything thrown (an allocation
// that failed) into the method's failure result.
#pragma once

#include <jni.h>

#include "boundary/java_strings.h"

namespace gantry {

template <typename Result, typename Operation>
Result Guarded(Result onFailure, Operation&& operation) noexcept {
  try {
    return operation();
  } catch (...) {
    return onFailure;
  }
}

// For methods that return a Java string: the empty string on failure.
template <typename Operation>
jstring GuardedString(JNIEnv* env, Operation&& operation) noexcept {
  try {
    return operation();
  } catch (...) {
    return env->NewStringUTF("");
  }
}

}  // namespace gantry
