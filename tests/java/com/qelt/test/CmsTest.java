package com.qelt.test;

import com.qelt.qeltapi.QeltApiException;
import com.qelt.qeltapi.cms.EnvelopedData;
import com.qelt.qeltapi.cms.SignedData;
import com.qelt.qeltapi_jni;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Arrays;
import java.util.Base64;
import java.util.List;

/** CMS messages made from Java and read by OpenSSL, and OpenSSL's opened from Java. */
public class CmsTest extends TestBase {
    private static final int DES3 = 0x20, SEED = 0x30, CONTENT_INFO = 0x200;

    public void testSignedDataBothWaysWithOpenSsl() throws Exception {
        qeltapi_jni api = new qeltapi_jni();
        Path dir = tmpDir("cms-signed");
        byte[] doc = bytes(20000, 41);
        api.option = CONTENT_INFO;
        eq(0, api._CMS_MakeSignedData(data("user.der"), data("user.p8"), doc, "20240102030405", 4), "sign");
        Files.write(dir.resolve("ours.der"), api.baReturnArray);
        Files.write(dir.resolve("ca.pem"), data("ca.pem"));
        eq(0, openssl(dir, "cms", "-verify", "-inform", "DER", "-in", "ours.der", "-CAfile", "ca.pem", "-binary",
                "-out", "content.bin"), "openssl cms -verify of our message");
        eq(doc, Files.readAllBytes(dir.resolve("content.bin")), "content seen by OpenSSL");

        Files.write(dir.resolve("doc.bin"), doc);
        Files.write(dir.resolve("user.pem"), data("user.pem"));
        Files.write(dir.resolve("user.key"), data("user.key"));
        eq(0, openssl(dir, "cms", "-sign", "-in", "doc.bin", "-signer", "user.pem", "-inkey", "user.key", "-nodetach",
                "-binary", "-md", "sha256", "-outform", "DER", "-out", "theirs.der"), "openssl cms -sign");
        eq(0, api._CMS_ProcessSignedData(Files.readAllBytes(dir.resolve("theirs.der"))), "verify OpenSSL's");
        eq(doc, api.baReturnArray, "content of OpenSSL's message");
        eq(1, api.signers.size(), "one signer");
        eq(data("user.der"), api.signers.get(0).certificate, "signer certificate");
        check(api.signers.get(0).signingTime > 1600000000L, "OpenSSL's signing time " + api.signers.get(0).signingTime);
        eq(null, api.signers.get(0).timeStampToken, "no token");
        check(api.signers.get(0).signature.length == 256, "signature value");

        byte[] tampered = Files.readAllBytes(dir.resolve("ours.der"));
        int at = indexOf(tampered, Arrays.copyOfRange(doc, 100, 116));
        check(at >= 0, "the content is inside the message");
        tampered[at] ^= 1;
        check(api._CMS_ProcessSignedData(tampered) != 0, "a changed content fails");
        check(api._CMS_ProcessSignedData("garbage".getBytes()) != 0, "garbage is no message");
    }

    public void testTwoSignersAndTheirTexts() throws Exception {
        qeltapi_jni api = new qeltapi_jni();
        byte[] doc = "two signers".getBytes();
        eq(0, api._CMS_MakeSignedData(data("user.der"), data("user.p8"), doc, "20240102030405", 0), "first");
        eq(0, api._CMS_MakeSignedDataWithAddSigner(data("user2.der"), data("user2.p8"), api.baReturnArray, "", 1),
                "second signer, SHA-1");
        byte[] both = api.baReturnArray;
        eq(0, api._CMS_ProcessSignedData2(both), "verify");
        eq(doc, api.baReturnArray, "content");
        eq(2, api.nSignerCnt, "signer count");
        eq(2, api.signers.size(), "callbacks");
        eq(data("user.der"), Base64.getMimeDecoder().decode(api.signerCerts[0]), "first signer (Base64)");
        eq(data("user2.der"), Base64.getMimeDecoder().decode(api.signerCerts[1]), "second signer (Base64)");
        eq(14, api.signTimes[0].length(), "signing time text " + api.signTimes[0]);
        eq(data("user2.der"), api.signers.get(1).certificate, "second callback");

        SignedData sd = new SignedData();
        List<SignedData.Signer> signers = sd.verify(both, null);
        eq(2, signers.size(), "object class signers");
        eq(doc, sd.getContent(), "object class content");
    }

