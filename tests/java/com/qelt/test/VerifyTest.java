package com.qelt.test;

import com.qelt.qeltapi_jni;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Base64;

/**
 * The verification natives without a directory: the CA bundle in the object's
 * capubs field, the CRLs and the ARL of tests/data/verify placed in the work
 * directory's caches, the trusted root passed to CERT_Verify. OpenSSL's
 * verify command judges the same certificates against the same CRLs.
 */
public class VerifyTest extends TestBase {
    private static final Path VERIFY = TESTDATA.resolve("verify");
    private static final String POLICY = "1.2.410.200004.5.9999.1";
    private static final int SCOPE = 1, SIGN = 1;
    private static Path work;
    private static String conf;

    private static byte[] v(String name) throws Exception {
        return Files.readAllBytes(VERIFY.resolve(name));
    }

    /** A certificate list of the named certificates, built by CERT_AddCert. */
    private static byte[] list(qeltapi_jni api, String... certs) throws Exception {
        byte[] out = null;
        for (String c : certs) {
            eq(0, api.CERT_AddCert(v("certs/" + c + ".der"), out), "add " + c);
            out = api.baReturnArray;
        }
        return out;
    }

    /** A call object whose natives see the bundle, the caches and the configuration. */
    private static qeltapi_jni api() throws Exception {
        qeltapi_jni api = new qeltapi_jni();
        if (work == null) {
            work = tmpDir("verify-work");
            for (String[] c : new String[][] {{"CRL", "cn=ca1crl,ou=dp,c=KR", "crl/ca1.crl.der"},
                    {"CRL", "cn=ca2crl,ou=dp,c=KR", "crl/ca2.crl.der"},
                    {"ARL", "cn=rootarl,ou=dp,c=KR", "crl/root.arl.der"}}) {
                Files.createDirectories(work.resolve("cache").resolve(c[0]));
                Files.write(work.resolve("cache").resolve(c[0]).resolve(c[1] + ".crl"), v(c[2]));
            }
            conf = work.resolve("qelt.conf").toString();
            Files.writeString(work.resolve("qelt.conf"), "[VALIDATOIN_OPTION]\nLDAP_INFO_COUNT = 0\n");
        }
        eq(0, api._API_Init(work.toString()), "work directory");
        api.capubs = list(api, "ca1", "ca2", "root");
        api.confFile = conf;
        return api;
    }

    private int verify(qeltapi_jni api, String cert, int revocation, String time, String ips) throws Exception {
        return api.CERT_Verify(SCOPE, revocation, 1, time, "", list(api, "root"), "", 0, v("certs/" + cert + ".der"),
                SIGN, ips, conf, 0, null, null);
    }

    private static void pem(Path dir, String name, String type, byte[] der) throws Exception {
        Files.writeString(dir.resolve(name), "-----BEGIN " + type + "-----\n"
                + Base64.getMimeEncoder(64, "\n".getBytes()).encodeToString(der) + "\n-----END " + type + "-----\n");
    }

    public void testRevocationOptionsAndOpenSslAgree() throws Exception {
        qeltapi_jni api = api();
        Object[][] cases = {{"ee_good", 16, 0}, {"ee_revoked", 16, 0}, {"ee_good", 4, 0}, {"ee_revoked", 4, 1215},
                {"ee_hold", 4, 1214}, {"ee_ca2", 2, 1215}, {"ee_revoked", 2, 0}, {"ee_revoked", 8, 1239},
                {"ee_good", 1, 0}, {"ee_revoked", 1, 1215}, {"ee_ca2", 1, 1215}};
        for (Object[] c : cases)
            eq(c[2], verify(api, (String) c[0], (Integer) c[1], "", ""), c[0] + " under option " + c[1]);
        failed(api, verify(api, "ee_revoked", 4, "", ""), 1215, "검증하고자 하는 인증서의 폐지 여부 확인 - ");
        failed(api, verify(api, "ee_ca2", 2, "", ""), 1215, "인증기관 인증서 폐지 여부 확인 - ");

        // OpenSSL, given the same root, CAs, CRLs and ARL, decides the same way.
        Path dir = tmpDir("verify-openssl");
        pem(dir, "root.pem", "CERTIFICATE", v("certs/root.der"));
        pem(dir, "cas.pem", "CERTIFICATE", v("certs/ca1.der"));
        pem(dir, "ca2.pem", "CERTIFICATE", v("certs/ca2.der"));
        pem(dir, "crls.pem", "X509 CRL", v("crl/ca1.crl.der"));
        pem(dir, "ca2crl.pem", "X509 CRL", v("crl/ca2.crl.der"));
        pem(dir, "arl.pem", "X509 CRL", v("crl/root.arl.der"));
        for (String[] c : new String[][] {{"ee_good", "0"}, {"ee_revoked", "1215"}, {"ee_hold", "1214"},
                {"ee_ca2", "1215"}}) {
            pem(dir, "t.pem", "CERTIFICATE", v("certs/" + c[0] + ".der"));
            int ours = verify(api, c[0], 6, "", "");
            eq(Integer.parseInt(c[1]), ours, c[0] + " with CRL and ARL");
            int theirs = openssl(dir, "verify", "-CAfile", "root.pem", "-untrusted", "cas.pem", "-untrusted", "ca2.pem",
                    "-crl_check_all", "-CRLfile", "crls.pem", "-CRLfile", "ca2crl.pem", "-CRLfile", "arl.pem", "t.pem");
            eq(ours == 0, theirs == 0, c[0] + ": openssl verify agrees (" + Files.readString(dir.resolve("openssl.log"))
                    + ")");
        }
    }

