package gantry.test;

import static gantry.test.Harness.check;
import static gantry.test.Harness.checkEquals;

import Native.Gantry;
import gantry.test.CallLog.Call;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.function.Function;
import java.util.stream.Collectors;

/**
 * InstallFullClient and InstallBasicClient with stand-ins for hdiutil and the Installer. A test disk
 * image lists the files at the root of its volume; the stand-in attach puts them into the mount
 * directory and the detach takes them away again.
 */
public final class DiskImageInstallTests {
    private static final String INHERITED = "GANTRY_TEST_INHERITED=from-the-java-process";
    private static final String PACKAGE = "Kuv Client.pkg";
    private static final Path HDIUTIL = Stage.ROOT.resolve("usr/bin/hdiutil");
    private static final Path HDIUTIL_AWAY = Stage.ROOT.resolve("usr/bin/hdiutil.away");
    private static final List<String> INSTALLED = List.of(
        "hdiutil start", "hdiutil exit", "Installer start", "Installer exit", "hdiutil start", "hdiutil exit");
    private static final List<String> ATTACHED_AND_DETACHED = List.of(
        "hdiutil start", "hdiutil exit", "hdiutil start", "hdiutil exit");

    public static void main(String[] args) throws Exception {
        Stage.loadLibrary();
        Harness harness = new Harness("macOS disk-image installation");
        String jvmStdin = Files.readSymbolicLink(Paths.get("/proc/self/fd/0")).toString();
        String jvmCwd = System.getProperty("user.dir");

        Map<String, Function<String, Boolean>> methods = Map.of(
            "InstallFullClient", Gantry::InstallFullClient,
            "InstallBasicClient", Gantry::InstallBasicClient);
        Map<String, List<String>> normalisedRuns = new java.util.TreeMap<>();

        for (Map.Entry<String, Function<String, Boolean>> method : methods.entrySet()) {
            harness.test(method.getKey() + ": attach, Installer, detach not waited for", () -> {
                setUp();
                Stage.configure("detach-delay-ms", "2000");
                Path image = image("client.dmg", PACKAGE, "ReadMe.txt");
                checkEquals(true, method.getValue().apply(image.toString()), "result");
                List<Call> atReturn = CallLog.read();
                check(CallLog.of(atReturn, "hdiutil", "exit").size() == 1, "the detach had not finished: " + atReturn);

                List<Call> calls = awaitCalls(INSTALLED);
                Call attach = calls.get(0);
                String mount = mountDirectory(attach);
                checkEquals(List.of("attach", image.toString(), "-mountpoint", mount, "-noverify", "-nobrowse",
                    "-noautoopen"), attach.args, "attach arguments");
                checkEquals("/", attach.cwd, "attach working directory");
                check(attach.env.contains(INHERITED), "attach inherits the environment");
                checkQuiet(attach, jvmStdin);

                Call installer = CallLog.of(calls, "Installer", "start").get(0);
                checkEquals(List.of(mount + "/" + PACKAGE), installer.args, "Installer arguments");
                checkEquals(List.of(), installer.env, "Installer environment");
                checkEquals(jvmCwd, installer.cwd, "Installer working directory");
                checkQuiet(installer, jvmStdin);

                Call detach = CallLog.of(calls, "hdiutil", "start").get(1);
                checkEquals(List.of("detach", mount, "-force"), detach.args, "detach arguments");
                checkEquals(jvmCwd, detach.cwd, "detach working directory");
                check(detach.env.contains(INHERITED), "detach inherits the environment");
                checkQuiet(detach, jvmStdin);

                List<Call> deactivations = CallLog.of(calls, "NSApplication", "deactivate");
                checkEquals(1, deactivations.size(), "deactivate requests");
                int at = calls.indexOf(deactivations.get(0));
                check(at > calls.indexOf(CallLog.of(calls, "hdiutil", "exit").get(0)) && at < calls.indexOf(detach),
                    "deactivate requested while the Installer runs: " + calls);
                normalisedRuns.put(method.getKey(), normalise(calls, mount));
                removeMountDirectory(mount);
            });
        }
        harness.test("InstallBasicClient does exactly what InstallFullClient does", () -> {
            check(normalisedRuns.size() == 2, "both runs recorded");
            // The deactivate request comes from this process while the Installer
            // starts in its own, so their order in the log is a race; each run
            // above already checks that it falls while the Installer runs.
            java.util.function.Function<List<String>, List<String>> withoutDeactivate = calls ->
                calls.stream().filter(c -> !c.startsWith("NSApplication|deactivate")).collect(java.util.stream.Collectors.toList());
            checkEquals(withoutDeactivate.apply(normalisedRuns.get("InstallFullClient")),
                withoutDeactivate.apply(normalisedRuns.get("InstallBasicClient")), "calls");
        });

        harness.test("true when the Installer exits with 1 (a cancelled or failed installation)", () -> {
            setUp();
            Stage.configure("installer-status", "1");
            checkEquals(true, Gantry.InstallFullClient(image("client.dmg", PACKAGE).toString()), "result");
            List<Call> calls = awaitCalls(INSTALLED);
            checkEquals("1", CallLog.of(calls, "Installer", "exit").get(0).status, "Installer status");
            removeMountDirectory(mountDirectory(calls.get(0)));
        });

        // The attach leaves nothing at the mount directory: removed again, nothing else started.
        Object[][] unattachable = {
            {"a missing image", (Setup) () -> Stage.WORK.resolve("missing.dmg")},
            {"a file that is not a disk image", (Setup) () -> write(Stage.WORK.resolve("text.dmg"), "plain text\n")},
        };
        for (Object[] row : unattachable) {
            for (String method : methods.keySet()) {
                harness.test(method + ": false for " + row[0] + ", mount directory removed", () -> {
                    setUp();
                    Path image = ((Setup) row[1]).image();
                    checkEquals(false, methods.get(method).apply(image.toString()), "result");
                    Thread.sleep(500); // time for a wrongly started detach to show
                    List<Call> calls = awaitCalls(List.of("hdiutil start", "hdiutil exit"));
                    checkEquals("attach", calls.get(0).args.get(0), "the one call");
                    check(!Files.exists(Paths.get(mountDirectory(calls.get(0))), LinkOption.NOFOLLOW_LINKS),
                        "mount directory removed");
                });
            }
        }

        harness.test("false for an image without the package: detached and waited for, then removed", () -> {
            setUp();
            Stage.configure("detach-delay-ms", "500");
            checkEquals(false, Gantry.InstallFullClient(image("other.dmg", "ReadMe.txt", "Other.pkg").toString()),
                "result");
            List<Call> atReturn = CallLog.read();
            checkEquals(ATTACHED_AND_DETACHED, CallLog.sequence(atReturn), "calls, all finished at the return");
            String mount = mountDirectory(atReturn.get(0));
            checkEquals(List.of("detach", mount, "-force"), atReturn.get(2).args, "detach arguments");
            check(!Files.exists(Paths.get(mount), LinkOption.NOFOLLOW_LINKS), "mount directory removed");
        });

        harness.test("false for an image without the package whose detach fails: the volume's files are kept", () -> {
            setUp();
            Stage.configure("detach-fails", "");
            checkEquals(false, installFromImage("other.dmg", "ReadMe.txt"), "result");
            List<Call> calls = awaitCalls(ATTACHED_AND_DETACHED);
            Path mount = Paths.get(mountDirectory(calls.get(0)));
            check(Files.isRegularFile(mount.resolve("ReadMe.txt")), "the volume's file is still there");
            Stage.deleteTree(mount);
        });

        // No Installer that runs: false, and the image is still detached. An executable
        // without the permission to run it exists, but starting it raises.
        Object[][] noInstaller = {
            {"no application registered as com.apple.installer", Map.of()},
            {"an Installer application without its executable",
                Map.of(Stage.INSTALLER_BUNDLE_ID, Stage.WORK.resolve("Empty Installer.app"))},
            {"an Installer that exists but cannot be started",
                Map.of(Stage.INSTALLER_BUNDLE_ID, Stage.WORK.resolve("Unstartable Installer.app"))},
        };
        for (Object[] row : noInstaller) {
            harness.test("false with " + row[0] + ", detach still run", () -> {
                setUp();
                Files.createDirectories(Stage.WORK.resolve("Empty Installer.app/Contents/MacOS"));
                Files.createDirectories(Stage.WORK.resolve("Unstartable Installer.app/Contents/MacOS"));
                Path unstartable = write(Stage.WORK.resolve("Unstartable Installer.app/Contents/MacOS/Installer"),
                    "#!/bin/sh\nexit 0\n");
                Files.setPosixFilePermissions(unstartable,
                    java.nio.file.attribute.PosixFilePermissions.fromString("rw-r--r--"));
                @SuppressWarnings("unchecked")
                Map<String, Path> applications = (Map<String, Path>) row[1];
                Stage.applications(applications);
                checkEquals(false, installFromImage("client.dmg", PACKAGE), "result");
                List<Call> calls = awaitCalls(ATTACHED_AND_DETACHED);
                String mount = mountDirectory(calls.get(0));
                checkEquals(List.of("detach", mount, "-force"), calls.get(2).args, "detach arguments");
                removeMountDirectory(mount);
            });
        }

        harness.test("a slow Installer is waited for: its exit is logged before the call returns", () -> {
            setUp();
            Stage.configure("installer-delay-ms", "1500");
            long started = System.nanoTime();
            checkEquals(true, installFromImage("client.dmg", PACKAGE), "result");
            long tookMillis = (System.nanoTime() - started) / 1_000_000L;
            List<Call> atReturn = CallLog.read();
            checkEquals(1, CallLog.of(atReturn, "Installer", "exit").size(),
                "Installer exits logged at the return: " + atReturn);
            check(tookMillis >= 1500, "the call lasted the Installer's 1500 ms, took " + tookMillis);
            removeMountDirectory(mountDirectory(awaitCalls(INSTALLED).get(0)));
        });

        // GNUstep names the mount directory <host>_<pid in hex>_<time>_<counter>; the
        // JVM's pid picks out this process's directories among everything in /tmp.
        harness.test("hdiutil missing at the attach: false, nothing started, the empty mount directory left", () -> {
            setUp();
            java.util.Set<Path> before = ownTmpEntries();
            Files.move(HDIUTIL, HDIUTIL_AWAY);
            boolean result;
            try {
                result = installFromImage("client.dmg", PACKAGE);
            } finally {
                Files.move(HDIUTIL_AWAY, HDIUTIL);
            }
            checkEquals(false, result, "result");
            Thread.sleep(500); // time for a wrongly started Installer to show
            checkEquals(List.of(), CallLog.sequence(CallLog.read()), "calls");
            java.util.Set<Path> made = ownTmpEntries();
            made.removeAll(before);
            checkEquals(1, made.size(), "mount directories made: " + made);
            Path mount = made.iterator().next();
            check(Files.isDirectory(mount, LinkOption.NOFOLLOW_LINKS), mount + " is a folder");
            try (java.util.stream.Stream<Path> entries = Files.list(mount)) {
                checkEquals(0L, entries.count(), "entries in " + mount);
            }
            Files.delete(mount);
        });

        harness.test("two calls use two mount directories", () -> {
            setUp();
            checkEquals(true, installFromImage("client.dmg", PACKAGE), "first result");
            checkEquals(true, installFromImage("client.dmg", PACKAGE), "second result");
            // The first detach may still run while the second attach starts.
            check(Stage.waitFor(() -> CallLog.of(readLog(), "hdiutil", "exit").size() == 4, 20_000),
                "both attaches and both detaches finished: " + CallLog.read());
            List<Call> attaches = CallLog.of(CallLog.read(), "hdiutil", "start").stream()
                .filter(call -> call.args.get(0).equals("attach")).collect(Collectors.toList());
            checkEquals(2, attaches.size(), "attaches");
            String first = mountDirectory(attaches.get(0));
            String second = mountDirectory(attaches.get(1));
            check(!first.equals(second), "different mount directories: " + first);
            removeMountDirectory(first);
            removeMountDirectory(second);
        });

        // Modified UTF-8 that is not standard UTF-8 (a NUL, a character outside the BMP).
        for (String text : new String[] {"client\u0000.dmg", "client\uD83D\uDE00.dmg"}) {
            harness.test("false for a path that is not valid UTF-8, nothing started: " + escape(text), () -> {
                setUp();
                checkEquals(false, Gantry.InstallFullClient(Stage.WORK + "/" + text), "result");
                Thread.sleep(500); // time for a wrongly started program to show
                checkEquals(List.of(), CallLog.sequence(CallLog.read()), "calls");
            });
        }
        harness.finish();
    }

