package gantry.test;

import static gantry.test.Harness.check;
import static gantry.test.Harness.checkEquals;

import Native.Gantry;
import java.util.Map;
import java.util.function.Supplier;

/** The methods that answer a constant on macOS, the missing GetNativeVersion, and null string arguments. */
public final class ExportTests {
    public static void main(String[] args) throws Exception {
        Stage.loadLibrary();
        Harness harness = new Harness("macOS exports");
        int[] farms = {0, 1, -1, Integer.MAX_VALUE, Integer.MIN_VALUE};

        Object[][] constants = {
            {"CleanBasicClientOnRestart", false, (Supplier<Object>) Gantry::CleanBasicClientOnRestart},
            {"IsAnySession", false, (Supplier<Object>) Gantry::IsAnySession},
            {"IsAnyNativeDesktopSessions", false, (Supplier<Object>) Gantry::IsAnyNativeDesktopSessions},
        };
        for (Object[] row : constants) {
            harness.test(row[0] + " answers " + row[1], () -> {
                Stage.reset();
                @SuppressWarnings("unchecked")
                Supplier<Object> method = (Supplier<Object>) row[2];
                checkEquals(row[1], method.get(), (String) row[0]);
                checkEquals(0, CallLog.read().size(), "calls made");
            });
        }
        for (int farm : farms) {
            harness.test("farm methods answer their constants for farm " + farm, () -> {
                Stage.reset();
                checkEquals(false, Gantry.UnregisterExtensions(farm), "UnregisterExtensions");
                checkEquals(2, Gantry.GetDesktopState(farm), "GetDesktopState");
                checkEquals(true, Gantry.LogOffFarmSessions(farm), "LogOffFarmSessions");
                checkEquals(true, Gantry.DisconnectFarmSessions(farm), "DisconnectFarmSessions");
                checkEquals(false, Gantry.IsFarmSessions(farm), "IsFarmSessions");
                checkEquals(0, CallLog.read().size(), "calls made");
            });
        }

        harness.test("GetNativeVersion is not exported", () -> {
            try {
                Gantry.GetNativeVersion();
                throw new AssertionError("GetNativeVersion returned");
            } catch (UnsatisfiedLinkError expected) {
                check(expected.getMessage().contains("GetNativeVersion"), "link error names the method: " + expected);
            }
        });

        Object[][] nullCalls = {
            {"InstallFullClient(null)", (Supplier<Object>) () -> Gantry.InstallFullClient(null)},
            {"InstallBasicClient(null)", (Supplier<Object>) () -> Gantry.InstallBasicClient(null)},
            {"StartSession(null, name)", (Supplier<Object>) () -> Gantry.StartSession(null, "session.kuva")},
            {"StartSession(null, null)", (Supplier<Object>) () -> Gantry.StartSession(null, null)},
        };
        for (Object[] row : nullCalls) {
            harness.test(row[0] + " is false and starts nothing", () -> {
                Stage.reset();
                // Everything an installation would need is in place, so only the null stops it.
                Stage.applications(Map.of(Stage.INSTALLER_BUNDLE_ID, Stage.INSTALLER_APP));
                @SuppressWarnings("unchecked")
                Supplier<Object> call = (Supplier<Object>) row[1];
                checkEquals(false, call.get(), (String) row[0]);
                checkEquals(0, CallLog.read().size(), "calls made");
            });
        }
        harness.finish();
    }
}
