package Native;

/**
 * The Java side of the Gantry native library ("Gantry.dll" on Windows,
 * "libGantry.jnilib" on macOS). The native build compiles against the header
 * that javac -h generates from this file, so a signature changed here and not
 * in the library fails to build.
 */
public class Gantry {
    public static native int GetNativeVersion();
    public static native int IsKuvClientInstalled();
    public static native String GetKuvClientVersion();
    public static native String GetUserKuvFolder();
    public static native boolean InstallFullClient(String packagePath);
    public static native boolean InstallBasicClient(String packagePath);
    public static native boolean CleanBasicClientOnRestart();
    public static native boolean StartSession(String connectionText, String connectionFileName);
    public static native boolean IsAnySession();
    public static native boolean IsAnyNativeDesktopSessions();
    public static native boolean IsFarmSessions(int farmId);
    public static native int GetDesktopState(int farmId);
    public static native boolean LogoffAllSessions();
    public static native boolean DisconnectAllSessions();
    public static native boolean LogOffFarmSessions(int farmId);
    public static native boolean DisconnectFarmSessions(int farmId);
    public static native boolean UnregisterExtensions(int farmId);
}
