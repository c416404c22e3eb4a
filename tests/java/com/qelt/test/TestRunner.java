package com.qelt.test;

import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.util.Arrays;
import java.util.Comparator;

/**
 * Runs the public no-argument methods named test* of the classes given on the
 * command line, each on a fresh instance, and ends with "N passed, N failed".
 * Exits 1 when a test failed.
 */
public final class TestRunner {
    public static void main(String[] args) throws Exception {
        int passed = 0;
        int failed = 0;
        for (String className : args) {
            Class<?> cls = Class.forName(className);
            Method[] methods = cls.getMethods();
            Arrays.sort(methods, Comparator.comparing(Method::getName));
            for (Method m : methods) {
                if (!m.getName().startsWith("test") || m.getParameterCount() != 0 || Modifier.isStatic(m.getModifiers()))
                    continue;
                String name = cls.getSimpleName() + "." + m.getName();
                try {
                    m.invoke(cls.getDeclaredConstructor().newInstance());
                    System.out.println("PASS " + name);
                    passed++;
                } catch (InvocationTargetException e) {
                    System.out.println("FAIL " + name + ": " + e.getCause());
                    e.getCause().printStackTrace(System.out);
                    failed++;
                }
            }
        }
        System.out.println(passed + " passed, " + failed + " failed");
        System.exit(failed == 0 && passed > 0 ? 0 : 1);
    }
}