    public void testEnvelopedDataBothWaysWithOpenSsl() throws Exception {
        qeltapi_jni api = new qeltapi_jni();
        Path dir = tmpDir("cms-enveloped");
        byte[] doc = bytes(5000, 51);
        eq(0, api.CMS_MakeEnvelopedData(data("user.der"), doc, DES3, CONTENT_INFO), "envelop");
        Files.write(dir.resolve("ours.der"), api.baReturnArray);
        Files.write(dir.resolve("user.pem"), data("user.pem"));
        Files.write(dir.resolve("user.key"), data("user.key"));
        eq(0, openssl(dir, "cms", "-decrypt", "-inform", "DER", "-in", "ours.der", "-recip", "user.pem", "-inkey",
                "user.key", "-binary", "-out", "dec.bin"), "openssl cms -decrypt of ours");
        eq(doc, Files.readAllBytes(dir.resolve("dec.bin")), "content seen by OpenSSL");

        Files.write(dir.resolve("doc.bin"), doc);
        eq(0, openssl(dir, "cms", "-encrypt", "-in", "doc.bin", "-des3", "-binary", "-outform", "DER", "-out",
                "theirs.der", "user.pem"), "openssl cms -encrypt");
        eq(0, api._CMS_ProcessEnvelopedData(data("user.der"), data("user.p8"),
                Files.readAllBytes(dir.resolve("theirs.der"))), "open OpenSSL's");
        eq(doc, api.baReturnArray, "content of OpenSSL's message");
        check(api._CMS_ProcessEnvelopedData(data("user2.der"), data("user2.p8"),
                Files.readAllBytes(dir.resolve("theirs.der"))) != 0, "not a recipient");
    }

    public void testRecipientsOfAMultiRecipientMessage() throws Exception {
        qeltapi_jni api = new qeltapi_jni();
        eq(0, api.CERT_AddCert(data("user.der"), null), "list");
        eq(0, api.CERT_AddCert(data("user2.der"), api.baReturnArray), "list of two");
        eq(0, api.CMS_MakeEnvelopedDataWithMultiRecipients(api.baReturnArray, "for two".getBytes(), SEED, 0), "make");
        byte[] message = api.baReturnArray;
        List<EnvelopedData.Recipient> recipients = new EnvelopedData().getRecipients(message);
        eq(2, recipients.size(), "recipients");
        eq(javaCert("user.der").getSerialNumber().toString(16),
                recipients.get(0).serialNumber.replaceFirst("^0+", "").toLowerCase(), "first serial");
        eq(javaCert("user2.der").getSerialNumber().toString(16),
                recipients.get(1).serialNumber.replaceFirst("^0+", "").toLowerCase(), "second serial");
        check(recipients.get(0).issuerName.contains("Qelt Test CA"), "issuer " + recipients.get(0).issuerName);
        eq(0, api._CMS_ProcessEnvelopedData(data("user2.der"), data("user2.p8"), message), "second opens");
        eq("for two".getBytes(), api.baReturnArray, "content");
        try {
            new EnvelopedData().getRecipients("junk".getBytes());
            throw new AssertionError("junk accepted");
        } catch (QeltApiException e) {
            check(e.getMessage().startsWith("ErrCode="), e.getMessage());
        }
    }

