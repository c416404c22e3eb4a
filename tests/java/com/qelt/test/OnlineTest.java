package com.qelt.test;

import com.qelt.qeltapi.ocsp.OCSPRequest;
import com.qelt.qeltapi.ocsp.OCSPResponse;
import com.qelt.qeltapi.protocol.OCSP;
import com.qelt.qeltapi.tsa.TimeStampRes;
import com.qelt.qeltapi.tsa.TimeStampToken;
import com.qelt.qeltapi_jni;
import java.net.ServerSocket;
import java.nio.file.Files;
import java.nio.file.Path;
import java.security.MessageDigest;

/**
 * The online-service natives that need no server: identity data checked
 * locally, a time-stamp token made by OpenSSL read and checked from Java (its
 * fields against OpenSSL's own reading and the JDK's digest), the OCSP
 * classes (unsupported in this build: 1007), and servers that cannot be
 * reached (a port just closed on 127.0.0.1).
 */
public class OnlineTest extends TestBase {
    private static final String IDN = "8001011234567";
    private static final String NO_OCSP = "윈도우 클라이언트 모듈에서는 인증서 상태검증을 지원하지 않습니다.";

    /** A loopback port nothing listens on. */
    static int closedPort() throws Exception {
        try (ServerSocket s = new ServerSocket(0, 1, java.net.InetAddress.getLoopbackAddress())) {
            return s.getLocalPort();
        }
    }

    public void testIdentityCheckedLocally() throws Exception {
        qeltapi_jni api = new qeltapi_jni();
        byte[] cert = testData("ident/user.der");
        eq(0, api._VID_GetRandomFromPriKey(testData("ident/user.p8")), "random from the key");
        byte[] random = api.baReturnArray;
        eq(0, api.VID_Verify(cert, random, IDN), "the holder's number");
        failed(api, api.VID_Verify(cert, random, "8001011234568"), 1700,
                "주민(사업자)등록번호에 대한 인증서 소유자가 아닙니다.");
        byte[] otherRandom = random.clone();
        otherRandom[0] ^= 1;
        failed(api, api.VID_Verify(cert, otherRandom, IDN), 1700, "");
        failed(api, api.VID_Verify(testData("ident/plain.der"), random, IDN), 1701,
                "인증서 안에 본인확인 정보가 없습니다.");
        failed(api, api.VID_Verify(null, random, IDN), 1006, "인증서를 지정해 주세요.");
        failed(api, api.VID_Verify(cert, new byte[0], IDN), 1006, "랜덤값을 지정해 주세요.");
        failed(api, api.VID_Verify(cert, random, null), 1006, "주민(사업자)등록번호(IDN)를 지정해 주세요.");
        check(api.VID_Verify("garbage".getBytes(), random, IDN) != 0, "garbage is no certificate");
    }

