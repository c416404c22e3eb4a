package com.qelt.test;

import com.qelt.qeltapi.QeltApiException;
import com.qelt.qeltapi.cert.X509Certificate;
import com.qelt.qeltapi_jni;
import java.text.SimpleDateFormat;

/** Certificate fields against java.security.cert.X509Certificate, and certificate lists. */
public class CertTest extends TestBase {
    public void testObjectClassFieldsMatchTheJdk() throws Exception {
        for (String name : new String[] {"user.der", "ca.der"}) {
            java.security.cert.X509Certificate jdk = javaCert(name);
            X509Certificate ours = new X509Certificate(data(name));
            eq(jdk.getSerialNumber().toByteArray(), ours.getSerialNumber(), name + " serial");
            eq(jdk.getNotBefore().getTime() / 1000, ours.getNotBefore(), name + " notBefore");
            eq(jdk.getNotAfter().getTime() / 1000, ours.getNotAfter(), name + " notAfter (2049)");
            eq(jdk.getPublicKey().getEncoded(), ours.getSubjectPublicKeyInfo(), name + " public key info");
            // The library names it in its own spelling ("sha256 With RSAEncryption"); the JDK by OID.
            eq("1.2.840.113549.1.1.11", jdk.getSigAlgOID(), "the JDK's algorithm");
            eq("sha256withrsaencryption", ours.getSignatureAlgorithm().replace(" ", "").toLowerCase(),
                    name + " signature algorithm");
        }
        X509Certificate garbage = new X509Certificate("not a certificate".getBytes());
        try {
            garbage.getSerialNumber();
            throw new AssertionError("garbage certificate accepted");
        } catch (QeltApiException e) {
            check(e.getCode() == 1245 || e.getCode() == 1200, "code " + e.getCode());
            check(e.getMessage().startsWith("ErrCode=" + e.getCode() + ",ErrMsg="), e.getMessage());
        }
        throwsCode(() -> new X509Certificate(null).getNotAfter(), 1006, "");
    }

    public void testMirrorGettersMatchTheJdk() throws Exception {
        qeltapi_jni api = new qeltapi_jni();
        byte[] der = data("user.der");
        java.security.cert.X509Certificate jdk = javaCert("user.der");
        eq(0, api.CERT_GetSerialNum(der), "serial");
        eq(jdk.getSerialNumber().toString(16), api.sReturnString.replaceFirst("^0+", "").toLowerCase(), "serial hex");
        eq(0, api.CERT_GetSubjectName(der), "subject");
        for (String part : new String[] {"c=kr", "o=qelt test", "cn=user"})
            check(api.sReturnString.toLowerCase().contains(part), "subject " + api.sReturnString + " lacks " + part);
        eq(0, api.CERT_GetIssuerName(der), "issuer");
        check(api.sReturnString.toLowerCase().contains("cn=qelt test ca"), "issuer " + api.sReturnString);
        eq(0, api.CERT_GetValidity(der), "validity");
        SimpleDateFormat local = new SimpleDateFormat("yyyy-MM-dd HH:mm:ss");
        eq(local.format(jdk.getNotBefore()) + " ~ " + local.format(jdk.getNotAfter()), api.sReturnString, "validity");
        eq(0, api.CERT_GetPubKeyAlg(der), "public key algorithm");
        eq("rsaEncryption", api.sReturnString, "public key algorithm");
        eq("RSA", jdk.getPublicKey().getAlgorithm(), "the JDK's key algorithm");
        eq(0, api.CERT_GetCertPolicyID(der), "policy");
        check(api.sReturnString.replace(' ', '.').contains("1.2.410.200004.5.2.1.1"), "policy " + api.sReturnString);
        eq(0, api.CERT_GetKeyUsage(der), "key usage");
        check(!api.sReturnString.isEmpty(), "key usage text");
        eq(0, api.CERT_GetBasicConstraints(der), "basic constraints");
        eq(0, api.CERT_GetUID(der), "UID");
        // The CA certificate has no policies: the field's own 1202.
        failed(api, api.CERT_GetCertPolicyID(data("ca.der")), 1202, "");
        check(api.CERT_GetSubjectName(bytes(300, 1)) != 0, "garbage certificate refused");
    }

    public void testRemainingDays() throws Exception {
        qeltapi_jni api = new qeltapi_jni();
        long left = javaCert("user.der").getNotAfter().getTime() - System.currentTimeMillis();
        long expected = (left + 86399999L) / 86400000L;  // rounded up
        eq(0, api.CERT_GetRemainDays(data("user.der"), 30), "remaining days");
        check(Math.abs(api.nReturnInt - expected) <= 1, "days " + api.nReturnInt + " vs " + expected);
        api.nReturnInt = 0;
        failed(api, api.CERT_GetRemainDays(data("user.der"), 100000), 1248, "");
        check(Math.abs(api.nReturnInt - expected) <= 1, "days known under the threshold: " + api.nReturnInt);
    }

    public void testCertificateLists() throws Exception {
        qeltapi_jni api = new qeltapi_jni();
        eq(0, api.CERT_AddCert(data("user.der"), null), "start a list");
        byte[] one = api.baReturnArray;
        eq(0, api.CERT_AddCert(data("user2.der"), one), "add a second");
        byte[] two = api.baReturnArray;
        eq(0, api._CERT_GetCertCount(two), "count");
        eq(2, api.nReturnInt, "two certificates");
        eq(0, api._CERT_GetCert(two, 1), "second");
        eq(data("user2.der"), api.baReturnArray, "second certificate");
        failed(api, api._CERT_GetCert(two, 2), 1205, "");
        check(api.CERT_AddCert("junk".getBytes(), two) != 0, "a junk certificate is not added");
        check(api._CERT_GetCertCount(data("user.der")) != 0, "a certificate is not a list");
    }
}
