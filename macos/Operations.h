// The operations behind the macOS exports. Texts are UTF-8. An owned text is
// a malloc'd copy that the caller gives back with free(). No operation lets
// an NSException escape.
#ifndef GANTRY_MACOS_OPERATIONS_H
#define GANTRY_MACOS_OPERATIONS_H

// The installed client's version text; empty when there is none. Null only
// when even the empty copy could not be made.
char *ReadClientVersion();

// The path of the user's Java support folder, made level by level if needed;
// null when a level can neither be found nor made.
char *EnsureUserFolder();

// Attaches the disk image, runs the system Installer on the client package in
// it and detaches it again. True once the Installer has run to its end.
bool InstallFromDiskImage(const char *imagePath);

// Runs the client command on the session text. True when it exited with 0.
bool LaunchSession(const char *sessionText);

// Tell the client agent, if one runs, to log off or disconnect all sessions.
// Always true.
bool LogoffAgentSessions();
bool DisconnectAgentSessions();

#endif
