// Client discovery: is the client there, which version, where is its folder.
#include <string>

#include "Native_Gantry.h"
#include "boundary/export_guard.h"
#include "boundary/java_strings.h"
#include "windows/discovery/client_locator.h"
#include "windows/discovery/version_reader.h"
#include "windows/shared/wide_text.h"

using namespace gantry;

extern "C" JNIEXPORT jint JNICALL Java_Native_Gantry_IsKuvClientInstalled(JNIEnv*, jclass) {
  return Guarded<jint>(0, [] { return ClientInstallationState(); });
}

extern "C" JNIEXPORT jstring JNICALL Java_Native_Gantry_GetKuvClientVersion(JNIEnv* env, jclass) {
  return GuardedString(env, [env] {
    return MakeJavaString(env, AsUtf16(ReadClientFileVersion().value_or(std::wstring())));
  });
}

extern "C" JNIEXPORT jstring JNICALL Java_Native_Gantry_GetUserKuvFolder(JNIEnv* env, jclass) {
  return GuardedString(env, [env] {
    return MakeJavaString(env, AsUtf16(MakeClientFolderPath().value_or(std::wstring())));
  });
}
