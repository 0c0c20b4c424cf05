// Extension restoration: the associations the client program took over.
#include "Native_Gantry.h"
#include "boundary/export_guard.h"
#include "windows/extensions/extension_restoration.h"

using namespace gantry;

extern "C" JNIEXPORT jboolean JNICALL Java_Native_Gantry_UnregisterExtensions(JNIEnv*, jclass, jint farmId) {
  return Guarded<jboolean>(JNI_TRUE, [farmId] { return ToJavaBoolean(UnregisterExtensions(farmId)); });
}
