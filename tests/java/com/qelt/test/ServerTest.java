package com.qelt.test;

import com.qelt.qeltapi.tsa.TimeStampRes;
import com.qelt.qeltapi.tsa.TimeStampToken;
import com.qelt.qeltapi_jni;
import java.nio.file.Files;
import java.nio.file.Path;
import java.security.MessageDigest;

/**
 * The natives that talk to servers, run by java_online_test.cpp against the
 * loopback TSA (port qelt.tsa.port) and the test identity-verification server
 * (configuration qelt.conf). Tokens are judged by openssl ts -verify.
 */
public class ServerTest extends TestBase {
    private static final String IP = "127.0.0.1", IDN = "8001011234567";
    private static final int SHA1 = 1, SHA256 = 4;
    private final int port = Integer.getInteger("qelt.tsa.port");
    private final String conf = System.getProperty("qelt.conf");

    /** Every native call's context roots its caches in a directory of this run. */
    private static qeltapi_jni api() throws Exception {
        qeltapi_jni api = new qeltapi_jni();
        eq(0, api._API_Init(tmpDir("server-work").toString()), "work directory");
        return api;
    }

    private void opensslVerifies(byte[] doc, byte[] token, String what) throws Exception {
        Path dir = tmpDir("server-ts");
        Files.write(dir.resolve("doc.bin"), doc);
        Files.write(dir.resolve("token.der"), token);
        Files.write(dir.resolve("chain.pem"), testData("online/chain.pem"));
        eq(0, openssl(dir, "ts", "-verify", "-data", "doc.bin", "-in", "token.der", "-token_in", "-CAfile",
                "chain.pem"), "openssl ts -verify: " + what);
    }

    public void testTimeStampTokensFromTheTsa() throws Exception {
        qeltapi_jni api = api();
        byte[] doc = bytes(5000, 3);
        eq(0, api._TSP_GetToken(conf, doc, SHA256, "", 0, null, null, IP, port), "token, unsigned request");
        byte[] token = api.baReturnArray;
        opensslVerifies(doc, token, "SHA-256 token");
        eq(0, api._TSP_VerifyToken(doc, token), "our own check");
        eq(testData("online/tsa.der"), api.baReturnArray, "TSA certificate");

        // A signed request (the TSA checks its signature), SHA-1, a policy the TSA serves.
        eq(0, api._TSP_GetToken(conf, doc, SHA1, "1.2.410.200004.5.99.2", 1, data("user.der"), data("user.p8"), IP,
                port), "token, signed request");
        byte[] signedToken = api.baReturnArray;
        opensslVerifies(doc, signedToken, "SHA-1 token");
        TimeStampToken t = new TimeStampToken();
        t.parse(signedToken);
        eq(MessageDigest.getInstance("SHA-1").digest(doc), t.msgImprintBuff, "SHA-1 imprint");
        eq("1.2.410.200004.5.99.2", new String(t.policyBuff).replace(' ', '.'), "policy asked for");
        eq(16, t.nonceBuff.length, "a 16-byte nonce");
        check(t.nonceBuff[0] != 0 && t.nonceBuff[0] != (byte) 0xff, "nonce does not start with 00 or ff");

        byte[] broken = token.clone();
        broken[broken.length - 1] ^= 1;  // the end of the TSA's signature value
        failed(api, api._TSP_VerifyToken(doc, broken), 1606, "잘못된 TimeStamp 토큰입니다.");
        failed(api, api._TSP_GetToken(conf, doc, SHA256, "", 1, data("user.der"), null, IP, port), 1006,
                "요청자의 개인키를(pPriKey)를 지정해 주세요.");
    }

    public void testResponsesCheckedOutsideTheirRequest() throws Exception {
        qeltapi_jni api = api();
        byte[] doc = "refused".getBytes();
        // A policy the TSA does not serve: a rejection with its status and free text.
        eq(0, api._TSP_MakeReqMsg(doc, SHA256, "1.2.410.200004.5.99.3", 0, null, null), "request");
        eq(0, api._TSP_SendAndRecv(IP, port, api.baReturnArray), "exchange");
        byte[] rejection = api.baReturnArray;
        TimeStampRes res = new TimeStampRes();
        throwsCode(() -> res.verify(rejection), 1607, "TimeStamp 요청이 승인 되지 않았습니다. (사유 : Status = 2");
        eq(2, res.getStatus(), "rejection status");
        check(new String(res.pkiFreeText).contains("Requested policy is not supported."), "free text");
        failed(api, api._TSP_VerifyResMsg(rejection), 1607, "Status = 2");

        // A granted response: every check passes but the comparison with a
        // request, which no native context remembers.
        eq(0, api._TSP_MakeReqMsg(doc, SHA256, "", 0, null, null), "request");
        eq(0, api._TSP_SendAndRecv(IP, port, api.baReturnArray), "exchange");
        byte[] granted = api.baReturnArray;
        failed(api, api._TSP_VerifyResMsg(granted), 1610, "TimeStamp 요청 정보를 확인할 수 없습니다.");
        throwsCode(() -> res.verify(granted), 1610, "TimeStamp 요청 정보를 확인할 수 없습니다.");
        eq(0, res.getStatus(), "granted status");
        eq(null, res.timeStampToken, "no token without the request");
    }

    public void testIdentityServer() throws Exception {
        qeltapi_jni api = api();
        byte[] user = testData("ident/user.der"), requester = testData("ident/biz.der");
        byte[] km = testData("ident/ivs_km.der"), sign = testData("ident/ivs_sign.der");
        failed(api, api.VID_VerifyByIVS(conf, user, requester, "8001011234568", km, sign), 1700,
                "주민(사업자)등록번호에 대한 인증서 소유자가 아닙니다.");
        failed(api, api.VID_VerifyByIVS(conf, new byte[] {0x30, 0x03, 0x02, 0x01, 0x01}, requester, IDN, km, sign),
                1245, "지정한 본인확인 할 인증서는 인증서가 아닙니다.");
        failed(api, api.VID_VerifyByIVS(conf, "garbage".getBytes(), requester, IDN, km, sign), 1200,
                "잘못된 본인확인 할 인증서입니다.");
        eq(0, api.CERT_VerifyByIVS(conf, user, requester, sign), "a valid certificate");
        // The server's signing certificate is now the work directory's cached copy.
        eq(0, api.CERT_VerifyByIVS(conf, user, requester, null), "valid, with the cached server certificate");
        failed(api, api.CERT_VerifyByIVS(conf, requester, user, null), 1215, "폐지된 인증서 입니다.");
        // The server signs with another certificate than the one given: not trusted.
        failed(api, api.VID_VerifyByIVS(conf, user, requester, IDN, km, testData("ident/ivs_sign2.der")), 2117,
                "통합검증 서버의 서명용 인증서를 선뢰할 수 없습니다.");
        eq(0, api.VID_VerifyByIVS(conf, user, requester, IDN, km, sign), "the holder's number");
    }
}
