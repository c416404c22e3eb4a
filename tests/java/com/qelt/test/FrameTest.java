package com.qelt.test;

import com.qelt.qeltapi.util.Pem;
import com.qelt.qeltapi_jni;
import java.io.ByteArrayInputStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.security.cert.CertificateFactory;
import java.security.cert.X509Certificate;
import java.util.Base64;

/** Version and information texts, Base64 and PEM, whole files, argument conversions and the error fields. */
public class FrameTest extends TestBase {
    public void testVersionAndInfoTexts() {
        qeltapi_jni api = new qeltapi_jni();
        eq(0, api._API_GetVersion(), "version");
        check(api.sReturnString.matches("V\\d+\\.\\d+\\.\\d+\\.\\d+"), "version text " + api.sReturnString);
        String version = api.sReturnString;
        // The tests run with a Korean default charset, so the library's texts arrive intact.
        eq(0, api.API_GetInfo(1024), "info");
        check(api.sReturnString.contains("[API 버전] : " + version + "\r\n"), "info text " + api.sReturnString);
        // A buffer too small for the text: 1004 in both error fields, nothing thrown.
        int rc = api.API_GetInfo(4);
        failed(api, rc, 1004, "");
        eq("포인터에 할당한 메모리의 사이즈가 충분하지 않음", new String(api.baReturnArray, CP949), "standing message");
    }

    public void testBase64AgainstTheJdk() {
        qeltapi_jni api = new qeltapi_jni();
        for (int n : new int[] {1, 2, 3, 57, 1000, 70000}) {
            byte[] in = bytes(n, n);
            eq(0, api._BASE64_Encode(in), "encode " + n);
            String text = new String(api.baReturnArray).replaceAll("[\r\n]", "");
            eq(Base64.getEncoder().encodeToString(in), text, "Base64 of " + n + " bytes");
            eq(0, api._BASE64_Decode(Base64.getEncoder().encode(in)), "decode " + n);
            eq(in, api.baReturnArray, "decoded " + n);
        }
        failed(api, api._BASE64_Decode("@@not base64@@".getBytes()), 1901, "");
    }

    public void testPemReadByTheJdkAndOpenSslPemRead() throws Exception {
        byte[] der = data("user.der");
        Pem pem = new Pem();
        String text = pem.encode(1, der);
        check(text.startsWith("-----BEGIN CERTIFICATE-----"), "PEM header: " + text);
        X509Certificate c = (X509Certificate) CertificateFactory.getInstance("X.509")
                .generateCertificate(new ByteArrayInputStream(text.getBytes()));
        eq(der, c.getEncoded(), "the JDK reads our PEM back to the same certificate");
        eq(der, pem.decode(data("user.pem")), "OpenSSL's PEM decodes to the DER");
        throwsCode(() -> pem.decode("garbage".getBytes()), 4106, "");
    }

    public void testWholeFilesWithDirectories() throws Exception {
        qeltapi_jni api = new qeltapi_jni();
        Path file = tmpDir("files").resolve("a/b/c.bin");
        byte[] content = bytes(100000, 7);
        eq(0, api._STORAGE_WriteFile(file.toString(), content), "write");
        eq(content, Files.readAllBytes(file), "written bytes");
        eq(0, api._STORAGE_ReadFile(file.toString()), "read");
        eq(content, api.baReturnArray, "read bytes");
        String missing = file.resolveSibling("missing.bin").toString();
        failed(api, api._STORAGE_ReadFile(missing), 1402, missing);
    }

    /** Null and empty arrays and strings arrive as empty inputs: the library names the missing argument. */
    public void testNullAndEmptyInputsGetTheLibraryArgumentErrors() {
        qeltapi_jni api = new qeltapi_jni();
        String hashMessage = "해쉬값을 생성할 데이터(pTBHData)를 지정해 주세요.";
        failed(api, api._CRYPT_Hash(4, null), 1006, hashMessage);
        eq("올바르지 않은 인자값", new String(api.baReturnArray, CP949), "standing message of 1006");
        failed(api, api._CRYPT_Hash(4, new byte[0]), 1006, hashMessage);
        failed(api, api._STORAGE_ReadFile(null), 1006, "");
        failed(api, api._PRIKEY_Decrypt(null, null), 1006, "");
        failed(api, api.CERT_GetUID(null), 1006, "");
        failed(api, api._CMS_ProcessSignedData(null), 1006, "");
        failed(api, api.CRYPT_Encrypt(0x20, null, null, new byte[] {1}), 1006, "");
        // A success afterwards leaves the fields of the result only.
        eq(0, api._CRYPT_Hash(4, new byte[] {1}), "hash after failures");
        eq(32, api.baReturnArray.length, "digest length");
    }

    /** A callback that throws gives 5002 and no exception in the caller. */
    public void testThrowingCallbackGives5002() throws Exception {
        qeltapi_jni api = new qeltapi_jni() {
            @Override
            protected void setSignerCert(int index, int count, byte[] cert, long signingTime, byte[] signature,
                    byte[] timeStampToken, byte[] content) {
                throw new IllegalStateException("refused");
            }
        };
        eq(0, api._CMS_MakeSignedData(data("user.der"), data("user.p8"), "x".getBytes(), "", 0), "sign");
        int rc = api._CMS_ProcessSignedData(api.baReturnArray);
        eq(5002, rc, "callback failure code");
        eq("Java method call error", new String(api.baReturnArray, CP949), "standing message of 5002");
        eq("ErrCode=5002,ErrMsg=NO ERROR MESSAGE !", new String(api.bDetailErrMsg, CP949), "detail of 5002");
    }
}
