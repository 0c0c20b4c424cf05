// Session control and session start: questions and commands to running
// client programs, and starting a client with a connection file.
#include "Native_Gantry.h"
#include "boundary/export_guard.h"
#include "boundary/java_strings.h"
#include "windows/session/session_control.h"
#include "windows/session/session_start.h"

using namespace gantry;

extern "C" JNIEXPORT jboolean JNICALL Java_Native_Gantry_StartSession(JNIEnv* env, jclass, jstring connectionText,
                                                                     jstring connectionFileName) {
  return Guarded<jboolean>(JNI_FALSE, [&] {
    return ToJavaBoolean(StartClientSession(env, connectionText, connectionFileName));
  });
}

extern "C" JNIEXPORT jboolean JNICALL Java_Native_Gantry_IsAnySession(JNIEnv*, jclass) {
  return Guarded<jboolean>(JNI_FALSE, [] { return ToJavaBoolean(IsAnyClientWindow()); });
}

extern "C" JNIEXPORT jboolean JNICALL Java_Native_Gantry_IsAnyNativeDesktopSessions(JNIEnv*, jclass) {
  return Guarded<jboolean>(JNI_FALSE, [] {
    return ToJavaBoolean(AskClientWindows(SessionControlCode::AskNativeDesktopSessions, 0));
  });
}

extern "C" JNIEXPORT jboolean JNICALL Java_Native_Gantry_IsFarmSessions(JNIEnv*, jclass, jint farmId) {
  return Guarded<jboolean>(JNI_FALSE, [farmId] {
    return ToJavaBoolean(AskClientWindows(SessionControlCode::AskFarmSessions, FarmParameter(farmId)));
  });
}

extern "C" JNIEXPORT jint JNICALL Java_Native_Gantry_GetDesktopState(JNIEnv*, jclass, jint farmId) {
  return Guarded<jint>(DesktopState(false), [farmId] {
    return DesktopState(AskClientWindows(SessionControlCode::AskFarmSessions, FarmParameter(farmId)));
  });
}

extern "C" JNIEXPORT jboolean JNICALL Java_Native_Gantry_LogoffAllSessions(JNIEnv*, jclass) {
  return Guarded<jboolean>(JNI_TRUE, [] {
    PostSessionCommand(SessionControlCode::LogOffAllSessions, 0);
    return JNI_TRUE;
  });
}

extern "C" JNIEXPORT jboolean JNICALL Java_Native_Gantry_DisconnectAllSessions(JNIEnv*, jclass) {
  return Guarded<jboolean>(JNI_TRUE, [] {
    PostSessionCommand(SessionControlCode::DisconnectAllSessions, 0);
    return JNI_TRUE;
  });
}

extern "C" JNIEXPORT jboolean JNICALL Java_Native_Gantry_LogOffFarmSessions(JNIEnv*, jclass, jint farmId) {
  return Guarded<jboolean>(JNI_TRUE, [farmId] {
    PostSessionCommand(SessionControlCode::LogOffFarmSessions, FarmParameter(farmId));
    return JNI_TRUE;
  });
}

extern "C" JNIEXPORT jboolean JNICALL Java_Native_Gantry_DisconnectFarmSessions(JNIEnv*, jclass, jint farmId) {
  return Guarded<jboolean>(JNI_TRUE, [farmId] {
    PostSessionCommand(SessionControlCode::DisconnectFarmSessions, FarmParameter(farmId));
    return JNI_TRUE;
  });
}
