#include "ASN1Pkix/PPKCS12.h"

#include <openssl/crypto.h>

#include <cstring>

#include "ASN1Pkix/PPKCS8.h"
#include "ASN1Pkix/cms_enveloped_data.h"
#include "ASN1Pkix/pkcs12.h"
#include "ZRCrypto/ZRMac.h"
#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/password_kdf.h"
#include "ZRCrypto/zr_encrypt.h"
#include "ZRCrypto/zr_hash.h"
#include "util/base64.h"

namespace qelt {

namespace {

constexpr const char* kClass = "PPKCS12";

constexpr const char* kOidData = "1 2 840 113549 1 7 1";
constexpr const char* kOidEncryptedData = "1 2 840 113549 1 7 6";
constexpr const char* kOidShroudedKeyBag = "1 2 840 113549 1 12 10 1 2";
constexpr const char* kOidCertBag = "1 2 840 113549 1 12 10 1 3";
constexpr const char* kOidCrlBag = "1 2 840 113549 1 12 10 1 4";
constexpr const char* kOidX509Cert = "1 2 840 113549 1 9 22 1";
constexpr const char* kOidPemCert = "1 2 840 113549 1 9 22 2";
constexpr const char* kOidX509Crl = "1 2 840 113549 1 9 23 1";
constexpr const char* kOidLocalKeyId = "1 2 840 113549 1 9 21";
constexpr const char* kOidSha1 = "1 3 14 3 2 26";
constexpr const char* kPkcs12PbePrefix = "1 2 840 113549 1 12 1 ";

constexpr int kPadPkcs = 2;
constexpr int kSha1Len = 20;
constexpr int kPbeSaltLen = 8;
constexpr int kIvLen = 8;
constexpr int kPfxVersion = 3;

}  // namespace

// A PKCS#12 PBE identifier: the cipher it names and how its key is used.
// A row with a refusal message is recognised but not supported.
struct Pkcs12Pbe {
    const char* oid;
    int cipher;
    int keyLen;
    bool stream;  // RC4: no IV, no padding
    const char* refusal;
};

namespace {

// clang-format off
constexpr Pkcs12Pbe kPkcs12Pbes[] = {
    {"1 2 840 113549 1 12 1 1", ALG_RC4, 16, true, nullptr},
    {"1 2 840 113549 1 12 1 2", ALG_RC4, 5, true, nullptr},
    {"1 2 840 113549 1 12 1 3", ALG_3DES, 24, false, nullptr},
    {"1 2 840 113549 1 12 1 4", 0, 0, false, "The 3DES algorithm is not supported."},
    {"1 2 840 113549 1 12 1 5", 0, 0, false, "The RC2 algorithm is not supported."},
    {"1 2 840 113549 1 12 1 6", ALG_RC2_40, 5, false, nullptr},
};
// clang-format on

// ---- DER writing: the PFX is small and its shape fixed, so it is written
// element by element.

ByteString tlv(uint8_t tag, const ByteString& content) { return derElement(tag, {content.bytes()}); }
ByteString join(std::initializer_list<const ByteString*> parts) {
    ByteString out;
    for (const ByteString* p : parts) out.append(*p);
    return out;
}
ByteString oidDer(const char* text) {
    ASN1ObjectIdentifier oid(text);
    return ByteString(oid.toASN1Object());
}
ByteString intDer(int value) {
    ASN1Integer i;
    i.setInteger(value);
    return ByteString(i.toASN1Object());
}
ByteString octets(const ByteString& value) { return tlv(0x04, value); }
ByteString sequence(std::initializer_list<const ByteString*> parts) { return tlv(0x30, join(parts)); }
ByteString explicit0(const ByteString& element) { return tlv(0xA0, element); }

// SET { Attribute { localKeyId, SET { <id> } } }: the bag attributes of a pair.
ByteString localKeyIdAttributes(const ByteString& idElement) {
    const ByteString type = oidDer(kOidLocalKeyId), values = tlv(0x31, idElement);
    return tlv(0x31, sequence({&type, &values}));
}

// ContentInfo { data, [0] OCTET STRING <content> }
ByteString dataContentInfo(const ByteString& content) {
    const ByteString type = oidDer(kOidData), wrapped = explicit0(octets(content));
    return sequence({&type, &wrapped});
}

// The value of a non-negative INTEGER up to 2^62; -1 for a negative or larger one.
int64_t nonNegative(const ASN1Integer& integer) {
    ByteString raw;
    if (integer.getInteger(raw, 0) < 0) return -1;
    if (raw.length() > 8 || raw.isEmpty()) return raw.isEmpty() ? 0 : -1;
    uint64_t v = 0;
    for (int i = 0; i < raw.length(); ++i) v = (v << 8) | raw.data()[i];
    return v > (uint64_t{1} << 62) ? -1 : static_cast<int64_t>(v);
}

// The OCTET STRING value of an element (joined when it came in segments).
int octetValue(const ByteString& element, ByteString& value) {
    ASN1OctetString o(element);
    if (o.getStatus() != 0) return 1;
    value.assign(o.getValue());
    return 0;
}

// The OID text of an OBJECT IDENTIFIER component.
ByteString oidText(const ASN1ObjectIdentifier& oid) {
    ASN1ObjectIdentifier copy(oid);
    return ByteString(copy.getOID());
}

// The encoded value of the localKeyId attribute among `attrs`; empty when absent.
ByteString localKeyIdOf(const RPKCS12Attributes& attrs) {
    for (int i = 0; i < attrs.getElementCount(); ++i) {
        RAttribute attr;
        if (attrs.getElement(i, attr) != 0) continue;
        if (!attr.getAttrType().is(kOidLocalKeyId)) continue;
        ASN1Set values(attr.getAttrValues());
        if (values.getComponentCount() < 1) return ByteString();
        return ByteString(values.componentBytes(0));
    }
    return ByteString();
}

}  // namespace

PPKCS12::PPKCS12() : m_CertPbeOid("1 2 840 113549 1 12 1 6"), m_KeyPbeOid("1 2 840 113549 1 12 1 3") {}

void PPKCS12::setPassword(const char* text) {
    m_Password.clear();
    if (text != nullptr) m_Password.set(text, static_cast<int>(std::strlen(text)));
}

int PPKCS12::setKeyAndCert(const ByteString& priKey, const ByteString& cert) {
    constexpr const char* kMethod = "setKeyAndCert";
    if (m_nCount >= kMaxPairs)
        return fail(kClass, kMethod, "m_nCount", 1, "You can only set 10 certificates and keys.");
    RPrivateKeyInfo info(priKey);
    if (info.errorCode() != 0) return fail(kClass, kMethod, "privateKeyInfo", 2, info.errorText());
    Pair& pair = m_Pairs[m_nCount];
    // OCTET STRING of the 4-byte little-endian slot number counted from 1.
    const uint8_t id[] = {0x04, 0x04, static_cast<uint8_t>(m_nCount + 1), 0x00, 0x00, 0x00};
    pair.localKeyId.set(id, sizeof id);
    pair.priKey.assign(priKey);
    pair.cert.assign(cert);
    ++m_nCount;
    return 0;
}

int PPKCS12::setOtherCertificate(const ByteString& cert) {
    if (cert.isEmpty()) return fail(kClass, "setOtherCertificate", "cert", 1, "The certificate is empty.");
    m_OtherCerts.append(tlv(0x04, cert));
    ++m_nOtherCerts;
    return 0;
}

int PPKCS12::setCRL(const ByteString& crl) {
    if (crl.isEmpty()) return fail(kClass, "setCRL", "crl", 1, "The CRL is empty.");
    m_CRLs.append(tlv(0x04, crl));
    return 0;
}

int PPKCS12::getAlgorithm(const ByteString& oid, const Pkcs12Pbe*& alg) {
    for (const Pkcs12Pbe& row : kPkcs12Pbes) {
        if (!oid.equals(row.oid)) continue;
        if (row.refusal != nullptr) return fail(kClass, "getAlgorithm", "bsAlgorithm", 1, row.refusal);
        alg = &row;
        return 0;
    }
    ByteString msg;
    msg.format("The bsAlgorithm(%s) is not supported.", oid.c_str());
    return fail(kClass, "getAlgorithm", "bsAlgorithm", 2, msg.c_str());
}

int PPKCS12::chargeIterations(int64_t iterations, int64_t chains, const char* what) {
    ByteString msg;
    if (iterations < 1 || iterations > m_nMaxIterations) {
        msg.format("The iteration count(%lld) of %s is out of range (1..%lld).", static_cast<long long>(iterations),
                   what, static_cast<long long>(m_nMaxIterations));
        return fail(kClass, "chargeIterations", what, 1, msg.c_str());
    }
    m_nIterationsSpent += iterations * chains;
    if (m_nIterationsSpent > m_nIterationBudget) {
        msg.format("The PFX needs more than %lld password iterations in all.",
                   static_cast<long long>(m_nIterationBudget));
        return fail(kClass, "chargeIterations", what, 2, msg.c_str());
    }
    return 0;
}

int PPKCS12::keyGenAsc(const Pkcs12Pbe& alg, const ByteString& salt, int64_t iterations, ByteString& key,
                       ByteString& iv) {
    constexpr const char* kMethod = "keyGenAsc";
    // One SHA-1 chain per 20 derived bytes: the key, then the IV.
    const int64_t chains = (alg.keyLen + kSha1Len - 1) / kSha1Len + (alg.stream ? 0 : 1);
    if (chargeIterations(iterations, chains, "encryption") != 0)
        return fail(kClass, kMethod, "iterations", 1, errorText());
    const ByteString wide = widenPassword(m_Password);
    PasswordKdf kdf;
    if (kdf.pkcs12Sha1(wide, salt, 1, static_cast<int>(iterations), alg.keyLen, key) != 0)
        return fail(kClass, kMethod, "pkcs12", 2, kdf.errorText());
    iv.clear();
    if (!alg.stream && kdf.pkcs12Sha1(wide, salt, 2, static_cast<int>(iterations), kIvLen, iv) != 0)
        return fail(kClass, kMethod, "pkcs12", 3, kdf.errorText());
    return 0;
}

int PPKCS12::pbeEncrypt(const ByteString& oid, const ByteString& plain, ByteString& algId, ByteString& cipherText) {
    constexpr const char* kMethod = "pbeEncrypt";
    const Pkcs12Pbe* alg = nullptr;
    if (getAlgorithm(oid, alg) != 0) {
        ByteString msg;
        msg.format("bsAlgorithm(%s) is unknown algorithm.", oid.c_str());
        return fail(kClass, kMethod, "getAlgorithm", 1, msg.c_str());
    }
    // The salt depends only on the data: the same input always encrypts alike.
    ByteString digest;
    ZRHash hash;
    if (hash.DigestData(ALG_SHA1, plain, digest) != 0) return fail(kClass, kMethod, "salt", 2, hash.errorText());
    const ByteString salt(digest.data(), kPbeSaltLen);
    ByteString key, iv;
    m_nIterationsSpent = 0;
    if (keyGenAsc(*alg, salt, m_nEncIteration, key, iv) != 0) return fail(kClass, kMethod, "keyGenAsc", 3, errorText());
    ZREncrypt cipher;
    if (cipher.EncryptData(alg->cipher, alg->stream ? MODE_ECB : MODE_CBC, key, iv, plain, cipherText, kPadPkcs) != 0)
        return fail(kClass, kMethod, "encrypt->EncryptData", 4, cipher.errorText());
    const ByteString oidElement = oidDer(oid.c_str()), saltElement = octets(salt), count = intDer(m_nEncIteration);
    const ByteString params = sequence({&saltElement, &count});
    algId = sequence({&oidElement, &params});
    return 0;
}

int PPKCS12::pbeDecrypt(const ByteString& algIdDer, const ByteString& cipherText, ByteString& plain) {
    constexpr const char* kMethod = "pbeDecrypt";
    RAlgorithmIdentifier algId(algIdDer);
    if (algId.errorCode() != 0) return fail(kClass, kMethod, "algorithm", 1, algId.errorText());
    const ByteString oid = oidText(algId.getAlgorithm());
    const Pkcs12Pbe* alg = nullptr;
    if (getAlgorithm(oid, alg) != 0) return fail(kClass, kMethod, "getAlgorithm", 2, errorText());
    RPBEParameter pbe(algId.getParameters().getEncoding());
    if (pbe.errorCode() != 0) return fail(kClass, kMethod, "pbeParameter", 3, pbe.errorText());
    ByteString key, iv;
    if (keyGenAsc(*alg, pbe.getSalt().getValue(), nonNegative(pbe.getIterationCount()), key, iv) != 0)
        return fail(kClass, kMethod, "keyGenAsc", 4, errorText());
    ZREncrypt cipher;
    if (cipher.DecryptData(alg->cipher, alg->stream ? MODE_ECB : MODE_CBC, key, iv, cipherText, plain, kPadPkcs) != 0)
        return fail(kClass, kMethod, "encrypt->DecryptData", kPbeCipherFailed, cipher.errorText());
    return 0;
}

int PPKCS12::makeMac(const ByteString& authSafe, ByteString& macData) {
    constexpr const char* kMethod = "makeMac";
    ByteString salt;
    ZRHash hash;
    if (hash.DigestData(ALG_SHA1, authSafe, salt) != 0) return fail(kClass, kMethod, "macSalt", 1, hash.errorText());
    ByteString key;
    PasswordKdf kdf;
    if (kdf.pkcs12Sha1(widenPassword(m_Password), salt, 3, m_nMacIteration, kSha1Len, key) != 0)
        return fail(kClass, kMethod, "pkcs12", 2, kdf.errorText());
    ByteString mac;
    ZRMac hmac;
    if (hmac.GenerateMAC(ALG_HMAC_SHA1, key, authSafe, mac) != 0)
        return fail(kClass, kMethod, "pMac->GenerateMAC", 3, hmac.errorText());
    const ByteString sha1 = oidDer(kOidSha1), null = tlv(0x05, ByteString()), macValue = octets(mac);
    const ByteString digestAlg = sequence({&sha1, &null});
    const ByteString digestInfo = sequence({&digestAlg, &macValue});
    const ByteString saltElement = octets(salt), count = intDer(m_nMacIteration);
    macData = sequence({&digestInfo, &saltElement, &count});
    return 0;
}

int PPKCS12::verifyMac(const ByteString& authSafe, const ByteString& macDataDer) {
    constexpr const char* kMethod = "verifyMac";
    RMacData macData(macDataDer);
    if (macData.errorCode() != 0) return fail(kClass, kMethod, "macData", 1, macData.errorText());
    const ByteString digestOid = oidText(macData.getMac().getDigestAlgorithm().getAlgorithm());
    if (!digestOid.equals(kOidSha1)) {
        ByteString msg;
        msg.format("The MAC digest algorithm(%s) is not supported.", digestOid.c_str());
        return fail(kClass, kMethod, "digestAlgorithm", 2, msg.c_str());
    }
    const int64_t iterations = macData.hasIterations() ? nonNegative(macData.getIterations()) : 1;
    if (chargeIterations(iterations, 1, "MAC") != 0) return fail(kClass, kMethod, "iterations", 3, errorText());
    ByteString key, mac;
    PasswordKdf kdf;
    if (kdf.pkcs12Sha1(widenPassword(m_Password), macData.getMacSalt().getValue(), 3, static_cast<int>(iterations),
                       kSha1Len, key) != 0)
        return fail(kClass, kMethod, "pkcs12", 4, kdf.errorText());
    ZRMac hmac;
    if (hmac.GenerateMAC(ALG_HMAC_SHA1, key, authSafe, mac) != 0)
        return fail(kClass, kMethod, "pMac->GenerateMAC", 5, hmac.errorText());
    const ByteString& expected = macData.getMac().getDigest().getValue();
    if (expected.length() != mac.length() ||
        CRYPTO_memcmp(expected.data(), mac.data(), static_cast<size_t>(mac.length())) != 0)
        return fail(kClass, kMethod, "mac", kMacMismatch, "The MAC value is not matched.");
    return 0;
}

int PPKCS12::makePKCS12Data(ByteString& out) {
    constexpr const char* kMethod = "makePKCS12Data";
    if (m_nCount == 0) return fail(kClass, kMethod, "m_nCount", 1, "First use setKeyAndCert.");

    // 1. The keys, each shrouded, in one SafeContents.
    ByteString keyBags;
    for (int i = 0; i < m_nCount; ++i) {
        ByteString algId, cipherText;
        if (pbeEncrypt(m_KeyPbeOid, m_Pairs[i].priKey, algId, cipherText) != 0)
            return fail(kClass, kMethod, "safeContentsKey", 2, errorText());
        const ByteString ct = octets(cipherText);
        const ByteString epki = sequence({&algId, &ct});
        const ByteString bagId = oidDer(kOidShroudedKeyBag), value = explicit0(epki);
        const ByteString attrs = localKeyIdAttributes(m_Pairs[i].localKeyId);
        keyBags.append(sequence({&bagId, &value, &attrs}));
    }
    const ByteString safeContentsKey = tlv(0x30, keyBags);

    // 2. The certificates of the pairs, then the other certificates.
    ByteString certBags;
    auto certBag = [&](const ByteString& certId, const ByteString& certValue, const ByteString* attrs) {
        const ByteString bagId = oidDer(kOidCertBag), inner = explicit0(certValue);
        const ByteString value = explicit0(sequence({&certId, &inner}));
        certBags.append(attrs ? sequence({&bagId, &value, attrs}) : sequence({&bagId, &value}));
    };
    const ByteString x509 = oidDer(kOidX509Cert);
    for (int i = 0; i < m_nCount; ++i) {
        const ByteString attrs = localKeyIdAttributes(m_Pairs[i].localKeyId);
        certBag(x509, octets(m_Pairs[i].cert), &attrs);
    }
    ASN1Sequence others;
    if (!m_OtherCerts.isEmpty() && others.fromASN1Object(tlv(0x30, m_OtherCerts)) != 0)
        return fail(kClass, kMethod, "m_OtherCerts", 3, others.errorText());
    for (int i = 0; i < others.getComponentCount(); ++i) {
        ByteString cert;
        if (octetValue(ByteString(others.componentBytes(i)), cert) != 0)
            return fail(kClass, kMethod, "m_OtherCerts", 3, "Unknown Cert Type.");
        if (cert.data()[0] == 0x30) {
            certBag(x509, octets(cert), nullptr);
        } else if (cert.find("-----BEGIN") >= 0) {
            certBag(oidDer(kOidPemCert), octets(cert), nullptr);
        } else {
            return fail(kClass, kMethod, "m_OtherCerts", 3, "Unknown Cert Type.");
        }
    }
    const ByteString safeContentsCert = tlv(0x30, certBags);

    // 3. The CRLs, when there are any.
    ByteString crlBags;
    ASN1Sequence crls;
    if (!m_CRLs.isEmpty() && crls.fromASN1Object(tlv(0x30, m_CRLs)) != 0)
        return fail(kClass, kMethod, "safeContentsCrl", 4, crls.errorText());
    const ByteString crlId = oidDer(kOidX509Crl), bagIdCrl = oidDer(kOidCrlBag);
    for (int i = 0; i < crls.getComponentCount(); ++i) {
        const ByteString inner = explicit0(ByteString(crls.componentBytes(i)));
        const ByteString value = explicit0(sequence({&crlId, &inner}));
        crlBags.append(sequence({&bagIdCrl, &value}));
    }

    // 4. AuthenticatedSafe: keys as data, certificates as EncryptedData, CRLs as data.
    ByteString algId, cipherText;
    if (pbeEncrypt(m_CertPbeOid, safeContentsCert, algId, cipherText) != 0)
        return fail(kClass, kMethod, "safeContentsCert", 5, errorText());
    const ByteString version0 = intDer(0), dataOid = oidDer(kOidData), encOid = oidDer(kOidEncryptedData);
    const ByteString encryptedContent = tlv(0x80, cipherText);
    const ByteString eci = sequence({&dataOid, &algId, &encryptedContent});
    const ByteString encryptedData = explicit0(sequence({&version0, &eci}));
    ByteString contentInfos = dataContentInfo(safeContentsKey);
    contentInfos.append(sequence({&encOid, &encryptedData}));
    if (!crlBags.isEmpty()) contentInfos.append(dataContentInfo(tlv(0x30, crlBags)));
    const ByteString authSafe = tlv(0x30, contentInfos);

    // 5-7. authSafe as data, the MAC, the PFX.
    ByteString macData;
    if (makeMac(authSafe, macData) != 0) return fail(kClass, kMethod, "makeMac", 6, errorText());
    const ByteString version = intDer(kPfxVersion), authSafeInfo = dataContentInfo(authSafe);
    out = sequence({&version, &authSafeInfo, &macData});
    if (out.status() != ByteString::kOk) return fail(kClass, kMethod, "pfx", 7, "Memory allocation failed.");
    return 0;
}

// Whether a failed decryption of a PFX without a MAC means a wrong password:
// the cipher refused the result (its padding), as opposed to an unusable
// algorithm or parameter.
bool PPKCS12::wrongPassword(int pbeDecryptResult) const { return !m_bHasMac && pbeDecryptResult == kPbeCipherFailed; }

int PPKCS12::decryptShroudedKey(const ByteString& encryptedKeyInfo, ByteString& priKey) {
    constexpr const char* kMethod = "decryptShroudedKey";
    REncryptedPrivateKeyInfo info(encryptedKeyInfo);
    if (info.errorCode() != 0) return fail(kClass, kMethod, "encryptedPrivateKeyInfo", 1, info.errorText());
    const ByteString oid = oidText(info.getEncryptionAlgorithm().getAlgorithm());
    if (oid.find(kPkcs12PbePrefix) == 0) {
        ByteString plain;
        RAlgorithmIdentifier copy(info.getEncryptionAlgorithm());
        if (const int rc = pbeDecrypt(ByteString(copy.toASN1Object()), info.getEncryptedData().getValue(), plain))
            return fail(kClass, kMethod, "pbeDecrypt", wrongPassword(rc) ? kMacMismatch : 2, errorText());
        RPrivateKeyInfo key(plain);
        if (key.errorCode() != 0)
            return fail(kClass, kMethod, "privateKeyInfo", m_bHasMac ? 3 : kMacMismatch, key.errorText());
        priKey.assign(plain);
        return 0;
    }
    // Keys protected by the private-key schemes (PBES2 and the national ones),
    // their iteration count charged like ours: PBKDF2 takes two HMAC blocks
    // per round and at most two output blocks, PBKDF1 one hash.
    const RAlgorithmIdentifier& scheme = info.getEncryptionAlgorithm();
    const ByteString& params = scheme.getParameters().getEncoding();
    int64_t iterations = -1, chains = 1;
    if (oid.equals("1 2 840 113549 1 5 13")) {
        RPBES2_params pbes2(params);
        RPBKDF2_params kdf(pbes2.getKeyDerivationFunc().getParameters().getEncoding());
        if (pbes2.errorCode() == 0 && kdf.errorCode() == 0) iterations = nonNegative(kdf.getIterationCount());
        chains = 4;
    } else {
        RPBEParameter pbe(params);
        if (pbe.errorCode() == 0) iterations = nonNegative(pbe.getIterationCount());
    }
    if (iterations >= 0 && chargeIterations(iterations < 1 ? 1 : iterations, chains, "key") != 0)
        return fail(kClass, kMethod, "iterations", 5, errorText());
    PPKCS8 pkcs8;
    pkcs8.setPassword(m_Password.c_str());
    const int rc = pkcs8.getPrivateKeyInfo(encryptedKeyInfo, priKey);
    if (rc == 0) return 0;
    return fail(kClass, kMethod, "PPKCS8", rc == PPKCS8::kDecryptFailed && !m_bHasMac ? kMacMismatch : 4,
                pkcs8.errorText());
}

int PPKCS12::ProcessData(const ByteString& safeContentsDer) {
    constexpr const char* kMethod = "ProcessData";
    RSafeContents safeContents(safeContentsDer);
    if (safeContents.errorCode() != 0) return fail(kClass, kMethod, "safeContents", 1, safeContents.errorText());
    ByteString msg;
    for (int i = 0; i < safeContents.getElementCount(); ++i) {
        RSafeBag bag;
        if (safeContents.getElement(i, bag) != 0) return fail(kClass, kMethod, "safeBag", 2, bag.errorText());
        const ByteString type = oidText(bag.getBagId());
        const ByteString id = bag.hasBagAttributes() ? localKeyIdOf(bag.getBagAttributes()) : ByteString();
        const ByteString& value = bag.getBagValue().getEncoding();
        if (type.equals(kOidShroudedKeyBag)) {
            if (m_nKeyCount >= kMaxPairs)
                return fail(kClass, kMethod, "m_pPKCS12Key", 3, "The m_pPKCS12Key array size is insufficient.");
            Pair& key = m_Keys[m_nKeyCount];
            if (decryptShroudedKey(value, key.priKey) != 0)
                return fail(kClass, kMethod, "pkcs8ShroudedKeyBag", m_nErrorCode == kMacMismatch ? kMacMismatch : 4,
                            errorText());
            key.localKeyId.assign(id);
            ++m_nKeyCount;
        } else if (type.equals(kOidCertBag)) {
            RCertBag certBag(value);
            if (certBag.errorCode() != 0) return fail(kClass, kMethod, "certBag", 5, certBag.errorText());
            const ByteString certType = oidText(certBag.getCertId());
            ByteString cert;
            if (certType.equals(kOidX509Cert)) {
                if (octetValue(certBag.getCertValue().getEncoding(), cert) != 0 || cert.isEmpty())
                    return fail(kClass, kMethod, "certValue", 6, "The certificate is not an OCTET STRING.");
            } else if (certType.equals(kOidPemCert)) {
                ASN1Object text(certBag.getCertValue().getEncoding());
                if (text.getStatus() != 0 || pemDecode(text.getValue(), cert) != PEM_OK || cert.isEmpty())
                    return fail(kClass, kMethod, "certValue", 7, "PEM Decoding is failed.");
            } else {
                msg.format("CertType(%s) is unknown type.", certType.c_str());
                return fail(kClass, kMethod, "certId", 8, msg.c_str());
            }
            m_FoundCerts.push_back(Pair{id, ByteString(), cert});
        } else if (type.equals(kOidCrlBag)) {
            RCRLBag crlBag(value);
            if (crlBag.errorCode() != 0) return fail(kClass, kMethod, "crlBag", 9, crlBag.errorText());
            ByteString crl;
            if (!crlBag.getCrlId().is(kOidX509Crl) || octetValue(crlBag.getCrlValue().getEncoding(), crl) != 0)
                return fail(kClass, kMethod, "crlId", 10, "Unknown CRL Bag type.");
            m_CRLs.append(crl);
        } else {
            msg.format("bsType(%s) is unknown Bag type.", type.c_str());
            return fail(kClass, kMethod, "bagId", 11, msg.c_str());
        }
    }
    return 0;
}

int PPKCS12::pairCertificates() {
    constexpr const char* kMethod = "pairCertificates";
    for (const Pair& found : m_FoundCerts) {
        if (found.localKeyId.isEmpty()) {
            m_OtherCerts.append(found.cert);
            ++m_nOtherCerts;
            continue;
        }
        const Pair* key = nullptr;
        for (int k = 0; k < m_nKeyCount && key == nullptr; ++k)
            if (m_Keys[k].localKeyId.equals(found.localKeyId)) key = &m_Keys[k];
        if (key == nullptr) {
            location(kClass, kMethod, "localKeyId", 1, "Not found PrivateKey with ID");
            return fail(kClass, kMethod, "ProcessData", 1, "Processing error : PrivateKey (not found id)");
        }
        if (m_nCount >= kMaxPairs)
            return fail(kClass, kMethod, "m_pPKCS12Key", 2, "The m_pPKCS12Key array size is insufficient.");
        m_Pairs[m_nCount++] = Pair{found.localKeyId, key->priKey, found.cert};
    }
    return 0;
}

int PPKCS12::setPKCS12Data(const ByteString& pfxDer) {
    constexpr const char* kMethod = "setPKCS12Data";
    m_bParsed = false;
    m_nCount = m_nKeyCount = m_nOtherCerts = 0;
    m_nIterationsSpent = 0;
    m_OtherCerts.clear();
    m_CRLs.clear();
    m_FoundCerts.clear();

    RPFX pfx(pfxDer);
    if (pfx.errorCode() != 0) return fail(kClass, kMethod, "pfx", 1, pfx.errorText());
    if (pfx.getVersion() != kPfxVersion) return fail(kClass, kMethod, "version", 2, "pfx version must be 3.");
    const RContentInfo& authSafeInfo = pfx.getAuthSafe();
    if (!authSafeInfo.getContentType().is(kOidData) || !authSafeInfo.hasContent())
        return fail(kClass, kMethod, "authSafe", 3, "The authSafe is not a data content.");
    ByteString authSafe;
    if (octetValue(authSafeInfo.getContent().getEncoding(), authSafe) != 0)
        return fail(kClass, kMethod, "authSafe", 3, "The authSafe content is not an OCTET STRING.");

    m_bHasMac = pfx.hasMacData();
    if (m_bHasMac) {
        RMacData copy(pfx.getMacData());
        if (const int rc = verifyMac(authSafe, ByteString(copy.toASN1Object())); rc != 0)
            return fail(kClass, kMethod, "verifyMac", rc == kMacMismatch ? kMacMismatch : 4, errorText());
    }

    RAuthenticatedSafe contents(authSafe);
    if (contents.errorCode() != 0) return fail(kClass, kMethod, "authenticatedSafe", 5, contents.errorText());
    for (int i = 0; i < contents.getElementCount(); ++i) {
        RContentInfo info;
        bool decrypted = false;
        if (contents.getElement(i, info) != 0) return fail(kClass, kMethod, "contentInfo", 6, info.errorText());
        ByteString safeContents;
        if (info.getContentType().is(kOidData)) {
            if (octetValue(info.getContent().getEncoding(), safeContents) != 0)
                return fail(kClass, kMethod, "data", 7, "The data content is not an OCTET STRING.");
        } else if (info.getContentType().is(kOidEncryptedData)) {
            REncryptedData encrypted(info.getContent().getEncoding());
            if (encrypted.errorCode() != 0) return fail(kClass, kMethod, "encryptedData", 8, encrypted.errorText());
            REncryptedContentInfo eci(encrypted.getEncryptedContentInfo());
            RAlgorithmIdentifier alg(eci.getContentEncryptionAlgorithm());
            if (const int rc =
                    pbeDecrypt(ByteString(alg.toASN1Object()), eci.getEncryptedContent().getValue(), safeContents))
                return fail(kClass, kMethod, "encrypt->DecryptData", wrongPassword(rc) ? kMacMismatch : 9, errorText());
            decrypted = true;
        } else {
            ByteString msg;
            msg.format("ContentType(%s) is not supported.", oidText(info.getContentType()).c_str());
            return fail(kClass, kMethod, "contentType", 10, msg.c_str());
        }
        // Without a MAC, decrypted contents that do not parse mean a wrong password too.
        if (const int rc = ProcessData(safeContents); rc != 0)
            return fail(kClass, kMethod, "ProcessData",
                        rc == kMacMismatch || (decrypted && !m_bHasMac && rc == 1) ? kMacMismatch : 11, errorText());
    }
    if (pairCertificates() != 0) return fail(kClass, kMethod, "ProcessData", 12, errorText());
    m_bParsed = true;
    return 0;
}

int PPKCS12::getKeyAndCert(int index, ByteString& priKey, ByteString& cert) {
    constexpr const char* kMethod = "getKeyAndCert";
    if (!m_bParsed) return fail(kClass, kMethod, "m_bParsed", 1, "First use setPKCS12Data.");
    if (index < 0 || index >= m_nCount) return fail(kClass, kMethod, "index", 2, "The index is out of range.");
    const Pair& pair = m_Pairs[index];
    if (pair.priKey.isEmpty()) return fail(kClass, kMethod, "bsKey", 3, "bsKey value is empty.");
    if (pair.cert.isEmpty()) return fail(kClass, kMethod, "bsCert", 4, "bsCert value is empty.");
    if (pair.localKeyId.isEmpty()) return fail(kClass, kMethod, "bsId", 5, "bsId value is empty.");
    priKey.assign(pair.priKey);
    cert.assign(pair.cert);
    return 0;
}

}  // namespace qelt
