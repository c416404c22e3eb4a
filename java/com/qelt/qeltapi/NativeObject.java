package com.qelt.qeltapi;

/** Base of the object classes: the error field the native methods fill on failure. */
public abstract class NativeObject {
    static {
        System.loadLibrary("qeltapi");
    }

    /** After a failed native call: "ErrCode=%d,ErrMsg=%s". */
    public byte[] errBuff;

    /** Throws when a native call returned a non-zero code. */
    protected final void check(int rc) throws QeltApiException {
        if (rc != 0) throw new QeltApiException(rc, errBuff == null ? "" : new String(errBuff));
    }
}
