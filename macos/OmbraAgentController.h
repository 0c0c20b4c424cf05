// The client agent's wire interface. The selectors, their order and the
// oneway marks are what the agent answers to; "diconnectAllSessions" is
// spelled as the agent spells it.
#ifndef GANTRY_MACOS_OMBRA_AGENT_CONTROLLER_H
#define GANTRY_MACOS_OMBRA_AGENT_CONTROLLER_H

#import <Foundation/Foundation.h>

// Only argument types here: the library neither implements nor calls them.
@protocol OmbraApplicationLauncherController;
@protocol OmbraSessionProtocol;

@protocol OmbraAgentController
- (void)setApplicationLauncherController:(id<OmbraApplicationLauncherController>)controller;
- (BOOL)registerSession:(id<OmbraSessionProtocol>)session withInfo:(NSDictionary *)info;
- (void)unregisterSession:(id<OmbraSessionProtocol>)session;
- (BOOL)isSessionsAvailable:(NSString *)farm;
- (oneway void)logoffAllSessions;
- (oneway void)diconnectAllSessions;
- (oneway void)exit;
@end

#endif