    public void testTokenReadAndCheckedAgainstOpenSsl() throws Exception {
        qeltapi_jni api = new qeltapi_jni();
        byte[] doc = testData("online/sample.txt"), token = testData("online/sample.tst");
        eq(0, api._TSP_VerifyToken(doc, token), "token of the document");
        eq(testData("online/tsa.der"), api.baReturnArray, "TSA certificate");
        failed(api, api._TSP_VerifyToken("another".getBytes(), token), 1614,
                "해당 문서에 대한 시점확인 토큰이 아닙니다.");
        failed(api, api._TSP_VerifyToken(doc, null), 1006, "TimeStamp 토큰(pToken)을 지정해 주세요.");
        failed(api, api._TSP_VerifyToken(doc, "garbage".getBytes()), 1609, "TimeStamp 토큰이 아닙니다.");

        // OpenSSL's reading of the same token.
        Path dir = tmpDir("tsp-token");
        Files.write(dir.resolve("t.tst"), token);
        eq(0, openssl(dir, "ts", "-reply", "-in", "t.tst", "-token_in", "-text"), "openssl ts -reply -text");
        String text = Files.readString(dir.resolve("openssl.log"));
        String policy = field(text, "Policy OID: ");
        String serial = field(text, "Serial number: 0x");
        String nonce = field(text, "Nonce: 0x");
        byte[] digest = MessageDigest.getInstance("SHA-256").digest(doc);

        eq(0, api._TSP_GetTokenInfo(token), "token information");
        String[] info = api.tokenInfo();
        eq(8, info.length, "eight values");
        check(info[1].contains("tsa") || info[1].contains("TSA"), "TSA DN " + info[1]);
        check(info[1].contains(info[0]), "CN inside the DN");
        eq(policy.replace('.', ' '), info[2].replace('.', ' '), "policy");
        eq(hex(digest), info[4].toLowerCase(), "hash value: SHA-256 of the document");
        eq(Long.parseLong(serial, 16), Long.parseLong(info[5], 16), "serial number");
        eq(nonce.toLowerCase(), info[7].toLowerCase().replaceFirst("^0+", ""), "nonce");
        check(info[6].startsWith("20261207102227"), "generation time " + info[6]);
        failed(api, api._TSP_GetTokenInfo(new byte[0]), 1006, "TimeStamp 토큰(pToken)을 지정해 주세요.");

        TimeStampToken t = new TimeStampToken();
        t.parse(token);
        eq(digest, t.msgImprintBuff, "imprint");
        eq(testData("online/tsa.der"), t.tsaCertBuff, "TSA certificate");
        eq("20261207102227", new String(t.genTimeBuff), "generation time");
        eq("20261207102227.000000", new String(t.genTime_microBuff), "to the microsecond");
        eq(Long.parseLong(serial, 16), new java.math.BigInteger(1, t.serialNumBuff).longValue(), "serial bytes");
        eq(new java.math.BigInteger(nonce, 16), new java.math.BigInteger(1, t.nonceBuff), "nonce bytes");
        eq(policy.replace('.', ' '), new String(t.policyBuff).replace('.', ' '), "policy text");
        check(new String(t.hashAlgBuff).replace('.', ' ').equals("2 16 840 1 101 3 4 2 1"),
                "SHA-256 OID " + new String(t.hashAlgBuff));
        throwsCode(() -> t.parse("garbage".getBytes()), 1609, "TimeStamp 토큰이 아닙니다.");
    }

    private static String field(String text, String label) {
        int at = text.indexOf(label);
        check(at >= 0, "openssl printed " + label);
        int end = text.indexOf('\n', at);
        return text.substring(at + label.length(), end).trim();
    }

    public void testResponseChecksWithoutARequest() throws Exception {
        qeltapi_jni api = new qeltapi_jni();
        failed(api, api._TSP_VerifyResMsg(null), 1006, "TSA 응답 메시지(pResMsg)를 지정해 주세요.");
        failed(api, api._TSP_VerifyResMsg("garbage".getBytes()), 1604, "TSA 응답 메시지가 아닙니다.");
        TimeStampRes res = new TimeStampRes();
        throwsCode(() -> res.verify("garbage".getBytes()), 1604, "TSA 응답 메시지가 아닙니다.");
        eq(-1, res.getStatus(), "no status read from garbage");
        failed(api, api._TSP_MakeReqMsg(new byte[0], 4, "", 0, null, null), 1006, "");
        failed(api, api._TSP_MakeReqMsg("doc".getBytes(), 7, "", 0, null, null), 1803,
                "지원되지 않는 HASH 알고리즘입니다.");
        failed(api, api._TSP_MakeReqMsg("doc".getBytes(), 4, "", 1, null, data("user.p8")), 1006,
                "요청자의 인증서를(pCert)를 지정해 주세요.");
        eq(0, api._TSP_MakeReqMsg("doc".getBytes(), 4, "1.2.410.200004.5.99.1", 0, null, null), "request");
        byte[] request = api.baReturnArray;
        byte[] imprint = MessageDigest.getInstance("SHA-256").digest("doc".getBytes());
        check(java.util.Collections.indexOfSubList(toList(request), toList(imprint)) > 0, "the imprint is inside");

        int port = closedPort();
        failed(api, api._TSP_SendAndRecv("127.0.0.1", port, request), 1601, "127.0.0.1");
        failed(api, api._TSP_SendAndRecv("", port, request), 1006, "TSA 서버의 IP를 지정하세요.");
        failed(api, api._TSP_GetToken(null, "doc".getBytes(), 4, "", 0, null, null, "127.0.0.1", port), 1601,
                "TSA 서버(IP : 127.0.0.1, Port : " + port + ")에 접속하는데 실패하였습니다.");
    }

