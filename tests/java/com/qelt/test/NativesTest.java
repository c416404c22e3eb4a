package com.qelt.test;

import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.nio.file.Files;
import java.nio.file.Paths;
import java.util.Enumeration;
import java.util.HashSet;
import java.util.Set;
import java.util.TreeSet;
import java.util.jar.JarEntry;
import java.util.jar.JarFile;

/**
 * The Java classes declare exactly the natives of natives.txt that are not in
 * natives_pending.txt, with their names and numbers of arguments, and each
 * declared native links (its symbol is in the library).
 */
public class NativesTest extends TestBase {
    private static Set<String> read(String name) throws Exception {
        Set<String> rows = new TreeSet<>();
        for (String line : Files.readAllLines(Paths.get(System.getProperty("qelt.natives"), name)))
            if (!line.isBlank() && !line.startsWith("#")) rows.add(line.trim());
        return rows;
    }

    private static Set<String> declared() throws Exception {
        Set<String> rows = new TreeSet<>();
        try (JarFile jar = new JarFile(System.getProperty("qelt.jar"))) {
            for (Enumeration<JarEntry> e = jar.entries(); e.hasMoreElements();) {
                String entry = e.nextElement().getName();
                if (!entry.endsWith(".class")) continue;
                Class<?> cls = Class.forName(entry.replace('/', '.').replace(".class", ""), false,
                        NativesTest.class.getClassLoader());
                for (Method m : cls.getDeclaredMethods())
                    if (Modifier.isNative(m.getModifiers()))
                        rows.add(cls.getName() + " " + m.getName() + " " + m.getParameterCount());
            }
        }
        return rows;
    }

    public void testDeclaredNativesAreThePartsListLessThePending() throws Exception {
        Set<String> all = read("natives.txt");
        Set<String> pending = read("natives_pending.txt");
        eq(112, all.size(), "natives in the list");
        check(all.containsAll(pending), "pending natives are in the list");
        Set<String> expected = new TreeSet<>(all);
        expected.removeAll(pending);
        Set<String> got = new HashSet<>(declared());
        eq(new TreeSet<>(expected), new TreeSet<>(got), "declared natives");
    }
}