    public void testStatusByCrl() throws Exception {
        qeltapi_jni api = api();
        eq(0, api._CERT_CheckStatByCRL(v("certs/ee_revoked.der")), "revoked");
        eq(1, api.nReturnInt, "keyCompromise");
        eq("20240302000000Z", api.sReturnString, "revocation time");
        eq(0, api._CERT_CheckStatByCRL(v("certs/ee_hold.der")), "on hold");
        eq(6, api.nReturnInt, "certificateHold");
        eq(0, api._CERT_CheckStatByCRL(v("certs/ee_good.der")), "good");
        eq(-1, api.nReturnInt, "no reason");
        eq("", api.sReturnString, "no time");
        failed(api, api._CERT_CheckStatByCRL(v("certs/ee_root3.der")), 1224, "인증서 경로 구성을 실패하였습니다.");
        failed(api, api._CERT_CheckStatByCRL(null), 1006, "상태를 확인할 인증서(pCert)를 지정해 주세요.");
        failed(api, api._CERT_CheckStatByOCSP(v("certs/ee_good.der"), v("certs/ca1.der"), "http://127.0.0.1:1/", null),
                1007, "윈도우 클라이언트 모듈에서는 인증서 상태검증을 지원하지 않습니다.");
    }

    public void testPoliciesTimesTrustAndArguments() throws Exception {
        qeltapi_jni api = api();
        eq(0, verify(api, "ee_good", 16, "", POLICY), "the certificate's policy");
        failed(api, verify(api, "ee_good", 16, "", "1.2.3.4"), 1238, "인증서 정책 검증을 실패하였습니다.");
        eq(0, verify(api, "ee_good", 16, "", "1.2.3.4;" + POLICY + ";"), "two policies, one the certificate's");
        failed(api, verify(api, "ee_good", 16, "20231231000000Z", ""), 1234, "유효기간 검증을 실패하였습니다.");
        eq(0, verify(api, "ee_good", 16, "20300101000000Z", ""), "valid in 2030");
        failed(api, verify(api, "ee_good", 16, "2030010100000", ""), 1242,
                "시간은 YYYYMMDDhhmmss(z(Z)) 형식으로 설정해야 한다.");

        byte[] good = v("certs/ee_good.der");
        // One trusted certificate instead of a list; none at all.
        eq(0, api.CERT_Verify(SCOPE, 16, 1, "", "", v("certs/root.der"), "", 0, good, SIGN, "", conf, 0, null, null),
                "a single trusted root");
        failed(api, api.CERT_Verify(SCOPE, 16, 1, "", "", null, "", 0, good, SIGN, "", conf, 0, null, null), 1225,
                "신뢰하는 최상위 인증기관 인증서를 지정하세요.");
        failed(api, api.CERT_Verify(2, 16, 1, "", "", list(api, "root"), "", 0, good, SIGN, "", conf, 0, null, null),
                1007, "인증서 검증 범위를 지정할 수 없습니다.");
        // Nothing is remembered between natives: a call without the bundle has none.
        api.capubs = null;
        check(api.CERT_Verify(SCOPE, 16, 0, "", "", list(api, "root"), "", 0, good, SIGN, "", conf, 0, null,
                null) != 0, "no bundle, no directory");
        api.capubs = list(api, "ca1", "root");

        // Signed OCSP requests name the requester; its key may come under a password.
        byte[] trusted = list(api, "root");
        failed(api, api.CERT_Verify(SCOPE, 16, 1, "", "", trusted, "", 0, good, SIGN, "", conf, 1, null, null), 1006,
                "OCSP 요청자의 인증서(pMyCert)를 지정하세요.");
        eq(0, api.CERT_Verify(SCOPE, 16, 1, "", "", trusted, "qwer1234", 4, good, SIGN, "", conf, 1, data("user.der"),
                data("user_enc.p8")), "requester key opened with its password");
        failed(api, api.CERT_Verify(SCOPE, 16, 1, "", "", trusted, "wrong", 4, good, SIGN, "", conf, 1,
                data("user.der"), data("user_enc.p8")), 1301, "비밀번호를 확인하세요.");
        failed(api, api.CERT_Verify(SCOPE, 16, 1, "", "", trusted, "", 0, null, SIGN, "", conf, 0, null, null), 1006,
                "검증할 인증서(pCert)를 지정해 주세요.");
        failed(api, api.CERT_Verify(SCOPE, 16, 1, "", "", trusted, "", 0, good, SIGN, "", "", 0, null, null), 1006,
                "환경 파일 위치(pszConfFilePath)를 지정해 주세요.");
        failed(api, api.CERT_Verify(SCOPE, 16, 1, "", "", trusted, "", 0, "garbage".getBytes(), SIGN, "", conf, 0,
                null, null), 1200, "잘못된 검증하고자 하는 인증서 입니다.");
    }
}
