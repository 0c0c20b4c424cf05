// The library itself: its entry point and the version of its Java interface.
#include <windows.h>

#include "Native_Gantry.h"

namespace {
constexpr jint kNativeVersion = 2;
}

// The entry point does nothing; the session control message is registered by
// static initialisation before it runs.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

extern "C" JNIEXPORT jint JNICALL Java_Native_Gantry_GetNativeVersion(JNIEnv*, jclass) {
  return kNativeVersion;
}
