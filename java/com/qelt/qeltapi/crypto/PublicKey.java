package com.qelt.qeltapi.crypto;

import com.qelt.qeltapi.NativeObject;
import com.qelt.qeltapi.QeltApiException;

/** Algorithm and size of a public key (DER SubjectPublicKeyInfo). */
public class PublicKey extends NativeObject {
    /** Size text, e.g. "2048 Bits". */
    public byte[] keyLen;
    /** Algorithm name: "RSA", "KCDSA", "ECC" or "Unknown". */
    public byte[] keyAlg;

    public PublicKey(byte[] der) throws QeltApiException {
        check(_parsePublicKey(der));
    }

    public String getAlgorithm() {
        return new String(keyAlg);
    }

    public String getKeyLength() {
        return new String(keyLen);
    }

    native int _parsePublicKey(byte[] der);
}
