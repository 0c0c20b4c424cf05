// The full client, installed machine-wide through Windows Installer.
#include "Native_Gantry.h"
#include "boundary/export_guard.h"
#include "windows/install/full_client_installation.h"

using namespace gantry;

extern "C" JNIEXPORT jboolean JNICALL Java_Native_Gantry_InstallFullClient(JNIEnv* env, jclass,
                                                                           jstring packagePath) {
  return Guarded<jboolean>(JNI_FALSE, [&] { return ToJavaBoolean(InstallFullClientFromJava(env, packagePath)); });
}
