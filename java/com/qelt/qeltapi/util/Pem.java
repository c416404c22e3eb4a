package com.qelt.qeltapi.util;

import com.qelt.qeltapi.NativeObject;
import com.qelt.qeltapi.QeltApiException;

/** PEM texts (type 1 certificate, 2 WTLS certificate, 3 CRL, 4 and 5 PKCS#7, 0 Base64 only). */
public class Pem extends NativeObject {
    /** The PEM text of {@link #encode}. */
    public byte[] strBuff;
    /** The bytes of {@link #decode}. */
    public byte[] byteBuff;

    public String encode(int type, byte[] der) throws QeltApiException {
        check(_encode(type, der));
        return new String(strBuff);
    }

    public byte[] decode(byte[] pem) throws QeltApiException {
        check(_decode(pem));
        return byteBuff;
    }

    native int _encode(int type, byte[] der);
    native int _decode(byte[] pem);
}
