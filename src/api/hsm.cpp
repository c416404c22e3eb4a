// PKCS#11 tokens: QELT_HSM_* over the Cryptoki module loaded with
// QELT_STORAGE_Load. The context's PCryptoki holds the slot list, the session
// and the login state; certificates, private keys and identification random
// numbers live on the token under labels made from a KeyID, and signatures
// are made on the token with keys that never leave it.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "ASN1Pkix/PSignedData.h"
#include "ASN1Pkix/pkcs_keys.h"
#include "ASN1Pkix/x509_certificate.h"
#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/zr_hash.h"
#include "ZRProcess/PCertUtil.h"
#include "ZRProcess/PCryptUtil.h"
#include "ZRProcess/PPrivateKey.h"
#include "ZRProcess/PPublicKey.h"
#include "api/api_call.h"
#include "api/cms_signer_common.h"
#include "storage/PCryptoki.h"
#include "util/cp949_literal.h"

using namespace qelt;

namespace {

constexpr const char* kRsaOid = "1 2 840 113549 1 1 1";
constexpr const char* kKcdsaOid = "1 2 410 200004 1 21";
constexpr const char* kEcOid = "1 2 840 10045 2 1";
constexpr const char* kVidApplication = "Licensed PKI Application";
// Longest KeyID text accepted from a caller (ours are 40 characters).
constexpr int kMaxKeyIdLen = 128;

constexpr uint8_t kDigitalSignature = 0x80;
constexpr uint8_t kNonRepudiation = 0x40;
constexpr uint8_t kKeyEncipherment = 0x20;

// ---- failures: every Cryptoki failure becomes an API code in one place

int hsmCode(const PCryptoki& p) {
    if (p.failureKind() != PCryptoki::kToken) return QELT_ERR_HSM_BASE;
    const CK_RV rv = p.failedResult();
    return rv < 999 ? QELT_ERR_HSM_BASE + static_cast<int>(rv) : QELT_ERR_HSM_BASE + 999;
}

int tokenFailed(ApiCall& call, const PCryptoki& p, const char* message) {
    if (p.failureKind() == PCryptoki::kNoSymbol)
        return call.failf(QELT_ERR_DYNLIB_SYMBOL, "함수 %s()의 포인터 획득 실패 (fnc=GetProcAddress,errcode=%d)"_cp949,
                          p.failedFunction(), 0);
    // The token's text carries the operation's own sentence.
    std::string detail = p.lastFailure();
    if (p.failureKind() == PCryptoki::kToken) {
        ByteString d;
        d.format("fnc=%s, err=%s (%s[0x%lx])", p.failedFunction(), PCryptoki::ckrName(p.failedResult()), message,
                 static_cast<unsigned long>(p.failedResult()));
        detail = d.c_str();
    }
    return call.failCore(hsmCode(p), message, detail.c_str());
}

int requireModule(ApiCall& call) {
    if (call.ctx().hStorageLib != nullptr) return 0;
    return call.fail(QELT_ERR_DYNLIB_NOT_LOADED, "우선 동적 라이브러리를 로드하세요."_cp949);
}

PCryptoki* wrapperOf(ApiCall& call) { return dynamic_cast<PCryptoki*>(call.ctx().pCryptoki); }

enum class Need { Session, Login };

// The context's token with an open session (and a login with Need::Login).
int requireToken(ApiCall& call, Need need, PCryptoki*& p) {
    if (const int rc = requireModule(call)) return rc;
    p = wrapperOf(call);
    if (p == nullptr) return call.fail(QELT_ERR_HSM_NO_SESSION, "세션이 닫혀있습니다."_cp949);
    if (!p->hasSession()) return call.fail(QELT_ERR_HSM_SESSION_CLOSED, "세션이 닫혀있습니다."_cp949);
    if (need == Need::Login && !p->isLoggedIn())
        return call.fail(QELT_ERR_HSM_NOT_LOGGED_IN, "로그인 되어있지 않습니다."_cp949);
    return 0;
}

// ---- object labels and searches

std::string label(const char* prefix, const std::string& keyId) { return std::string(prefix) + keyId; }

// A KeyID handed in by a caller: printable text of sensible length.
bool keyIdOf(const BINSTR* b, std::string& keyId) {
    if (!hasBytes(b) || b->nLen > kMaxKeyIdLen) return false;
    keyId.assign(reinterpret_cast<const char*>(b->pVal), static_cast<size_t>(b->nLen));
    return std::all_of(keyId.begin(), keyId.end(), [](char c) { return c > 0x20 && c < 0x7F; });
}

struct Template {
    std::vector<CK_ATTRIBUTE> attrs;
    // Values the attributes point to; reserved so that pointers stay valid.
    std::vector<std::string> texts;
    std::vector<CK_ULONG> ulongs;
    std::vector<CK_BBOOL> bools;
    Template() {
        texts.reserve(32);
        ulongs.reserve(16);
        bools.reserve(16);
    }
    Template& ulong(CK_ATTRIBUTE_TYPE t, CK_ULONG v) {
        ulongs.push_back(v);
        attrs.push_back({t, &ulongs.back(), sizeof(CK_ULONG)});
        return *this;
    }
    Template& flag(CK_ATTRIBUTE_TYPE t, bool v) {
        bools.push_back(v ? CK_TRUE : CK_FALSE);
        attrs.push_back({t, &bools.back(), sizeof(CK_BBOOL)});
        return *this;
    }
    Template& bytes(CK_ATTRIBUTE_TYPE t, const void* p, size_t n) {
        texts.emplace_back(static_cast<const char*>(p), n);
        attrs.push_back({t, texts.back().data(), static_cast<CK_ULONG>(n)});
        return *this;
    }
    Template& text(CK_ATTRIBUTE_TYPE t, const std::string& s) { return bytes(t, s.data(), s.size()); }
    Template& bytes(CK_ATTRIBUTE_TYPE t, const ByteString& b) { return bytes(t, b.data(), b.length()); }
    ~Template() {
        for (std::string& s : texts) secureWipe(s.data(), s.size());
    }
};

int findByLabel(ApiCall& call, PCryptoki& p, CK_OBJECT_CLASS cls, const std::string& name,
                std::vector<CK_OBJECT_HANDLE>& found) {
    Template t;
    t.ulong(CKA_CLASS, cls).text(CKA_LABEL, name);
    if (p.findObjects(t.attrs, found, "objects") != 0) {
        ByteString msg;
        msg.format("%s 객체를 찾는데 실패하였습니다."_cp949, name.c_str());
        return p.failedFunction() == std::string("C_FindObjectsInit")
                   ? tokenFailed(call, p, "객체를 찾기 위한 초기화를 실패하였습니다."_cp949)
                   : tokenFailed(call, p, msg.c_str());
    }
    return 0;
}

// The single object of a label; 0 with `obj` CK_INVALID_HANDLE when there is none.
int findOne(ApiCall& call, PCryptoki& p, CK_OBJECT_CLASS cls, const std::string& name, CK_OBJECT_HANDLE& obj) {
    std::vector<CK_OBJECT_HANDLE> found;
    if (const int rc = findByLabel(call, p, cls, name, found)) return rc;
    obj = found.empty() ? CK_INVALID_HANDLE : found.front();
    return 0;
}

int readValue(ApiCall& call, PCryptoki& p, CK_OBJECT_HANDLE obj, const std::string& name, ByteString& value) {
    if (p.getAttribute(obj, CKA_VALUE, value, "value") == 0) return 0;
    ByteString msg;
    msg.format("%s 객체 값을 획득하는데 실패하였습니다."_cp949, name.c_str());
    return tokenFailed(call, p, msg.c_str());
}

int missing(ApiCall& call, const std::string& name) {
    return call.failf(QELT_ERR_HSM_BASE, "획득하고자 하는 %s 객체가 토큰에 없습니다."_cp949, name.c_str());
}

// The certificate of a KeyID, signing or key-management; its label in `name`.
int readCertificate(ApiCall& call, PCryptoki& p, const std::string& keyId, ByteString& cert, std::string& name) {
    for (const char* prefix : {"SIGN_CERT=", "KM_CERT="}) {
        CK_OBJECT_HANDLE obj = CK_INVALID_HANDLE;
        name = label(prefix, keyId);
        if (const int rc = findOne(call, p, CKO_CERTIFICATE, name, obj)) return rc;
        if (obj != CK_INVALID_HANDLE) return readValue(call, p, obj, name, cert);
    }
    return missing(call, label("SIGN_CERT=", keyId));
}

// ---- writing

// The KeyID of a certificate: the upper-case hexadecimal SHA-1 of its DER.
int keyIdOfCert(ApiCall& call, const ByteString& cert, std::string& keyId) {
    ZRHash hash;
    ByteString digest;
    if (hash.DigestData(ALG_SHA1, cert, digest) != 0)
        return call.failCore(QELT_ERR_HSM_BASE, "키 식별자를 생성하는데 실패하였습니다."_cp949, hash);
    keyId = digest.toHex().c_str();
    std::transform(keyId.begin(), keyId.end(), keyId.begin(),
                   [](char c) { return static_cast<char>(std::toupper(c)); });
    return 0;
}

// Magnitude octets of an INTEGER (no sign octet), as PKCS#11 big integers are.
ByteString magnitude(const ASN1Integer& i) {
    ByteString out;
    i.getInteger(out, 0);
    return out;
}

// Objects made so far by one write, destroyed again when a later step fails.
struct Created {
    PCryptoki& p;
    std::vector<CK_OBJECT_HANDLE> handles;
    bool keep = false;
    ~Created() {
        if (keep) return;
        for (CK_OBJECT_HANDLE h : handles) (void)p.destroyObject(h, "rollback");
    }
};

int storePrivateKey(ApiCall& call, PCryptoki& p, const ByteString& priKey, const std::string& name,
                    const std::string& keyId, bool signing, Created& created) {
    RPrivateKeyInfo info(priKey);
    ASN1ObjectIdentifier algOid = info.getPrivateKeyAlgorithm().getAlgorithm();
    const ByteString alg(algOid.getOID());
    constexpr auto kStoreFailed = "개인키를 저장하는데 실패하였습니다."_cp949;
    Template t;
    t.ulong(CKA_CLASS, CKO_PRIVATE_KEY)
        .flag(CKA_TOKEN, true)
        .flag(CKA_PRIVATE, true)
        .flag(CKA_SENSITIVE, true)
        .flag(CKA_EXTRACTABLE, false)
        .flag(CKA_SIGN, signing)
        .flag(CKA_DECRYPT, !signing)
        .flag(CKA_UNWRAP, !signing)
        .text(CKA_LABEL, name)
        .text(CKA_ID, keyId);
    CK_OBJECT_HANDLE obj = CK_INVALID_HANDLE;
    if (alg.equals(kRsaOid)) {
        // RSA keys are created from their components.
        RRSAPrivateKey rsa(info.getPrivateKey().getValue());
        if (rsa.errorCode() != 0) return call.failCore(QELT_ERR_PRIKEY_INVALID, "잘못된 개인키 입니다."_cp949, rsa);
        t.ulong(CKA_KEY_TYPE, CKK_RSA)
            .bytes(CKA_MODULUS, magnitude(rsa.getModulus()))
            .bytes(CKA_PUBLIC_EXPONENT, magnitude(rsa.getPublicExponent()))
            .bytes(CKA_PRIVATE_EXPONENT, magnitude(rsa.getPrivateExponent()))
            .bytes(CKA_PRIME_1, magnitude(rsa.getPrime1()))
            .bytes(CKA_PRIME_2, magnitude(rsa.getPrime2()))
            .bytes(CKA_EXPONENT_1, magnitude(rsa.getExponent1()))
            .bytes(CKA_EXPONENT_2, magnitude(rsa.getExponent2()))
            .bytes(CKA_COEFFICIENT, magnitude(rsa.getCoefficient()));
        if (p.createObject(t.attrs, obj, "private key") != 0) return tokenFailed(call, p, kStoreFailed);
    } else if (alg.equals(kEcOid)) {
        // EC keys go in whole: the PKCS#8 key is encrypted on the token and
        // unwrapped there. A token without that unwrapping mechanism gets the
        // components (curve and private value) instead.
        t.ulong(CKA_KEY_TYPE, CKK_EC);
        if (p.unwrapPrivateKey(priKey, t.attrs, obj) != 0) {
            const std::string step = p.failedFunction();
            const CK_RV rv = p.failedResult();
            const bool unsupported = rv == CKR_MECHANISM_INVALID || rv == CKR_MECHANISM_PARAM_INVALID ||
                                     rv == CKR_FUNCTION_NOT_SUPPORTED || rv == CKR_KEY_FUNCTION_NOT_PERMITTED ||
                                     p.failureKind() == PCryptoki::kNoSymbol;
            if (!unsupported) {
                if (step == "C_GenerateKey") return tokenFailed(call, p, "키를 생성하는데 실패하였습니다."_cp949);
                if (step.rfind("C_Encrypt", 0) == 0)
                    return tokenFailed(call, p, "데이터를 암호화하는데 실패하였습니다."_cp949);
                return tokenFailed(call, p, kStoreFailed);
            }
            RECPrivateKey ec(info.getPrivateKey().getValue());
            if (ec.errorCode() != 0) return call.failCore(QELT_ERR_PRIKEY_INVALID, "잘못된 개인키 입니다."_cp949, ec);
            t.bytes(CKA_EC_PARAMS, info.getPrivateKeyAlgorithm().getParameters().getEncoding())
                .bytes(CKA_VALUE, ec.getPrivateKey().getValue());
            if (p.createObject(t.attrs, obj, "private key") != 0) return tokenFailed(call, p, kStoreFailed);
        }
    } else {
        (void)kKcdsaOid;  // KCDSA needs a vendor key type that standard tokens do not define
        return call.fail(QELT_ERR_HSM_BASE, "지원하지 않는 비대칭키 알고리즘입니다."_cp949);
    }
    created.handles.push_back(obj);
    return 0;
}

// ---- signing

// DigestInfo prefixes (RFC 8017) of the hashes an RSA token signature takes.
struct DigestPrefix {
    int hash;
    std::vector<uint8_t> prefix;
};
const DigestPrefix kDigestPrefixes[] = {
    {ALG_SHA1, {0x30, 0x21, 0x30, 0x09, 0x06, 0x05, 0x2b, 0x0e, 0x03, 0x02, 0x1a, 0x05, 0x00, 0x04, 0x14}},
    {ALG_SHA256,
     {0x30, 0x31, 0x30, 0x0d, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01, 0x05, 0x00, 0x04,
      0x20}},
    {ALG_MD5,
     {0x30, 0x20, 0x30, 0x0c, 0x06, 0x08, 0x2a, 0x86, 0x48, 0x86, 0xf7, 0x0d, 0x02, 0x05, 0x05, 0x00, 0x04, 0x10}},
};

// The DER ECDSA-Sig-Value of a raw r || s token signature.
ByteString ecdsaSigValue(const ByteString& raw) {
    const int half = raw.length() / 2;
    // DER integers are minimal: the token's fixed-width halves lose their leading zeros.
    auto integer = [](const uint8_t* p, int n) {
        while (n > 1 && p[0] == 0) {
            ++p;
            --n;
        }
        ASN1Integer i;
        i.setInteger(p, n, 0);
        return i;
    };
    const ASN1Integer r = integer(raw.data(), half), s = integer(raw.data() + half, half);
    RECDSA_Sig_Value sig;
    sig.setR(r);
    sig.setS(s);
    return ByteString(sig.toASN1Object());
}

// Copies a blank-padded token text into a NUL-terminated buffer without the blanks.
template <size_t N, size_t M>
void tokenText(char (&out)[N], const CK_UTF8CHAR (&in)[M]) {
    static_assert(N == M + 1);
    size_t n = M;
    while (n > 0 && (in[n - 1] == ' ' || in[n - 1] == 0)) --n;
    std::memcpy(out, in, n);
    out[n] = 0;
}

}  // namespace

