// The few platform calls outside Foundation. The Mac build answers them from
// LaunchServices, NSWorkspace and NSApplication.
#ifndef GANTRY_MACOS_PLATFORM_SERVICES_H
#define GANTRY_MACOS_PLATFORM_SERVICES_H

#import <Foundation/Foundation.h>

// The URL of an application found by bundle identifier or bundle name (no
// creator code), autoreleased; nil when none is found.
NSURL *FindApplicationURL(NSString *bundleIdentifier, NSString *bundleName);

// The bundle path of the application with this identifier; nil when none is known.
NSString *ApplicationPathForBundleIdentifier(NSString *bundleIdentifier);

// Asks the host application's main thread, without waiting, to deactivate
// the host so that a program just started comes to the front.
void RequestHostDeactivation();

#endif
