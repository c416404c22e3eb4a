package com.qelt.qeltapi.cms;

import com.qelt.qeltapi.NativeObject;
import com.qelt.qeltapi.QeltApiException;
import java.util.ArrayList;
import java.util.List;

/** Reads the recipients of an EnvelopedData without decrypting it. */
public class EnvelopedData extends NativeObject {
    /** A recipient: issuer and serial number (hex), or a subject key identifier (hex). */
    public static final class Recipient {
        public final String issuerName;
        public final String serialNumber;
        public final String subjectKeyId;

        Recipient(String issuerName, String serialNumber, String subjectKeyId) {
            this.issuerName = issuerName;
            this.serialNumber = serialNumber;
            this.subjectKeyId = subjectKeyId;
        }
    }

    private final List<Recipient> recipients = new ArrayList<>();

    /** The recipients of a DER EnvelopedData (bare or in a ContentInfo). */
    public List<Recipient> getRecipients(byte[] envelopedData) throws QeltApiException {
        recipients.clear();
        check(_process2(envelopedData));
        return new ArrayList<>(recipients);
    }

    /** Called by the native code once per recipient. */
    protected void setRecInfos(int index, int count, String issuerName, String serialNumber, String subjectKeyId) {
        recipients.add(new Recipient(issuerName, serialNumber, subjectKeyId));
    }

    native int _process2(byte[] envelopedData);
}