QELT_EXPORT int QELT_HSM_GetSlotList(void* pCtx, unsigned long* pSlotList, int* pnSlotCount) {
    return api::run(pCtx, "QELT_HSM_GetSlotList", [&](ApiCall& call) {
        if (pSlotList == nullptr) return call.nullOutput("pSlotList");
        if (pnSlotCount == nullptr) return call.nullOutput("pnSlotCount");
        if (const int rc = requireModule(call)) return rc;
        ApiContext& ctx = call.ctx();
        delete ctx.pCryptoki;  // closes what the previous listing opened
        ctx.pCryptoki = nullptr;
        auto* p = new (std::nothrow) PCryptoki(ctx.hStorageLib);
        if (p == nullptr) return call.noMemory("pCtx->pCryptoki");
        ctx.pCryptoki = p;
        if (p->initialize() != 0) return tokenFailed(call, *p, "Cryptoki 초기화에 실패하였습니다."_cp949);
        if (p->loadSlotList() != 0) return tokenFailed(call, *p, "슬롯 리스트 획득에 실패하였습니다."_cp949);
        const auto& slots = p->slots();
        if (slots.empty()) return call.fail(QELT_ERR_HSM_BASE, "Check the existance of Token.");
        if (static_cast<int>(slots.size()) > *pnSlotCount)
            return call.failf(QELT_ERR_HSM_BASE, "slot(%d) is more than %d.", static_cast<int>(slots.size()),
                              *pnSlotCount);
        std::copy(slots.begin(), slots.end(), pSlotList);
        *pnSlotCount = static_cast<int>(slots.size());
        return QELT_OK;
    });
}

