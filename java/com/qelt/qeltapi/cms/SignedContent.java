package com.qelt.qeltapi.cms;

import com.qelt.qeltapi.NativeObject;
import com.qelt.qeltapi.QeltApiException;

/** The signed messages of mobile (WAP) clients: the content, the signer's certificate and a signing time. */
public class SignedContent extends NativeObject {
    /** The signing time of {@link #verify}: "YYYYMMDDhhmmss" (local time) as bytes. */
    public byte[] genTime;
    /** The signer's certificate (DER) of {@link #verify}; it is not validated. */
    public byte[] certBuff;
    /** The content of {@link #verify}. */
    public byte[] msgBuff;

    /** Verifies the signature of a SignedContent and returns its content. */
    public byte[] verify(byte[] signedContent) throws QeltApiException {
        check(_verify(signedContent));
        return msgBuff;
    }

    /** The signing time of the last {@link #verify} as text. */
    public String getSigningTime() {
        return genTime == null ? null : new String(genTime);
    }

    native int _verify(byte[] signedContent);
}
