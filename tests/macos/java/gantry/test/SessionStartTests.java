package gantry.test;

import static gantry.test.Harness.check;
import static gantry.test.Harness.checkEquals;

import Native.Gantry;
import gantry.test.CallLog.Call;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.StandardCopyOption;
import java.util.List;

/** StartSession runs the client command with "-I" and the session text, and reports its exit status. */
public final class SessionStartTests {
    public static void main(String[] args) throws Exception {
        Stage.loadLibrary();
        Harness harness = new Harness("macOS session start");
        String jvmStdin = Files.readSymbolicLink(Paths.get("/proc/self/fd/0")).toString();
        String jvmCwd = System.getProperty("user.dir");

        // session text, second argument: the text reaches the command as one unchanged argument.
        String[][] texts = {
            {"farm=7;app=Mail", "session.kuva"},
            {"with spaces and \"double\" and 'single' quotes, a \\ and a $HOME", "session.kuva"},
            {"two\nlines\tand a tab", null},
            {"é ü 漢字", ""},
            {"", "session.kuva"},
            {"--help", null},
        };
        for (String[] row : texts) {
            harness.test("runs kuvclient -I with the text as one argument: " + row[0].replace("\n", "\\n"), () -> {
                Stage.reset();
                checkEquals(true, Gantry.StartSession(row[0], row[1]), "result");
                List<Call> calls = CallLog.read();
                checkEquals(List.of("kuvclient start", "kuvclient exit"), CallLog.sequence(calls),
                    "calls, finished at the return");
                Call client = calls.get(0);
                checkEquals(List.of("-I", row[0]), client.args, "arguments");
                checkEquals("/dev/null", client.stdout, "output");
                checkEquals("/dev/null", client.stderr, "error");
                checkEquals(jvmStdin, client.stdin, "input");
                checkEquals(jvmCwd, client.cwd, "working directory");
                check(client.env.contains("GANTRY_TEST_INHERITED=from-the-java-process"), "environment inherited");
            });
        }

        // exit status -> result
        Object[][] statuses = {{"0", true}, {"1", false}, {"255", false}};
        for (Object[] row : statuses) {
            harness.test("exit status " + row[0] + " gives " + row[1], () -> {
                Stage.reset();
                Stage.configure("kuvclient-status", (String) row[0]);
                checkEquals(row[1], Gantry.StartSession("session", "session.kuva"), "result");
                checkEquals(row[0], CallLog.of(CallLog.read(), "kuvclient", "exit").get(0).status, "status");
            });
        }

        harness.test("false when the client command is missing", () -> {
            Stage.reset();
            Path aside = Stage.CLIENT_COMMAND.resolveSibling("kuvclient.aside");
            Files.move(Stage.CLIENT_COMMAND, aside, StandardCopyOption.ATOMIC_MOVE);
            try {
                checkEquals(false, Gantry.StartSession("session", "session.kuva"), "result");
            } finally {
                Files.move(aside, Stage.CLIENT_COMMAND, StandardCopyOption.ATOMIC_MOVE);
            }
            checkEquals(List.of(), CallLog.sequence(CallLog.read()), "calls");
            checkEquals(true, Gantry.StartSession("session", "session.kuva"), "result once it is back");
        });

        // Modified UTF-8 that is not standard UTF-8 would otherwise leave "-I" alone on the command line.
        for (String text : new String[] {"a\u0000b", "smile \uD83D\uDE00", "\uD800"}) {
            harness.test("false and nothing started for text that is not valid UTF-8: "
                    + text.chars().mapToObj(c -> String.format("%04X", c)).reduce((a, b) -> a + " " + b).get(), () -> {
                Stage.reset();
                checkEquals(false, Gantry.StartSession(text, "session.kuva"), "result");
                checkEquals(List.of(), CallLog.sequence(CallLog.read()), "calls");
            });
        }
        harness.finish();
    }
}
