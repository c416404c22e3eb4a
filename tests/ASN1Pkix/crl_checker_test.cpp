// The CRL checker and the service-level CRL verification: an OpenSSL-made CRL,
// CRLs issued per test with the committed RSA CA key, the raw revoked-list
// search and its walk, and every refusal with its code and message.
#include <gtest/gtest.h>

#include <string>

#include "ASN1Pkix/GCertListProcess.h"
#include "api/crl_verify.h"
#include "path_test_support.h"
#include "test_support.h"
#include "util/cp949_literal.h"

namespace qelt::test {
namespace {

using namespace path;

const int64_t kNow = at(2030, 1, 1);

class CrlCheck : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(QELT_API_Init(&m_handle, scratchDir("crl-check").c_str()), 0);
        m_ctx = static_cast<ApiContext*>(m_handle);
        m_ctx->tVerifyTime = kNow;
        m_spec.issuer = RCertificate(caCert).getTbsCertificate().getSubject();
        m_spec.thisUpdate = at(2029, 1, 1);
        m_spec.nextUpdate = at(2031, 1, 1);
        m_spec.extensions = {authorityKeyId(ca.spki)};
    }
    void TearDown() override { QELT_API_Finish(&m_handle); }

    int verify(const ByteString& crl, const ByteString& subject, CrlRevocation& out) {
        ApiCall call(*m_ctx, "test");
        return verifyCRL(call, crl.bytes(), caCert, subject, out);
    }
    std::string message() const { return m_ctx->pszErrMsg != nullptr ? m_ctx->pszErrMsg : ""; }
    // A certificate of the RSA CA with this serial number.
    ByteString subjectWithSerial(std::vector<uint8_t> serial) {
        CertPlan s = eeSpec(qeltName("Subject"), m_spec.issuer, ee.spki, ca.spki);
        s.serial = std::move(serial);
        return issue(s, ca);
    }

    const Signer ca = signer("rsa_ca"), ee = signer("rsa_ee");
    const ByteString caCert = dataFile("rsa_ca.der");
    CrlSpec m_spec;
    void* m_handle = nullptr;
    ApiContext* m_ctx = nullptr;
};

TEST_F(CrlCheck, OpensslCrlListsTheHighSerialWithItsReason) {
    const ByteString crl = dataFile("rsa_ca.crl");
    CrlRevocation out;
    // Serial 00 8F 01: found only because the pattern puts the 00 back.
    ASSERT_EQ(verify(crl, dataFile("rsa_ee.der"), out), 0) << message();
    EXPECT_TRUE(out.listed);
    EXPECT_EQ(out.reason, 1);
    EXPECT_STREQ(out.revocationDate.c_str(), "240601000000Z");
    EXPECT_FALSE(out.generalizedTime);
    EXPECT_EQ(out.revocationTime, at(2024, 6, 1));
    EXPECT_STREQ(crlReasonName(out.reason), "keyCompromise");
    // The CA certificate (serial 2) is not listed.
    ASSERT_EQ(verify(crl, subjectWithSerial({0x02}), out), 0) << message();
    EXPECT_FALSE(out.listed);
    EXPECT_TRUE(out.revocationDate.isEmpty());
    // Serial 05 is on hold.
    ASSERT_EQ(verify(crl, subjectWithSerial({0x05}), out), 0);
    EXPECT_EQ(out.reason, 6);

    GCertificateList record;
    ASSERT_EQ(record.decodeInPlace(crl.bytes()), 0);
    EXPECT_EQ(record.getTbsCertList().getRevokedCertificateCount(), 2);
    size_t offset = 0;
    std::span<const uint8_t> entry;
    int seen = 0;
    while (record.getTbsCertList().nextRevokedCertificate(offset, entry) == 0) ++seen;
    EXPECT_EQ(seen, 2);
}

TEST_F(CrlCheck, ASerialInsideAnotherEntrysExtensionIsNotRevoked) {
    // Entry 05 carries an extension whose value holds the octets of INTEGER 0x1234.
    RExtension ext;
    ext.editExtnID().setOID("1 2 3 4");
    ext.editExtnValue().setValue(ByteString("\x02\x02\x12\x34", 4));
    m_spec.entries = {{{0x05}, at(2029, 6, 1), 4, ByteString(ext.toASN1Object())}};
    CrlRevocation out;
    ASSERT_EQ(verify(issueCrl(m_spec, ca), subjectWithSerial({0x12, 0x34}), out), 0) << message();
    EXPECT_FALSE(out.listed);
    m_spec.entries.push_back({{0x12, 0x34}, at(2029, 7, 1), -1, {}});
    ASSERT_EQ(verify(issueCrl(m_spec, ca), subjectWithSerial({0x12, 0x34}), out), 0) << message();
    EXPECT_TRUE(out.listed);
    EXPECT_EQ(out.reason, -1);
}