QELT_EXPORT int QELT_HSM_GetTokenInfo(void* pCtx, unsigned long nSlot, QELT_HSM_TOKEN_INFO* pTokenInfo) {
    return api::run(pCtx, "QELT_HSM_GetTokenInfo", [&](ApiCall& call) {
        if (pTokenInfo == nullptr) return call.nullOutput("pTokenInfo");
        if (const int rc = requireModule(call)) return rc;
        PCryptoki* p = wrapperOf(call);
        if (p == nullptr || !p->hasSlotList())
            return call.fail(QELT_ERR_HSM_NO_SESSION, "슬롯 정보를 먼저 획득해야 합니다."_cp949);
        CK_TOKEN_INFO info{};
        if (p->getTokenInfo(nSlot, info) != 0)
            return tokenFailed(call, *p, "토큰 정보를 획득하는데 실패하였습니다."_cp949);
        QELT_HSM_TOKEN_INFO out{};
        tokenText(out.label, info.label);
        tokenText(out.manufacturerID, info.manufacturerID);
        tokenText(out.model, info.model);
        tokenText(out.serialNumber, info.serialNumber);
        out.flags = info.flags;
        out.maxPinLen = info.ulMaxPinLen;
        out.minPinLen = info.ulMinPinLen;
        out.totalPublicMemory = info.ulTotalPublicMemory;
        out.freePublicMemory = info.ulFreePublicMemory;
        *pTokenInfo = out;
        return QELT_OK;
    });
}

