/* A stand-in for "/usr/bin/hdiutil", "/usr/bin/kuvclient" and the Installer
 * executable. Each run appends one line to <stage>/log/calls.log with its
 * arguments, working directory, standard streams and environment, and one
 * more when it exits, so a test sees both what was started and whether the
 * caller waited for it.
 *
 * Behaviour, as the test configures it in <stage>/config:
 *   kuvclient-status, installer-status  exit status (default 0)
 *   detach-delay-ms, installer-delay-ms how long a detach or the Installer
 *                                       takes before it exits (default 0)
 *   detach-fails                        present: a detach leaves the volume
 * A test disk image is a text file whose first line is "gantry test image";
 * the other lines name the files at the root of its volume. The attach
 * copies that listing into the mount directory as empty files; the detach
 * removes them again. Anything else does not attach. */

#define _GNU_SOURCE
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

extern char **environ;

#define STAGE GANTRY_TEST_STAGE

static char record[1 << 16];
static size_t recordLength;

static void Append(const char *text)
{
    for (; *text && recordLength + 2 < sizeof record; ++text) {
        char c = *text;
        if (c == '\\' || c == '\t' || c == '\n') {
            record[recordLength++] = '\\';
            c = c == '\t' ? 't' : c == '\n' ? 'n' : '\\';
        }
        record[recordLength++] = c;
    }
}

static void Field(const char *name, const char *value)
{
    if (recordLength > 0 && recordLength + 1 < sizeof record)
        record[recordLength++] = '\t';
    Append(name);
    Append("=");
    Append(value ? value : "");
}

static void Stream(const char *name, int fd)
{
    char link[64], target[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    ssize_t length = readlink(link, target, sizeof target - 1);
    target[length > 0 ? length : 0] = '\0';
    Field(name, length > 0 ? target : "closed");
}

static void WriteRecord(void)
{
    record[recordLength++] = '\n';
    int log = open(STAGE "/log/calls.log", O_WRONLY | O_APPEND | O_CREAT, 0644);
    if (log < 0 || write(log, record, recordLength) != (ssize_t)recordLength)
        perror("stand-in log");
    if (log >= 0)
        close(log);
    recordLength = 0;
}

static void RecordStart(int argc, char **argv)
{
    char number[32], cwd[4096];
    Field("program", GANTRY_STANDIN_ROLE);
    Field("event", "start");
    snprintf(number, sizeof number, "%d", (int)getpid());
    Field("pid", number);
    Field("cwd", getcwd(cwd, sizeof cwd) ? cwd : "?");
    Stream("stdin", 0);
    Stream("stdout", 1);
    Stream("stderr", 2);
    for (int i = 1; i < argc; ++i)
        Field("arg", argv[i]);
    for (char **variable = environ; *variable; ++variable)
        Field("env", *variable);
    WriteRecord();
}

static int Exit(int status)
{
    char number[32];
    Field("program", GANTRY_STANDIN_ROLE);
    Field("event", "exit");
    snprintf(number, sizeof number, "%d", (int)getpid());
    Field("pid", number);
    snprintf(number, sizeof number, "%d", status);
    Field("status", number);
    WriteRecord();
    return status;
}

static int ConfiguredNumber(const char *name, int fallback)
{
    char path[4096];
    snprintf(path, sizeof path, STAGE "/config/%s", name);
    FILE *file = fopen(path, "r");
    if (!file)
        return fallback;
    int value = fallback;
    if (fscanf(file, "%d", &value) != 1)
        value = fallback;
    fclose(file);
    return value;
}

static int IsConfigured(const char *name)
{
    char path[4096];
    snprintf(path, sizeof path, STAGE "/config/%s", name);
    return access(path, F_OK) == 0;
}

static void PauseFor(const char *setting)
{
    int delay = ConfiguredNumber(setting, 0);
    struct timespec pause = {delay / 1000, (long)(delay % 1000) * 1000000L};
    nanosleep(&pause, NULL);
}

static int Attach(const char *image, const char *mountDirectory)
{
    FILE *listing = fopen(image, "r");
    if (!listing)
        return 1;
    char line[1024];
    if (!fgets(line, sizeof line, listing) || strcmp(line, "gantry test image\n") != 0) {
        fclose(listing);
        return 1;
    }
    while (fgets(line, sizeof line, listing)) {
        line[strcspn(line, "\n")] = '\0';
        if (line[0] == '\0')
            continue;
        char path[4096];
        snprintf(path, sizeof path, "%s/%s", mountDirectory, line);
        int file = open(path, O_WRONLY | O_CREAT, 0644);
        if (file >= 0)
            close(file);
    }
    fclose(listing);
    return 0;
}

static int Detach(const char *mountDirectory)
{
    PauseFor("detach-delay-ms");
    if (IsConfigured("detach-fails"))
        return 1;
    DIR *volume = opendir(mountDirectory);
    if (!volume)
        return 1;
    for (struct dirent *entry; (entry = readdir(volume)) != NULL;) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0)
            continue;
        char path[4096];
        snprintf(path, sizeof path, "%s/%s", mountDirectory, entry->d_name);
        unlink(path);
    }
    closedir(volume);
    return 0;
}

int main(int argc, char **argv)
{
    RecordStart(argc, argv);
    const char *role = GANTRY_STANDIN_ROLE;
    if (strcmp(role, "hdiutil") == 0) {
        if (argc >= 5 && strcmp(argv[1], "attach") == 0 && strcmp(argv[3], "-mountpoint") == 0)
            return Exit(Attach(argv[2], argv[4]));
        if (argc >= 3 && strcmp(argv[1], "detach") == 0)
            return Exit(Detach(argv[2]));
        return Exit(1);
    }
    if (strcmp(role, "kuvclient") == 0)
        return Exit(ConfiguredNumber("kuvclient-status", 0));
    PauseFor("installer-delay-ms");
    return Exit(ConfiguredNumber("installer-status", 0));
}