TEST_F(CrlCheck, TimesAndReasonsRefuseTheCrl) {
    CrlRevocation out;
    const ByteString subject = subjectWithSerial({0x07});
    m_spec.thisUpdate = at(2031, 1, 1);
    m_spec.nextUpdate = at(2032, 1, 1);
    EXPECT_EQ(verify(issueCrl(m_spec, ca), subject, out), QELT_ERR_CRL_BAD_VALIDITY);
    EXPECT_NE(message().find("인증서 폐지 목록을 발급한 시간("_cp949), std::string::npos) << message();

    m_spec.thisUpdate = at(2028, 1, 1);
    m_spec.nextUpdate = at(2029, 1, 1);
    EXPECT_EQ(verify(issueCrl(m_spec, ca), subject, out), QELT_ERR_CRL_EXPIRED);
    EXPECT_NE(message().find("이미 유효기간이 지난 CRL 입니다.(현재 시간 : "_cp949), std::string::npos);

    // Without nextUpdate the CRL does not expire.
    m_spec.nextUpdate = 0;
    EXPECT_EQ(verify(issueCrl(m_spec, ca), subject, out), 0) << message();

    m_spec.nextUpdate = at(2031, 1, 1);
    m_spec.entries = {{{0x07}, at(2029, 6, 1), 11, {}}};
    EXPECT_EQ(verify(issueCrl(m_spec, ca), subject, out), QELT_ERR_CRL_INVALID);
    EXPECT_NE(message().find("알 수 없는 폐지 사유(11)가 지정되어있습니다."_cp949), std::string::npos) << message();
    m_spec.entries[0].reason = 10;
    EXPECT_EQ(verify(issueCrl(m_spec, ca), subject, out), 0);
    EXPECT_STREQ(crlReasonName(out.reason), "aACompromise");
}

TEST_F(CrlCheck, AtMostFifteenRecognisedExtensions) {
    CrlRevocation out;
    const ByteString subject = subjectWithSerial({0x07});
    const Ext number = raw("2 5 29 20", false, ByteString("\x02\x01\x01", 3));
    m_spec.extensions.assign(14, number);
    m_spec.extensions.push_back(authorityKeyId(ca.spki));
    EXPECT_EQ(verify(issueCrl(m_spec, ca), subject, out), 0) << message();
    m_spec.extensions.push_back(number);
    EXPECT_EQ(verify(issueCrl(m_spec, ca), subject, out), QELT_ERR_CRL_INVALID);
    EXPECT_NE(message().find("The m_nIndex(15) is more or equal than CRL_EXTENSION_MAX_CNT(15)"), std::string::npos)
        << message();
}

