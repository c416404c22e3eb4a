#include "path_test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ctime>

#include "ASN1Pkix/pkcs_keys.h"
#include "ASN1Pkix/trust_and_identity.h"
#include "ASN1Pkix/x509_crl.h"
#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/zr_hash.h"
#include "ZRProcess/PPrivateKey.h"
#include "pkix_test_support.h"
#include "util/time_text.h"

namespace qelt::test::path {

namespace {

ByteString encodedOf(Asn1Codec& value) { return ByteString(value.encodeComponent()); }

Ext make(const char* oid, bool critical, Asn1Codec& value) { return Ext{oid, critical, encodedOf(value)}; }

ByteString keyBits(const ByteString& spki) {
    RSubjectPublicKeyInfo info(spki);
    const ByteString& bits = info.getSubjectPublicKey().getValue();
    return ByteString(bits.data() + 1, bits.length() - 1);
}

ByteString sha1(const ByteString& in) {
    ZRHash hash;
    ByteString out;
    EXPECT_EQ(hash.DigestData(ALG_SHA1, in, out), 0);
    return out;
}

RAlgorithmIdentifier algorithm(const std::string& oid) {
    RAlgorithmIdentifier alg;
    alg.editAlgorithm().setOID(oid.c_str());
    if (oid.rfind("1 2 840 113549", 0) == 0) {
        ASN1Any null;
        null.set(ByteString("\x05\x00", 2));
        alg.setParameters(null);
    }
    return alg;
}

ByteString sign(const Signer& key, const ByteString& tbs) {
    PPrivateKey pri;
    EXPECT_EQ(pri.setPrivateKeyInfo(key.pkcs8), 0);
    ByteString signature;
    EXPECT_EQ(pri.genSignature(key.hash, tbs, signature, &key.spki, false), 0) << pri.errorText();
    return signature;
}

ASN1BitString bitsOf(const ByteString& bytes) {
    ASN1BitString bits;
    bits.setBitString(bytes.data(), bytes.length(), 0);
    return bits;
}

RExtensions extensionsOf(const std::vector<Ext>& list) {
    RExtensions out;
    for (const Ext& e : list) {
        RExtension ext;
        ext.editExtnID().setOID(e.oid.c_str());
        if (e.critical) {
            ASN1Boolean yes;
            yes.setBoolean(1);
            ext.setCritical(yes);
        }
        ext.editExtnValue().setValue(e.value);
        out.addElement(ext);
    }
    return out;
}

}  // namespace

ByteString dataFile(const std::string& n) {
    const auto v = readFileBytes(std::filesystem::path(QELT_TEST_DATA_DIR) / "path" / n);
    return ByteString(v.data(), static_cast<int>(v.size()));
}

Signer signer(const std::string& n) {
    Signer s;
    s.pkcs8 = dataFile(n + ".p8");
    if (n.rfind("kcdsa", 0) == 0) {
        s.spki = dataFile(n + ".spki");
        s.hash = ALG_SHA1;
        s.sigOid = "1 2 410 200004 1 23";
    } else {
        RCertificate cert(dataFile(n + ".der"));
        RSubjectPublicKeyInfo spki = cert.getTbsCertificate().getSubjectPublicKeyInfo();
        s.spki = spki.toASN1Object();
        const bool rsa = n.rfind("rsa", 0) == 0;
        s.hash = rsa ? ALG_SHA256 : ALG_SHA1;
        s.sigOid = rsa ? "1 2 840 113549 1 1 11" : "1 2 840 10045 4 1";
    }
    return s;
}

RRDNSequence name(std::initializer_list<std::pair<const char*, const char*>> rdns) {
    RRDNSequence out;
    for (const auto& [oid, value] : rdns) {
        RAttributeTypeAndValue atv;
        atv.editType().setOID(oid);
        ASN1UTF8String text;
        text.setValue(value);
        ASN1Any any;
        any.set(text.toASN1Object());
        atv.setValue(any);
        RRelativeDistinguishedName rdn;
        rdn.addElement(atv);
        out.addElement(rdn);
    }
    return out;
}

RRDNSequence qeltName(const char* cn) { return name({{"2 5 4 6", "KR"}, {"2 5 4 10", "Qelt"}, {"2 5 4 3", cn}}); }

Ext basicConstraints(bool ca, int pathLen, bool critical) {
    RBasicConstraints bc;
    if (ca) {
        ASN1Boolean yes;
        yes.setBoolean(1);
        bc.setCA(yes);
    }
    if (pathLen >= 0) {
        ASN1Integer n;
        n.setInteger(pathLen);
        bc.setPathLenConstraint(n);
    }
    return make("2 5 29 19", critical, bc);
}

Ext keyUsage(uint8_t firstOctet, bool critical) {
    ASN1BitString bits;
    bits.setBitString(&firstOctet, 1, 1);
    return make("2 5 29 15", critical, bits);
}

Ext subjectKeyId(const ByteString& spki) {
    ASN1OctetString id;
    id.setValue(sha1(keyBits(spki)));
    return make("2 5 29 14", false, id);
}

Ext authorityKeyId(const ByteString& issuerSpki) {
    RAuthorityKeyIdentifier aki;
    ASN1OctetString id;
    id.setValue(sha1(keyBits(issuerSpki)));
    aki.setKeyIdentifier(id);
    return make("2 5 29 35", false, aki);
}

Ext policies(std::initializer_list<const char*> oids) {
    RCertificatePolicies list;
    for (const char* oid : oids) {
        RPolicyInformation info;
        info.editPolicyIdentifier().setOID(oid);
        list.addElement(info);
    }
    return make("2 5 29 32", false, list);
}

Ext policyMappings(std::initializer_list<std::pair<const char*, const char*>> pairs, bool critical) {
    RPolicyMappings list;
    for (const auto& [from, to] : pairs) {
        ASN1Sequence pair;
        ASN1ObjectIdentifier a(from), b(to);
        pair.addComponent(a.toASN1Object());
        pair.addComponent(b.toASN1Object());
        list.addElement(pair.toASN1Object());
    }
    return make("2 5 29 33", critical, list);
}

Ext extKeyUsage(const std::vector<const char*>& oids) {
    RExtKeyUsageSyntax list;
    for (const char* oid : oids) {
        ASN1ObjectIdentifier id(oid);
        list.addElement(id.toASN1Object());
    }
    return make("2 5 29 37", false, list);
}

Ext subjectAltName(std::vector<RGeneralName> names, bool critical) {
    RGeneralNames list;
    for (RGeneralName& n : names) list.addElement(n);
    return make("2 5 29 17", critical, list);
}

Ext nameConstraints(std::vector<RGeneralName> permitted, std::vector<RGeneralName> excluded) {
    const auto subtrees = [](std::vector<RGeneralName>& names) {
        RGeneralSubtrees list;
        for (RGeneralName& n : names) {
            RGeneralSubtree subtree;
            subtree.setBase(n);
            list.addElement(subtree);
        }
        return list;
    };
    RNameConstraints nc;
    if (!permitted.empty()) nc.setPermittedSubtrees(subtrees(permitted));
    if (!excluded.empty()) nc.setExcludedSubtrees(subtrees(excluded));
    return make("2 5 29 30", true, nc);
}

Ext crlDistributionPoint(const char* uri, const RRDNSequence* crlIssuer) {
    RDistributionPoint dp;
    RGeneralNames full;
    RGeneralName u = uriName(uri);
    full.addElement(u);
    RDistributionPointName dpn;
    dpn.setFullName(full);
    dp.setDistributionPoint(dpn);
    if (crlIssuer != nullptr) {
        RGeneralNames issuers;
        RGeneralName d = directoryName(*crlIssuer);
        issuers.addElement(d);
        dp.setCRLIssuer(issuers);
    }
    RCRLDistPointsSyntax list;
    list.addElement(dp);
    return make("2 5 29 31", false, list);
}

Ext raw(const char* oid, bool critical, const ByteString& value) { return Ext{oid, critical, value}; }

// A GeneralName of one of the IA5String forms, set by `choose`.
template <class Setter>
RGeneralName ia5Name(const char* text, Setter choose) {
    RGeneralName n;
    ASN1IA5String s;
    s.setValue(text);
    (n.*choose)(s);
    return n;
}

RGeneralName dnsName(const char* text) { return ia5Name(text, &RGeneralName::setDNSName); }
RGeneralName rfc822Name(const char* text) { return ia5Name(text, &RGeneralName::setRfc822Name); }
RGeneralName uriName(const char* text) { return ia5Name(text, &RGeneralName::setUniformResourceIdentifier); }

RGeneralName ipAddress(std::vector<uint8_t> octets) {
    RGeneralName n;
    ASN1OctetString s;
    s.setValue(octets.data(), static_cast<int>(octets.size()));
    n.setIPAddress(s);
    return n;
}

RGeneralName directoryName(const RRDNSequence& dn) {
    RGeneralName n;
    n.setDirectoryName(dn);
    return n;
}

RGeneralName otherName() {
    RGeneralName n;
    RAnotherName other;
    other.editTypeId().setOID("1 2 3 4");
    ASN1Any value;
    value.set(ByteString("\xA0\x03\x02\x01\x01", 5));
    other.setValue(value);
    n.setOtherName(other);
    return n;
}

int64_t at(int year, int month, int day, int hour, int min, int sec) {
    return daysFromCivil(year, month, day) * 86400 + hour * 3600 + min * 60 + sec;
}

RTime timeOf(int64_t seconds) {
    const time_t t = static_cast<time_t>(seconds);
    struct tm tm {};
    gmtime_r(&t, &tm);
    const int year = tm.tm_year + 1900;
    char text[32];
    ByteString der;
    if (year < 2050) {
        std::snprintf(text, sizeof text, "%02d%02d%02d%02d%02d%02dZ", year % 100, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
                      tm.tm_min, tm.tm_sec);
        der.append(static_cast<uint8_t>(0x17));
    } else {
        std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02dZ", year, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
                      tm.tm_min, tm.tm_sec);
        der.append(static_cast<uint8_t>(0x18));
    }
    der.append(static_cast<uint8_t>(std::strlen(text)));
    der.append(text);
    return RTime(der);
}