QELT_EXPORT int QELT_HSM_OpenSession(void* pCtx, unsigned long nSlot, int nFlags) {
    return api::run(pCtx, "QELT_HSM_OpenSessionWithSlotID", [&](ApiCall& call) {
        if (const int rc = requireModule(call)) return rc;
        PCryptoki* p = wrapperOf(call);
        if (p == nullptr || !p->hasSlotList())
            return call.fail(QELT_ERR_HSM_NO_SESSION, "슬롯 정보를 먼저 획득해야 합니다."_cp949);
        if (p->openSession(nSlot, static_cast<CK_FLAGS>(nFlags)) != 0)
            return tokenFailed(call, *p, "세션을 여는데 실패하였습니다."_cp949);
        call.ctx().nSlotID = static_cast<int>(nSlot);
        return QELT_OK;
    });
}

QELT_EXPORT int QELT_HSM_Login(void* pCtx, char* pszUserPIN) {
    return api::run(pCtx, "QELT_HSM_Login", [&](ApiCall& call) {
        PCryptoki* p = nullptr;
        if (const int rc = requireToken(call, Need::Session, p)) return rc;
        if (!hasText(pszUserPIN)) return call.invalid("Input user's PIN (pszUserPIN).");
        if (p->login(pszUserPIN) != 0) return tokenFailed(call, *p, "사용자의 토큰 로그인을 실패하였습니다."_cp949);
        return QELT_OK;
    });
}

