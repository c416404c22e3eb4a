package com.qelt.bench;

import com.qelt.qeltapi.QeltApi;
import com.qelt.qeltapi_jni;
import java.nio.file.Files;
import java.nio.file.Paths;

/**
 * Java natives against the same exported calls made directly from C, in one
 * JVM: SHA-256 of 1 KiB and RSA-2048 signature verification. The two sides
 * run in alternating batches (-Drounds, 30 by default) after a warm-up; the
 * best batch of each side is compared, and the ratio C time / Java time printed (1.0: the JNI crossing and
 * conversions cost nothing; 0.9: they cost a tenth).
 *   java -Djava.library.path=LIBDIRS -cp qeltapi.jar:qelt-bench.jar com.qelt.bench.JniBench DATADIR
 */
public final class JniBench {
    static native int hashLoop(int n, int alg, byte[] data, String workDir);

    static native int verifyLoop(int n, byte[] cert, int hashAlg, byte[] data, byte[] sig, String workDir);

    static native void resultOnly(qeltapi_jni target);

    private interface Batch {
        void run(int n);
    }

    private static long time(Batch b, int batch) {
        long t = System.nanoTime();
        b.run(batch);
        return System.nanoTime() - t;
    }

    /** Runs the two sides in alternating batches (so both see the same load) and reports the best of each. */
    private static void compare(String name, Batch c, Batch java, int batch, int rounds) {
        c.run(batch);  // warm-up: the JIT and the allocator settle
        java.run(batch);
        long bestC = Long.MAX_VALUE, bestJava = Long.MAX_VALUE;
        for (int r = 0; r < rounds; r++) {
            bestC = Math.min(bestC, time(c, batch));
            bestJava = Math.min(bestJava, time(java, batch));
        }
        System.out.printf("%-28s C %8.2f us/call   Java %8.2f us/call   ratio %.3f%n", name, bestC / 1e3 / batch,
                bestJava / 1e3 / batch, (double) bestC / bestJava);
    }

    public static void main(String[] args) throws Exception {
        System.loadLibrary("qeltbench");
        String workDir = System.getProperty("java.io.tmpdir");
        QeltApi.setWorkDir(workDir);
        int rounds = Integer.getInteger("rounds", 30);
        qeltapi_jni api = new qeltapi_jni();

        byte[] kib = new byte[1024];
        new java.util.Random(1).nextBytes(kib);
        compare("SHA-256 of 1 KiB", n -> check(hashLoop(n, 4, kib, workDir) == 0, "C hash"), n -> {
            for (int i = 0; i < n; i++) check(api._CRYPT_Hash(4, kib) == 0, "Java hash");
        }, 20000, rounds);

        // The fixed part: a native doing nothing but hand back 32 bytes in baReturnArray.
        long bestFloor = Long.MAX_VALUE, bestHash = Long.MAX_VALUE;
        for (int r = 0; r < rounds; r++) {
            bestFloor = Math.min(bestFloor, time(n -> {
                for (int i = 0; i < n; i++) resultOnly(api);
            }, 20000));
            bestHash = Math.min(bestHash, time(n -> check(hashLoop(n, 4, kib, workDir) == 0, "C hash"), 20000));
        }
        System.out.printf("%-28s %8.2f us/call = %.1f%% of the C hash (the most a native may add at 0.9x: %.1f%%)%n",
                "  result array alone", bestFloor / 1e3 / 20000, 100.0 * bestFloor / bestHash, 100.0 / 9);

        byte[] cert = Files.readAllBytes(Paths.get(args[0], "user.der"));
        byte[] key = Files.readAllBytes(Paths.get(args[0], "user.p8"));
        check(api._CRYPT_Sign(cert, key, 4, kib) == 0, "sign");
        byte[] sig = api.baReturnArray;
        compare("RSA-2048 verify (SHA-256)", n -> check(verifyLoop(n, cert, 4, kib, sig, workDir) == 0, "C verify"),
                n -> {
                    for (int i = 0; i < n; i++) check(api._CRYPT_Verify(cert, 4, kib, sig) == 0, "Java verify");
                }, 1000, rounds);
    }

    private static void check(boolean ok, String what) {
        if (!ok) throw new IllegalStateException(what + " failed");
    }
}
