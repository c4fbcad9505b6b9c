package com.brennock.process;

import java.io.IOException;

/**
 * Starts Windows child processes and controls them through the native library {@code Quillstead}
 * (loaded when this class is initialised).
 *
 * <h2>Handles</h2>
 *
 * A Windows {@code HANDLE} travels as a {@code long}. Handles that these methods hand out are the
 * 32-bit handle value zero-extended; handles passed in are used by their low 32 bits. The value
 * {@link #NO_HANDLE} ({@code -1}, all 64 bits set) means "no handle" in a slot of the handle slot
 * array; only that exact value has this meaning.
 *
 * <p>The process handle returned by {@link #create} and the parent's pipe ends written into its
 * slot array belong to the caller from then on. The library never closes them; the caller closes
 * each exactly once with {@link #closeHandle}, and not while another thread still waits on it or
 * reads from it.
 *
 * <h2>Failures</h2>
 *
 * A failed Windows call is raised as an {@link IOException} whose message names the call and
 * carries the Windows error number, in one of two forms:
 *
 * <ul>
 *   <li>{@code "CreateProcess error=2, <text>"} when the VM can describe the error (the text is the
 *       VM's, unchanged);
 *   <li>{@code "CreateProcess failed, error=2"} when it cannot.
 * </ul>
 *
 * The call names are {@code CreatePipe}, {@code CreateProcess}, {@code GetExitCodeProcess} and
 * {@code WaitForMultipleObjects}. The error number is printed as a signed 32-bit decimal, so
 * values of 2<sup>31</sup> and above appear negative.
 *
 * <h2>Threads</h2>
 *
 * Every method may be called from any thread. The library keeps no state between calls and takes
 * no lock; {@link #create} alone is {@code synchronized}, for the reason given there.
 */
public final class WindowsProcessImpl {
    /**
     * A handle slot value meaning "no handle": in a slot passed to {@link #create}, make a pipe.
     */
    public static final long NO_HANDLE = -1L;

    /** Index of the standard input slot in the handle slot array. */
    public static final int STDIN_SLOT = 0;

    /** Index of the standard output slot in the handle slot array. */
    public static final int STDOUT_SLOT = 1;

    /** Index of the standard error slot in the handle slot array. */
    public static final int STDERR_SLOT = 2;

    /** The smallest length of a handle slot array. */
    public static final int SLOT_COUNT = 3;

    /** The exit code that {@link #terminateProcess} gives the process it ends. */
    public static final int TERMINATED_EXIT_CODE = 1;

    static { NativeLibrary.load(); }

    private WindowsProcessImpl() {}

