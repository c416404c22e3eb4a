package com.qelt.qeltapi.ocsp;

import com.qelt.qeltapi.NativeObject;
import com.qelt.qeltapi.QeltApiException;
import java.util.ArrayList;
import java.util.List;

/**
 * An OCSP response. The library's OCSP functions are not supported in this
 * build: {@link #process} and {@link #verify} fail with 1007.
 */
public class OCSPResponse extends NativeObject {
    /** The responder's certificate (DER). */
    public byte[] svrCert;

    /** The status of one certificate in a response. */
    public static final class SingleStatus {
        /** 0 good, 1 revoked, 2 unknown. */
        public final int status;
        /** The revocation time, or "" when not revoked. */
        public final String revokedTime;
        /** The CRL reason code, -1 when none. */
        public final int reason;

        SingleStatus(int status, String revokedTime, int reason) {
            this.status = status;
            this.revokedTime = revokedTime;
            this.reason = reason;
        }
    }

    private final List<SingleStatus> statuses = new ArrayList<>();

    /** Checks a response (nonce: the request's, or null) and returns its single responses. */
    public List<SingleStatus> process(byte[] resMsg, byte[] nonce) throws QeltApiException {
        statuses.clear();
        check(_processResMsg(resMsg, nonce));
        return new ArrayList<>(statuses);
    }

    /** Checks a response's signature and nonce; returns the responder's certificate. */
    public byte[] verify(byte[] resMsg, byte[] nonce) throws QeltApiException {
        check(_verify(resMsg, nonce));
        return svrCert;
    }

    /** Called by the native code once per single response. */
    protected void setSingleCertStat(int index, int count, int status, String revokedTime, int reason) {
        statuses.add(new SingleStatus(status, revokedTime, reason));
    }

    native int _processResMsg(byte[] resMsg, byte[] nonce);
    native int _verify(byte[] resMsg, byte[] nonce);
}
