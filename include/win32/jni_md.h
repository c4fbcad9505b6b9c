/* Machine-dependent JNI types for 32-bit Windows, as the mingw-w64 i686
 * compiler sees them. jni.h includes this file by name, so its directory must
 * be searched before any other jni_md.h.
 *
 * JNIEXPORT deliberately carries no __declspec(dllexport): with it, mingw
 * exports a __stdcall function under its name without the leading underscore
 * as well. Quillstead's module-definition file names every export with its
 * exact decorated name instead. */
#ifndef QUILLSTEAD_WIN32_JNI_MD_H
#define QUILLSTEAD_WIN32_JNI_MD_H

#define JNIEXPORT
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef long jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
