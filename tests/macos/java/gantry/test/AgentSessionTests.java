package gantry.test;

import static gantry.test.Harness.check;
import static gantry.test.Harness.checkEquals;

import Native.Gantry;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.List;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.concurrent.TimeUnit;
import java.util.function.BooleanSupplier;
import java.util.stream.Collectors;

/** LogoffAllSessions and DisconnectAllSessions against the test agent, a stopped one, and none. */
public final class AgentSessionTests {
    private static final Path AGENT = Paths.get(System.getProperty("gantry.agent"));
    /** The library's request and reply time-outs on the agent connection, in seconds. */
    private static final int AGENT_TIMEOUT_SECONDS = 3;

    /** A test agent process and the file it logs its messages to. */
    private static final class Agent implements AutoCloseable {
        final Process process;
        final Path log;

        Agent(String name, int handlingMillis) throws Exception {
            log = Stage.WORK.resolve(name + ".log");
            process = new ProcessBuilder(AGENT.toString(), log.toString(), String.valueOf(handlingMillis))
                .redirectErrorStream(true).redirectOutput(Stage.WORK.resolve(name + ".out").toFile()).start();
            boolean ready = Stage.waitFor(() -> lines().contains("ready") || !process.isAlive(), 20_000);
            if (!ready || !process.isAlive()) {
                close();
                throw new AssertionError("the test agent did not register: " + lines());
            }
        }

        List<String> lines() {
            try {
                return Files.exists(log) ? Files.readAllLines(log) : List.of();
            } catch (IOException e) {
                return List.of();
            }
        }

        long count(String line) {
            return lines().stream().filter(line::equals).count();
        }

        void signal(String name) throws Exception {
            Process kill = new ProcessBuilder("kill", "-" + name, String.valueOf(process.pid())).inheritIO().start();
            check(kill.waitFor(10, TimeUnit.SECONDS), "kill -" + name + " finished");
        }

        /** SIGKILL ends the agent also while it is stopped. */
        @Override
        public void close() {
            process.destroyForcibly();
            try {
                process.waitFor(10, TimeUnit.SECONDS);
            } catch (InterruptedException e) {
                Thread.currentThread().interrupt();
            }
        }
    }

    public static void main(String[] args) throws Exception {
        Stage.loadLibrary();
        Harness harness = new Harness("macOS agent session control");
        ExecutorService caller = Executors.newSingleThreadExecutor(runnable -> {
            Thread thread = new Thread(runnable, "agent caller");
            thread.setDaemon(true);
            return thread;
        });

        harness.test("no agent: both return true without waiting for a time-out", () -> {
            Stage.reset();
            long started = System.nanoTime();
            checkEquals(true, Gantry.LogoffAllSessions(), "LogoffAllSessions");
            checkEquals(true, Gantry.DisconnectAllSessions(), "DisconnectAllSessions");
            long millis = (System.nanoTime() - started) / 1_000_000;
            check(millis < AGENT_TIMEOUT_SECONDS * 1000L, "returned in " + millis + " ms");
        });

        harness.test("a live agent receives each message once per call", () -> {
            Stage.reset();
            try (Agent agent = new Agent("live", 0)) {
                String[][] steps = {
                    {"LogoffAllSessions", "logoffAllSessions"},
                    {"DisconnectAllSessions", "diconnectAllSessions"},
                    {"LogoffAllSessions", "logoffAllSessions"},
                    {"DisconnectAllSessions", "diconnectAllSessions"},
                };
                int logoffs = 0;
                int disconnects = 0;
                for (String[] step : steps) {
                    boolean logoff = step[0].equals("LogoffAllSessions");
                    checkEquals(true, logoff ? Gantry.LogoffAllSessions() : Gantry.DisconnectAllSessions(), step[0]);
                    long expected = logoff ? ++logoffs : ++disconnects;
                    check(Stage.waitFor(() -> agent.count(step[1]) >= expected, 10_000),
                        step[1] + " received " + expected + " times: " + agent.lines());
                }
                Thread.sleep(300);
                checkEquals(List.of("ready", "logoffAllSessions", "diconnectAllSessions", "logoffAllSessions",
                    "diconnectAllSessions"), agent.lines(), "messages the agent received");
            }
        });

        harness.test("the messages are oneway: the calls do not wait for the agent to act", () -> {
            Stage.reset();
            try (Agent agent = new Agent("slow", 3000)) {
                checkEquals(true, Gantry.LogoffAllSessions(), "LogoffAllSessions");
                check(!agent.lines().contains("logoffAllSessions done"), "returned before the agent was done");
                check(Stage.waitFor(() -> agent.lines().contains("logoffAllSessions done"), 15_000),
                    "the agent did act: " + agent.lines());
                checkEquals(true, Gantry.DisconnectAllSessions(), "DisconnectAllSessions");
                check(!agent.lines().contains("diconnectAllSessions done"), "returned before the agent was done");
                check(Stage.waitFor(() -> agent.lines().contains("diconnectAllSessions done"), 15_000),
                    "the agent did act: " + agent.lines());
            }
        });

        harness.test("a stopped agent: both return true within the time-out", () -> {
            Stage.reset();
            try (Agent agent = new Agent("stopped", 0)) {
                agent.signal("STOP");
                for (String method : new String[] {"LogoffAllSessions", "DisconnectAllSessions"}) {
                    long started = System.nanoTime();
                    Future<Boolean> result = caller.submit(() ->
                        method.equals("LogoffAllSessions") ? Gantry.LogoffAllSessions() : Gantry.DisconnectAllSessions());
                    // Request and reply time-out, with room for a slow machine; a hang never ends.
                    checkEquals(true, result.get(4L * AGENT_TIMEOUT_SECONDS + 10, TimeUnit.SECONDS), method);
                    long millis = (System.nanoTime() - started) / 1_000_000;
                    System.out.println("  " + method + " against a stopped agent returned in " + millis + " ms");
                }
                checkEquals(List.of("ready"), agent.lines(), "messages handled while stopped");
            }
        });

        harness.test("after the agent has gone: true without waiting for a time-out", () -> {
            Stage.reset();
            new Agent("gone", 0).close();
            long started = System.nanoTime();
            checkEquals(true, Gantry.LogoffAllSessions(), "LogoffAllSessions");
            checkEquals(true, Gantry.DisconnectAllSessions(), "DisconnectAllSessions");
            long millis = (System.nanoTime() - started) / 1_000_000;
            check(millis < AGENT_TIMEOUT_SECONDS * 1000L, "returned in " + millis + " ms");
        });

        caller.shutdownNow();
        harness.finish();
    }
}