    private interface Setup {
        Path image() throws Exception;
    }

    private static void setUp() throws Exception {
        Stage.reset();
        // A run that died while hdiutil was moved away leaves it there.
        if (Files.exists(HDIUTIL_AWAY) && !Files.exists(HDIUTIL)) {
            Files.move(HDIUTIL_AWAY, HDIUTIL);
        }
        Stage.applications(Map.of(Stage.INSTALLER_BUNDLE_ID, Stage.INSTALLER_APP));
    }

    private static boolean installFromImage(String name, String... rootFiles) throws Exception {
        return Gantry.InstallFullClient(image(name, rootFiles).toString());
    }

    private static Path image(String name, String... rootFiles) throws Exception {
        return write(Stage.WORK.resolve(name), "gantry test image\n" + String.join("\n", rootFiles) + "\n");
    }

    private static Path write(Path file, String text) throws Exception {
        Files.write(file, text.getBytes(StandardCharsets.UTF_8));
        return file;
    }

    private static List<Call> without(List<Call> calls, String program) {
        return calls.stream().filter(call -> !call.program.equals(program)).collect(Collectors.toList());
    }

    /**
     * Waits until the stand-in programs have made the expected calls (a detach may start after the
     * return) and returns the log, which the caller then checks.
     */
    private static List<Call> awaitCalls(List<String> expected) throws Exception {
        Stage.waitFor(() -> {
            try {
                return CallLog.sequence(without(CallLog.read(), "NSApplication")).equals(expected);
            } catch (java.io.IOException e) {
                return false;
            }
        }, 20_000);
        List<Call> calls = CallLog.read();
        checkEquals(expected, CallLog.sequence(without(calls, "NSApplication")), "calls");
        return calls;
    }

