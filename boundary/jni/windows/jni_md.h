// Windows machine-dependent JNI types, for both x64 and x86: the JVM calls
// natives with __stdcall on x86 (no effect on x64), jint is 32 bits and jlong
// 64 bits whatever the size of long. Exports are named in the DLL's .def file,
// so JNIEXPORT marks nothing.
#ifndef GANTRY_JNI_MD_H
#define GANTRY_JNI_MD_H

#define JNIEXPORT
#define JNIIMPORT
#define JNICALL __stdcall

typedef long jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
