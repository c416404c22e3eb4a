package com.qelt.test;

import com.qelt.qeltapi.cms.SignedContent;
import com.qelt.qeltapi_jni;
import java.nio.ByteBuffer;
import java.security.MessageDigest;
import java.security.Signature;
import java.security.cert.X509Certificate;
import java.time.Instant;
import java.time.LocalDateTime;
import java.time.ZoneId;
import java.time.ZoneOffset;
import java.time.format.DateTimeFormatter;
import java.util.Arrays;
import java.util.List;
import javax.crypto.Cipher;
import javax.crypto.spec.IvParameterSpec;
import javax.crypto.spec.SecretKeySpec;

/**
 * WAP messages and challenge-response authentication from Java: round trips,
 * signatures judged by java.security.Signature over the bytes the formats say
 * are signed, a WAP envelope opened with javax.crypto, and tampered or
 * malformed messages refused with their codes.
 */
public class WapSigeaTest extends TestBase {
    private static final int DES = 0x10, DES3 = 0x20, SEED = 0x30;
    private static final byte[] OID_CONTENT_TYPE = {0x06, 0x09, 0x2A, (byte) 0x86, 0x48, (byte) 0x86, (byte) 0xF7,
            0x0D, 0x01, 0x09, 0x03};

    /** The 95-byte DER SET of signed attributes a SignedContent's signature covers. */
    private static byte[] signedBlock(byte[] utcTime12, byte[] content) throws Exception {
        ByteBuffer b = ByteBuffer.allocate(95);
        b.put(new byte[] {0x31, 0x5D, 0x30, 0x18}).put(OID_CONTENT_TYPE);
        b.put(new byte[] {0x31, 0x0B, 0x06, 0x09, 0x2A, (byte) 0x86, 0x48, (byte) 0x86, (byte) 0xF7, 0x0D, 0x01, 0x07,
                0x01});
        b.put(new byte[] {0x30, 0x1C, 0x06, 0x09, 0x2A, (byte) 0x86, 0x48, (byte) 0x86, (byte) 0xF7, 0x0D, 0x01, 0x09,
                0x05, 0x31, 0x0F, 0x17, 0x0D});
        b.put(utcTime12).put((byte) 'Z');
        b.put(new byte[] {0x30, 0x23, 0x06, 0x09, 0x2A, (byte) 0x86, 0x48, (byte) 0x86, (byte) 0xF7, 0x0D, 0x01, 0x09,
                0x04, 0x31, 0x16, 0x04, 0x14});
        b.put(MessageDigest.getInstance("SHA-1").digest(content));
        check(!b.hasRemaining(), "block is 95 bytes");
        return b.array();
    }

    private static int u16(byte[] b, int at) {
        return ((b[at] & 0xff) << 8) | (b[at + 1] & 0xff);
    }

