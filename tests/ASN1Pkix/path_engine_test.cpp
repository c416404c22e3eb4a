// The path engine on chains made by the openssl command and on certificates
// issued per test with the committed keys: signatures over RSA, ECDSA and
// KCDSA keys, composition, trust, validity, constraints, key usage by purpose,
// policies and name constraints, with the reason codes and messages the
// verification service reports.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "ASN1Pkix/PRFC3280_PathValidation.h"
#include "path_test_support.h"
#include "util/cp949_literal.h"

namespace qelt::test {
namespace {

using namespace path;
using Engine = PRFC3280_PathValidation;

const int64_t kNow = at(2030, 1, 1);

bool has(const ByteString& text, const char* part) { return text.find(part) >= 0; }

// compose + trust (the root must be `anchor`) + verify; returns verifyCert's code.
struct Outcome {
    int compose = -1, trust = -1, verify = -1;
    bool trusted = false;
    int reason = 0;
    std::string message, chain;
};
Outcome validate(Engine& e, const ByteString& target, const ByteString& caPubs, const ByteString& anchor,
                 int64_t when = kNow) {
    Outcome r;
    e.setValidationTime(when);
    e.addTrustAnchor(anchor);
    r.compose = e.composeCertPath(target, caPubs);
    r.chain = e.errorText();
    if (r.compose != 0) return r;
    r.trust = e.trustRootCert(r.trusted);
    r.verify = e.verifyCert(Engine::kTargetEndEntity);
    r.reason = e.getReason();
    r.message = e.getReasonMessage().c_str();
    r.chain = e.errorText();
    return r;
}

// A chain root -> ca -> ee issued with the keys of one family.
struct Chain {
    Signer root, ca, ee;
    RRDNSequence rootName = qeltName("Root"), caName = qeltName("CA"), eeName = qeltName("EE");
    CertPlan rootSpec, caSpec_, eeSpec_;

