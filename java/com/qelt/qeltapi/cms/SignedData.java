package com.qelt.qeltapi.cms;

import com.qelt.qeltapi.NativeObject;
import com.qelt.qeltapi.QeltApiException;
import java.util.ArrayList;
import java.util.List;

/** Signed messages: verification in memory and over files, file signing, time-stamp tokens. */
public class SignedData extends NativeObject {
    /** Byte result of {@link #setTimeStampToken}. */
    public byte[] outBuff;

    /** A verified signer. */
    public static final class Signer {
        public final byte[] certificate;
        /** Seconds since 1970, 0 when the signer gave no signing time. */
        public final long signingTime;
        /** The signature value (what a time-stamp covers); null from file verification. */
        public final byte[] signature;
        /** The signer's time-stamp token, or null. */
        public final byte[] timeStampToken;

        Signer(byte[] certificate, long signingTime, byte[] signature, byte[] timeStampToken) {
            this.certificate = certificate;
            this.signingTime = signingTime;
            this.signature = signature;
            this.timeStampToken = timeStampToken;
        }
    }

    private final List<Signer> signers = new ArrayList<>();
    private byte[] content;

    /** Verifies every signer of a DER SignedData; data: the detached content, or null. */
    public List<Signer> verify(byte[] signedData, byte[] data) throws QeltApiException {
        signers.clear();
        content = null;
        check(_verify(signedData, data));
        return new ArrayList<>(signers);
    }

    /** The content of the last {@link #verify}. */
    public byte[] getContent() {
        return content;
    }

    /**
     * Verifies a signed file. detached false: the content inside is written to
     * dataFile; true: dataFile is the detached content.
     */
    public Signer verifyFile(String signedFile, String dataFile, boolean detached) throws QeltApiException {
        signers.clear();
        check(_verify_File(signedFile, dataFile, detached ? 1 : 0));
        return signers.get(0);
    }

    /**
     * Signs a file. hashAlg 0 follows the certificate; option: an option word
     * (0: none, 0x200 for a ContentInfo on a detached signature); detached: keep the content out.
     */
    public void signFile(byte[] cert, byte[] priKey, String dataFile, String signingTime, String signedFile,
            int hashAlg, int option, boolean detached) throws QeltApiException {
        check(_signData_File(cert, priKey, dataFile, signingTime, signedFile, hashAlg, option, detached ? 1 : 0));
    }

    /** Puts a time-stamp token into signer index's unsigned attributes; the new message is returned. */
    public byte[] setTimeStampToken(byte[] signedData, int index, byte[] token) throws QeltApiException {
        check(_setTimeStampToken(signedData, index, token));
        return outBuff;
    }

    /** Called by the native code once per verified signer. */
    protected void setSignerCert(int index, int count, byte[] cert, long signingTime, byte[] signature,
            byte[] timeStampToken, byte[] data) {
        signers.add(new Signer(cert, signingTime, signature, timeStampToken));
        if (index == 0) content = data;
    }

    native int _verify(byte[] signedData, byte[] data);
    native int _verify_File(String signedFile, String dataFile, int detached);
    native int _signData_File(byte[] cert, byte[] priKey, String dataFile, String signingTime, String signedFile,
            int hashAlg, int option, int detached);
    native int _setTimeStampToken(byte[] signedData, int index, byte[] token);
}