QELT_EXPORT int QELT_HSM_Logout(void* pCtx) {
    return api::run(pCtx, "QELT_HSM_Logout", [&](ApiCall& call) {
        PCryptoki* p = nullptr;
        if (const int rc = requireToken(call, Need::Session, p)) return rc;
        if (p->logout() != 0) return tokenFailed(call, *p, "로그 아웃하는데 실패하였습니다."_cp949);
        return QELT_OK;
    });
}

QELT_EXPORT int QELT_HSM_CloseSession(void* pCtx) {
    return api::run(pCtx, "QELT_HSM_CloseSession", [&](ApiCall& call) {
        PCryptoki* p = nullptr;
        if (const int rc = requireToken(call, Need::Session, p)) return rc;
        if (p->closeSession() != 0)
            return tokenFailed(call, *p,
                               std::string(p->failedFunction()) == "C_Finalize"
                                   ? "Cryptoki 종료를 실패하였습니다."_cp949
                                   : "세션을 닫는데 실패하였습니다."_cp949);
        return QELT_OK;
    });
}

QELT_EXPORT int QELT_HSM_ChangePIN(void* pCtx, char* pszOldPIN, char* pszNewPIN) {
    return api::run(pCtx, "QELT_HSM_ChangePIN", [&](ApiCall& call) {
        if (!hasText(pszOldPIN)) return call.invalid("Input old PIN (pszOldPIN).");
        if (!hasText(pszNewPIN)) return call.invalid("Input new PIN (pszNewPIN).");
        PCryptoki* p = nullptr;
        if (const int rc = requireToken(call, Need::Login, p)) return rc;
        if (p->setPin(pszOldPIN, pszNewPIN) != 0)
            return tokenFailed(call, *p, "PIN값을 변경하는데 실패하였습니다."_cp949);
        return QELT_OK;
    });
}

namespace {

int certificateObjects(ApiCall& call, PCryptoki& p, std::vector<CK_OBJECT_HANDLE>& found) {
    Template t;
    t.ulong(CKA_CLASS, CKO_CERTIFICATE);
    if (p.findObjects(t.attrs, found, "certificates") == 0) return 0;
    return std::string(p.failedFunction()) == "C_FindObjectsInit"
               ? tokenFailed(call, p, "객체를 찾기 위한 초기화를 실패하였습니다."_cp949)
               : tokenFailed(call, p, "CERTIFICATE 객체를 찾는데 실패하였습니다."_cp949);
}

}  // namespace

QELT_EXPORT int QELT_HSM_GetCertCnt(void* pCtx, int* pnCount) {
    return api::run(pCtx, "QELT_HSM_GetCertCnt", [&](ApiCall& call) {
        if (pnCount == nullptr) return call.nullOutput("pnCount");
        PCryptoki* p = nullptr;
        if (const int rc = requireToken(call, Need::Session, p)) return rc;
        std::vector<CK_OBJECT_HANDLE> found;
        if (const int rc = certificateObjects(call, *p, found)) return rc;
        *pnCount = static_cast<int>(found.size());
        return QELT_OK;
    });
}

QELT_EXPORT int QELT_HSM_GetCertInfo(void* pCtx, int nIndex, int* pnCertType, BINSTR* pKeyID, BINSTR* pCertDN) {
    return api::run(pCtx, "QELT_HSM_GetCertInfo", [&](ApiCall& call) {
        if (pnCertType == nullptr) return call.nullOutput("pnCertType");
        if (pKeyID == nullptr) return call.nullOutput("pKeyID");
        if (pCertDN == nullptr) return call.nullOutput("pCertDN");
        PCryptoki* p = nullptr;
        if (const int rc = requireToken(call, Need::Session, p)) return rc;
        std::vector<CK_OBJECT_HANDLE> found;
        if (const int rc = certificateObjects(call, *p, found)) return rc;
        if (found.empty()) return call.fail(QELT_ERR_HSM_BASE, "No stored certificate object on token.");
        if (nIndex < 0 || nIndex >= static_cast<int>(found.size()))
            return call.failf(QELT_ERR_HSM_BASE, "The index(%d) is out of the %d certificates.", nIndex,
                              static_cast<int>(found.size()));
        ByteString name, cert;
        if (p->getAttribute(found[nIndex], CKA_LABEL, name, "label") != 0)
            return tokenFailed(call, *p, "CERTIFICATE 객체 값을 획득하는데 실패하였습니다."_cp949);
        if (readValue(call, *p, found[nIndex], name.c_str(), cert) != 0) return call.ctx().nErrCode;
        // Our labels name the kind and the KeyID; another application's
        // certificate is known by its CKA_ID.
        std::string text(name.c_str()), keyId;
        int type = 0;
        for (auto [prefix, kind] :
             {std::pair{"SIGN_CERT=", QELT_HSM_CERT_SIGN}, std::pair{"KM_CERT=", QELT_HSM_CERT_KM}})
            if (text.rfind(prefix, 0) == 0) {
                type = kind;
                keyId = text.substr(std::strlen(prefix));
            }
        if (keyId.empty()) {
            ByteString id;
            if (p->getAttribute(found[nIndex], CKA_ID, id, "id") != 0)
                return tokenFailed(call, *p, "CERTIFICATE 객체 값을 획득하는데 실패하였습니다."_cp949);
            keyId = id.c_str();
        }
        PCertUtil util;
        if (util.parseCertificate(cert) != 0)
            return call.failCore(QELT_ERR_CERT_INVALID, "잘못된 인증서 입니다."_cp949, util);
        const ByteString dn(util.getSubjectDN());
        if (const int rc = call.putBytes(pKeyID, keyId.data(), static_cast<int>(keyId.size()), "pKeyID")) return rc;
        if (const int rc = call.putBytes(pCertDN, dn, "pCertDN")) return rc;
        *pnCertType = type;
        return QELT_OK;
    });
}

