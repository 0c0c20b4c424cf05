// Names and program paths of the macOS client, fixed by the product.
#ifndef GANTRY_MACOS_PRODUCT_CONSTANTS_H
#define GANTRY_MACOS_PRODUCT_CONSTANTS_H

// The reverse-DNS prefix of the client's bundle identifier and of the agent's
// registered connection name.
#define GANTRY_VENDOR_PREFIX "com.kuv"

#define GANTRY_CLIENT_BUNDLE_IDENTIFIER GANTRY_VENDOR_PREFIX ".ClientLauncher"
#define GANTRY_CLIENT_BUNDLE_NAME "Kuv Client.app"
#define GANTRY_CLIENT_AGENT_NAME GANTRY_VENDOR_PREFIX ".ClientAgent"

// The product runs the system's programs. Only the Linux test build defines
// GANTRY_PROGRAM_PREFIX, so that its stand-in programs are run instead.
#ifndef GANTRY_PROGRAM_PREFIX
#define GANTRY_PROGRAM_PREFIX ""
#endif
#define GANTRY_HDIUTIL_PATH GANTRY_PROGRAM_PREFIX "/usr/bin/hdiutil"
#define GANTRY_CLIENT_COMMAND_PATH GANTRY_PROGRAM_PREFIX "/usr/bin/kuvclient"

#define GANTRY_INSTALLER_BUNDLE_IDENTIFIER "com.apple.installer"
// Appended as plain text to the Installer application's bundle path.
#define GANTRY_INSTALLER_EXECUTABLE_SUFFIX "/Contents/MacOS/Installer"
#define GANTRY_CLIENT_PACKAGE_NAME "Kuv Client.pkg"

#endif
