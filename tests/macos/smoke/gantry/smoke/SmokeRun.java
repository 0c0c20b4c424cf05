package gantry.smoke;

import Native.Gantry;

/**
 * Loads the macOS library named on the command line into this JVM and calls every method that
 * has no side effect: the discovery answers, the constant answers, and the installers and the
 * session start with a null argument. It leaves out GetUserKuvFolder (it makes the Java support
 * folder), the installers and the session start with real arguments, and LogoffAllSessions and
 * DisconnectAllSessions (they message a running client agent). Exit status 0 when every answer is
 * the one the library gives on macOS.
 */
public final class SmokeRun {
    private static int failures;

    public static void main(String[] args) {
        if (args.length != 1) {
            System.err.println("usage: SmokeRun <path of libGantry.jnilib>");
            System.exit(2);
        }
        System.load(args[0]);
        System.out.println("loaded " + args[0] + " into a " + System.getProperty("os.arch") + " JVM "
            + System.getProperty("java.version"));

        String version = Gantry.GetKuvClientVersion();
        check("GetKuvClientVersion is a text, never null", version != null, version);
        expect("IsKuvClientInstalled, 1 exactly when there is a version text", Gantry.IsKuvClientInstalled(),
            version != null && !version.isEmpty() ? 1 : 0);

        expect("CleanBasicClientOnRestart", Gantry.CleanBasicClientOnRestart(), false);
        expect("UnregisterExtensions(0)", Gantry.UnregisterExtensions(0), false);
        expect("GetDesktopState(0)", Gantry.GetDesktopState(0), 2);
        expect("LogOffFarmSessions(0)", Gantry.LogOffFarmSessions(0), true);
        expect("DisconnectFarmSessions(0)", Gantry.DisconnectFarmSessions(0), true);
        expect("IsAnyNativeDesktopSessions", Gantry.IsAnyNativeDesktopSessions(), false);
        expect("IsFarmSessions(0)", Gantry.IsFarmSessions(0), false);
        expect("IsAnySession", Gantry.IsAnySession(), false);
        expect("InstallFullClient(null)", Gantry.InstallFullClient(null), false);
        expect("InstallBasicClient(null)", Gantry.InstallBasicClient(null), false);
        expect("StartSession(null, null)", Gantry.StartSession(null, null), false);
        boolean linkError = false;
        try {
            Gantry.GetNativeVersion();
        } catch (UnsatisfiedLinkError expected) {
            linkError = true;
        }
        check("GetNativeVersion is not in the macOS library", linkError, linkError ? "UnsatisfiedLinkError" : "it answered");

        System.out.println(failures == 0 ? "smoke run passed" : failures + " answer(s) wrong");
        System.exit(failures == 0 ? 0 : 1);
    }

    private static void expect(String what, Object answer, Object expected) {
        boolean right = expected.equals(answer);
        report(what, right, answer + (right ? "" : ", expected " + expected));
    }

    private static void check(String what, boolean right, Object answer) {
        report(what, right, String.valueOf(answer));
    }

    private static void report(String what, boolean right, String answer) {
        if (!right) {
            failures++;
        }
        System.out.println((right ? "ok    " : "WRONG ") + what + ": " + answer);
    }
}