    explicit Chain(const std::string& family)
        : root(signer(family + "_root")), ca(signer(family + "_ca")), ee(signer(family + "_ee")) {
        rootSpec = path::caSpec(rootName, rootName, root.spki, root.spki);
        rootSpec.notAfter = at(2049, 12, 31);
        caSpec_ = path::caSpec(caName, rootName, ca.spki, root.spki);
        eeSpec_ = path::eeSpec(eeName, caName, ee.spki, ca.spki);
    }
    ByteString rootCert() const { return issue(rootSpec, root); }
    ByteString caCert() const { return issue(caSpec_, root); }
    ByteString eeCert() const { return issue(eeSpec_, ca); }
    ByteString caPubs() const { return bundle({caCert(), rootCert()}); }
};

TEST(PathEngine, OpensslChainsOfRsaAndEcdsaValidate) {
    for (const char* family : {"rsa", "ec", "ec256"}) {
        SCOPED_TRACE(family);
        const std::string f(family);
        Engine e;
        const Outcome r =
            validate(e, dataFile(f + "_ee.der"), bundle({dataFile(f + "_root.der"), dataFile(f + "_ca.der")}),
                     dataFile(f + "_root.der"));
        ASSERT_EQ(r.compose, 0) << r.chain;
        EXPECT_TRUE(r.trusted);
        EXPECT_EQ(r.verify, 0) << r.chain;
        ASSERT_EQ(e.getCertCount(), 3);
        EXPECT_TRUE(e.getCert(0) == dataFile(f + "_root.der"));
        EXPECT_TRUE(e.getCert(2) == dataFile(f + "_ee.der"));
        EXPECT_STREQ(e.getOCSPURL(2).c_str(), "http://127.0.0.1:8080/ocsp");
        EXPECT_FALSE(e.getCRLDPs(2).isEmpty());
        EXPECT_TRUE(e.getCRLDPs(0).isEmpty());
    }
}

TEST(PathEngine, LibraryIssuedChainsValidateAndATamperedSignatureFails) {
    for (const char* family : {"rsa", "ec", "kcdsa"}) {
        SCOPED_TRACE(family);
        const Chain c(family);
        Engine e;
        Outcome r = validate(e, c.eeCert(), c.caPubs(), c.rootCert());
        ASSERT_EQ(r.compose, 0) << r.chain;
        EXPECT_EQ(r.verify, 0) << r.chain;

        ByteString bad = c.eeCert();
        bad.data()[bad.length() - 5] ^= 0x01;  // inside the signature value
        Engine e2;
        r = validate(e2, bad, c.caPubs(), c.rootCert());
        EXPECT_EQ(r.verify, 6) << r.chain;
        EXPECT_TRUE(r.chain.find("basicCertProcess-signature(2)") != std::string::npos) << r.chain;
        EXPECT_EQ(r.reason, 0);
    }
}

TEST(PathEngine, CompositionFindsTheIssuerAnywhereAndStopsOnCyclesAndMissingRoots) {
    const Chain c("rsa");
    // Unrelated certificates first, the root before its subordinate.
    const ByteString noisy =
        bundle({dataFile("ec_ca.der"), dataFile("ec_root.der"), c.rootCert(), dataFile("rsa_ee.der"), c.caCert()});
    Engine e;
    EXPECT_EQ(validate(e, c.eeCert(), noisy, c.rootCert()).verify, 0);

    // Two CAs naming each other as issuer: neither is self-issued, so the scan goes round.
    const RRDNSequence a = qeltName("Loop A"), b = qeltName("Loop B");
    const Signer& ka = c.ca;
    const Signer& kb = c.root;
    const ByteString certA = issue(caSpec(a, b, ka.spki, kb.spki), kb);
    const ByteString certB = issue(caSpec(b, a, kb.spki, ka.spki), ka);
    CertPlan leaf = eeSpec(qeltName("Leaf"), a, c.ee.spki, ka.spki);
    Engine loop;
    const int rc = loop.composeCertPath(issue(leaf, ka), bundle({certA, certB}));
    EXPECT_EQ(rc, 3);
    EXPECT_TRUE(has(loop.errorChain(), "The compose path is failed.")) << loop.errorText();

    // A self-issued top whose self-signature does not verify is no root.
    ByteString brokenRoot = c.rootCert();
    brokenRoot.data()[brokenRoot.length() - 3] ^= 0x40;
    Engine noRoot;
    EXPECT_EQ(noRoot.composeCertPath(c.eeCert(), bundle({c.caCert(), brokenRoot})), 7);
    EXPECT_TRUE(has(noRoot.errorChain(), "The Building path is failed."));

    // A chain certificate without an Authority Key Identifier stops composition.
    Chain plain("rsa");
    plain.caSpec_.extensions.pop_back();
    Engine noAki;
    EXPECT_EQ(noAki.composeCertPath(plain.eeCert(), bundle({plain.caCert(), plain.rootCert()})), 5);
    EXPECT_TRUE(has(noAki.errorChain(), "The subject certificate does not have AKI extension field."));

    Engine bad;
    EXPECT_EQ(bad.composeCertPath(c.eeCert(), ByteString("not a bundle")), 1);
    EXPECT_EQ(bad.composeCertPath(ByteString("\x30\x03\x02\x01\x01", 5), c.caPubs()), 2);
    EXPECT_EQ(bad.composeCertPath(c.eeCert(), bundle({ByteString("\x30\x03\x02\x01\x01", 5)})), 4);
    // Accessors before and outside a path.
    EXPECT_TRUE(bad.getCert(0).isEmpty());
    EXPECT_TRUE(has(bad.errorChain(), "First, Compose Cert path"));
    EXPECT_EQ(bad.verifyCert(0), 1);
}

TEST(PathEngine, TrustAnchorsMatchByExactEncoding) {
    const Chain c("rsa");
    Engine e;
    bool found = true;
    EXPECT_EQ(e.trustRootCert(found), 1);
    e.addTrustAnchor(c.rootCert());
    EXPECT_EQ(e.trustRootCert(found), 2);
    ASSERT_EQ(e.composeCertPath(c.eeCert(), c.caPubs()), 0);
    EXPECT_EQ(e.trustRootCert(found), 0);
    EXPECT_TRUE(found);

    // Same name and key, another serial number: not the same anchor.
    CertPlan twin = c.rootSpec;
    twin.serial = {0x02};
    Engine other;
    other.addTrustAnchor(issue(twin, c.root));
    ASSERT_EQ(other.composeCertPath(c.eeCert(), c.caPubs()), 0);
    EXPECT_EQ(other.trustRootCert(found), 0);
    EXPECT_FALSE(found);
    EXPECT_EQ(other.getCertCount(), 3);
    EXPECT_TRUE(other.getCert(3).isEmpty());
    EXPECT_TRUE(has(other.errorChain(), "The index(3) exceed the certCount(3)."));
}

TEST(PathEngine, ValidityNestsAndUsesTheValidationTime) {
    Chain c("rsa");
    // Equal notAfter passes; one second later fails with 4119.
    c.eeSpec_.notAfter = c.caSpec_.notAfter;
    Engine equal;
    EXPECT_EQ(validate(equal, c.eeCert(), c.caPubs(), c.rootCert()).verify, 0);
    c.eeSpec_.notAfter = c.caSpec_.notAfter + 1;
    Engine later;
    Outcome r = validate(later, c.eeCert(), c.caPubs(), c.rootCert());
    EXPECT_EQ(r.verify, 6);
    EXPECT_EQ(r.reason, Engine::kReasonCAValidity);
    EXPECT_EQ(r.message, "인증서 유효기간 오류 : 발급자의 인증서 만료날짜보다 이후인 하위 인증서가 있습니다."_cp949);

    // At notAfter the target is still valid, a second after it has expired (4100).
    c.eeSpec_.notAfter = at(2040, 1, 1);
    Engine atEnd;
    EXPECT_EQ(validate(atEnd, c.eeCert(), c.caPubs(), c.rootCert(), at(2040, 1, 1)).verify, 0);
    Engine expired;
    r = validate(expired, c.eeCert(), c.caPubs(), c.rootCert(), at(2040, 1, 1) + 1);
    EXPECT_EQ(r.reason, Engine::kReasonValidity);
    EXPECT_EQ(r.message.rfind("만료된 인증서입니다.(인증서 만료일자 : "_cp949, 0), 0u) << r.message;

    // A CA not yet valid is 4119 with the issuer's message; 2049 and later dates keep their value.
    c.caSpec_.notBefore = at(2035, 1, 1);
    c.caSpec_.notAfter = at(2049, 12, 31);
    c.eeSpec_.notAfter = at(2049, 12, 31);
    Engine early;
    r = validate(early, c.eeCert(), c.caPubs(), c.rootCert());
    EXPECT_EQ(r.verify, 4);
    EXPECT_EQ(r.reason, Engine::kReasonCAValidity);
    EXPECT_EQ(r.message.rfind("아직 유효하지 않은 발급자 인증서가 있습니다."_cp949, 0), 0u) << r.message;
    Engine lateEnough;
    EXPECT_EQ(validate(lateEnough, c.eeCert(), c.caPubs(), c.rootCert(), at(2049, 12, 30)).verify, 0);
}

TEST(PathEngine, BasicConstraintsAndPathLength) {
    Chain c("rsa");
    // Root and target only: wrap-up follows the root at once.
    CertPlan direct = eeSpec(qeltName("Direct"), c.rootName, c.ee.spki, c.root.spki);
    Engine two;
    EXPECT_EQ(validate(two, issue(direct, c.root), bundle({c.rootCert()}), c.rootCert()).verify, 0);
    EXPECT_EQ(two.getCertCount(), 2);

    // pathLen 0 on the CA forbids a further CA below it.
    const RRDNSequence subName = qeltName("Sub CA");
    c.caSpec_.extensions[0] = basicConstraints(true, 0);
    CertPlan sub = caSpec(subName, c.caName, c.ee.spki, c.ca.spki);
    CertPlan leaf = eeSpec(qeltName("Leaf"), subName, c.root.spki, c.ee.spki);
    Engine deep;
    Outcome r = validate(deep, issue(leaf, c.ee), bundle({c.caCert(), issue(sub, c.ca), c.rootCert()}), c.rootCert());
    EXPECT_EQ(r.reason, Engine::kReasonBasicConstraints);
    EXPECT_TRUE(r.chain.find("The max_path_length is not greater than zero.") != std::string::npos) << r.chain;

    c.caSpec_.extensions[0] = basicConstraints(false);
    Engine notCa;
    r = validate(notCa, c.eeCert(), c.caPubs(), c.rootCert());
    EXPECT_EQ(r.reason, Engine::kReasonBasicConstraints);
    EXPECT_EQ(r.message, "The ca certificate MUST asserted cA boolean.");

    Chain ee("rsa");
    ee.eeSpec_.extensions.push_back(basicConstraints(false, 3));
    Engine pathLenInEe;
    r = validate(pathLenInEe, ee.eeCert(), ee.caPubs(), ee.rootCert());
    EXPECT_EQ(r.message, "The user certificate MUST NOT include the pathLenConstraint field.");
}

TEST(PathEngine, KeyUsageAndExtendedKeyUsageByPurpose) {
    struct Case {
        uint8_t ku;
        std::vector<const char*> eku;
        int purpose;
        const char* message;  // null: valid
    };
    const std::vector<Case> cases = {
        {0x80, {}, Engine::kPurposeSign, nullptr},
        {0x20, {}, Engine::kPurposeSign, "서명용 인증서가 아닙니다."_cp949},
        {0x20, {}, Engine::kPurposeKeyManagement, nullptr},
        {0x80, {}, Engine::kPurposeKeyManagement, "암호화용 인증서가 아닙니다."_cp949},
        {0x80, {}, Engine::kPurposeBoth, "암호화용 인증서가 아닙니다."_cp949},
        {0xA0, {}, Engine::kPurposeBoth, nullptr},
        {0x80, {"1 3 6 1 5 5 7 3 9"}, Engine::kPurposeOcsp, nullptr},
        {0x80, {"1 3 6 1 5 5 7 3 1"}, Engine::kPurposeOcsp, "OCSP용 인증서가 아닙니다."_cp949},
        {0x40, {"1 3 6 1 5 5 7 3 8"}, Engine::kPurposeTsa, nullptr},
        {0x20,
         {"1 3 6 1 5 5 7 3 8"},
         Engine::kPurposeTsa,
         "The TimeStamping extendedKeyUsage doesn't have (a) digitalSignatue and/or nonRepudiation KeyUsageBit"},
        {0x80, {"1 3 6 1 5 5 7 3 2", "1 2 3 4 5"}, Engine::kPurposeNone, "The 1 2 3 4 5 is unknown extendedKeyUsage."},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::to_string(k.ku) + " purpose " + std::to_string(k.purpose));
        Chain c("rsa");
        c.eeSpec_.extensions[0] = keyUsage(k.ku);
        if (!k.eku.empty()) c.eeSpec_.extensions.push_back(extKeyUsage(k.eku));
        Engine e;
        e.setCertPurpose(k.purpose);
        const Outcome r = validate(e, c.eeCert(), c.caPubs(), c.rootCert());
        if (k.message == nullptr) {
            EXPECT_EQ(r.verify, 0) << r.chain;
        } else {
            EXPECT_EQ(r.verify, 7);
            EXPECT_EQ(r.reason, Engine::kReasonKeyUsage);
            EXPECT_EQ(r.message, k.message);
        }
    }
    // A CA that cannot sign certificates.
    Chain c("rsa");
    c.caSpec_.extensions[1] = keyUsage(0x02);
    Engine e;
    const Outcome r = validate(e, c.eeCert(), c.caPubs(), c.rootCert());
    EXPECT_EQ(r.reason, Engine::kReasonKeyUsage);
    EXPECT_EQ(r.message, "인증서를 발급할 수 없는 발급자 인증서가 있습니다."_cp949);
}

TEST(PathEngine, PoliciesMappingsAndExplicitPolicy) {
    const char* p1 = "1 2 410 200004 5 9999 1";
    const char* p2 = "1 2 410 200004 5 9999 2";
    // The CA maps p1 to p2 (a non-critical mapping); the EE asserts p2.
    Chain c("rsa");
    c.caSpec_.extensions.push_back(policies({p1}));
    c.caSpec_.extensions.push_back(policyMappings({{p1, p2}}));
    c.eeSpec_.extensions.push_back(policies({p2}));
    for (const auto& [ips, valid] : std::vector<std::pair<const char*, bool>>{
             {"1.2.410.200004.5.9999.1", true}, {"1.2.410.200004.5.9999.2", false}, {"2.5.29.32.0", true}}) {
        SCOPED_TRACE(ips);
        Engine e;
        ASSERT_EQ(e.addUser_initial_policy(ips, '.'), 0);
        e.setOption(0);
        EXPECT_EQ(e.getOption() & Engine::kOptInitialExplicitPolicy, Engine::kOptInitialExplicitPolicy);
        const Outcome r = validate(e, c.eeCert(), c.caPubs(), c.rootCert());
        EXPECT_EQ(r.verify == 0, valid) << r.chain;
        if (!valid) {
            EXPECT_EQ(r.reason, Engine::kReasonPolicy);
            EXPECT_EQ(r.message, "허용되지 않는 인증서 정책의 인증서입니다."_cp949);
        }
    }
    // With mapping inhibited from the start, the mapped node goes and p2 no longer chains.
    Engine inhibited;
    inhibited.addUser_initial_policy("1.2.410.200004.5.9999.1", '.');
    inhibited.setOption(Engine::kOptInitialPolicyMappingInhibit);
    EXPECT_EQ(validate(inhibited, c.eeCert(), c.caPubs(), c.rootCert()).reason, Engine::kReasonPolicy);

    // Mapping from anyPolicy is refused; a critical mapping is an unsupported critical extension.
    Chain any("rsa");
    any.caSpec_.extensions.push_back(policies({p1}));
    any.caSpec_.extensions.push_back(policyMappings({{"2 5 29 32 0", p2}}));
    Engine e;
    Outcome r = validate(e, any.eeCert(), any.caPubs(), any.rootCert());
    EXPECT_EQ(r.reason, Engine::kReasonPolicy);
    EXPECT_TRUE(r.chain.find("is equal to anyPolicy(2 5 29 32 0)") != std::string::npos) << r.chain;
    Chain critical("rsa");
    critical.caSpec_.extensions.push_back(policyMappings({{p1, p2}}, true));
    Engine e2;
    r = validate(e2, critical.eeCert(), critical.caPubs(), critical.rootCert());
    EXPECT_TRUE(r.chain.find("unsupported critical extension(2 5 29 33)") != std::string::npos) << r.chain;

    Engine badPolicy;
    EXPECT_EQ(badPolicy.addUser_initial_policy("not an oid", '.'), 2);
}

TEST(PathEngine, NameConstraintsByTextContainment) {
    const RRDNSequence permittedDn = name({{"2 5 4 6", "KR"}, {"2 5 4 10", "Qelt"}});
    struct Case {
        std::vector<RGeneralName> permitted, excluded;
        RRDNSequence subject;
        std::vector<RGeneralName> altNames;
        const char* message;
    };
    const std::vector<Case> cases = {
        {{directoryName(permittedDn)}, {}, qeltName("Inside"), {}, nullptr},
        {{directoryName(permittedDn)},
         {},
         name({{"2 5 4 6", "KR"}, {"2 5 4 10", "Other"}, {"2 5 4 3", "Out"}}),
         {},
         "발급자가 요구하는 이름 형식을 가지고 있지 않습니다."_cp949},
        {{},
         {dnsName("blocked.example")},
         qeltName("Dns"),
         {dnsName("www.blocked.example")},
         "발급자가 금지하는 형식을 가진 주체대체이름이 있습니다."_cp949},
        {{rfc822Name("qelt.example")},
         {},
         qeltName("Mail"),
         {rfc822Name("a@other.example")},
         "발급자가 요구하는 형식의 주체대체이름을 가지고 있지 않습니다."_cp949},
        {{ipAddress({192, 168, 0, 0, 255, 255, 0, 0})}, {}, qeltName("Ip"), {ipAddress({192, 168, 1, 5})}, nullptr},
        {{ipAddress({192, 168, 0, 0, 255, 255, 0, 0})},
         {},
         qeltName("Ip"),
         {ipAddress({10, 0, 0, 1})},
         "발급자가 요구하는 형식의 주체대체이름을 가지고 있지 않습니다."_cp949},
        {{uriName("qelt.example")}, {}, qeltName("Uri"), {uriName("http://www.qelt.example/x")}, nullptr},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        const Case& k = cases[i];
        Chain c("rsa");
        c.caSpec_.extensions.push_back(nameConstraints(k.permitted, k.excluded));
        c.eeSpec_.subject = k.subject;
        if (!k.altNames.empty()) c.eeSpec_.extensions.push_back(subjectAltName(k.altNames));
        Engine e;
        const Outcome r = validate(e, c.eeCert(), c.caPubs(), c.rootCert());
        if (k.message == nullptr) {
            EXPECT_EQ(r.verify, 0) << r.chain;
        } else {
            EXPECT_EQ(r.reason, Engine::kReasonNameConstraints) << r.chain;
            EXPECT_EQ(r.message, k.message);
        }
    }
    // A form that cannot be constrained.
    Chain c("rsa");
    c.caSpec_.extensions.push_back(nameConstraints({otherName()}, {}));
    Engine e;
    const Outcome r = validate(e, c.eeCert(), c.caPubs(), c.rootCert());
    EXPECT_EQ(r.reason, Engine::kReasonNameConstraints);
    EXPECT_TRUE(r.chain.find("The generalName type (0) is not supported.") != std::string::npos) << r.chain;
}

TEST(PathEngine, CriticalExtensionsEmptySubjectsAndTheStrictOption) {
    Chain c("rsa");
    c.eeSpec_.extensions.push_back(raw("1 2 3 4 5 6", true, ByteString("\x05\x00", 2)));
    Engine e;
    Outcome r = validate(e, c.eeCert(), c.caPubs(), c.rootCert());
    EXPECT_TRUE(r.chain.find("The certificate contains an unsupported critical extension(1 2 3 4 5 6).") !=
                std::string::npos)
        << r.chain;

    Chain empty("rsa");
    empty.eeSpec_.subject = RRDNSequence(ByteString("\x30\x00", 2));
    empty.eeSpec_.extensions.push_back(subjectAltName({dnsName("ee.example")}, false));
    Engine e2;
    r = validate(e2, empty.eeCert(), empty.caPubs(), empty.rootCert());
    EXPECT_TRUE(r.chain.find("subjectAltName extension MUST be marked critical.") != std::string::npos) << r.chain;

    // Name constraints in an end-entity certificate: refused only with the strict option.
    Chain strict("rsa");
    strict.eeSpec_.extensions.push_back(nameConstraints({dnsName("qelt.example")}, {}));
    Engine lenient;
    EXPECT_EQ(validate(lenient, strict.eeCert(), strict.caPubs(), strict.rootCert()).verify, 0);
    Engine picky;
    picky.setStrictOption();
    r = validate(picky, strict.eeCert(), strict.caPubs(), strict.rootCert());
    EXPECT_EQ(r.verify, 7);
    EXPECT_TRUE(r.chain.find("The name constraints extension, which MUST be used only in a CA certificate.") !=
                std::string::npos)
        << r.chain;
}

// Decoded bundles and targets are kept per thread by their exact bytes: a
// certificate with the same names and keys but other contents, or a bundle
// differing in one byte, must be judged on its own bytes, and going back to
// the first inputs must give the first answer again.
TEST(PathEngine, KeptDecodingsNeverAnswerForAnotherCertificate) {
    const Chain c("rsa");
    const ByteString good = c.caPubs(), ee = c.eeCert(), root = c.rootCert();
    const auto run = [&](const ByteString& target, const ByteString& caPubs) {
        Engine e;
        return validate(e, target, caPubs, root);
    };
    ASSERT_EQ(run(ee, good).verify, 0);

    // The same CA, not yet valid: only its validity differs.
    Chain twin("rsa");
    twin.caSpec_.notBefore = at(2035, 1, 1);
    const ByteString twinBundle = twin.caPubs();
    Outcome r = run(ee, twinBundle);
    EXPECT_EQ(r.verify, 4) << r.chain;
    EXPECT_EQ(r.reason, Engine::kReasonCAValidity);
    EXPECT_EQ(run(ee, good).verify, 0);

    // One byte of the CA's signature changed inside the bundle.
    ByteString flipped = good;
    const ByteString ca = c.caCert();
    const int caAt = flipped.find(ca.data(), ca.length());
    ASSERT_GE(caAt, 0);
    flipped.data()[caAt + ca.length() - 5] ^= 0x01;
    r = run(ee, flipped);
    EXPECT_EQ(r.verify, 4) << r.chain;
    EXPECT_TRUE(r.chain.find("basicCertProcess-signature(2)") != std::string::npos) << r.chain;

    // The same end entity, expired: the target is not taken from the kept one.
    Chain expiredEe("rsa");
    expiredEe.eeSpec_.notAfter = at(2029, 1, 1);
    r = run(expiredEe.eeCert(), good);
    EXPECT_EQ(r.verify, 6) << r.chain;
    EXPECT_EQ(r.reason, Engine::kReasonValidity);
    EXPECT_EQ(run(ee, good).verify, 0);

    // With the bundle kept, a target that does not decode is still refused as such.
    Engine bad;
    EXPECT_EQ(bad.composeCertPath(ByteString("\x30\x03\x02\x01\x01", 5), good), 2);
    // Trust follows the anchors of each call, not those of an earlier one.
    Engine untrusted;
    untrusted.addTrustAnchor(dataFile("rsa_root.der"));
    bool found = true;
    ASSERT_EQ(untrusted.composeCertPath(ee, good), 0);
    EXPECT_EQ(untrusted.trustRootCert(found), 0);
    EXPECT_FALSE(found);

    // Threads validating the good and the not-yet-valid bundles at the same
    // time each get their own answers.
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int k = 0; k < 10; ++k) {
                const bool useGood = (k + t) % 2 == 0;
                const Outcome o = run(ee, useGood ? good : twinBundle);
                if (o.verify != (useGood ? 0 : 4)) ++wrong;
            }
        });
    for (std::thread& th : threads) th.join();
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
}  // namespace qelt::test
