package com.brennock.process;

/**
 * Loads the native library behind {@link WindowsProcessImpl} and {@link WindowsProcessEnvironment}.
 *
 * <p>Both classes load it from their static initialisers, so whichever is used first loads it; the
 * VM ignores the second request from the same class loader.
 */
final class NativeLibrary {
    /** The name given to {@link System#loadLibrary}: the VM looks for {@code Quillstead.dll}. */
    static final String NAME = "Quillstead";

    private NativeLibrary() {}

    static void load() { System.loadLibrary(NAME); }
}