    public void testSignedContentVerifiesWithTheJdkAndRoundTrips() throws Exception {
        qeltapi_jni api = new qeltapi_jni();
        byte[] doc = bytes(3000, 7);
        eq(0, api._WCMS_MakeSignedContent(data("user.der"), data("user.p8"), doc, "20240102030405"), "make");
        byte[] msg = api.baReturnArray;

        // version 1, RSA with SHA-1, the signature, then the signer certificate and the content.
        eq(1, (int) msg[0], "version");
        eq(1, (int) msg[1], "signature algorithm RSA");
        int sigLen = u16(msg, 2);
        byte[] sig = Arrays.copyOfRange(msg, 4, 4 + sigLen);
        int at = 4 + sigLen + 2;
        eq(3, (int) msg[at], "signer info type x509_certificate");
        int certLen = u16(msg, at + 1);
        eq(data("user.der"), Arrays.copyOfRange(msg, at + 3, at + 3 + certLen), "signer certificate inside");
        byte[] time12 = Arrays.copyOfRange(msg, msg.length - 12, msg.length);
        eq(13, (int) msg[msg.length - 14], "attribute block length");

        Signature jdk = Signature.getInstance("SHA1withRSA");
        jdk.initVerify(javaCert("user.der").getPublicKey());
        jdk.update(signedBlock(time12, doc));
        check(jdk.verify(sig), "the JDK verifies the signature over the signed-attribute block");

        eq(0, api._WCMS_ProcessSignedContent(msg), "process");
        eq(doc, api.baReturnArray, "content");
        eq(1, api.signers.size(), "one signer reported");
        eq(data("user.der"), api.signers.get(0).certificate, "signer certificate reported");
        long expected = LocalDateTime.of(2024, 1, 2, 3, 4, 5).atZone(ZoneId.systemDefault()).toEpochSecond();
        eq(expected, api.signers.get(0).signingTime, "signing time (local time text in, seconds out)");
        eq(DateTimeFormatter.ofPattern("yyMMddHHmmss").format(Instant.ofEpochSecond(expected).atOffset(ZoneOffset.UTC)),
                new String(time12), "the attribute carries the time in UTC");

        SignedContent sc = new SignedContent();
        eq(doc, sc.verify(msg), "object class content");
        eq(data("user.der"), sc.certBuff, "object class certificate");
        eq("20240102030405", sc.getSigningTime(), "object class signing time");

        byte[] flipped = msg.clone();
        flipped[msg.length - 30] ^= 0x01;  // a content byte
        failed(api, api._WCMS_ProcessSignedContent(flipped), 1810, "서명값을 검증하는데 실패하였습니다.");
        throwsCode(() -> sc.verify(flipped), 1810, "서명값을 검증하는데 실패하였습니다.");
        failed(api, api._WCMS_ProcessSignedContent(Arrays.copyOf(msg, 40)), 1519, "잘못된 서명 메시지");
        throwsCode(() -> sc.verify(null), 1006, "서명 메시지(pSignedData)를 지정해 주세요.");
    }

    public void testSignedContentBadInput() throws Exception {
        qeltapi_jni api = new qeltapi_jni();
        failed(api, api._WCMS_MakeSignedContent(null, data("user.p8"), "x".getBytes(), null), 1006,
                "서명자의 인증서(pCert)를 지정해 주세요.");
        failed(api, api._WCMS_MakeSignedContent(data("user.der"), new byte[0], "x".getBytes(), ""), 1006,
                "서명자의 개인키(pPriKey)를 지정해 주세요.");
        failed(api, api._WCMS_MakeSignedContent(data("user.der"), data("user.p8"), null, ""), 1006,
                "서명할 데이터(pTBSData)를 지정해 주세요.");
        // An encrypted key is no opened private key.
        failed(api, api._WCMS_MakeSignedContent(data("user.der"), data("user_enc.p8"), "x".getBytes(), ""), 1305,
                "복호화된 개인키가 아닙니다.");
        check(api._WCMS_MakeSignedContent("garbage".getBytes(), data("user.p8"), "x".getBytes(), "") != 0,
                "a garbage certificate is refused");
        // Signed without a time: the current time.
        long before = System.currentTimeMillis() / 1000 - 2;
        eq(0, api._WCMS_MakeSignedContent(data("user.der"), data("user.p8"), "now".getBytes(), null), "no time");
        eq(0, api._WCMS_ProcessSignedContent(api.baReturnArray), "verifies");
        check(api.signers.get(0).signingTime >= before, "signing time is now");
    }

