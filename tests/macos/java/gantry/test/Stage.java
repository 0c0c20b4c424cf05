package gantry.test;

import java.io.IOException;
import java.io.UncheckedIOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.Comparator;
import java.util.Map;
import java.util.function.BooleanSupplier;
import java.util.stream.Stream;

/**
 * The test stage: the folder where the library's stand-in programs live and log their calls, and
 * where the tests configure them and the platform stand-in.
 */
final class Stage {
    static final Path ROOT = Paths.get(System.getProperty("gantry.stage"));
    static final Path CONFIG = ROOT.resolve("config");
    static final Path CALL_LOG = ROOT.resolve("log/calls.log");
    static final Path CLIENT_COMMAND = ROOT.resolve("usr/bin/kuvclient");
    static final Path INSTALLER_APP = ROOT.resolve("Applications/Utilities/Installer.app");
    static final Path WORK = ROOT.resolve("work");
    /** The user's Library folder as the library sees it (redirected through GNUSTEP_CONFIG_FILE). */
    static final Path LIBRARY = Paths.get(System.getProperty("gantry.library.folder"));

    static final String CLIENT_BUNDLE_ID = "com.kuv.ClientLauncher";
    static final String INSTALLER_BUNDLE_ID = "com.apple.installer";

    private Stage() {}

    static void loadLibrary() {
        System.load(System.getProperty("gantry.library"));
    }

    /** Starts a case from nothing: no configuration, an empty call log, an empty work folder. */
    static void reset() throws IOException {
        deleteTree(CONFIG);
        Files.createDirectories(CONFIG);
        Files.createDirectories(CALL_LOG.getParent());
        Files.write(CALL_LOG, new byte[0]);
        deleteTree(WORK);
        Files.createDirectories(WORK);
    }

    static void configure(String name, String value) throws IOException {
        Files.write(CONFIG.resolve(name), value.getBytes(StandardCharsets.UTF_8));
    }

    /** The applications the platform stand-in "finds", by bundle identifier. */
    static void applications(Map<String, Path> bundles) throws IOException {
        StringBuilder plist = new StringBuilder();
        plist.append("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n");
        for (Map.Entry<String, Path> bundle : bundles.entrySet()) {
            plist.append("  <key>").append(xml(bundle.getKey())).append("</key>\n");
            plist.append("  <string>").append(xml(bundle.getValue().toString())).append("</string>\n");
        }
        plist.append("</dict>\n</plist>\n");
        Files.write(CONFIG.resolve("applications.plist"), plist.toString().getBytes(StandardCharsets.UTF_8));
    }

    static String xml(String text) {
        return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;");
    }

    static void deleteTree(Path root) throws IOException {
        if (!Files.exists(root, java.nio.file.LinkOption.NOFOLLOW_LINKS)) {
            return;
        }
        try (Stream<Path> paths = Files.walk(root)) {
            paths.sorted(Comparator.reverseOrder()).forEach(path -> {
                try {
                    Files.delete(path);
                } catch (IOException e) {
                    throw new UncheckedIOException(e);
                }
            });
        }
    }

    /** Waits up to the limit for the condition; false when it never held. */
    static boolean waitFor(BooleanSupplier condition, long limitMillis) throws InterruptedException {
        long deadline = System.nanoTime() + limitMillis * 1_000_000L;
        while (!condition.getAsBoolean()) {
            if (System.nanoTime() > deadline) {
                return false;
            }
            Thread.sleep(20);
        }
        return true;
    }

    static String read(Path file) throws IOException {
        return new String(Files.readAllBytes(file), StandardCharsets.UTF_8);
    }
}
