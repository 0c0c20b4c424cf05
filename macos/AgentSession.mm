// Starts sessions through the client command and tells the client agent to
// end them.

#import <Foundation/Foundation.h>

#include "OmbraAgentController.h"
#include "Operations.h"
#include "ProductConstants.h"

namespace {

// A stopped or hung agent would otherwise hold the Java thread for ever: the
// platform's default time-outs never expire.
const NSTimeInterval kAgentTimeoutSeconds = 3.0;

bool RunClientCommand(const char *sessionText)
{
    // Text that is not valid UTF-8 yields no platform string; the client
    // would then run with "-I" alone, a session without a description.
    NSString *session = [NSString stringWithUTF8String:sessionText];
    if (session == nil)
        return false;
    NSTask *client = [[NSTask new] autorelease];
    [client setLaunchPath:@GANTRY_CLIENT_COMMAND_PATH];
    [client setArguments:[NSArray arrayWithObjects:@"-I", session, nil]];
    [client setStandardOutput:[NSFileHandle fileHandleWithNullDevice]];
    [client setStandardError:[NSFileHandle fileHandleWithNullDevice]];
    [client launch];
    [client waitUntilExit];
    return ([client terminationStatus] & 0xff) == 0;
}

// The agent's root proxy, or nil when no agent answers. The proxy and its
// connection belong to the caller's pool.
id<OmbraAgentController> ConnectAgent()
{
    @try {
        NSConnection *connection = [NSConnection connectionWithRegisteredName:@GANTRY_CLIENT_AGENT_NAME host:nil];
        [connection setRequestTimeout:kAgentTimeoutSeconds];
        [connection setReplyTimeout:kAgentTimeoutSeconds];
        NSDistantObject *proxy = [connection rootProxy];
        if (proxy == nil)
            return nil;
        // The proxy takes the signatures from the protocol instead of asking
        // the agent for them, so the oneway messages are sent without waiting.
        [proxy setProtocolForProxy:@protocol(OmbraAgentController)];
        return (id<OmbraAgentController>)proxy;
    }
    @catch (NSException *exception) {
        return nil;
    }
}

} // namespace

bool LaunchSession(const char *sessionText)
{
    NSAutoreleasePool *pool = [[NSAutoreleasePool alloc] init];
    bool exitedWithZero = false;
    @try {
        exitedWithZero = RunClientCommand(sessionText);
    }
    @catch (NSException *exception) {
        exitedWithZero = false;
    }
    [pool release];
    return exitedWithZero;
}

bool LogoffAgentSessions()
{
    NSAutoreleasePool *pool = [[NSAutoreleasePool alloc] init];
    @try {
        id<OmbraAgentController> agent = ConnectAgent();
        if (agent != nil)
            [agent logoffAllSessions];
    }
    @catch (NSException *exception) {
    }
    [pool release];
    return true;
}

bool DisconnectAgentSessions()
{
    NSAutoreleasePool *pool = [[NSAutoreleasePool alloc] init];
    @try {
        id<OmbraAgentController> agent = ConnectAgent();
        if (agent != nil)
            [agent diconnectAllSessions];
    }
    @catch (NSException *exception) {
    }
    [pool release];
    return true;
}
