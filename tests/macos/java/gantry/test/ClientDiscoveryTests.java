package gantry.test;

import static gantry.test.Harness.check;
import static gantry.test.Harness.checkEquals;

import Native.Gantry;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.util.Map;

/** The client's version from its bundle, and the user's Java support folder. */
public final class ClientDiscoveryTests {
    private static final Path BUNDLE = Stage.WORK.resolve("Applications/Kuv Client.app");
    private static final Path VERSION_PLIST = BUNDLE.resolve("Contents/version.plist");

    public static void main(String[] args) throws Exception {
        Stage.loadLibrary();
        Harness harness = new Harness("macOS client discovery");
        versionCases(harness);
        folderCases(harness);
        harness.finish();
    }

    private static String plist(String value) {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
            + "  <key>CFBundleShortVersionString</key>\n  <string>9.9</string>\n"
            + value + "</dict>\n</plist>\n";
    }

    private static void versionCases(Harness harness) {
        // name, version.plist text (null: no file), client registered, expected version
        Object[][] cases = {
            {"version 1.2.3", plist("  <key>CFBundleVersion</key>\n  <string>1.2.3</string>\n"), true, "1.2.3"},
            {"text taken verbatim", plist("  <key>CFBundleVersion</key>\n  <string> 10.1 (build 7) é </string>\n"),
                true, " 10.1 (build 7) é "},
            {"no client application", plist("  <key>CFBundleVersion</key>\n  <string>1.2.3</string>\n"), false, ""},
            {"no version.plist", null, true, ""},
            {"no CFBundleVersion", plist(""), true, ""},
            {"empty CFBundleVersion", plist("  <key>CFBundleVersion</key>\n  <string></string>\n"), true, ""},
            {"CFBundleVersion an integer", plist("  <key>CFBundleVersion</key>\n  <integer>123</integer>\n"), true, ""},
            {"CFBundleVersion a dictionary",
                plist("  <key>CFBundleVersion</key>\n  <dict><key>a</key><string>1</string></dict>\n"), true, ""},
            {"version.plist not a property list", "not a property list <<<", true, ""},
        };
        for (Object[] row : cases) {
            harness.test("version: " + row[0], () -> {
                Stage.reset();
                Files.createDirectories(VERSION_PLIST.getParent());
                if (row[1] != null) {
                    Files.write(VERSION_PLIST, ((String) row[1]).getBytes(StandardCharsets.UTF_8));
                }
                Stage.applications((Boolean) row[2] ? Map.of(Stage.CLIENT_BUNDLE_ID, BUNDLE) : Map.of());
                String version = Gantry.GetKuvClientVersion();
                checkEquals(row[3], version, "GetKuvClientVersion");
                checkEquals(version.isEmpty() ? 0 : 1, Gantry.IsKuvClientInstalled(), "IsKuvClientInstalled");
            });
        }

        harness.test("version: read anew on every call", () -> {
            Stage.reset();
            Files.createDirectories(VERSION_PLIST.getParent());
            Stage.applications(Map.of(Stage.CLIENT_BUNDLE_ID, BUNDLE));
            checkEquals("", Gantry.GetKuvClientVersion(), "before the plist exists");
            checkEquals(0, Gantry.IsKuvClientInstalled(), "installed before the plist exists");
            Files.write(VERSION_PLIST, plist("  <key>CFBundleVersion</key>\n  <string>2.0</string>\n")
                .getBytes(StandardCharsets.UTF_8));
            checkEquals("2.0", Gantry.GetKuvClientVersion(), "after it was written");
            checkEquals(1, Gantry.IsKuvClientInstalled(), "installed after it was written");
        });
    }

    private static void folderCases(Harness harness) {
        Path support = Stage.LIBRARY.resolve("Application Support");
        Path kuv = support.resolve("Kuv");
        Path javaSupport = kuv.resolve("JavaSupport");

        harness.test("folder: made level by level on a fresh account, the same path the second time", () -> {
            Stage.deleteTree(support);
            checkEquals(javaSupport.toString(), Gantry.GetUserKuvFolder(), "first call");
            for (Path level : new Path[] {support, kuv, javaSupport}) {
                check(Files.isDirectory(level, LinkOption.NOFOLLOW_LINKS), level + " is a folder");
            }
            Path marker = javaSupport.resolve("kept.txt");
            Files.write(marker, "kept".getBytes(StandardCharsets.UTF_8));
            checkEquals(javaSupport.toString(), Gantry.GetUserKuvFolder(), "second call");
            checkEquals("kept", Stage.read(marker), "content of the existing folder");
        });

        harness.test("folder: existing levels are kept, the missing one made", () -> {
            Stage.deleteTree(support);
            Files.createDirectories(kuv);
            Path other = kuv.resolve("other.txt");
            Files.write(other, "other".getBytes(StandardCharsets.UTF_8));
            checkEquals(javaSupport.toString(), Gantry.GetUserKuvFolder(), "path");
            check(Files.isDirectory(javaSupport), "JavaSupport made");
            checkEquals("other", Stage.read(other), "file beside it");
        });

        // Something where a level should be that is no folder: "/tmp", and it is left as it was.
        // A plain file counts as existing; a dangling symbolic link makes creating the level fail
        // (for root too), whichever level it stands at.
        Path nowhere = Stage.WORK.resolve("nowhere");
        Object[][] blockers = {
            {"a plain file named Kuv", kuv, false},
            {"a plain file named JavaSupport", javaSupport, false},
            {"a dangling link named Application Support", support, true},
            {"a dangling link named Kuv", kuv, true},
            {"a dangling link named JavaSupport", javaSupport, true},
        };
        for (Object[] row : blockers) {
            harness.test("folder: " + row[0] + " gives /tmp", () -> {
                Stage.reset();
                Stage.deleteTree(support);
                Path blocker = (Path) row[1];
                boolean link = (Boolean) row[2];
                Files.createDirectories(blocker.getParent());
                if (link) {
                    Files.createSymbolicLink(blocker, nowhere);
                } else {
                    Files.write(blocker, "plain file".getBytes(StandardCharsets.UTF_8));
                }
                checkEquals("/tmp", Gantry.GetUserKuvFolder(), "GetUserKuvFolder");
                if (link) {
                    check(Files.isSymbolicLink(blocker), "still a symbolic link");
                    checkEquals(nowhere, Files.readSymbolicLink(blocker), "its target");
                    check(!Files.exists(nowhere, LinkOption.NOFOLLOW_LINKS), "its target was not made");
                } else {
                    check(Files.isRegularFile(blocker, LinkOption.NOFOLLOW_LINKS), "still a plain file");
                    checkEquals("plain file", Stage.read(blocker), "its content");
                }
                for (Path level = blocker.getParent(); !level.equals(Stage.LIBRARY); level = level.getParent()) {
                    check(Files.isDirectory(level, LinkOption.NOFOLLOW_LINKS), level + " made before the failure stays");
                }
                Files.delete(blocker);
            });
        }
    }
}