    public void testWapEnvelopedDataOpensWithJavaxCrypto() throws Exception {
        qeltapi_jni api = new qeltapi_jni();
        byte[] bizCert = testData("ident/biz.der"), bizKey = testData("ident/biz.p8");
        byte[] doc = bytes(1500, 9);
        eq(0, api._WCMS_MakeWapEnvelopedData(bizCert, doc, DES3), "make 3DES");
        byte[] msg = api.baReturnArray;

        // version, 3DES-CBC, the IV, RSA key management, the recipient's key identifier, the key, the content.
        eq(1, (int) msg[0], "version");
        eq(1, (int) msg[1], "3DES");
        int ivLen = msg[2];
        eq(8, ivLen, "IV length");
        byte[] iv = Arrays.copyOfRange(msg, 3, 3 + ivLen);
        int at = 3 + ivLen;
        eq(3, (int) msg[at], "RSA key management");
        eq(1, (int) msg[at + 1], "key identifier");
        int ridLen = msg[at + 2];
        byte[] rid = Arrays.copyOfRange(msg, at + 3, at + 3 + ridLen);
        X509Certificate jc = javaCert("../../data/ident/biz.der");
        byte[] ski = Der.parse(Der.parse(jc.getExtensionValue("2.5.29.14")).value).value;
        eq(ski, rid, "recipient named by its subject key identifier");
        at += 3 + ridLen;
        int keyLen = msg[at] & 0xff;
        byte[] encKey = Arrays.copyOfRange(msg, at + 1, at + 1 + keyLen);
        at += 1 + keyLen;
        int encLen = u16(msg, at);
        eq(msg.length, at + 2 + encLen, "the content ends the message");
        byte[] enc = Arrays.copyOfRange(msg, at + 2, at + 2 + encLen);

        Cipher rsa = Cipher.getInstance("RSA/ECB/PKCS1Padding");
        rsa.init(Cipher.DECRYPT_MODE, javaKey("../../data/ident/biz.p8"));
        byte[] key = rsa.doFinal(encKey);
        eq(24, key.length, "3DES key");
        Cipher des3 = Cipher.getInstance("DESede/CBC/PKCS5Padding");
        des3.init(Cipher.DECRYPT_MODE, new SecretKeySpec(key, "DESede"), new IvParameterSpec(iv));
        eq(doc, des3.doFinal(enc), "javax.crypto opens the content");

        eq(0, api._WCMS_ProcessWapEnvelopedData(bizCert, bizKey, msg), "process");
        eq(doc, api.baReturnArray, "plain text");
        eq(0, api._WCMS_MakeWapEnvelopedData(bizCert, doc, SEED), "make SEED");
        eq(9, (int) api.baReturnArray[1], "SEED code");
        eq(0, api._WCMS_ProcessWapEnvelopedData(bizCert, bizKey, api.baReturnArray), "process SEED");
        eq(doc, api.baReturnArray, "SEED plain text");

        // Another recipient's certificate cannot open it; a changed identifier neither.
        failed(api, api._WCMS_ProcessWapEnvelopedData(testData("ident/user.der"), testData("ident/user.p8"), msg),
                1507, "해당 인증서로는 데이터를 풀 수 없습니다.");
        byte[] otherRid = msg.clone();
        otherRid[3 + ivLen + 3] ^= 0x40;
        failed(api, api._WCMS_ProcessWapEnvelopedData(bizCert, bizKey, otherRid), 1507, "");
        failed(api, api._WCMS_ProcessWapEnvelopedData(bizCert, bizKey, Arrays.copyOf(msg, 20)), 1521,
                "잘못된 암호 메시지(WapEnvelopedData)입니다.");
        failed(api, api._WCMS_MakeWapEnvelopedData(bizCert, doc, DES), 1800, "DES 알고리즘을 지원하지 않습니다.");
        failed(api, api._WCMS_MakeWapEnvelopedData(bizCert, doc, 0x50), 1800, "지원되지 않는 대칭키 알고리즘입니다.");
        failed(api, api._WCMS_MakeWapEnvelopedData(null, doc, DES3), 1006, "수신자 인증서(pRecCert)를 지정해 주세요.");
        failed(api, api._WCMS_MakeWapEnvelopedData(bizCert, new byte[0], DES3), 1006,
                "암호화할 데이터(pTBEData)를 지정해 주세요.");
        failed(api, api._WCMS_ProcessWapEnvelopedData(bizCert, null, msg), 1006, "개인키(pPriKey)를 지정해 주세요.");
        failed(api, api._WCMS_MakeWapEnvelopedData("garbage".getBytes(), doc, DES3), 1200, "잘못된 인증서 입니다.");
    }

