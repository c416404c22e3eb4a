// Signing and verification with a decrypted private key and a certificate or
// public-key info: in memory and over files.
#include <cstdio>
#include <memory>

#include "ZRCrypto/ZRSign.h"
#include "ZRCrypto/algorithm_ids.h"
#include "ZRProcess/PPrivateKey.h"
#include "ZRProcess/PPublicKey.h"
#include "api/api_call.h"
#include "util/cp949_literal.h"
#include "util/file_io.h"

using namespace qelt;

namespace {

constexpr size_t kFileBlock = 8192;

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

int hashRefused(ApiCall& call) {
    return call.fail(QELT_ERR_HASH_ALGORITHM, "지원되지 않는 HASH 알고리즘입니다."_cp949);
}

// Maps a failure of the private-key class while signing.
int signFailure(ApiCall& call, const PPrivateKey& key, bool withCert) {
    switch (key.failure()) {
        case PPrivateKey::Failure::NeedPublicKey:
            return call.fail(QELT_ERR_KCDSA_NEEDS_CERT,
                             withCert ? "KCDSA 서명을 위해서는 인증서 정보를 지정해야 합니다."_cp949
                                      : "KCDSA 서명을 위해서는 공개키 정보를 지정해야 합니다."_cp949);
        case PPrivateKey::Failure::NotPrivateKey:
            return call.fail(QELT_ERR_PRIKEY_NOT_PRIKEY, "복호화된 개인키가 아닙니다."_cp949);
        case PPrivateKey::Failure::NotCertificate:
            return call.fail(QELT_ERR_CERT_NOT_CERT, "인증서가 아닙니다."_cp949);
        default:
            return call.failCore(QELT_ERR_SIGN, "서명값을 생성하는데 실패하였습니다."_cp949, key);
    }
}

int sign(ApiCall& call, BINSTR* pPub, bool isCert, BINSTR* pPriKey, int nHashAlg, BINSTR* pTBSData,
         BINSTR* pSignature) {
    if (!hasBytes(pPriKey)) return call.invalid("서명에 사용할 개인키(pPriKey)를 지정해 주세요."_cp949);
    if (!hasBytes(pTBSData)) return call.invalid("서명할 데이터(pTBSData)를 지정해 주세요."_cp949);
    if (pSignature == nullptr) return call.nullOutput("pSignature");
    const auto hash = hashAlgOfApiCode(nHashAlg);
    if (!hash) return hashRefused(call);
    PPrivateKey key;
    if (key.setPrivateKeyInfo(bytesOf(pPriKey)) != 0) return signFailure(call, key, isCert);
    const ByteString pub = bytesOf(pPub);
    ByteString signature;
    if (key.genSignature(*hash, bytesOf(pTBSData), signature, pub.isEmpty() ? nullptr : &pub, isCert) != 0)
        return signFailure(call, key, isCert);
    return call.putBytes(pSignature, signature, "signature");
}

int verify(ApiCall& call, BINSTR* pPub, bool isCert, int nHashAlg, BINSTR* pData, BINSTR* pSignature) {
    // Both forms word the missing key the same way.
    if (!hasBytes(pPub)) return call.invalid("인증서(pCert)를 지정해 주세요."_cp949);
    if (!hasBytes(pData)) return call.invalid("서명의 원본 메시지(pData)를 지정해 주세요."_cp949);
    if (!hasBytes(pSignature)) return call.invalid("서명값(pSignature)를 지정해 주세요."_cp949);
    const auto hash = hashAlgOfApiCode(nHashAlg);
    if (!hash) return hashRefused(call);
    PPublicKey key;
    const ByteString pub = bytesOf(pPub), data = bytesOf(pData), sig = bytesOf(pSignature);
    const int rc = isCert ? key.verifySignatureWithCert(pub, data, sig, *hash)
                          : (key.setPublicKeyInfo(pub) != 0 ? 1 : key.verifySignature(data, sig, *hash));
    if (rc == 0) return 0;
    if (key.failure() == PPublicKey::Failure::NotCertificate)
        return call.fail(QELT_ERR_CERT_NOT_CERT, "인증서가 아닙니다."_cp949);
    return call.failCore(QELT_ERR_VERIFY, "서명값을 검증하는데 실패하였습니다."_cp949, key);
}

// Feeds the file in 8192-byte blocks; 0, or the API code already recorded.
template <class Update>
int feedFile(ApiCall& call, const char* path, Update&& update, const ErrorHolder& core, int failCode,
             const char* failMessage) {
    FilePtr f(std::fopen(path, "rb"));
    if (!f) return call.failf(QELT_ERR_FILE_READ, "\"%s\" 위치의 파일을 읽는데 실패하였습니다."_cp949, path);
    std::unique_ptr<uint8_t[]> buf(new (std::nothrow) uint8_t[kFileBlock + 1]);
    if (!buf) return call.noMemory("memory alloc fail");
    for (;;) {
        const size_t n = std::fread(buf.get(), 1, kFileBlock, f.get());
        if (n < kFileBlock && std::ferror(f.get()))
            return call.fail(QELT_ERR_FILE_READ_SIZE, "파일 사이즈 만큼 데이터를 읽는데 실패하였습니다."_cp949);
        if (n > 0 && update(buf.get(), static_cast<int>(n)) != 0) return call.failCore(failCode, failMessage, core);
        if (n < kFileBlock) break;
    }
    secureWipe(buf.get(), kFileBlock + 1);
    return 0;
}

}  // namespace

