package com.qelt.test;

import com.qelt.qeltapi.QeltApi;
import com.qelt.qeltapi_jni;

/** The work directory is set once; runs in a JVM of its own (no other test may set it first). */
public class WorkDirTest extends TestBase {
    private static final String LENGTH_MESSAGE = "The length of work directory path can't exceed 1024.";

    public void testLengthLimitThenFirstPathStays() {
        String tooLong = "/" + "d".repeat(1023);  // 1024 bytes: with the NUL one past the buffer
        eq(LENGTH_MESSAGE, QeltApi.setWorkDir(tooLong), "1024 bytes refused");
        qeltapi_jni api = new qeltapi_jni();
        eq(1, api._API_Init(tooLong), "_API_Init refuses 1024 bytes");
        eq(LENGTH_MESSAGE, new String(api.errBuff), "errBuff text");
        // Modified UTF-8 counts: 341 three-byte characters are 1023 bytes.
        String korean = "가".repeat(341) + "가";
        eq(LENGTH_MESSAGE, QeltApi.setWorkDir(korean), "1026 UTF-8 bytes refused");

        String exact = "/" + "d".repeat(1022);  // 1023 bytes
        eq("", QeltApi.setWorkDir(exact), "1023 bytes accepted");
        // Now set: later calls change nothing and succeed, whatever their length.
        eq("", QeltApi.setWorkDir(TMP.toString()), "second path");
        api.errBuff = null;
        eq(0, api._API_Init(tooLong), "_API_Init after the directory is set");
        eq(null, api.errBuff, "nothing reported");
        // The natives still run with the (non-existent) first directory as their work directory.
        eq(0, api._CRYPT_Hash(1, new byte[] {1, 2, 3}), "a native after the set");
    }
}
