package com.qelt.qeltapi.tsa;

import com.qelt.qeltapi.NativeObject;
import com.qelt.qeltapi.QeltApiException;

/** The fields of a time-stamp token, read after its signature is checked. */
public class TimeStampToken extends NativeObject {
    /** The nonce's magnitude (empty when the token has none). */
    public byte[] nonceBuff;
    /** The serial number's magnitude. */
    public byte[] serialNumBuff;
    /** The hashed message of the message imprint. */
    public byte[] msgImprintBuff;
    /** The TSA's certificate (DER). */
    public byte[] tsaCertBuff;
    /** The generation time to the microsecond: "YYYYMMDDhhmmss.uuuuuu" (UTC; zeros beyond the token's precision). */
    public byte[] genTime_microBuff;
    /** The generation time "YYYYMMDDhhmmss" (UTC). */
    public byte[] genTimeBuff;
    /** The imprint's hash algorithm, as an OID text. */
    public byte[] hashAlgBuff;
    /** The TSA policy, as an OID text. */
    public byte[] policyBuff;

    /** Reads a token's fields into this object. */
    public void parse(byte[] token) throws QeltApiException {
        check(_getInfo(token));
    }

    native int _getInfo(byte[] token);
}
