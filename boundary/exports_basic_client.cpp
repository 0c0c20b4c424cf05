// The basic client: per-user installation and its clean-up at the next logon.
#include "Native_Gantry.h"
#include "boundary/export_guard.h"
#include "boundary/java_strings.h"
#include "windows/install/basic_client_installation.h"
#include "windows/install/basic_client_removal.h"

using namespace gantry;

extern "C" JNIEXPORT jboolean JNICALL Java_Native_Gantry_InstallBasicClient(JNIEnv* env, jclass,
                                                                            jstring packagePath) {
  return Guarded<jboolean>(JNI_FALSE, [env, packagePath] {
    const JavaStringBytes bytes(env, packagePath);
    const std::optional<std::u16string> path = ReadPathArgument(bytes);
    return ToJavaBoolean(path && InstallBasicClient(*path) == 1);
  });
}

extern "C" JNIEXPORT jboolean JNICALL Java_Native_Gantry_CleanBasicClientOnRestart(JNIEnv*, jclass) {
  return Guarded<jboolean>(JNI_FALSE, [] { return ToJavaBoolean(CleanBasicClientOnRestart() == 1); });
}