TEST_F(CrlCheck, EachCheckRefusesWithItsMessage) {
    const ByteString subject = subjectWithSerial({0x07});
    const ByteString caSubject = subjectWithSerial({0x09});
    struct Case {
        const char* what;
        std::function<void(CrlSpec&, Signer&, ByteString& subjectCert)> change;
        int code;
        const char* detail;
    };
    const RRDNSequence other = qeltName("Other CA");
    const std::vector<Case> cases = {
        {"signed by another key", [&](CrlSpec&, Signer& s, ByteString&) { s = signer("rsa_ee"); }, QELT_ERR_CRL_INVALID,
         "PSignatureCheck::verify-signature(3)"},
        {"issued under another name", [&](CrlSpec& c, Signer&, ByteString&) { c.issuer = other; }, QELT_ERR_CRL_INVALID,
         "CRL Issuer Dn is different from Issuer Certificate subjectName."},
        {"unknown critical extension",
         [&](CrlSpec& c, Signer&, ByteString&) {
             c.extensions.push_back(raw("1 2 3 4", true, ByteString("\x05\x00", 2)));
         },
         QELT_ERR_CRL_INVALID, "CRL Extension(1 2 3 4, critical) is UNKNOWN"},
        {"unknown extension, not critical",
         [&](CrlSpec& c, Signer&, ByteString&) {
             c.extensions.push_back(raw("1 2 3 4", false, ByteString("\x05\x00", 2)));
         },
         0, nullptr},
        {"authority key of another CA",
         [&](CrlSpec& c, Signer&, ByteString&) { c.extensions = {authorityKeyId(signer("rsa_root").spki)}; },
         QELT_ERR_CRL_INVALID, "CRL AuthorityKeyIdentifier is different from Issuer SubjectKeyIdentifier."},
        {"issuerAltName the CA lacks",
         [&](CrlSpec& c, Signer&, ByteString&) {
             Ext ian = subjectAltName({dnsName("ca.example")});
             ian.oid = "2 5 29 18";
             c.extensions.push_back(ian);
         },
         QELT_ERR_CRL_INVALID, "CRL Issuer Alt Name is different from IssuerCert SubjectAltName."},
        {"attribute certificates only",
         [&](CrlSpec& c, Signer&, ByteString&) {
             c.extensions.push_back(raw("2 5 29 28", true, ByteString("\x30\x03\x85\x01\xFF", 5)));
         },
         QELT_ERR_CRL_INVALID, "The onlyContainsAttributeCerts is asserted."},
        {"CA certificates only, end-entity subject",
         [&](CrlSpec& c, Signer&, ByteString&) {
             c.extensions.push_back(raw("2 5 29 28", true, ByteString("\x30\x03\x82\x01\xFF", 5)));
         },
         QELT_ERR_CRL_INVALID, "The onlyContainsCACerts is true but, the subject Certificate is User Certificate."},
        {"user certificates only, CA subject",
         [&](CrlSpec& c, Signer&, ByteString& s) {
             c.extensions.push_back(raw("2 5 29 28", true, ByteString("\x30\x03\x81\x01\xFF", 5)));
             CertPlan plan = caSpec(qeltName("Sub"), c.issuer, signer("rsa_ee").spki, signer("rsa_ca").spki);
             s = issue(plan, signer("rsa_ca"));
         },
         QELT_ERR_CRL_INVALID, "The onlyContainsUserCerts is true but, the subject Certificate is CA Certificate."},
        {"distribution point of the IDP not the certificate's",
         [&](CrlSpec& c, Signer&, ByteString& s) {
             Ext idp = crlDistributionPoint("ldap://a.example/cn=crl");
             RCRLDistPointsSyntax list(idp.value);
             RDistributionPoint dp;
             ASSERT_EQ(list.getElement(0, dp), 0);
             // An IDP is a DistributionPoint-shaped SEQUENCE with the same [0] name.
             c.extensions.push_back(raw("2 5 29 28", true, ByteString(dp.toASN1Object())));
             CertPlan plan = eeSpec(qeltName("Subject"), c.issuer, signer("rsa_ee").spki, signer("rsa_ca").spki);
             plan.extensions.push_back(crlDistributionPoint("ldap://b.example/cn=crl"));
             s = issue(plan, signer("rsa_ca"));
         },
         QELT_ERR_CRL_INVALID, "The distributionPoint of the IDP does not match"},
        {"a cRLIssuer in the certificate's point makes it indirect",
         [&](CrlSpec& c, Signer&, ByteString& s) {
             CertPlan plan = eeSpec(qeltName("Subject"), other, signer("rsa_ee").spki, signer("rsa_root").spki);
             plan.extensions.push_back(crlDistributionPoint("ldap://a.example/cn=crl", &c.issuer));
             s = issue(plan, signer("rsa_root"));
         },
         kCrlIndirectFailed, "The CRL does not contain an IDP with the indirectCRL boolean asserted."},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        CrlSpec plan = m_spec;
        Signer key = ca;
        ByteString subjectCert = subject;
        k.change(plan, key, subjectCert);
        CrlRevocation out;
        EXPECT_EQ(verify(issueCrl(plan, key), subjectCert, out), k.code) << message();
        if (k.detail != nullptr) EXPECT_NE(message().find(k.detail), std::string::npos) << message();
    }
    // An issuer without cRLSign.
    CertPlan noCrlSign = caSpec(m_spec.issuer, qeltName("Root"), ca.spki, signer("rsa_root").spki);
    noCrlSign.extensions[1] = keyUsage(0x04);
    ApiCall call(*m_ctx, "test");
    CrlRevocation out;
    const ByteString crl = issueCrl(m_spec, ca);
    EXPECT_EQ(verifyCRL(call, crl.bytes(), issue(noCrlSign, signer("rsa_root")), subject, out), QELT_ERR_CRL_INVALID);
    EXPECT_NE(message().find("The KeyUsage in the IssuerCert does not have crlSign bit."), std::string::npos);
    // Not a CRL at all.
    EXPECT_EQ(verify(caCert, subject, out), QELT_ERR_CRL_NOT_CRL);
    EXPECT_NE(message().find("인증서 폐지 목록이 아닙니다."_cp949), std::string::npos);
    EXPECT_EQ(verify(ByteString("garbage"), subject, out), QELT_ERR_CRL_NOT_CRL);
}

