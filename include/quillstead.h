/* The native methods that Quillstead.dll exports, in JNI form.
 *
 * Each is a __stdcall function exported under its decorated 32-bit name,
 * for example _Java_com_brennock_process_WindowsProcessImpl_create@28.
 * Handles cross the boundary as jlong: handed out zero-extended, taken by
 * their pointer-sized low part; -1 (all bits set) means "no handle". */
#ifndef QUILLSTEAD_H
#define QUILLSTEAD_H

#include <jni.h>

#ifdef __cplusplus
extern "C" {
#endif

/* com.brennock.process.WindowsProcessImpl */

JNIEXPORT jlong JNICALL Java_com_brennock_process_WindowsProcessImpl_create(
    JNIEnv *env, jclass clazz, jstring commandLine, jstring envBlock, jstring directory,
    jlongArray stdHandleSlots, jboolean mergeStderr);

JNIEXPORT jint JNICALL Java_com_brennock_process_WindowsProcessImpl_getExitCodeProcess(
    JNIEnv *env, jclass clazz, jlong handle);

JNIEXPORT jint JNICALL Java_com_brennock_process_WindowsProcessImpl_getStillActive(JNIEnv *env,
                                                                                   jclass clazz);

JNIEXPORT void JNICALL Java_com_brennock_process_WindowsProcessImpl_waitForInterruptibly(
    JNIEnv *env, jclass clazz, jlong handle);

JNIEXPORT void JNICALL Java_com_brennock_process_WindowsProcessImpl_terminateProcess(JNIEnv *env,
                                                                                     jclass clazz,
                                                                                     jlong handle);

JNIEXPORT void JNICALL Java_com_brennock_process_WindowsProcessImpl_closeHandle(JNIEnv *env,
                                                                                jclass clazz,
                                                                                jlong handle);

/* com.brennock.process.WindowsProcessEnvironment */

JNIEXPORT jstring JNICALL
Java_com_brennock_process_WindowsProcessEnvironment_environmentBlock(JNIEnv *env, jclass clazz);

#ifdef __cplusplus
}
#endif

#endif
