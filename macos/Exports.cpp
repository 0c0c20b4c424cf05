// The Java methods of Native.Gantry on macOS. Each export reads its
// arguments, calls one operation and converts its result; the methods that
// have no meaning on macOS answer a constant. There is no GetNativeVersion.

#include "Native_Gantry.h"

#include "JavaStrings.h"
#include "Operations.h"

namespace {

jboolean WithJavaString(JNIEnv *env, jstring text, bool (*operation)(const char *))
{
    JavaStringChars chars(env, text);
    if (chars.get() == NULL)
        return JNI_FALSE;
    return operation(chars.get()) ? JNI_TRUE : JNI_FALSE;
}

jstring JavaStringOf(JNIEnv *env, char *ownedText, const char *fallback)
{
    OwnedText text(ownedText);
    return env->NewStringUTF(text.get() ? text.get() : fallback);
}

} // namespace

extern "C" {

JNIEXPORT jstring JNICALL Java_Native_Gantry_GetKuvClientVersion(JNIEnv *env, jclass)
{
    return JavaStringOf(env, ReadClientVersion(), "");
}

JNIEXPORT jint JNICALL Java_Native_Gantry_IsKuvClientInstalled(JNIEnv *, jclass)
{
    OwnedText version(ReadClientVersion());
    return version.get() && version.get()[0] != '\0' ? 1 : 0;
}

JNIEXPORT jstring JNICALL Java_Native_Gantry_GetUserKuvFolder(JNIEnv *env, jclass)
{
    return JavaStringOf(env, EnsureUserFolder(), "/tmp");
}

JNIEXPORT jboolean JNICALL Java_Native_Gantry_InstallFullClient(JNIEnv *env, jclass, jstring imagePath)
{
    return WithJavaString(env, imagePath, InstallFromDiskImage);
}

// There is no per-user installation on macOS.
JNIEXPORT jboolean JNICALL Java_Native_Gantry_InstallBasicClient(JNIEnv *env, jclass type, jstring imagePath)
{
    return Java_Native_Gantry_InstallFullClient(env, type, imagePath);
}

// The second argument names a connection file on Windows; none is written here.
JNIEXPORT jboolean JNICALL Java_Native_Gantry_StartSession(JNIEnv *env, jclass, jstring sessionText, jstring)
{
    return WithJavaString(env, sessionText, LaunchSession);
}

// True whether or not a client agent was reached.
JNIEXPORT jboolean JNICALL Java_Native_Gantry_LogoffAllSessions(JNIEnv *, jclass)
{
    LogoffAgentSessions();
    return JNI_TRUE;
}

JNIEXPORT jboolean JNICALL Java_Native_Gantry_DisconnectAllSessions(JNIEnv *, jclass)
{
    DisconnectAgentSessions();
    return JNI_TRUE;
}

JNIEXPORT jboolean JNICALL Java_Native_Gantry_CleanBasicClientOnRestart(JNIEnv *, jclass)
{
    return JNI_FALSE;
}

JNIEXPORT jboolean JNICALL Java_Native_Gantry_UnregisterExtensions(JNIEnv *, jclass, jint)
{
    return JNI_FALSE;
}

JNIEXPORT jint JNICALL Java_Native_Gantry_GetDesktopState(JNIEnv *, jclass, jint)
{
    return 2;
}

JNIEXPORT jboolean JNICALL Java_Native_Gantry_LogOffFarmSessions(JNIEnv *, jclass, jint)
{
    return JNI_TRUE;
}

JNIEXPORT jboolean JNICALL Java_Native_Gantry_DisconnectFarmSessions(JNIEnv *, jclass, jint)
{
    return JNI_TRUE;
}

JNIEXPORT jboolean JNICALL Java_Native_Gantry_IsAnyNativeDesktopSessions(JNIEnv *, jclass)
{
    return JNI_FALSE;
}

JNIEXPORT jboolean JNICALL Java_Native_Gantry_IsFarmSessions(JNIEnv *, jclass, jint)
{
    return JNI_FALSE;
}

JNIEXPORT jboolean JNICALL Java_Native_Gantry_IsAnySession(JNIEnv *, jclass)
{
    return JNI_FALSE;
}

} // extern "C"
