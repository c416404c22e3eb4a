package com.qelt.qeltapi.cert;

import com.qelt.qeltapi.NativeObject;
import com.qelt.qeltapi.QeltApiException;

/** Fields of a DER certificate, read by the library. */
public class X509Certificate extends NativeObject {
    private final byte[] der;
    /** Byte results: serial number, subject public key info. */
    public byte[] binBuff;
    /** Time results, seconds since 1970. */
    public long longBuff;
    /** Text results: the signature algorithm. */
    public String strBuff;

    public X509Certificate(byte[] der) {
        this.der = der;
    }

    /** The serial number's bytes (big-endian, as encoded). */
    public byte[] getSerialNumber() throws QeltApiException {
        check(_getSerialNumber(der));
        return binBuff;
    }

    public long getNotBefore() throws QeltApiException {
        check(_getNotBefore(der));
        return longBuff;
    }

    public long getNotAfter() throws QeltApiException {
        check(_getNotAfter(der));
        return longBuff;
    }

    /** The DER SubjectPublicKeyInfo. */
    public byte[] getSubjectPublicKeyInfo() throws QeltApiException {
        check(_getSubjectPublicKeyInfo(der));
        return binBuff;
    }

    /** The signature algorithm's name, e.g. "sha256WithRSAEncryption". */
    public String getSignatureAlgorithm() throws QeltApiException {
        check(_getSignatureAlgorithm(der));
        return strBuff;
    }

    native int _getSerialNumber(byte[] cert);
    native int _getNotBefore(byte[] cert);
    native int _getNotAfter(byte[] cert);
    native int _getSubjectPublicKeyInfo(byte[] cert);
    native int _getSignatureAlgorithm(byte[] cert);
}