    /** The entries of /tmp whose name carries this JVM's pid as GNUstep's unique strings do. */
    private static java.util.Set<Path> ownTmpEntries() throws java.io.IOException {
        String mark = "_" + Long.toHexString(ProcessHandle.current().pid()) + "_";
        try (java.util.stream.Stream<Path> entries = Files.list(Paths.get("/tmp"))) {
            return entries.filter(path -> path.getFileName().toString().contains(mark))
                .collect(Collectors.toCollection(java.util.HashSet::new));
        }
    }

    private static List<Call> readLog() {
        try {
            return CallLog.read();
        } catch (java.io.IOException e) {
            return List.of();
        }
    }

    /** The mount directory named by an attach: one fresh component under /tmp. */
    private static String mountDirectory(Call attach) {
        checkEquals("attach", attach.args.get(0), "first call");
        String mount = attach.args.get(3);
        check(mount.startsWith("/tmp/") && mount.length() > 5 && mount.indexOf('/', 5) < 0,
            "mount directory is one component under /tmp: " + mount);
        return mount;
    }

    /** Output and error to the null device; standard input as the Java process has it. */
    private static void checkQuiet(Call call, String jvmStdin) {
        checkEquals("/dev/null", call.stdout, call + " output");
        checkEquals("/dev/null", call.stderr, call + " error");
        checkEquals(jvmStdin, call.stdin, call + " input");
    }

    private static List<String> normalise(List<Call> calls, String mount) {
        List<String> lines = new ArrayList<>();
        for (Call call : calls) {
            lines.add(String.join("|", call.program, call.event, call.cwd, call.stdout, call.stderr,
                String.valueOf(call.env.size()), call.status, String.join(" ", call.args).replace(mount, "<mount>")));
        }
        return lines;
    }

    /** The success paths leave the (emptied) mount directory behind by design; the test clears it. */
    private static void removeMountDirectory(String mount) throws Exception {
        Path directory = Paths.get(mount);
        check(Stage.waitFor(() -> {
            try (java.util.stream.Stream<Path> entries = Files.list(directory)) {
                return entries.count() == 0;
            } catch (java.io.IOException e) {
                return false;
            }
        }, 5000), "the detach emptied " + mount);
        Files.delete(directory);
    }

    private static String escape(String text) {
        StringBuilder escaped = new StringBuilder();
        for (char c : text.toCharArray()) {
            escaped.append(c < 0x20 || c > 0x7e ? String.format("\\u%04X", (int) c) : String.valueOf(c));
        }
        return escaped.toString();
    }
}