    private static java.util.List<Byte> toList(byte[] b) {
        java.util.List<Byte> l = new java.util.ArrayList<>();
        for (byte x : b) l.add(x);
        return l;
    }

    public void testOcspClassesAnswerUnsupported() throws Exception {
        OCSPRequest req = new OCSPRequest();
        throwsCode(() -> req.generate(data("user.der"), data("ca.der"), false), 1007, NO_OCSP);
        req.signerCert = data("user2.der");
        req.signerPriKey = data("user2.p8");
        throwsCode(() -> req.generate(data("user.der"), null, true), 1007, NO_OCSP);
        eq(null, req.reqMsg, "no request");
        OCSPResponse res = new OCSPResponse();
        throwsCode(() -> res.process("garbage".getBytes(), null), 1007, NO_OCSP);
        throwsCode(() -> res.verify(null, new byte[8]), 1007, NO_OCSP);
        OCSP ocsp = new OCSP();
        throwsCode(() -> ocsp.sendAndRecv("http://127.0.0.1:" + closedPort() + "/", new byte[] {1}, null), 1007,
                NO_OCSP);
    }

    public void testIdentityServerUnreachableOrUnnamed() throws Exception {
        qeltapi_jni api = new qeltapi_jni();
        // CERT_VerifyByIVS caches the server certificate it is given under the work directory.
        eq(0, api._API_Init(tmpDir("online-work").toString()), "work directory");
        Path dir = tmpDir("ivs-closed");
        Path conf = dir.resolve("ivs.ini");
        Files.writeString(conf, "[IVS]\nIP=127.0.0.1\nPORT=" + closedPort()
                + "\nSVR_KM_CERT_URL=ldap://127.0.0.1:1/cn=ivs,o=Qelt Test,c=KR\nTIME_OUT=5\n");
        byte[] user = testData("ident/user.der"), plain = testData("ident/plain.der");
        byte[] km = testData("ident/ivs_km.der"), sign = testData("ident/ivs_sign.der");
        failed(api, api.VID_VerifyByIVS(conf.toString(), user, plain, IDN, km, sign), 2100, "127.0.0.1");
        failed(api, api.CERT_VerifyByIVS(conf.toString(), user, plain, sign), 2100, "127.0.0.1");
        failed(api, api.VID_VerifyByIVS(null, user, plain, IDN, km, sign), 1006,
                "환경파일 위치(pszConfFilePath)를 지정하세요.");
        failed(api, api.VID_VerifyByIVS(conf.toString(), user, plain, "", km, sign), 1006,
                "주민(사업자)등록번호(IDN)를 지정해 주세요.");
        failed(api, api.CERT_VerifyByIVS(conf.toString(), null, plain, sign), 1006, "검증할 인증서(pCert)를 지정하세요.");
        failed(api, api.CERT_VerifyByIVS(conf.toString(), user, new byte[0], sign), 1006,
                "검증 요청자의 인증서(pMyCert)를 지정하세요.");
        Files.writeString(conf, "[IVS]\nPORT=1\n");
        failed(api, api.VID_VerifyByIVS(conf.toString(), user, plain, IDN, km, sign), 2112,
                "환경파일에 통합검증서버의 IP 정보를 지정하세요.");
    }
}
