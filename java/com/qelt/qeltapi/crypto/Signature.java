package com.qelt.qeltapi.crypto;

import com.qelt.qeltapi.NativeObject;
import com.qelt.qeltapi.QeltApiException;

/** Raw signatures (RSA PKCS#1 v1.5, KCDSA, ECDSA) with hash 1 SHA-1, 2 MD5, 3 HAS-160, 4 SHA-256. */
public class Signature extends NativeObject {
    /** The signature of {@link #sign}. */
    public byte[] outBuff;

    /** Signs data with a decrypted private key; cert is needed for KCDSA keys, else may be null. */
    public byte[] sign(byte[] cert, byte[] priKey, int hashAlg, byte[] data) throws QeltApiException {
        check(_sign(cert, priKey, hashAlg, data));
        return outBuff;
    }

    /** Throws unless signature is a valid signature of data by the certificate's key. */
    public void verify(byte[] cert, int hashAlg, byte[] data, byte[] signature) throws QeltApiException {
        check(_verify(cert, hashAlg, data, signature));
    }

    native int _sign(byte[] cert, byte[] priKey, int hashAlg, byte[] data);
    native int _verify(byte[] cert, int hashAlg, byte[] data, byte[] signature);
}
