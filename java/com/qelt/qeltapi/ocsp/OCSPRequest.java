package com.qelt.qeltapi.ocsp;

import com.qelt.qeltapi.NativeObject;
import com.qelt.qeltapi.QeltApiException;

/**
 * An OCSP request for one certificate. The library's OCSP functions are not
 * supported in this build: {@link #generate} fails with 1007. Certificate
 * status by OCSP is checked by the verification (qeltapi_jni.CERT_Verify).
 */
public class OCSPRequest extends NativeObject {
    /** The request's nonce, from {@link #generate}. */
    public byte[] nonce;
    /** The DER OCSPRequest, from {@link #generate}. */
    public byte[] reqMsg;
    /** The requester's certificate, used when the request is signed. */
    public byte[] signerCert;
    /** The requester's decrypted private key, used when the request is signed. */
    public byte[] signerPriKey;

    /** Builds the request for cert (issuerCert: its issuer, or null to name it by the AKI). */
    public byte[] generate(byte[] cert, byte[] issuerCert, boolean sign) throws QeltApiException {
        check(_generateReqMsg(cert, issuerCert, sign ? 1 : 0));
        return reqMsg;
    }

    native int _generateReqMsg(byte[] cert, byte[] issuerCert, int sign);
}
