package gantry.test;

import java.util.Objects;

/** A small test runner: named cases, one PASS or FAIL line each, a summary, and exit status 1 on any failure. */
final class Harness {
    interface Case {
        void run() throws Exception;
    }

    private final String suite;
    private int passed;
    private int failed;

    Harness(String suite) {
        this.suite = suite;
    }

    void test(String name, Case body) {
        try {
            body.run();
            passed++;
            System.out.println("PASS " + suite + ": " + name);
        } catch (Throwable failure) {
            failed++;
            System.out.println("FAIL " + suite + ": " + name + ": " + failure);
            if (!(failure instanceof AssertionError)) {
                failure.printStackTrace(System.out);
            }
        }
        System.out.flush();
    }

    /** Prints the summary and ends the JVM with 0 only when every case passed. */
    void finish() {
        System.out.println(suite + ": " + passed + " passed, " + failed + " failed");
        System.out.flush();
        System.exit(failed == 0 && passed > 0 ? 0 : 1);
    }

    static void check(boolean condition, String what) {
        if (!condition) {
            throw new AssertionError(what);
        }
    }

    static void checkEquals(Object expected, Object actual, String what) {
        if (!Objects.equals(expected, actual)) {
            throw new AssertionError(what + ": expected <" + expected + "> but was <" + actual + ">");
        }
    }
}