QELT_EXPORT int QELT_HSM_ReadCert(void* pCtx, BINSTR* pKeyID, BINSTR* pCert) {
    return api::run(pCtx, "QELT_HSM_ReadCert", [&](ApiCall& call) {
        std::string keyId;
        if (!keyIdOf(pKeyID, keyId)) return call.invalid("Input Certificate ID (pKeyID).");
        if (pCert == nullptr) return call.invalid("pointer of pCert is NULL.");
        PCryptoki* p = nullptr;
        if (const int rc = requireToken(call, Need::Session, p)) return rc;
        ByteString cert;
        std::string name;
        if (const int rc = readCertificate(call, *p, keyId, cert, name)) return rc;
        return call.putBytes(pCert, cert, "pCert");
    });
}

QELT_EXPORT int QELT_HSM_ReadRandomForVID(void* pCtx, BINSTR* pKeyID, BINSTR* pRandom) {
    return api::run(pCtx, "QELT_HSM_ReadRandomForVID", [&](ApiCall& call) {
        std::string keyId;
        if (!keyIdOf(pKeyID, keyId)) return call.invalid("Input certificate ID (pKeyID).");
        if (pRandom == nullptr) return call.invalid("pointer of pRandom is NULL.");
        PCryptoki* p = nullptr;
        if (const int rc = requireToken(call, Need::Login, p)) return rc;
        const std::string name = label("R4VID=", keyId);
        CK_OBJECT_HANDLE obj = CK_INVALID_HANDLE;
        if (const int rc = findOne(call, *p, CKO_DATA, name, obj)) return rc;
        if (obj == CK_INVALID_HANDLE) return missing(call, name);
        ByteString random;
        if (const int rc = readValue(call, *p, obj, name, random)) return rc;
        return call.putBytes(pRandom, random, "pRandom");
    });
}

