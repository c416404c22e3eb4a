package com.qelt.bench;

import com.qelt.qeltapi.QeltApi;
import com.qelt.qeltapi_jni;
import java.nio.file.Files;
import java.nio.file.Paths;

/**
 * Java natives against the same exported calls made directly from C, in one
 * JVM: SHA-256 of 1 KiB and RSA-2048 signature verification. Each side runs
 * `rounds` times `batch` calls after a warm-up; the best batch of each side is
 * compared, and the ratio C time / Java time printed (1.0: the JNI crossing and
 * conversions cost nothing; 0.9: they cost a tenth).
 *   java -Djava.library.path=LIBDIRS -cp qeltapi.jar:qelt-bench.jar com.qelt.bench.JniBench DATADIR
 */
public final class JniBench {
    static native int hashLoop(int n, int alg, byte[] data, String workDir);

    static native int verifyLoop(int n, byte[] cert, int hashAlg, byte[] data, byte[] sig, String workDir);

    private interface Batch {
        void run(int n);
    }

    private static long best(Batch b, int batch, int rounds) {
        b.run(batch);  // warm-up: the JIT and the allocator settle
        long best = Long.MAX_VALUE;
        for (int r = 0; r < rounds; r++) {
            long t = System.nanoTime();
            b.run(batch);
            best = Math.min(best, System.nanoTime() - t);
        }
        return best;
    }

    private static void report(String name, long cNanos, long javaNanos, int batch) {
        System.out.printf("%-28s C %8.2f us/call   Java %8.2f us/call   ratio %.3f%n", name, cNanos / 1e3 / batch,
                javaNanos / 1e3 / batch, (double) cNanos / javaNanos);
    }

    public static void main(String[] args) throws Exception {
        System.loadLibrary("qeltbench");
        String workDir = System.getProperty("java.io.tmpdir");
        QeltApi.setWorkDir(workDir);
        int rounds = Integer.getInteger("rounds", 7);
        qeltapi_jni api = new qeltapi_jni();

        byte[] kib = new byte[1024];
        new java.util.Random(1).nextBytes(kib);
        int hashBatch = 200000;
        long cHash = best(n -> check(hashLoop(n, 4, kib, workDir) == 0, "C hash"), hashBatch, rounds);
        long jHash = best(n -> {
            for (int i = 0; i < n; i++) check(api._CRYPT_Hash(4, kib) == 0, "Java hash");
        }, hashBatch, rounds);
        report("SHA-256 of 1 KiB", cHash, jHash, hashBatch);

        byte[] cert = Files.readAllBytes(Paths.get(args[0], "user.der"));
        byte[] key = Files.readAllBytes(Paths.get(args[0], "user.p8"));
        check(api._CRYPT_Sign(cert, key, 4, kib) == 0, "sign");
        byte[] sig = api.baReturnArray;
        int verifyBatch = 5000;
        long cVerify = best(n -> check(verifyLoop(n, cert, 4, kib, sig, workDir) == 0, "C verify"), verifyBatch,
                rounds);
        long jVerify = best(n -> {
            for (int i = 0; i < n; i++) check(api._CRYPT_Verify(cert, 4, kib, sig) == 0, "Java verify");
        }, verifyBatch, rounds);
        report("RSA-2048 verify (SHA-256)", cVerify, jVerify, verifyBatch);
    }

    private static void check(boolean ok, String what) {
        if (!ok) throw new IllegalStateException(what + " failed");
    }
}
