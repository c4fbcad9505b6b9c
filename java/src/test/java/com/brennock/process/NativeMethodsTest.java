package com.brennock.process;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.DataInputStream;
import java.io.File;
import java.io.IOException;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.net.URL;
import java.net.URLClassLoader;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.Enumeration;
import java.util.List;
import java.util.TreeSet;
import java.util.jar.JarEntry;
import java.util.jar.JarFile;
import org.junit.jupiter.api.AfterAll;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;

/**
 * Reads the native methods that quillstead.jar declares, without initialising any class (which
 * would load the library, not there on the build host).
 */
class NativeMethodsTest {
    private static final String IMPL = "com.brennock.process.WindowsProcessImpl";
    private static final String ENVIRONMENT = "com.brennock.process.WindowsProcessEnvironment";

    /**
     * Every native method of the jar: class, result, name, parameter types, declared exceptions.
     */
    private static final List<String> EXPECTED = Arrays.asList(
        ENVIRONMENT + " java.lang.String environmentBlock() throws []",
        IMPL + " long create(java.lang.String,java.lang.String,java.lang.String,"
            + "[J,boolean) throws [java.io.IOException]",
        IMPL + " void closeHandle(long) throws []",
        IMPL + " int getExitCodeProcess(long) throws [java.io.IOException]",
        IMPL + " int getStillActive() throws []", IMPL + " void terminateProcess(long) throws []",
        IMPL + " void waitForInterruptibly(long) throws [java.io.IOException]");

    private static final int JAVA_8_CLASS_VERSION = 52;

    private static URLClassLoader jarLoader;
    private static List<Method> nativeMethods;

    @BeforeAll
    static void readJar() throws IOException, ClassNotFoundException {
        File jar = jarFile();
        // No parent but the bootstrap loader, so that the classes come from the jar and nowhere
        // else on the class path.
        jarLoader = new URLClassLoader(new URL[] {jar.toURI().toURL()}, null);
        nativeMethods = new ArrayList<>();
        for (String className : classNames(jar)) {
            Class<?> type = Class.forName(className, false, jarLoader);
            for (Method method : type.getDeclaredMethods()) {
                if (Modifier.isNative(method.getModifiers())) {
                    nativeMethods.add(method);
                }
            }
        }
    }

    @AfterAll
    static void closeJar() throws IOException {
        jarLoader.close();
    }

    @Test
    void theJarDeclaresExactlyTheSevenNativeMethods() {
        TreeSet<String> declared = new TreeSet<>();
        for (Method method : nativeMethods) {
            declared.add(describe(method));
        }
        assertEquals(new TreeSet<>(EXPECTED), declared);
    }

    @Test
    void everyNativeMethodIsPublicAndStatic() {
        for (Method method : nativeMethods) {
            int modifiers = method.getModifiers();
            assertTrue(Modifier.isStatic(modifiers), method.toString());
            assertTrue(Modifier.isPublic(modifiers), method.toString());
        }
    }

    @Test
    void onlyCreateIsSynchronized() {
        for (Method method : nativeMethods) {
            boolean create = method.getName().equals("create");
            assertEquals(create, Modifier.isSynchronized(method.getModifiers()), method.toString());
        }
    }

    @Test
    void theClassesLoadOnJava8() throws IOException {
        try (JarFile file = new JarFile(jarFile())) {
            for (JarEntry entry : Collections.list(file.entries())) {
                if (entry.getName().endsWith(".class")) {
                    assertEquals(JAVA_8_CLASS_VERSION, classVersion(file, entry), entry.getName());
                }
            }
        }
    }

    @Test
    void theJarHoldsNoCrossCheckTool() throws IOException {
        for (String name : classNames(jarFile())) {
            assertFalse(name.contains(".crosscheck."), name);
        }
    }

    private static File jarFile() {
        File jar = new File(System.getProperty("quill.jar", "quillstead.jar"));
        assertTrue(jar.isFile(), "no jar at " + jar + " (set -Dquill.jar)");
        return jar;
    }

    /** The major version in a class file's header: magic (4 bytes), minor (2), major (2). */
    private static int classVersion(JarFile file, JarEntry entry) throws IOException {
        try (DataInputStream in = new DataInputStream(file.getInputStream(entry))) {
            in.readInt();
            in.readUnsignedShort();
            return in.readUnsignedShort();
        }
    }

    private static String describe(Method method) {
        List<String> parameters = new ArrayList<>();
        for (Class<?> type : method.getParameterTypes()) {
            parameters.add(type.getName());
        }
        List<String> exceptions = new ArrayList<>();
        for (Class<?> type : method.getExceptionTypes()) {
            exceptions.add(type.getName());
        }
        return method.getDeclaringClass().getName() + " " + method.getReturnType().getName() + " "
            + method.getName() + "(" + String.join(",", parameters) + ") throws " + exceptions;
    }

    private static List<String> classNames(File jar) throws IOException {
        List<String> names = new ArrayList<>();
        try (JarFile file = new JarFile(jar)) {
            Enumeration<JarEntry> entries = file.entries();
            while (entries.hasMoreElements()) {
                String name = entries.nextElement().getName();
                if (name.endsWith(".class")) {
                    names.add(name.substring(0, name.length() - 6).replace('/', '.'));
                }
            }
        }
        return names;
    }
}