ByteString issue(const CertPlan& plan, const Signer& issuer) {
    RTBSCertificate tbs;
    tbs.setVersion(2);
    tbs.editSerialNumber().setInteger(plan.serial.data(), static_cast<int>(plan.serial.size()), 0);
    tbs.setSignature(algorithm(issuer.sigOid));
    tbs.setIssuer(plan.issuer);
    RValidity validity;
    validity.setNotBefore(timeOf(plan.notBefore));
    validity.setNotAfter(timeOf(plan.notAfter));
    tbs.setValidity(validity);
    tbs.setSubject(plan.subject);
    tbs.setSubjectPublicKeyInfo(RSubjectPublicKeyInfo(plan.spki));
    if (!plan.extensions.empty()) tbs.setExtensions(extensionsOf(plan.extensions));
    const ByteString tbsDer(tbs.toASN1Object());
    EXPECT_EQ(tbs.errorCode(), 0) << tbs.errorText();
    RCertificate cert;
    cert.setTbsCertificate(RTBSCertificate(tbsDer));
    cert.setSignatureAlgorithm(algorithm(issuer.sigOid));
    cert.setSignature(bitsOf(sign(issuer, tbsDer)));
    ByteString der(cert.toASN1Object());
    EXPECT_EQ(cert.errorCode(), 0) << cert.errorText();
    return der;
}

