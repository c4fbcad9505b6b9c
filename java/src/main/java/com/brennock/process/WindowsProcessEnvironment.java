package com.brennock.process;

/**
 * Reads this process's environment as Windows holds it, through the native library {@code
 * Quillstead} (loaded when this class is initialised).
 */
public final class WindowsProcessEnvironment {
    static { NativeLibrary.load(); }

    private WindowsProcessEnvironment() {}

    /**
     * Returns a snapshot of this process's environment block.
     *
     * <p>The string holds the entries in the order Windows keeps them, each of the form {@code
     * name=value} and each followed by a NUL character, but <em>not</em> the NUL that closes the
     * block: {@code A=1} and {@code B=2} give the 8 characters {@code "A=1\0B=2\0"}, and an
     * environment without entries gives the empty string. Entries whose name begins with {@code
     * '='} (such as the per-drive current directories, {@code =C:=C:\work}) are included as they
     * are, and characters outside the Basic Multilingual Plane arrive as their surrogate pairs.
     * {@link EnvironmentBlock#parse} splits the string into its entries. To hand such a block to
     * {@link WindowsProcessImpl#create}, append the closing NUL.
     *
     * <p>Each call takes a new snapshot; changes made meanwhile by other threads are seen or not
     * depending on when Windows is asked.
     *
     * @return the environment block without its closing NUL; never null
     * @throws OutOfMemoryError if Windows cannot supply the block (the message names {@code
     *     GetEnvironmentStrings}), or if the VM cannot make the string
     */
    public static native String environmentBlock();
}