QELT_EXPORT int QELT_HSM_WriteCertAndPriKey(void* pCtx, BINSTR* pCert, BINSTR* pPriKey) {
    return api::run(pCtx, "QELT_HSM_WriteCertAndPriKey", [&](ApiCall& call) {
        if (!hasBytes(pCert)) return call.invalid("Input certificate (pCert).");
        if (!hasBytes(pPriKey)) return call.invalid("Input private key (pPriKey).");
        PCryptoki* p = nullptr;
        if (const int rc = requireToken(call, Need::Login, p)) return rc;
        const ByteString cert = bytesOf(pCert);
        ByteString key = bytesOf(pPriKey);

        // The certificate decides the kind of objects.
        PCertUtil util;
        if (util.parseCertificate(cert) != 0)
            return call.failCore(QELT_ERR_CERT_INVALID, "잘못된 인증서 입니다."_cp949, util);
        const ByteString usage = util.get_KeyUsage_value();
        const bool noUsage = util.errorCode() == PCertUtil::kAbsent;
        const uint8_t bits = usage.isEmpty() ? 0 : usage.data()[0];
        bool signing;
        if (noUsage || (bits & (kDigitalSignature | kNonRepudiation)) != 0)
            signing = true;
        else if ((bits & kKeyEncipherment) != 0)
            signing = false;
        else
            return call.fail(QELT_ERR_HSM_BASE, "This certificate is not for the signing or the encryption.");

        if (RPrivateKeyInfo(key).errorCode() != 0)
            return call.fail(QELT_ERR_PRIKEY_NOT_PRIKEY, "복호화된 개인키가 아닙니다."_cp949);
        PCryptUtil pair;
        if (pair.verifySignatureWithCert(cert, key) != 0)
            return call.failCore(QELT_ERR_KEYPAIR_MISMATCH, "키쌍이 맞지 않습니다."_cp949, pair);
        // The random number goes to its own object; the key is stored without it.
        ByteString random;
        PPrivateKey priKey;
        const bool hasRandom = signing && priKey.getRandomNumber(key, random, false) == 0;

        std::string keyId;
        if (const int rc = keyIdOfCert(call, cert, keyId)) return rc;
        const std::string certLabel = label(signing ? "SIGN_CERT=" : "KM_CERT=", keyId);
        const std::string keyLabel = label(signing ? "SIGN_PRI_KEY=" : "KM_PRI_KEY=", keyId);
        const std::string randomLabel = label("R4VID=", keyId);
        CK_OBJECT_HANDLE existing = CK_INVALID_HANDLE;
        if (const int rc = findOne(call, *p, CKO_CERTIFICATE, certLabel, existing)) return rc;
        if (existing != CK_INVALID_HANDLE) return call.fail(QELT_ERR_HSM_BASE, "이미 존재하는 KeyID입니다."_cp949);
        // Objects of the KeyID left behind by an earlier, broken write go first.
        for (auto [cls, name] : {std::pair{CKO_PRIVATE_KEY, keyLabel}, std::pair{CKO_DATA, randomLabel}}) {
            std::vector<CK_OBJECT_HANDLE> stale;
            if (const int rc = findByLabel(call, *p, cls, name, stale)) return rc;
            for (CK_OBJECT_HANDLE h : stale)
                if (p->destroyObject(h, "stale") != 0) {
                    ByteString msg;
                    msg.format("%s 객체를 삭제하는데 실패하였습니다."_cp949, name.c_str());
                    return tokenFailed(call, *p, msg.c_str());
                }
        }

        Created created{*p, {}};
        RCertificate record(cert);
        const RTBSCertificate& tbs = record.getTbsCertificate();
        RRDNSequence subject(tbs.getSubject()), issuer(tbs.getIssuer());
        ASN1Integer serial(tbs.getSerialNumber());
        Template t;
        t.ulong(CKA_CLASS, CKO_CERTIFICATE)
            .ulong(CKA_CERTIFICATE_TYPE, CKC_X_509)
            .flag(CKA_TOKEN, true)
            .flag(CKA_PRIVATE, false)
            .text(CKA_LABEL, certLabel)
            .text(CKA_ID, keyId)
            .bytes(CKA_SUBJECT, ByteString(subject.toASN1Object()))
            .bytes(CKA_ISSUER, ByteString(issuer.toASN1Object()))
            .bytes(CKA_SERIAL_NUMBER, ByteString(serial.toASN1Object()))
            .bytes(CKA_VALUE, cert);
        CK_OBJECT_HANDLE certObj = CK_INVALID_HANDLE;
        if (p->createObject(t.attrs, certObj, "certificate") != 0) {
            ByteString msg;
            msg.format("%s를(을) 저장하는데 실패하였습니다."_cp949, certLabel.c_str());
            return tokenFailed(call, *p, msg.c_str());
        }
        created.handles.push_back(certObj);
        if (const int rc = storePrivateKey(call, *p, key, keyLabel, keyId, signing, created)) return rc;
        if (hasRandom) {
            Template d;
            d.ulong(CKA_CLASS, CKO_DATA)
                .flag(CKA_TOKEN, true)
                .flag(CKA_PRIVATE, true)
                .text(CKA_APPLICATION, kVidApplication)
                .text(CKA_LABEL, randomLabel)
                .bytes(CKA_VALUE, random);  // data objects have no CKA_ID: the label names the KeyID
            CK_OBJECT_HANDLE dataObj = CK_INVALID_HANDLE;
            if (p->createObject(d.attrs, dataObj, "random") != 0) {
                ByteString msg;
                msg.format("%s를(을) 저장하는데 실패하였습니다."_cp949, randomLabel.c_str());
                return tokenFailed(call, *p, msg.c_str());
            }
            created.handles.push_back(dataObj);
        }
        created.keep = true;
        return QELT_OK;
    });
}

QELT_EXPORT int QELT_HSM_DeleteCertAndPriKey(void* pCtx, BINSTR* pKeyID) {
    return api::run(pCtx, "QELT_HSM_DeleteCertAndPriKey", [&](ApiCall& call) {
        std::string keyId;
        if (!keyIdOf(pKeyID, keyId)) return call.invalid("Input certificate ID (pKeyID).");
        PCryptoki* p = nullptr;
        if (const int rc = requireToken(call, Need::Login, p)) return rc;
        // Every object of the KeyID: certificate, private and public key, random number.
        int destroyed = 0;
        for (CK_OBJECT_CLASS cls : {CKO_CERTIFICATE, CKO_PRIVATE_KEY, CKO_PUBLIC_KEY, CKO_DATA}) {
            Template t;
            if (cls == CKO_DATA)
                t.ulong(CKA_CLASS, cls).text(CKA_LABEL, label("R4VID=", keyId));
            else
                t.ulong(CKA_CLASS, cls).text(CKA_ID, keyId);
            std::vector<CK_OBJECT_HANDLE> found;
            if (p->findObjects(t.attrs, found, "objects") != 0)
                return tokenFailed(call, *p, "객체를 찾기 위한 초기화를 실패하였습니다."_cp949);
            for (CK_OBJECT_HANDLE h : found) {
                if (p->destroyObject(h, "object") != 0) {
                    ByteString msg;
                    msg.format("%s 객체를 삭제하는데 실패하였습니다."_cp949, keyId.c_str());
                    return tokenFailed(call, *p, msg.c_str());
                }
                ++destroyed;
            }
        }
        if (destroyed == 0) return missing(call, label("SIGN_CERT=", keyId));
        return QELT_OK;
    });
}