CertPlan caSpec(const RRDNSequence& subject, const RRDNSequence& issuer, const ByteString& spki,
                const ByteString& issuerSpki) {
    CertPlan s;
    s.subject = subject;
    s.issuer = issuer;
    s.spki = spki;
    s.notBefore = at(2024, 1, 1);
    s.notAfter = at(2049, 6, 30);
    s.extensions = {basicConstraints(true), keyUsage(0x06), subjectKeyId(spki), authorityKeyId(issuerSpki)};
    return s;
}

CertPlan eeSpec(const RRDNSequence& subject, const RRDNSequence& issuer, const ByteString& spki,
                const ByteString& issuerSpki) {
    CertPlan s;
    s.subject = subject;
    s.issuer = issuer;
    s.spki = spki;
    s.notBefore = at(2024, 1, 1);
    s.notAfter = at(2048, 12, 31);
    s.serial = {0x8F, 0x01};
    s.extensions = {keyUsage(0x80), subjectKeyId(spki), authorityKeyId(issuerSpki)};
    return s;
}

ByteString bundle(std::initializer_list<ByteString> certs) {
    RPCaPubs list;
    for (const ByteString& c : certs) list.addElement(c);
    return ByteString(list.toASN1Object());
}

ByteString issueCrl(const CrlSpec& plan, const Signer& issuer) {
    GTBSCertList tbs;
    tbs.setVersion(1);
    tbs.setSignature(algorithm(issuer.sigOid));
    tbs.setIssuer(plan.issuer);
    tbs.setThisUpdate(timeOf(plan.thisUpdate));
    if (plan.nextUpdate != 0) tbs.setNextUpdate(timeOf(plan.nextUpdate));
    if (!plan.entries.empty()) {
        ByteString entries;
        for (const CrlEntry& e : plan.entries) {
            RRevokedCertificate entry;
            entry.editUserCertificate().setInteger(e.serial.data(), static_cast<int>(e.serial.size()), 0);
            entry.setRevocationDate(timeOf(e.when));
            ByteString exts;
            if (e.reason >= 0) {
                RExtension reason;
                reason.editExtnID().setOID("2 5 29 21");
                const uint8_t value[] = {0x0A, 0x01, static_cast<uint8_t>(e.reason)};
                reason.editExtnValue().setValue(value, 3);
                exts.append(reason.toASN1Object());
            }
            exts.append(e.extraExtensions);
            if (!exts.isEmpty()) {
                ByteString list;
                list.append(static_cast<uint8_t>(0x30));
                appendLengthOctets(list, static_cast<size_t>(exts.length()));
                list.append(exts);
                entry.setCrlEntryExtensions(RExtensions(list));
            }
            entries.append(entry.toASN1Object());
        }
        ByteString list;
        list.append(static_cast<uint8_t>(0x30));
        appendLengthOctets(list, static_cast<size_t>(entries.length()));
        list.append(entries);
        ASN1Any any;
        any.set(list);
        tbs.setRevokedCertificates(any);
    }
    if (!plan.extensions.empty()) {
        tbs.setCrlExtensions(extensionsOf(plan.extensions));
    }
    const ByteString tbsDer(tbs.toASN1Object());
    EXPECT_EQ(tbs.errorCode(), 0) << tbs.errorText();
    GCertificateList crl;
    crl.setTbsCertList(GTBSCertList(tbsDer));
    crl.setSignatureAlgorithm(algorithm(issuer.sigOid));
    crl.setSignature(bitsOf(sign(issuer, tbsDer)));
    ByteString der(crl.toASN1Object());
    EXPECT_EQ(crl.errorCode(), 0) << crl.errorText();
    return der;
}

}  // namespace qelt::test::path
