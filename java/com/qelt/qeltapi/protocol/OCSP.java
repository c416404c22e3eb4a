package com.qelt.qeltapi.protocol;

import com.qelt.qeltapi.NativeObject;
import com.qelt.qeltapi.QeltApiException;

/**
 * The exchange with an OCSP responder. The library's OCSP functions are not
 * supported in this build: {@link #sendAndRecv} fails with 1007.
 */
public class OCSP extends NativeObject {
    /** The responder's answer (DER OCSPResponse). */
    public byte[] resMsg;

    /** Posts a request to the responder's URL; confFile (or null) sets the time-out. */
    public byte[] sendAndRecv(String url, byte[] reqMsg, String confFile) throws QeltApiException {
        check(_sendAndRecv(url, reqMsg, confFile));
        return resMsg;
    }

    native int _sendAndRecv(String url, byte[] reqMsg, String confFile);
}
