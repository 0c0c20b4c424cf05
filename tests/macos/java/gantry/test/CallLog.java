package gantry.test;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.util.ArrayList;
import java.util.List;
import java.util.stream.Collectors;

/** The calls the stand-in programs and the platform stand-in recorded, in the order they happened. */
final class CallLog {
    /** One line of the log: a program starting or exiting, or a deactivate request. */
    static final class Call {
        String program = "";
        String event = "";
        String pid = "";
        String cwd = "";
        String stdin = "";
        String stdout = "";
        String stderr = "";
        String status = "";
        final List<String> args = new ArrayList<>();
        final List<String> env = new ArrayList<>();

        boolean is(String program, String event) {
            return this.program.equals(program) && this.event.equals(event);
        }

        @Override
        public String toString() {
            return program + " " + event + " " + args;
        }
    }

    private CallLog() {}

    static List<Call> read() throws IOException {
        List<Call> calls = new ArrayList<>();
        for (String line : Files.readAllLines(Stage.CALL_LOG, StandardCharsets.UTF_8)) {
            Call call = new Call();
            for (String field : line.split("\t", -1)) {
                int equals = field.indexOf('=');
                String name = field.substring(0, equals);
                String value = unescape(field.substring(equals + 1));
                switch (name) {
                    case "program": call.program = value; break;
                    case "event": call.event = value; break;
                    case "pid": call.pid = value; break;
                    case "cwd": call.cwd = value; break;
                    case "stdin": call.stdin = value; break;
                    case "stdout": call.stdout = value; break;
                    case "stderr": call.stderr = value; break;
                    case "status": call.status = value; break;
                    case "arg": call.args.add(value); break;
                    case "env": call.env.add(value); break;
                    default: throw new AssertionError("unknown field in call log: " + name);
                }
            }
            calls.add(call);
        }
        return calls;
    }

    static List<Call> of(List<Call> calls, String program, String event) {
        return calls.stream().filter(call -> call.is(program, event)).collect(Collectors.toList());
    }

    /** "program event" for each call, for comparing sequences. */
    static List<String> sequence(List<Call> calls) {
        return calls.stream().map(call -> call.program + " " + call.event).collect(Collectors.toList());
    }

    static boolean has(String program, String event) {
        try {
            return !of(read(), program, event).isEmpty();
        } catch (IOException e) {
            return false;
        }
    }

    private static String unescape(String text) {
        StringBuilder plain = new StringBuilder();
        for (int i = 0; i < text.length(); i++) {
            char c = text.charAt(i);
            if (c == '\\' && i + 1 < text.length()) {
                char next = text.charAt(++i);
                plain.append(next == 't' ? '\t' : next == 'n' ? '\n' : next);
            } else {
                plain.append(c);
            }
        }
        return plain.toString();
    }
}