QELT_EXPORT int QELT_CRYPT_Sign(void* pCtx, BINSTR* pCert, BINSTR* pPriKey, int nHashAlg, BINSTR* pTBSData,
                                BINSTR* pSignature) {
    return api::run(pCtx, "QELT_CRYPT_Sign",
                    [&](ApiCall& call) { return sign(call, pCert, true, pPriKey, nHashAlg, pTBSData, pSignature); });
}

QELT_EXPORT int QELT_CRYPT_Sign2(void* pCtx, BINSTR* pPubKeyInfo, BINSTR* pPriKey, int nHashAlg, BINSTR* pTBSData,
                                 BINSTR* pSignature) {
    return api::run(pCtx, "QELT_CRYPT_Sign2", [&](ApiCall& call) {
        return sign(call, pPubKeyInfo, false, pPriKey, nHashAlg, pTBSData, pSignature);
    });
}

QELT_EXPORT int QELT_CRYPT_Verify(void* pCtx, BINSTR* pCert, int nHashAlg, BINSTR* pData, BINSTR* pSignature) {
    return api::run(pCtx, "QELT_CRYPT_Verify",
                    [&](ApiCall& call) { return verify(call, pCert, true, nHashAlg, pData, pSignature); });
}

QELT_EXPORT int QELT_CRYPT_Verify2(void* pCtx, BINSTR* pPubKeyInfo, int nHashAlg, BINSTR* pData, BINSTR* pSignature) {
    return api::run(pCtx, "QELT_CRYPT_Verify2",
                    [&](ApiCall& call) { return verify(call, pPubKeyInfo, false, nHashAlg, pData, pSignature); });
}

