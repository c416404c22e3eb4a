package com.qelt.test;

import com.qelt.qeltapi_jni;
import java.nio.file.Files;
import java.nio.file.Paths;

/**
 * Many calls keep the process's resident memory flat: every native finishes its
 * context, frees its records and releases its local references. The count comes
 * from -Dqelt.leak.count (100,000 in the normal build). Run with a fixed,
 * pre-touched Java heap so that only native memory can grow.
 */
public class LeakTest extends TestBase {
    private static final int COUNT = Integer.getInteger("qelt.leak.count", 100000);
    private static final long LIMIT_KB = 8 * 1024;

    private static long residentKb() throws Exception {
        for (String line : Files.readAllLines(Paths.get("/proc/self/status")))
            if (line.startsWith("VmRSS:")) return Long.parseLong(line.replaceAll("[^0-9]", ""));
        throw new AssertionError("no VmRSS");
    }

    private interface Body {
        void run(int i) throws Exception;
    }

    /** Runs `body` a twentieth of the count to settle, then the count, and returns the growth in KiB. */
    private static long growth(Body body) throws Exception {
        for (int i = 0; i < COUNT / 20; i++) body.run(i);
        System.gc();
        long before = residentKb();
        for (int i = 0; i < COUNT; i++) body.run(i);
        System.gc();
        return residentKb() - before;
    }

    public void testCheapNativeKeepsMemoryFlat() throws Exception {
        qeltapi_jni api = new qeltapi_jni();
        byte[] in = bytes(64, 1);
        long grown = growth(i -> {
            if (api._CRYPT_Hash(4, in) != 0) throw new AssertionError("hash " + i);
            if (api._CRYPT_Hash(4, null) != 1006) throw new AssertionError("refusal " + i);  // the failure path too
        });
        System.out.println("hash: " + COUNT + " calls, resident growth " + grown + " KiB");
        check(grown < LIMIT_KB, "resident memory grew by " + grown + " KiB");
    }

    public void testSignAndVerifyKeepMemoryFlat() throws Exception {
        qeltapi_jni api = new qeltapi_jni();
        byte[] cert = data("leak.der"), key = data("leak.p8"), doc = bytes(256, 2);
        long grown = growth(i -> {
            if (api._CMS_MakeSignedData(cert, key, doc, "", 0) != 0) throw new AssertionError("sign " + i);
            if (api._CMS_ProcessSignedData(api.baReturnArray) != 0) throw new AssertionError("verify " + i);
            if (api.signers.size() != 1) throw new AssertionError("signer " + i);
        });
        System.out.println("sign and verify: " + COUNT + " rounds, resident growth " + grown + " KiB");
        check(grown < LIMIT_KB, "resident memory grew by " + grown + " KiB");
    }
}