    public void testEncryptedDataReadByOpenSsl() throws Exception {
        qeltapi_jni api = new qeltapi_jni();
        Path dir = tmpDir("cms-encrypted");
        byte[] key = bytes(24, 61), iv = bytes(8, 62), doc = bytes(3000, 63);
        eq(0, api.CMS_MakeEncryptedData(DES3, key, iv, doc), "make");
        Files.write(dir.resolve("enc.der"), api.baReturnArray);
        eq(0, openssl(dir, "cms", "-EncryptedData_decrypt", "-inform", "DER", "-in", "enc.der", "-secretkey",
                hex(key), "-out", "dec.bin"), "openssl reads our EncryptedData");
        eq(doc, Files.readAllBytes(dir.resolve("dec.bin")), "content seen by OpenSSL");
        eq(0, api._CMS_ProcessEncryptedData(key, Files.readAllBytes(dir.resolve("enc.der"))), "process");
        eq(doc, api.baReturnArray, "content");
        check(api._CMS_ProcessEncryptedData(bytes(24, 1), Files.readAllBytes(dir.resolve("enc.der"))) != 0,
                "wrong key");
    }

    public void testSignedAndEnvelopedRoundTrip() throws Exception {
        qeltapi_jni api = new qeltapi_jni();
        byte[] doc = bytes(2000, 71);
        eq(0, api._CMS_MakeSignedAndEnvData(data("user.der"), data("user.p8"), data("user2.der"), doc, SEED, 4),
                "make");
        byte[] message = api.baReturnArray;
        eq(0, api._CMS_ProcessSignedAndEnvData(data("user2.der"), data("user2.p8"), message), "process");
        eq(doc, api.baReturnArray, "content");
        eq(data("user.der"), api.signers.get(0).certificate, "signer");
        check(api._CMS_ProcessSignedAndEnvData(data("user.der"), data("user.p8"), message) != 0, "not the recipient");
    }

    public void testFilesInsideAndApart() throws Exception {
        qeltapi_jni api = new qeltapi_jni();
        Path dir = tmpDir("cms-files");
        byte[] doc = bytes(200000, 81);
        Path in = dir.resolve("doc.bin");
        Files.write(in, doc);
        String env = dir.resolve("env.der").toString(), out = dir.resolve("out.bin").toString();
        eq(0, api.CMS_MakeEnvelopedData_File(data("user.der"), in.toString(), SEED, env, "", 0), "envelop file");
        eq(0, api._CMS_ProcessEnvelopedData_File(data("user.der"), data("user.p8"), env, out), "open file");
        eq(doc, Files.readAllBytes(dir.resolve("out.bin")), "file content");
        String enc = dir.resolve("content.enc").toString();
        eq(0, api.CMS_MakeEnvelopedData_File(data("user.der"), in.toString(), DES3, env, enc, 0), "apart");
        eq(0, api._CMS_ProcessEnvelopedData_NoContent_File(data("user.der"), data("user.p8"), env, enc, out),
                "open apart");
        eq(doc, Files.readAllBytes(dir.resolve("out.bin")), "content apart");

        SignedData sd = new SignedData();
        String signed = dir.resolve("signed.der").toString();
        sd.signFile(data("user.der"), data("user.p8"), in.toString(), "", signed, 4, 0, false);
        Files.write(dir.resolve("ca.pem"), data("ca.pem"));
        SignedData.Signer signer = sd.verifyFile(signed, out, false);
        eq(data("user.der"), signer.certificate, "file signer");
        eq(doc, Files.readAllBytes(dir.resolve("out.bin")), "content written out");
        sd.signFile(data("user.der"), data("user.p8"), in.toString(), "20240102030405", signed, 0, CONTENT_INFO, true);
        eq(0, openssl(dir, "cms", "-verify", "-inform", "DER", "-in", "signed.der", "-content", "doc.bin", "-CAfile",
                "ca.pem", "-binary", "-out", "os.bin"), "openssl verifies our detached signature");
        signer = sd.verifyFile(signed, in.toString(), true);
        check(signer.signingTime > 1700000000L, "signing time " + signer.signingTime);
        Files.write(in, bytes(200000, 82));
        try {
            sd.verifyFile(signed, in.toString(), true);
            throw new AssertionError("changed detached content verified");
        } catch (QeltApiException e) {
            check(e.getCode() != 0, "code");
        }
    }
}