namespace {

// Whether `signature` over `tbs` verifies with the certificate's public key.
bool signatureMatches(const ByteString& cert, const ByteString& tbs, const ByteString& signature, int hash) {
    PPublicKey key;
    return key.verifySignatureWithCert(cert, tbs, signature, hash) == 0;
}

// The private key of a KeyID (handle and type) and its certificate, read from
// the token.
int findSigningObjects(ApiCall& call, PCryptoki& p, const std::string& keyId, PCryptoki::SigningObjects& out) {
    const std::string keyLabel = label("SIGN_PRI_KEY=", keyId);
    if (const int rc = findOne(call, p, CKO_PRIVATE_KEY, keyLabel, out.key)) return rc;
    if (out.key == CK_INVALID_HANDLE) return missing(call, keyLabel);
    ByteString keyType;
    if (p.getAttribute(out.key, CKA_KEY_TYPE, keyType, "key type") != 0 || keyType.length() != sizeof(CK_KEY_TYPE))
        return tokenFailed(call, p, "SIGN_PRI_KEY 객체 값을 획득하는데 실패하였습니다."_cp949);
    std::memcpy(&out.keyType, keyType.data(), sizeof out.keyType);
    std::string certName;
    return readCertificate(call, p, keyId, out.cert, certName);
}

}  // namespace

QELT_EXPORT int QELT_HSM_SignData(void* pCtx, BINSTR* pKeyID, BINSTR* pData, BINSTR* pSignedData) {
    return api::run(pCtx, "QELT_HSM_SignData", [&](ApiCall& call) {
        std::string keyId;
        if (!keyIdOf(pKeyID, keyId)) return call.invalid("Input certificate ID (pKeyID).");
        if (!hasBytes(pData)) return call.invalid("Input data for signing.");
        if (pSignedData == nullptr) return call.invalid("pointer of pSignedData is NULL.");
        PCryptoki* p = nullptr;
        if (const int rc = requireToken(call, Need::Login, p)) return rc;
        constexpr auto kMakeFailed = "서명 메시지(SignedData)를 구성하는데 실패하였습니다."_cp949;

        PCryptoki::SigningObjects objects;
        const bool fromCache = p->cachedSigningObjects(keyId) != nullptr;
        if (fromCache) {
            objects = *p->cachedSigningObjects(keyId);
        } else {
            if (const int rc = findSigningObjects(call, *p, keyId, objects)) return rc;
            p->rememberSigningObjects(keyId, objects);
        }
        const CK_KEY_TYPE type = objects.keyType;
        const ByteString& cert = objects.cert;

        PSignedData sd;
        sd.setOption(PSignedData::kPkcs7);
        if (call.ctx().nOption & QELT_OPT_CMS_CONTENTINFO) sd.setOption(PSignedData::kWrapContentInfo);
        (void)sd.setContent(bytesOf(pData), nullptr);
        sd.setSigningTime(nullptr);
        int hash = 0;
        if (const int rc = cms::chooseSignerHash(call, cert, hash)) return rc;
        sd.setHashAlgorithm(hash);
        ByteString tbs, digest;
        if (sd.getTBSData(cert, tbs) != 0) return call.failCore(QELT_ERR_SIGNED_MAKE, kMakeFailed, sd);
        ZRHash hasher;
        if (hasher.DigestData(hash, tbs, digest) != 0)
            return call.failCore(QELT_ERR_DIGEST, "메시지 다이제스트를 생성하는데 실패하였습니다."_cp949, hasher);

        ByteString toSign, signature;
        CK_MECHANISM_TYPE mechanism;
        if (type == CKK_RSA) {
            const DigestPrefix* prefix = nullptr;
            for (const DigestPrefix& d : kDigestPrefixes)
                if (d.hash == hash) prefix = &d;
            if (prefix == nullptr)
                return call.fail(QELT_ERR_HASH_ALGORITHM, "지원되지 않는 HASH 알고리즘입니다."_cp949);
            toSign.set(prefix->prefix.data(), static_cast<int>(prefix->prefix.size()));
            toSign.append(digest);
            mechanism = CKM_RSA_PKCS;
        } else if (type == CKK_EC) {
            toSign = digest;
            mechanism = CKM_ECDSA;
        } else {
            return call.fail(QELT_ERR_HSM_BASE, "지원하지 않는 비대칭키 알고리즘입니다."_cp949);
        }
        // A kept handle may have gone stale, or (on a token that reuses handles)
        // name another object since: a signature made with it is checked against
        // the certificate before it is used, and on any doubt the objects are
        // looked up afresh and the data signed again.
        int signed_ = p->sign(objects.key, mechanism, toSign, signature);
        if (signed_ == 0 && type == CKK_EC) signature = ecdsaSigValue(signature);
        if (fromCache && (signed_ != 0 || !signatureMatches(cert, tbs, signature, hash))) {
            p->forgetObjects();
            PCryptoki::SigningObjects fresh;
            if (const int rc = findSigningObjects(call, *p, keyId, fresh)) return rc;
            if (fresh.keyType != objects.keyType || !(fresh.cert == objects.cert))
                return missing(call, label("SIGN_PRI_KEY=", keyId));
            p->rememberSigningObjects(keyId, fresh);
            signed_ = p->sign(fresh.key, mechanism, toSign, signature);
            if (signed_ == 0 && type == CKK_EC) signature = ecdsaSigValue(signature);
        }
        if (signed_ != 0) return tokenFailed(call, *p, "서명값을 생성하는데 실패하였습니다."_cp949);
        ByteString der;
        if (sd.composeSignedData(signature, der) != 0) return call.failCore(QELT_ERR_SIGNED_MAKE, kMakeFailed, sd);
        return call.putBytes(pSignedData, der, "pSignedData");
    });
}
