package com.qelt.qeltapi.tsa;

import com.qelt.qeltapi.NativeObject;
import com.qelt.qeltapi.QeltApiException;

/**
 * A time-stamp authority's response. The check compares the token with the
 * request made in the same library context; every native call runs in a
 * fresh one, so a response that passes the other checks is refused with 1610
 * ("no request to compare with"): get tokens with qeltapi_jni._TSP_GetToken,
 * which makes the request and checks the answer in one call.
 */
public class TimeStampRes extends NativeObject {
    /** The token (DER ContentInfo) of an accepted response. */
    public byte[] timeStampToken;
    /** The response's free texts, one per line (empty when none). */
    public byte[] pkiFreeText;
    /** The response's PKIStatus as decimal text ("0" granted, "2" rejection ...); null when unreadable. */
    public byte[] status;

    public byte[] verify(byte[] resMsg) throws QeltApiException {
        timeStampToken = null;
        pkiFreeText = null;
        status = null;
        check(_verifyResMsg(resMsg));
        return timeStampToken;
    }

    /** The PKIStatus of the last {@link #verify}, -1 when the response could not be read. */
    public int getStatus() {
        return status == null ? -1 : Integer.parseInt(new String(status));
    }

    native int _verifyResMsg(byte[] resMsg);
}