    public void testChallengeResponseJudgedByTheJdk() throws Exception {
        qeltapi_jni api = new qeltapi_jni();
        eq(0, api._SIGEA_MakeChallenge(), "challenge");
        byte[] challenge = api.baReturnArray;
        eq(20, challenge.length, "SEQUENCE { OCTET STRING (16) }");
        eq("30120410", hex(Arrays.copyOf(challenge, 4)), "framing");
        eq(0, api._SIGEA_MakeChallenge(), "second challenge");
        check(!Arrays.equals(challenge, api.baReturnArray), "two challenges differ");
        byte[] serverChallenge = Der.parse(challenge).children().get(0).value;

        eq(0, api._SIGEA_MakeResponse(challenge, data("user.der"), data("user.p8")), "response");
        byte[] response = api.baReturnArray;
        List<Der> parts = Der.parse(response).children();
        eq(5, parts.size(), "five components");
        byte[] clientRandom = parts.get(0).value;
        eq(16, clientRandom.length, "client random");
        eq("client", new String(parts.get(1).value), "role");
        eq("2a864886f70d010105", hex(parts.get(2).children().get(0).value), "sha1WithRSAEncryption");
        byte[] bits = parts.get(3).value;
        eq(0, (int) bits[0], "no unused bits");
        eq(data("user.der"), parts.get(4).encoded, "certificate as given");

        Signature jdk = Signature.getInstance("SHA1withRSA");
        jdk.initVerify(javaCert("user.der").getPublicKey());
        jdk.update(clientRandom);
        jdk.update(serverChallenge);
        jdk.update("client".getBytes());
        check(jdk.verify(Arrays.copyOfRange(bits, 1, bits.length)), "the JDK verifies the response's signature");

        eq(0, api._SIGEA_VerifyResponse(response, challenge), "verify");
        eq(data("user.der"), api.baReturnArray, "client certificate returned");

        eq(0, api._SIGEA_MakeChallenge(), "another challenge");
        failed(api, api._SIGEA_VerifyResponse(response, api.baReturnArray), 1810, "서명값을 검증하는데 실패하였습니다.");
        byte[] flipped = response.clone();
        flipped[10] ^= 1;  // a byte of the client random (after 30 82 LL LL 04 10)
        failed(api, api._SIGEA_VerifyResponse(flipped, challenge), 1810, "");
        byte[] twoParts = {0x30, 0x06, 0x04, 0x01, 0x01, 0x04, 0x01, 0x02};
        failed(api, api._SIGEA_MakeResponse(twoParts, data("user.der"), data("user.p8")), 4000,
                "잘못된 형식의 도전값입니다.");
        failed(api, api._SIGEA_VerifyResponse(response, twoParts), 4000, "잘못된 형식의 도전값입니다.");
        failed(api, api._SIGEA_VerifyResponse("garbage".getBytes(), challenge), 4002, "잘못된 응답 메시지입니다.");
        failed(api, api._SIGEA_MakeResponse(null, data("user.der"), data("user.p8")), 1006,
                "서버로부터 받은 도전값(pChallenge)을 지정하세요.");
        failed(api, api._SIGEA_MakeResponse(challenge, data("user.der"), data("user_enc.p8")), 1305,
                "복호화된 개인키가 아닙니다.");
        failed(api, api._SIGEA_VerifyResponse(new byte[0], challenge), 1006,
                "클라이언트로 부터 받은 응답 메시지(pResponse)를 지정하세요.");
    }
}
