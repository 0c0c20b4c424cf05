// Stand-in for the platform calls that GNUstep lacks, for the Linux test
// build only. Applications are "found" from the test's own table in
// <stage>/config/applications.plist (bundle identifier -> bundle path), and a
// deactivate request is recorded in the call log the stand-in programs write.

#import <Foundation/Foundation.h>

#include <fcntl.h>
#include <string.h>
#include <unistd.h>

#include "PlatformServices.h"

namespace {

NSString *ConfiguredApplicationPath(NSString *bundleIdentifier)
{
    NSDictionary *applications =
        [NSDictionary dictionaryWithContentsOfFile:@GANTRY_TEST_STAGE "/config/applications.plist"];
    id path = [applications objectForKey:bundleIdentifier];
    return [path isKindOfClass:[NSString class]] ? path : nil;
}

} // namespace

NSURL *FindApplicationURL(NSString *bundleIdentifier, NSString *)
{
    NSString *path = ConfiguredApplicationPath(bundleIdentifier);
    return path ? [NSURL fileURLWithPath:path] : nil;
}

NSString *ApplicationPathForBundleIdentifier(NSString *bundleIdentifier)
{
    return ConfiguredApplicationPath(bundleIdentifier);
}

void RequestHostDeactivation()
{
    char record[64];
    int length = snprintf(record, sizeof record, "program=NSApplication\tevent=deactivate\tpid=%d\n", (int)getpid());
    int log = open(GANTRY_TEST_STAGE "/log/calls.log", O_WRONLY | O_APPEND | O_CREAT, 0644);
    if (log < 0)
        return;
    if (write(log, record, (size_t)length) != length)
        perror("stand-in deactivate record");
    close(log);
}
