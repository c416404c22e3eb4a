// Certificates and CRLs built for the path and CRL tests: names, extensions,
// validity and keys chosen per test, signed with the committed keys of
// tests/data/path (made by make_chains.sh) through the library's own signing.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "ASN1Pkix/x509_extensions.h"

namespace qelt::test::path {

// tests/data/path/<name>.
ByteString dataFile(const std::string& name);

// A key that signs: its PKCS#8, its SubjectPublicKeyInfo, the hash and the
// signature algorithm OID it signs with.
struct Signer {
    ByteString pkcs8, spki;
    int hash = 0;
    std::string sigOid;
};
// "rsa_root", "rsa_ca", "rsa_ee" (RSA-2048, SHA-256), "ec_root" ... (ECDSA,
// SHA-1), "kcdsa_root" ... (KCDSA-1024, SHA-1).
Signer signer(const std::string& name);

RRDNSequence name(std::initializer_list<std::pair<const char*, const char*>> rdns);
// "C=KR, O=Qelt, CN=<cn>" in the stored order c, o, cn.
RRDNSequence qeltName(const char* cn);

struct Ext {
    std::string oid;
    bool critical = false;
    ByteString value;  // the extnValue content
};
Ext basicConstraints(bool ca, int pathLen = -1, bool critical = true);
Ext keyUsage(uint8_t firstOctet, bool critical = true);
Ext subjectKeyId(const ByteString& spki);
Ext authorityKeyId(const ByteString& issuerSpki);
Ext policies(std::initializer_list<const char*> oids);
Ext policyMappings(std::initializer_list<std::pair<const char*, const char*>> pairs, bool critical = false);
Ext extKeyUsage(const std::vector<const char*>& oids);
Ext subjectAltName(std::vector<RGeneralName> names, bool critical = false);
Ext nameConstraints(std::vector<RGeneralName> permitted, std::vector<RGeneralName> excluded);
Ext crlDistributionPoint(const char* uri, const RRDNSequence* crlIssuer = nullptr);
Ext raw(const char* oid, bool critical, const ByteString& value);

RGeneralName dnsName(const char* text);
RGeneralName rfc822Name(const char* text);
RGeneralName uriName(const char* text);
RGeneralName ipAddress(std::vector<uint8_t> octets);
RGeneralName directoryName(const RRDNSequence& n);
RGeneralName otherName();

// A Time: UTCTime through 2049, GeneralizedTime after.
RTime timeOf(int64_t seconds);
int64_t at(int year, int month, int day, int hour = 0, int min = 0, int sec = 0);

struct CertPlan {
    RRDNSequence subject, issuer;
    ByteString spki;  // the subject's key
    int64_t notBefore = 0, notAfter = 0;
    std::vector<uint8_t> serial{0x01};
    std::vector<Ext> extensions;
};
// The DER certificate of `plan`, signed by `issuer`.
ByteString issue(const CertPlan& plan, const Signer& issuer);

// A CA certificate plan of the usual shape: basic constraints, keyCertSign and
// cRLSign, key identifiers.
CertPlan caSpec(const RRDNSequence& subject, const RRDNSequence& issuer, const ByteString& spki,
                const ByteString& issuerSpki);
// An end-entity plan: digitalSignature, key identifiers.
CertPlan eeSpec(const RRDNSequence& subject, const RRDNSequence& issuer, const ByteString& spki,
                const ByteString& issuerSpki);

// A DER SEQUENCE OF Certificate.
ByteString bundle(std::initializer_list<ByteString> certs);

// A CRL: entries of (serial, revocation time, reason or -1, extra entry
// extension DER or empty), CRL extensions, signed by `issuer`.
struct CrlEntry {
    std::vector<uint8_t> serial;
    int64_t when = 0;
    int reason = -1;
    ByteString extraExtensions;  // encoded Extension elements appended after reasonCode
};
struct CrlSpec {
    RRDNSequence issuer;
    int64_t thisUpdate = 0, nextUpdate = 0;  // nextUpdate 0: absent
    std::vector<CrlEntry> entries;
    std::vector<Ext> extensions;
};
ByteString issueCrl(const CrlSpec& plan, const Signer& issuer);

}  // namespace qelt::test::path
