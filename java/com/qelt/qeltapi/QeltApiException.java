package com.qelt.qeltapi;

/** A library call failed: its result code and "ErrCode=%d,ErrMsg=%s" detail. */
public class QeltApiException extends Exception {
    private static final long serialVersionUID = 1L;
    private final int code;

    public QeltApiException(int code, String detail) {
        super(detail);
        this.code = code;
    }

    /** The library's (or the binding's 5000-range) result code. */
    public int getCode() {
        return code;
    }
}
