// Installs the client from a disk image through the system Installer.

#import <Foundation/Foundation.h>

#include <sys/stat.h>
#include <unistd.h>

#include "Operations.h"
#include "PlatformServices.h"
#include "ProductConstants.h"

namespace {

NSTask *NewQuietTask(NSString *program, NSArray *arguments)
{
    NSTask *task = [[NSTask new] autorelease];
    [task setLaunchPath:program];
    [task setArguments:arguments];
    [task setStandardOutput:[NSFileHandle fileHandleWithNullDevice]];
    [task setStandardError:[NSFileHandle fileHandleWithNullDevice]];
    return task;
}

NSTask *NewDetachTask(NSString *mountDirectory)
{
    return NewQuietTask(@GANTRY_HDIUTIL_PATH, [NSArray arrayWithObjects:@"detach", mountDirectory, @"-force", nil]);
}

// An empty folder on the same device as its parent: nothing is attached there.
bool IsEmptyUnmountedFolder(NSString *path)
{
    struct stat folder, parent;
    if (lstat([path fileSystemRepresentation], &folder) != 0 || !S_ISDIR(folder.st_mode))
        return false;
    NSString *parentPath = [path stringByDeletingLastPathComponent];
    if (stat([parentPath fileSystemRepresentation], &parent) != 0 || parent.st_dev != folder.st_dev)
        return false;
    NSArray *entries = [[NSFileManager defaultManager] contentsOfDirectoryAtPath:path error:NULL];
    return entries != nil && [entries count] == 0;
}

// A volume may still be attached at the mount directory even though it holds
// no package; removing the directory then would delete the volume's files.
// So the volume is detached first, and only an empty folder that is no longer
// a mount point is removed (rmdir refuses anything else as well).
void ReleaseMountDirectory(NSString *mountDirectory)
{
    if (!IsEmptyUnmountedFolder(mountDirectory)) {
        NSTask *detach = NewDetachTask(mountDirectory);
        [detach launch];
        [detach waitUntilExit];
    }
    if (IsEmptyUnmountedFolder(mountDirectory))
        rmdir([mountDirectory fileSystemRepresentation]);
}

// True once the Installer has run and exited, whatever the user did in it.
bool RunInstaller(NSString *packagePath)
{
    @try {
        NSString *application = ApplicationPathForBundleIdentifier(@GANTRY_INSTALLER_BUNDLE_IDENTIFIER);
        NSString *executable = [application stringByAppendingString:@GANTRY_INSTALLER_EXECUTABLE_SUFFIX];
        if (executable == nil || ![[NSFileManager defaultManager] fileExistsAtPath:executable])
            return false;
        NSTask *installer = NewQuietTask(executable, [NSArray arrayWithObject:packagePath]);
        [installer setEnvironment:[NSDictionary dictionary]];
        [installer launch];
        RequestHostDeactivation();
        [installer waitUntilExit];
        return true;
    }
    @catch (NSException *exception) {
        return false;
    }
}

// Leaves in *installed what has been achieved so far, so that an exception
// from the detach still reports a completed Installer run.
void AttachInstallDetach(const char *imagePathText, bool *installed)
{
    *installed = false;
    // Text that is not valid UTF-8 yields no platform string; the attach
    // command would then lose its arguments after "attach".
    NSString *imagePath = [NSString stringWithUTF8String:imagePathText];
    if (imagePath == nil)
        return;
    NSString *mountDirectory =
        [@"/tmp" stringByAppendingPathComponent:[[NSProcessInfo processInfo] globallyUniqueString]];
    NSFileManager *files = [NSFileManager defaultManager];
    if ([files fileExistsAtPath:mountDirectory])
        return;
    [files createDirectoryAtPath:mountDirectory attributes:nil];
    if (![files fileExistsAtPath:mountDirectory])
        return;

    // Whether the attach worked shows only in what appears at the mount directory.
    NSTask *attach = NewQuietTask(@GANTRY_HDIUTIL_PATH,
        [NSArray arrayWithObjects:@"attach", imagePath, @"-mountpoint", mountDirectory,
                                  @"-noverify", @"-nobrowse", @"-noautoopen", nil]);
    [attach setCurrentDirectoryPath:@"/"];
    [attach launch];
    [attach waitUntilExit];

    NSString *packagePath = [mountDirectory stringByAppendingPathComponent:@GANTRY_CLIENT_PACKAGE_NAME];
    if (![files fileExistsAtPath:packagePath]) {
        ReleaseMountDirectory(mountDirectory);
        return;
    }
    *installed = RunInstaller(packagePath);
    // The caller has its answer once the Installer is done; the detach is
    // not waited for.
    [NewDetachTask(mountDirectory) launch];
}

} // namespace

bool InstallFromDiskImage(const char *imagePath)
{
    NSAutoreleasePool *pool = [[NSAutoreleasePool alloc] init];
    bool installed = false;
    @try {
        AttachInstallDetach(imagePath, &installed);
    }
    @catch (NSException *exception) {
        // Nothing is undone: what was made or attached before stays.
    }
    [pool release];
    return installed;
}
