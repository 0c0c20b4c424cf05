/* A client agent for the tests: it vends its root object under the agent's
 * registered name and logs every message it receives, one line each, to the
 * file named by its first argument. It writes "ready" once it is registered.
 * With a second argument N it takes N ms over each oneway message and then
 * logs "<selector> done", so a test can tell whether the sender waited. */

#import <Foundation/Foundation.h>

#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "OmbraAgentController.h"
#include "ProductConstants.h"

@interface TestAgent : NSObject <OmbraAgentController> {
    const char *logPath;
    useconds_t handlingMicroseconds;
}
- (id)initWithLogPath:(const char *)path handlingMilliseconds:(int)milliseconds;
- (void)log:(const char *)line;
@end

@implementation TestAgent

- (id)initWithLogPath:(const char *)path handlingMilliseconds:(int)milliseconds
{
    if ((self = [super init]) != nil) {
        logPath = path;
        handlingMicroseconds = (useconds_t)milliseconds * 1000;
    }
    return self;
}

- (void)log:(const char *)line
{
    char text[256];
    int length = snprintf(text, sizeof text, "%s\n", line);
    int file = open(logPath, O_WRONLY | O_APPEND | O_CREAT, 0644);
    if (file < 0 || write(file, text, (size_t)length) != length)
        perror("test agent log");
    if (file >= 0)
        close(file);
}

- (void)handle:(const char *)selector
{
    [self log:selector];
    if (handlingMicroseconds > 0) {
        usleep(handlingMicroseconds);
        char done[128];
        snprintf(done, sizeof done, "%s done", selector);
        [self log:done];
    }
}

- (void)setApplicationLauncherController:(id<OmbraApplicationLauncherController>)controller
{
    [self log:"setApplicationLauncherController:"];
}

- (BOOL)registerSession:(id<OmbraSessionProtocol>)session withInfo:(NSDictionary *)info
{
    [self log:"registerSession:withInfo:"];
    return NO;
}

- (void)unregisterSession:(id<OmbraSessionProtocol>)session
{
    [self log:"unregisterSession:"];
}

- (BOOL)isSessionsAvailable:(NSString *)farm
{
    [self log:"isSessionsAvailable:"];
    return NO;
}

- (oneway void)logoffAllSessions
{
    [self handle:"logoffAllSessions"];
}

- (oneway void)diconnectAllSessions
{
    [self handle:"diconnectAllSessions"];
}

- (oneway void)exit
{
    [self handle:"exit"];
}

@end

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: %s log-file [handling-ms]\n", argv[0]);
        return 2;
    }
    NSAutoreleasePool *pool = [NSAutoreleasePool new];
    TestAgent *agent = [[TestAgent alloc] initWithLogPath:argv[1] handlingMilliseconds:argc > 2 ? atoi(argv[2]) : 0];
    NSConnection *service = [NSConnection serviceConnectionWithName:@GANTRY_CLIENT_AGENT_NAME rootObject:agent];
    if (service == nil) {
        fprintf(stderr, "test agent: the name %s is taken\n", GANTRY_CLIENT_AGENT_NAME);
        return 1;
    }
    [agent log:"ready"];
    [[NSRunLoop currentRunLoop] run];
    [pool release];
    return 0;
}