TEST_F(CrlCheck, MandatoryChecksWantNextUpdateAuthorityKeyAndNumber) {
    GCertListProcess checker;
    checker.setMandatory(true);
    m_spec.nextUpdate = 0;
    const ByteString subject = subjectWithSerial({0x07});
    ByteString crl = issueCrl(m_spec, ca);
    EXPECT_EQ(checker.parseCertList(crl.bytes(), caCert, subject), 7);
    EXPECT_NE(std::string(checker.errorText()).find("NaxtUpdate does not exist."), std::string::npos);
    m_spec.nextUpdate = at(2031, 1, 1);
    crl = issueCrl(m_spec, ca);
    EXPECT_EQ(checker.parseCertList(crl.bytes(), caCert, subject), 12);
    EXPECT_NE(std::string(checker.errorText()).find("CRL Extension CRLNumber does not exist."), std::string::npos);
    m_spec.extensions.push_back(raw("2 5 29 20", false, ByteString("\x02\x01\x01", 3)));
    crl = issueCrl(m_spec, ca);
    EXPECT_EQ(checker.parseCertList(crl.bytes(), caCert, subject), 0) << checker.errorText();
    EXPECT_STREQ(checker.getExtension(GCertListProcess::kCRLNumber).toHex().c_str(), "020101");
    EXPECT_EQ(checker.getThisUpdate(), at(2029, 1, 1));

    GCertListProcess fresh;
    bool found = true;
    std::span<const uint8_t> entry;
    EXPECT_EQ(fresh.isRevoked(ByteString("\x07", 1), found, entry), 1);
    EXPECT_EQ(fresh.setExtension(GCertListProcess::kCRLNumber, ByteString("\x02\x01\x01", 3)), 2);
}

// The raw walk over hand-made revoked lists.
TEST(CrlRawSearch, WalkRefusesMalformedListsWithItsMessages) {
    struct Case {
        const char* hex;  // the revokedCertificates element
        int code;
        const char* found;  // the entry found (hex), or the walk's message
        int count;
    };
    // Entries: 3008 020107 1703323030 (serial 7), 3008 020105 1703323030 (serial 5).
    const std::vector<Case> cases = {
        {"300a30080201071703323030", 0, "30080201071703323030", 1},
        {"30143008020105170332303030080201071703323030", 0, "30080201071703323030", 2},
        {"30810a30080201071703323030", 0, "30080201071703323030", 1},  // long-form outer length
        {"310a30080201071703323030", 2, "The tag is not SEQUENCE(0x30).", -1},
        {"300a31080201071703323030", 2, "The tag is not SEQUENCE(0x30).", -1},
        {"300a30850100000000020107", 2, "Fail getAsnLength().", -1},  // five length octets
        {"300730800201070000", 2, "Fail getAsnLength().", -1},        // indefinite length
        {"300a30090201071703323030", 2, "Length error.", -1},         // entry past the end
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.hex);
        const ByteString raw = ByteString(k.hex).fromHex();
        GTBSCertList tbs;
        tbs.viewRevokedCertificates(raw.bytes());
        bool found = false;
        std::span<const uint8_t> entry;
        EXPECT_EQ(tbs.isRevoked(ByteString("\x07", 1), found, entry), k.code);
        if (k.code == 0) {
            EXPECT_TRUE(found);
            EXPECT_STREQ(ByteString(entry).toHex().c_str(), k.found);
        } else {
            EXPECT_NE(std::string(tbs.errorText()).find(k.found), std::string::npos) << tbs.errorText();
        }
        EXPECT_EQ(tbs.getRevokedCertificateCount(), k.count);
    }
    // A serial that is nowhere in the list is answered by the search alone.
    GTBSCertList tbs;
    const ByteString malformed = ByteString("310a30080201071703323030").fromHex();
    tbs.viewRevokedCertificates(malformed.bytes());
    bool found = true;
    std::span<const uint8_t> entry;
    EXPECT_EQ(tbs.isRevoked(ByteString("\x09", 1), found, entry), 0);
    EXPECT_FALSE(found);
}

TEST(CrlRawSearch, InPlaceDecodingAgreesWithTheRecord) {
    const ByteString crl = dataFile("rsa_ca.crl");
    GCertificateList inPlace, record;
    ASSERT_EQ(inPlace.decodeInPlace(crl.bytes()), 0);
    ASSERT_EQ(record.fromASN1Object(crl), 0);
    EXPECT_TRUE(ByteString(inPlace.signedBytes()) == ByteString(record.signedBytes()));
    EXPECT_TRUE(ByteString(inPlace.getTbsCertList().revokedCertificatesBytes()) ==
                ByteString(record.getTbsCertList().revokedCertificatesBytes()));
    // Encoding an in-place record gives the CRL back.
    EXPECT_TRUE(inPlace.toASN1Object() == crl);
    // Damaged CRLs get the record's codes either way.
    for (int cut : {1, 10, crl.length() / 2, crl.length() - 1}) {
        const ByteString part(crl.data(), cut);
        GCertificateList a, b;
        EXPECT_EQ(a.decodeInPlace(part.bytes()), b.fromASN1Object(part)) << cut;
    }
}

}  // namespace
}  // namespace qelt::test