    /**
     * Starts a child process with no console window and returns its process handle.
     *
     * <h4>Command line</h4>
     *
     * {@code commandLine} is the whole command line, program first, handed to Windows unchanged
     * (the library passes no separate application name, so Windows takes the program from the first
     * token). How the child splits it into arguments is up to the child's runtime; {@link
     * CommandLine#build} produces a line that the usual C runtime splits back into the intended
     * arguments.
     *
     * <h4>Environment</h4>
     *
     * {@code envBlock} is null for the child to inherit this process's environment, or the child's
     * complete environment block: entries of the form {@code name=value}, each followed by a NUL
     * character, then one more NUL that closes the block, all inside the string. This is the block
     * that {@link WindowsProcessEnvironment#environmentBlock} returns <em>plus</em> the closing NUL
     * it leaves out. Windows expects the entries sorted by name, case-insensitively; {@link
     * EnvironmentBlock#build} makes such a block. The library copies the string and terminates its
     * copy, so Windows never reads past the end of the string, even for a block that lacks its
     * closing NUL; the closing NUL is part of the format all the same.
     *
     * <h4>Working directory</h4>
     *
     * {@code directory} is null for the child to inherit this process's current directory.
     * Otherwise it is normalised before Windows sees it: {@code /} becomes {@code \}, runs of
     * separators collapse to one (a leading {@code \\} stays), and a trailing separator or trailing
     * spaces are dropped except where they matter, so {@code C:/work/} becomes {@code C:\work} and
     * {@code C:/} stays {@code C:\}.
     *
     * <h4>Handle slots</h4>
     *
     * {@code stdHandleSlots} has at least {@link #SLOT_COUNT} elements: slot {@link #STDIN_SLOT}
     * for standard input, {@link #STDOUT_SLOT} for standard output, {@link #STDERR_SLOT} for
     * standard error. Elements past the third are ignored. For each stream, in that order:
     *
     * <ul>
     *   <li>{@link #NO_HANDLE}: the library makes an anonymous pipe, gives the child one end and
     *       writes the parent's end into the slot: the <em>write</em> end of the input pipe into
     *       slot 0, the <em>read</em> end of the output pipe into slot 1 and of the error pipe into
     *       slot 2. The parent's ends are not inheritable.
     *   <li>Anything else (0 included) is a handle of the caller's for the child to use; the slot
     *       comes back as {@link #NO_HANDLE}. The library makes that handle inheritable, leaves it
     *       so, and never closes it.
     * </ul>
     *
     * With {@code mergeStderr} set, the child's standard error is the same handle as its standard
     * output; slot 2 is then ignored whatever it holds (no pipe is made, a handle in it is neither
     * used nor made inheritable) and comes back as {@link #NO_HANDLE}.
     *
     * <p>The array is written back on failure as well. A slot that had already received a parent's
     * pipe end then holds the value of a handle that the library has since closed: do not use or
     * close it. The slots of the stream that failed and of the streams after it keep the caller's
     * values.
     *
     * <h4>Ownership</h4>
     *
     * On success the returned process handle and the parent's pipe ends in the slots belong to the
     * caller, who closes each with {@link #closeHandle}. The child's pipe ends and the child's
     * thread handle are closed before this method returns, so end-of-file on an output pipe is seen
     * once the child (and whatever inherited its ends) has exited. On failure nothing is left open.
     *
     * <h4>Why synchronized</h4>
     *
     * The process is created with handle inheritance on, so it receives every handle of this
     * process that is inheritable at that moment. A launch's pipe ends are inheritable for a short
     * while; were two launches to overlap, one child could inherit the other's pipe ends and keep
     * its pipes open. The library takes no lock, so launches through this class are serialised
     * here. Processes started in this process by any other means are not covered by this lock.
     *
     * @param commandLine the command line, program first; not null
     * @param envBlock the child's environment block, closing NUL included, or null to inherit
     * @param directory the child's working directory, or null to inherit
     * @param stdHandleSlots the handle slot array, at least three elements; not null; rewritten
     * @param mergeStderr whether the child's standard error goes where its standard output goes
     * @return the process handle, owned by the caller
     * @throws IOException if a pipe or the process cannot be created: the message starts with
     *     {@code CreatePipe} or {@code CreateProcess} in the forms described for this class, for
     *     instance {@code CreateProcess error=2, <text>} when the program does not exist
     * @throws NullPointerException if {@code commandLine} or {@code stdHandleSlots} is null; the
     *     message names the argument
     * @throws IllegalArgumentException if {@code stdHandleSlots} has fewer than three elements
     * @throws OutOfMemoryError if the native heap cannot hold the library's copy of the command
     *     line, directory or environment block
     */
    public static synchronized native long create(String commandLine, String envBlock,
        String directory, long[] stdHandleSlots, boolean mergeStderr) throws IOException;

    /**
     * Returns the exit code of a process, or {@link #getStillActive()} (259) while it runs.
     *
     * <p>The code is Windows' unsigned 32-bit value seen as an {@code int}, so codes of
     * 2<sup>31</sup> and above come out negative. A process that exits with 259 cannot be told from
     * a running one by this value alone: wait for it first.
     *
     * @param handle a process handle from {@link #create}, not yet closed
     * @return the exit code, or 259 while the process runs
     * @throws IOException if Windows cannot read the exit code (for instance for a closed handle):
     *     {@code GetExitCodeProcess error=<n>, <text>} or {@code GetExitCodeProcess failed,
     *     error=<n>}
     */
    public static native int getExitCodeProcess(long handle) throws IOException;

    /**
     * Returns 259, the exit code Windows reports for a process that has not ended.
     *
     * @return 259
     */
    public static native int getStillActive();

    /**
     * Blocks until the process ends or the calling thread is interrupted, whichever comes first.
     *
     * <p>It does not say which of the two happened and leaves the thread's interrupt status as it
     * is: check {@link Thread#interrupted()} or {@link #getExitCodeProcess} afterwards. For a
     * process that has already ended it returns at once.
     *
     * @param handle a process handle from {@link #create}, not yet closed
     * @throws IOException if the wait itself fails (for instance for a closed handle): {@code
     *     WaitForMultipleObjects error=<n>, <text>} or {@code WaitForMultipleObjects failed,
     *     error=<n>}
     */
    public static native void waitForInterruptibly(long handle) throws IOException;

    /**
     * Ends the process with exit code {@link #TERMINATED_EXIT_CODE} (1).
     *
     * <p>A failure (a closed or invalid handle, a process already gone) is silent. The handle stays
     * open and still has to be closed. {@link #NO_HANDLE} is ignored: its low 32 bits are also
     * Windows' pseudo-handle for the calling process, so passing it on would end this VM.
     *
     * @param handle a process handle from {@link #create}
     */
    public static native void terminateProcess(long handle);

    /**
     * Closes a handle that {@link #create} handed out: the process handle or a parent's pipe end.
     *
     * <p>A failure is silent. Close each handle once only: Windows may reuse a closed handle's
     * value for a new handle, which a second close would then close.
     *
     * @param handle the handle to close
     */
    public static native void closeHandle(long handle);
}