QELT_EXPORT int QELT_CRYPT_Sign_File(void* pCtx, BINSTR* pCert, BINSTR* pPriKey, int nHashAlg,
                                     const char* pszDataFilePath, const char* pszSignatureFilePath) {
    return api::run(pCtx, "QELT_CRYPT_Sign_File", [&](ApiCall& call) {
        if (!hasBytes(pPriKey)) return call.invalid("서명에 사용할 개인키(pPriKey)를 지정해 주세요."_cp949);
        if (!hasText(pszDataFilePath))
            return call.invalid("서명할 데이터의 파일경로(pszDataFilePath)를 지정해 주세요."_cp949);
        if (!hasText(pszSignatureFilePath))
            return call.invalid("서명 데이터를 저장할 경로 (pszSignatureFilePath)를 지정해 주세요."_cp949);
        const auto hash = hashAlgOfApiCode(nHashAlg);
        if (!hash) return hashRefused(call);
        PPrivateKey key;
        if (key.setPrivateKeyInfo(bytesOf(pPriKey)) != 0) return signFailure(call, key, true);
        const ByteString cert = bytesOf(pCert);
        int alg = 0;
        ByteString engineKey;
        if (key.GetPrivateKeyAlgorithm(*hash, false, cert.isEmpty() ? nullptr : &cert, true, alg, engineKey) != 0)
            return signFailure(call, key, true);
        ZRSign signer;
        if (signer.SignData_Init(alg, engineKey) != 0)
            return call.failCore(QELT_ERR_SIGN, "서명값을 생성하는데 실패하였습니다."_cp949, signer);
        const int rc = feedFile(
            call, pszDataFilePath, [&](const uint8_t* p, int n) { return signer.SignData_Update(p, n); }, signer,
            QELT_ERR_SIGN, "서명값을 생성하는데 실패하였습니다."_cp949);
        if (rc != 0) return rc;
        ByteString signature;
        if (signer.SignData_Final(signature) != 0)
            return call.failCore(QELT_ERR_SIGN, "서명값을 생성하는데 실패하였습니다."_cp949, signer);
        if (writeWholeFile(pszSignatureFilePath, signature) != WriteFileResult::Ok)
            return call.failf(QELT_ERR_FILE_WRITE, "\"%s\" 위치에 파일을 저장하는데 실패하였습니다."_cp949,
                              pszSignatureFilePath);
        return 0;
    });
}

QELT_EXPORT int QELT_CRYPT_Verify_File(void* pCtx, BINSTR* pCert, int nHashAlg, const char* pszDataFilePath,
                                       const char* pszSignatureFilePath) {
    return api::run(pCtx, "QELT_CRYPT_Verify_File", [&](ApiCall& call) {
        if (!hasBytes(pCert)) return call.invalid("인증서(pCert)를 지정해 주세요."_cp949);
        if (!hasText(pszDataFilePath))
            return call.invalid("원본데이터의 파일경로(pszDataFilePath)를 지정해주세요."_cp949);
        if (!hasText(pszSignatureFilePath))
            return call.invalid("서명값의 파일경로(pszSignatureFilePath)를 지정해 주세요."_cp949);
        PPublicKey key;
        if (key.setCertificate(bytesOf(pCert)) != 0)
            return call.fail(QELT_ERR_CERT_INVALID, "잘못된 인증서 입니다."_cp949);
        const auto hash = hashAlgOfApiCode(nHashAlg);
        if (!hash) return hashRefused(call);
        int alg = 0;
        ByteString engineKey;
        if (key.getSignatureAlgorithm(*hash, alg, engineKey) != 0)
            return call.failCore(QELT_ERR_VERIFY, "서명값을 검증하는데 실패하였습니다."_cp949, key);
        ByteString signature;
        if (readWholeFile(pszSignatureFilePath, signature) != ReadFileResult::Ok)
            return call.failf(QELT_ERR_FILE_READ, "\"%s\" 위치의 파일을 읽는데 실패하였습니다."_cp949,
                              pszSignatureFilePath);
        ZRSign verifier;
        if (verifier.VerifyData_Init(alg, engineKey) != 0)
            return call.failCore(QELT_ERR_VERIFY, "서명값을 검증하는데 실패하였습니다."_cp949, verifier);
        const int rc = feedFile(
            call, pszDataFilePath, [&](const uint8_t* p, int n) { return verifier.VerifyData_Update(p, n); }, verifier,
            QELT_ERR_VERIFY, "서명값을 검증하는데 실패하였습니다."_cp949);
        if (rc != 0) return rc;
        if (verifier.VerifyData_Final(signature) != 0)
            return call.failCore(QELT_ERR_VERIFY, "서명값을 검증하는데 실패하였습니다."_cp949, verifier);
        return 0;
    });
}
