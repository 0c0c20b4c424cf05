// Finds the installed client application and the user's Java support folder.

#import <Foundation/Foundation.h>

#include <stdlib.h>
#include <string.h>

#include "Operations.h"
#include "PlatformServices.h"
#include "ProductConstants.h"

namespace {

char *CopyUtf8(NSString *text)
{
    const char *utf8 = [text UTF8String];
    return utf8 ? strdup(utf8) : NULL;
}

// The version is whatever text "CFBundleVersion" holds in the bundle's
// version.plist; it is not parsed. A value that is not a string raises on
// `length` or `UTF8String`, which the caller turns into "no version".
char *CopyClientVersion()
{
    NSURL *bundle = FindApplicationURL(@GANTRY_CLIENT_BUNDLE_IDENTIFIER, @GANTRY_CLIENT_BUNDLE_NAME);
    if (bundle == nil)
        return NULL;
    NSString *plistPath = [[bundle path] stringByAppendingPathComponent:@"Contents/version.plist"];
    if ([plistPath length] == 0)
        return NULL;
    NSDictionary *versionPlist = [NSDictionary dictionaryWithContentsOfFile:plistPath];
    id version = [versionPlist objectForKey:@"CFBundleVersion"];
    if ([version length] == 0)
        return NULL;
    return CopyUtf8(version);
}

// Each level is looked for and made on its own, so levels that exist are left
// as they are. A plain file where a level should be fails the whole path,
// also at the last level, and is left alone.
char *CopyUserFolderPath()
{
    NSArray *libraries = NSSearchPathForDirectoriesInDomains(NSLibraryDirectory, NSUserDomainMask, YES);
    if ([libraries count] == 0)
        return NULL;
    NSString *const levels[] = {@"Application Support", @"Kuv", @"JavaSupport"};
    NSDictionary *attributes = [NSDictionary dictionary];
    NSFileManager *files = [NSFileManager defaultManager];
    NSString *folder = [libraries objectAtIndex:0];
    for (NSString *level : levels) {
        folder = [folder stringByAppendingPathComponent:level];
        BOOL isFolder = NO;
        if ([files fileExistsAtPath:folder isDirectory:&isFolder]) {
            if (!isFolder)
                return NULL;
        } else if (![files createDirectoryAtPath:folder attributes:attributes]) {
            return NULL;
        }
    }
    return CopyUtf8(folder);
}

} // namespace

char *ReadClientVersion()
{
    NSAutoreleasePool *pool = [NSAutoreleasePool new];
    char *version = NULL;
    @try {
        version = CopyClientVersion();
    }
    @catch (NSException *exception) {
        version = NULL;
    }
    [pool release];
    return version ? version : strdup("");
}

char *EnsureUserFolder()
{
    NSAutoreleasePool *pool = [NSAutoreleasePool new];
    char *folder = NULL;
    @try {
        folder = CopyUserFolderPath();
    }
    @catch (NSException *exception) {
        folder = NULL;
    }
    [pool release];
    return folder;
}
