package com.qelt.test;

import com.qelt.qeltapi.util.Ldap;
import com.qelt.qeltapi_jni;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;

/**
 * The LDAP natives against the slapd test directory that java_ldap_test.cpp
 * starts (its port, files and configuration come as system properties).
 */
public class LdapTest extends TestBase {
    private static final int PORT = Integer.getInteger("qelt.ldap.port", 0);
    private static final Path DIR = Paths.get(System.getProperty("qelt.ldap.dir", "."));
    private static final String CONF = System.getProperty("qelt.ldap.conf", "");
    private static final Path VERIFY = Paths.get(System.getProperty("qelt.verify", "."));
    private static final String ROOT = "cn=테스트 루트 인증기관,o=한국테스트,c=KR";

    private static String url(String dn) {
        return "ldap://127.0.0.1:" + PORT + "/" + dn;
    }

    public void testValuesByUrlAndAttribute() throws Exception {
        qeltapi_jni api = new qeltapi_jni();
        api.confFile = CONF;
        byte[] root = Files.readAllBytes(VERIFY.resolve("certs/root.der"));
        eq(0, api._LDAP_GetDataByURL(1, url(ROOT) + "?cACertificate;binary"), "CA certificate by URL");
        eq(root, api.baReturnArray, "root certificate");
        eq(0, api._LDAP_GetAnyDataByURL("cacertificate", url(ROOT)), "any attribute");
        eq(root, api.baReturnArray, "root certificate by attribute");
        eq(0, api._LDAP_GetDataByURL(6, url("cn=ca1crl,ou=dp,c=KR")), "CRL by URL");
        eq(Files.readAllBytes(VERIFY.resolve("crl/ca1.crl.der")), api.baReturnArray, "CRL");

        failed(api, api._LDAP_GetDataByURL(4, url(ROOT)), 2003, "지원되지 않는 데이터 타입입니다.");
        failed(api, api._LDAP_GetDataByURL(1, null), 1006, "획득할 데이터의 게시 위치(pszURL)를 지정해 주세요.");
        failed(api, api._LDAP_GetAnyDataByURL(null, url(ROOT)), 1006, "(pszAttribute)");
    }

    public void testCrlAndPathOfACertificate() throws Exception {
        qeltapi_jni api = new qeltapi_jni();
        api.confFile = CONF;
        byte[] good = Files.readAllBytes(DIR.resolve("good.der"));
        eq(0, api._LDAP_GetCRLByCert(good), "CRL through the distribution points");
        eq(Files.readAllBytes(DIR.resolve("expected_crl.der")), api.baReturnArray, "CRL of the certificate");
        eq(0, api._LDAP_GetCertPath(good, CONF), "CA bundle");
        eq(Files.readAllBytes(DIR.resolve("expected_path.der")), api.baReturnArray, "CA bundle of the certificate");
        eq(0, api._CERT_GetCertCount(api.baReturnArray), "bundle is a certificate list");
        check(api.nReturnInt >= 2, "issuer and root in the bundle: " + api.nReturnInt);
        failed(api, api._LDAP_GetCRLByCert(null), 1006, "인증서(pCert)를 지정해 주세요.");
        failed(api, api._LDAP_GetCertPath(good, ""), 1006, "환경파일 경로(pszConfFilePath)를 지정해 주세요.");
    }

    public void testObjectClassByCommonName() throws Exception {
        Ldap ldap = new Ldap();
        ldap.confFile = CONF;
        byte[] good = Files.readAllBytes(DIR.resolve("good.der"));
        eq(good, ldap.getDataByCN("127.0.0.1", PORT, "정상사용자", 2), "signing certificate by CN");
        check(new String(ldap.dnBuff, CP949).contains("정상사용자"), "DN " + new String(ldap.dnBuff, CP949));
        throwsCode(() -> ldap.getDataByCN("127.0.0.1", 0, "x", 2), 1006, "LDAP 디렉토리 Port(nPort)를 지정해 주세요.");
    }

    /**
     * The verification natives with nothing given but the trusted root: the CA
     * bundle built from the directory, CRLs and the ARL fetched through the
     * certificates' distribution points, all cached in the work directory.
     */
    public void testVerificationThroughTheDirectory() throws Exception {
        qeltapi_jni api = new qeltapi_jni();
        Path work = DIR.resolve("java-verify-work");
        eq(0, api._API_Init(work.toString()), "work directory");
        api.confFile = CONF;
        byte[] root = Files.readAllBytes(VERIFY.resolve("certs/root.der"));
        byte[] good = Files.readAllBytes(DIR.resolve("good.der"));
        byte[] revoked = Files.readAllBytes(DIR.resolve("revoked.der"));
        byte[] hold = Files.readAllBytes(DIR.resolve("hold.der"));
        // 6: the CA certificates by the ARL, the target by its CRL.
        eq(0, api.CERT_Verify(1, 6, 1, "", "", root, "", 0, good, 1, "", CONF, 0, null, null), "good");
        for (String kind : new String[] {"CaPubs", "CRL", "ARL"})
            try (java.util.stream.Stream<Path> files = Files.list(work.resolve("cache").resolve(kind))) {
                check(files.count() >= 1, kind + " cached");
            }
        failed(api, api.CERT_Verify(1, 6, 1, "", "", root, "", 0, revoked, 1, "", CONF, 0, null, null), 1215,
                "폐지된 인증서가 있습니다.");
        failed(api, api.CERT_Verify(1, 6, 1, "", "", root, "", 0, hold, 1, "", CONF, 0, null, null), 1214,
                "효력정지된 인증서입니다.");
        eq(0, api._CERT_CheckStatByCRL(revoked), "status of the revoked certificate");
        eq(1, api.nReturnInt, "keyCompromise");
        eq(15, api.sReturnString.length(), "revocation time " + api.sReturnString);
        eq(0, api._CERT_CheckStatByCRL(good), "status of the good certificate");
        eq(-1, api.nReturnInt, "good");
    }
}
