// LaunchServices, NSWorkspace and NSApplication on macOS.

#import <AppKit/AppKit.h>
#import <CoreServices/CoreServices.h>

#include "PlatformServices.h"

NSURL *FindApplicationURL(NSString *bundleIdentifier, NSString *bundleName)
{
    CFURLRef application = NULL;
    // The status is not needed: the URL stays empty when nothing is found.
    LSFindApplicationForInfo(kLSUnknownCreator, (CFStringRef)bundleIdentifier, (CFStringRef)bundleName, NULL,
                             &application);
    return [(NSURL *)application autorelease];
}

NSString *ApplicationPathForBundleIdentifier(NSString *bundleIdentifier)
{
    return [[NSWorkspace sharedWorkspace] absolutePathForAppBundleWithIdentifier:bundleIdentifier];
}

void RequestHostDeactivation()
{
    [[NSApplication sharedApplication] performSelectorOnMainThread:@selector(deactivate)
                                                        withObject:nil
                                                     waitUntilDone:NO];
}
