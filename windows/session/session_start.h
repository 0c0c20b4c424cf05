// Starting a session: the connection text goes into a file below the user's
// temporary folder, and the client program is started with that file.
#pragma once

#include <jni.h>

namespace gantry {

// True when the client program was started. Reads both Java strings (and
// gives them back on every path) only once a client program was found.
// Refuses, with nothing written, a file name that would leave the temporary
// folder or does not fit a 260-unit path. The connection file stays after the
// call, also when the client cannot be started.
bool StartClientSession(JNIEnv* env, jstring connectionText, jstring connectionFileName);

}  // namespace gantry
