package com.qelt.test;

import com.qelt.qeltapi_jni;
import java.io.ByteArrayInputStream;
import java.io.IOException;
import java.nio.charset.Charset;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.security.KeyFactory;
import java.security.PrivateKey;
import java.security.cert.CertificateFactory;
import java.security.cert.X509Certificate;
import java.security.spec.PKCS8EncodedKeySpec;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;

/** Assertions, test data and the openssl command for the Java tests. */
public abstract class TestBase {
    /** The library's texts are CP949. */
    protected static final Charset CP949 = Charset.forName("MS949");
    protected static final Path DATA = Paths.get(System.getProperty("qelt.data"));
    protected static final Path TMP = Paths.get(System.getProperty("qelt.tmp"));
    /** The C tests' data (tests/data), beside the Java tests' own. */
    protected static final Path TESTDATA = DATA.getParent().getParent().resolve("data");

    protected static void check(boolean condition, String what) {
        if (!condition) throw new AssertionError(what);
    }

    protected static void eq(Object expected, Object actual, String what) {
        boolean same = expected instanceof byte[] && actual instanceof byte[]
                ? Arrays.equals((byte[]) expected, (byte[]) actual)
                : expected == null ? actual == null : expected.equals(actual);
        if (!same) throw new AssertionError(what + ": expected <" + show(expected) + "> but was <" + show(actual) + ">");
    }

    private static String show(Object o) {
        return o instanceof byte[] ? hex((byte[]) o) : String.valueOf(o);
    }

    protected static String hex(byte[] b) {
        StringBuilder s = new StringBuilder();
        for (byte x : b) s.append(String.format("%02x", x & 0xff));
        return s.toString();
    }

    /** Asserts a failed mirror call: its code, the standing message and the detail frame with `detailPart`. */
    protected static void failed(qeltapi_jni api, int rc, int code, String detailPart) {
        eq(code, rc, "result code");
        String detail = new String(api.bDetailErrMsg, CP949);
        check(detail.startsWith("ErrCode=" + code + ",ErrMsg="), "detail frame: " + detail);
        check(detail.contains(detailPart), "detail <" + detail + "> lacks <" + detailPart + ">");
        check(api.baReturnArray != null && api.baReturnArray.length > 0, "standing message present");
    }

    protected static byte[] data(String name) throws IOException {
        return Files.readAllBytes(DATA.resolve(name));
    }

    /** A file of the C tests' data, e.g. testData("ident/user.der"). */
    protected static byte[] testData(String name) throws IOException {
        return Files.readAllBytes(TESTDATA.resolve(name));
    }

    /** A call of an object class that may throw. */
    protected interface Call {
        void run() throws Exception;
    }

    /** Asserts that an object-class call fails with code and "ErrCode=code,ErrMsg=" with detailPart. */
    protected static void throwsCode(Call call, int code, String detailPart) throws Exception {
        try {
            call.run();
        } catch (com.qelt.qeltapi.QeltApiException e) {
            eq(code, e.getCode(), "result code");
            String detail = e.getMessage();
            check(detail.startsWith("ErrCode=" + code + ",ErrMsg="), "detail frame: " + detail);
            check(detail.contains(detailPart), "detail <" + detail + "> lacks <" + detailPart + ">");
            return;
        }
        throw new AssertionError("expected failure " + code + " <" + detailPart + ">");
    }

    protected static X509Certificate javaCert(String name) throws Exception {
        return (X509Certificate) CertificateFactory.getInstance("X.509")
                .generateCertificate(new ByteArrayInputStream(data(name)));
    }

    protected static PrivateKey javaKey(String name) throws Exception {
        return KeyFactory.getInstance("RSA").generatePrivate(new PKCS8EncodedKeySpec(data(name)));
    }

    /** A fresh directory for one test. */
    protected static Path tmpDir(String name) throws IOException {
        Path dir = TMP.resolve(name + "-" + ProcessHandle.current().pid());
        Files.createDirectories(dir);
        return dir;
    }

    /** Runs openssl in `dir`; returns its exit status (output to dir/openssl.log). */
    protected static int openssl(Path dir, String... args) throws Exception {
        List<String> cmd = new ArrayList<>();
        cmd.add("openssl");
        cmd.addAll(Arrays.asList(args));
        Process p = new ProcessBuilder(cmd).directory(dir.toFile()).redirectErrorStream(true)
                .redirectOutput(dir.resolve("openssl.log").toFile()).start();
        return p.waitFor();
    }

    /** Where `needle` first occurs in `hay`, or -1. */
    protected static int indexOf(byte[] hay, byte[] needle) {
        outer:
        for (int i = 0; i + needle.length <= hay.length; i++) {
            for (int j = 0; j < needle.length; j++)
                if (hay[i + j] != needle[j]) continue outer;
            return i;
        }
        return -1;
    }

    protected static byte[] bytes(int n, int seed) {
        byte[] b = new byte[n];
        new java.util.Random(seed).nextBytes(b);
        return b;
    }
}
