// The session-key cipher functions: a key and IV kept in the context (made,
// set, read or cleared here), and encryption and decryption of byte strings
// and files with them, always in CBC mode.
#include <cstdio>
#include <memory>
#include <span>

#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/random_source.h"
#include "ZRCrypto/zr_encrypt.h"
#include "api/api_call.h"
#include "api/file_write_behind.h"
#include "util/cp949_literal.h"
#include "util/wiped_buffer.h"

using namespace qelt;

namespace {

struct SessionCipher {
    int apiCode;
    int keyLen;
    int ivLen;
    const char* keyText;  // 1801
    const char* ivText;   // 1802
};

constexpr SessionCipher kSessionCiphers[] = {
    {QELT_SYM_DES, 8, 8, "DES 알고리즘은 Key가 8바이트 필요합니다."_cp949,
     "DES 알고리즘은 IV가 8바이트 필요합니다."_cp949},
    {QELT_SYM_3DES, 24, 8, "3DES 알고리즘은 Key가 24바이트 필요합니다."_cp949,
     "3DES 알고리즘은 IV가 8바이트 필요합니다."_cp949},
    {QELT_SYM_SEED, 16, 16, "SEED 알고리즘은 Key가 16바이트 필요합니다."_cp949,
     "SEED 알고리즘은 IV가 16바이트 필요합니다."_cp949},
    {QELT_SYM_NEAT, 16, 16, "NEAT 알고리즘은 Key가 16바이트 필요합니다."_cp949,
     "NEAT 알고리즘은 IV가 16바이트 필요합니다."_cp949},
    {QELT_SYM_ARIA, 16, 16, "ARIA 알고리즘은 Key가 16바이트 필요합니다."_cp949,
     "ARIA 알고리즘은 IV가 16바이트 필요합니다."_cp949},
};

const SessionCipher* sessionCipher(int apiCode) {
    for (const SessionCipher& c : kSessionCiphers)
        if (c.apiCode == apiCode) return &c;
    return nullptr;
}

constexpr int kChunk = 8192;
constexpr size_t kIoBuffer = 128 * 1024;
constexpr int kFileAlgRefused = 19;  // an algorithm code the file functions refuse outright

int unsupportedAlgorithm(ApiCall& call) {
    return call.fail(QELT_ERR_SYM_ALGORITHM, "지원되지 않는 대칭키 알고리즘입니다."_cp949);
}
int noSession(ApiCall& call) {
    return call.fail(QELT_ERR_NO_KEY_AND_IV, "대칭키 알고리즘의 Key와 IV가 설정되지 않았습니다."_cp949);
}
// Crypto-layer failures of this family, by direction.
int cipherFailed(ApiCall& call, bool decrypt, const ZREncrypt& enc) {
    return decrypt ? call.failCore(QELT_ERR_DECRYPT, "데이터를 복호화하는데 실패하였습니다."_cp949, enc)
                   : call.failCore(QELT_ERR_ENCRYPT, "데이터를 암호화하는데 실패하였습니다."_cp949, enc);
}

bool sessionSet(const ApiContext& ctx) {
    return ctx.nSymAlg != 0 && ctx.nSymMode != 0 && ctx.pSessionKey != nullptr && !ctx.pSessionKey->isEmpty() &&
           ctx.pSessionIv != nullptr && !ctx.pSessionIv->isEmpty();
}

int paddingOf(const ApiContext& ctx) { return (ctx.nOption & QELT_OPT_NO_PADDING) != 0 ? 0 : 2; }

// Stores algorithm, CBC mode, key and IV in the context.
int storeSession(ApiCall& call, int algCode, const uint8_t* key, int keyLen, const uint8_t* iv, int ivLen) {
    ApiContext& ctx = call.ctx();
    ByteString* k = ensureBytes(ctx.pSessionKey);
    if (k == nullptr) return call.noMemory("pApiCtx->pSessionKey");
    ByteString* v = ensureBytes(ctx.pSessionIv);
    if (v == nullptr) return call.noMemory("pApiCtx->pSessionIv");
    k->set(key, keyLen);
    v->set(iv, ivLen);
    ctx.nSymAlg = algCode;
    ctx.nSymMode = MODE_CBC;
    return QELT_OK;
}

// The input is read in place and the result written once, straight into the
// memory the caller's record keeps (BinstrOutput): a large message costs the
// cipher and one pass of stores, not a chain of copies.
int cryptBytes(ApiCall& call, bool decrypt, BINSTR* pIn, BINSTR* pOut) {
    ApiContext& ctx = call.ctx();
    if (!sessionSet(ctx)) return noSession(call);
    const std::span<const uint8_t> in(pIn->pVal, static_cast<size_t>(pIn->nLen));
    BinstrOutput output(pOut, {pIn});
    const ZREncrypt::OutputMemory memory = [&](size_t n) { return output.allocate(n); };
    size_t written = 0;
    ZREncrypt enc;
    const int rc = decrypt ? enc.DecryptDataTo(ctx.nSymAlg, ctx.nSymMode, *ctx.pSessionKey, *ctx.pSessionIv, in, memory,
                                               written, paddingOf(ctx))
                           : enc.EncryptDataTo(ctx.nSymAlg, ctx.nSymMode, *ctx.pSessionKey, *ctx.pSessionIv, in, memory,
                                               written, paddingOf(ctx));
    // The allocation stands for the BINSTR the result would have been copied into.
    if (rc == ZREncrypt::kNoOutputMemory)
        return call.failf(QELT_ERR_MEMORY, "QELT_BINSTR_SetData : %s", decrypt ? "plainText" : "cipherText");
    if (rc != 0) return cipherFailed(call, decrypt, enc);
    // A ciphertext of one padding block decrypts to nothing, which no BINSTR
    // can hold: refused as the record's setter refuses an empty value.
    if (written == 0) return call.putBytes(pOut, nullptr, 0, decrypt ? "plainText" : "cipherText");
    output.commit(written);
    return QELT_OK;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

int fileFailed(ApiCall& call, const char* path) {
    return call.failf(QELT_ERR_FILE_READ, "\"%s\" 위치의 파일을 읽는데 실패하였습니다."_cp949, path);
}

// Streams the input file through the session cipher in 8192-byte chunks; the
// output is exactly what the in-memory call gives for the whole content.
int cryptFile(ApiCall& call, bool decrypt, const char* inPath, const char* outPath) {
    if (!hasText(inPath)) return call.invalid("파일경로(pszPlainTextFile)를 지정해 주세요."_cp949);
    if (!hasText(outPath)) return call.invalid("파일경로(pszCipherTextFile)를 지정해 주세요."_cp949);
    ApiContext& ctx = call.ctx();
    if (!sessionSet(ctx)) return noSession(call);
    if (ctx.nSymAlg == kFileAlgRefused)
        return call.fail(QELT_ERR_ALGORITHM, "지원되지 않는 대칭키 알고리즘입니다."_cp949);

    // The content goes through in 8192-byte chunks, but the input is read
    // 128 KiB at a time into a buffer of ours (declared before the file so
    // that it is wiped after fclose: plaintext passes through it when
    // encrypting) and the output is written 128 KiB at a time by a
    // WriteBehind thread beside the cipher, unbuffered by stdio so that no
    // plaintext of a decryption lingers in a buffer of its own.
    WipedBuffer inBuffer(kIoBuffer);
    File in(std::fopen(inPath, "rb"));
    if (!in) return fileFailed(call, inPath);
    File out(std::fopen(outPath, "wb"));
    if (!out) return fileFailed(call, outPath);
    if (!inBuffer) return call.fail(QELT_ERR_MEMORY, "memory alloc fail");
    std::setvbuf(in.get(), reinterpret_cast<char*>(inBuffer.data()), _IOFBF, kIoBuffer);
    std::setvbuf(out.get(), nullptr, _IONBF, 0);
    if (std::fseek(in.get(), 0, SEEK_END) != 0) return call.fail(QELT_ERR_FILE_READ, "Fseek SEEK_END failed");
    const long size = std::ftell(in.get());
    if (size < 0) return call.fail(QELT_ERR_FILE_READ, "Fseek SEEK_END failed");
    const long chunks = (size + kChunk - 1) / kChunk;
    WipedBuffer buffer(kChunk + 1);
    if (!buffer) return call.fail(QELT_ERR_MEMORY, "memory alloc fail");
    if (std::fseek(in.get(), 0, SEEK_SET) != 0) return call.fail(QELT_ERR_FILE_READ, "fseek fail");

    WriteBehind writer(out.get());
    if (!writer.start()) return call.fail(QELT_ERR_MEMORY, "memory alloc fail");
    ZREncrypt enc;
    (void)(decrypt ? enc.DecryptData_Init(ctx.nSymAlg, ctx.nSymMode, *ctx.pSessionKey, *ctx.pSessionIv)
                   : enc.EncryptData_Init(ctx.nSymAlg, ctx.nSymMode, *ctx.pSessionKey, *ctx.pSessionIv));
    ByteString piece;
    long remaining = size;
    for (long i = 0; i < chunks; ++i) {
        const size_t want = remaining < kChunk ? static_cast<size_t>(remaining) : static_cast<size_t>(kChunk);
        if (std::fread(buffer.data(), 1, want, in.get()) != want) return call.fail(QELT_ERR_FILE_READ, "feof fail");
        remaining -= static_cast<long>(want);
        const int rc = decrypt ? enc.DecryptData_Update(buffer.data(), static_cast<int>(want), &piece)
                               : enc.EncryptData_Update(buffer.data(), static_cast<int>(want), &piece);
        if (rc != 0) return cipherFailed(call, decrypt, enc);
        if (!writer.write(piece.data(), static_cast<size_t>(piece.length()))) return fileFailed(call, outPath);
    }
    const int rc =
        decrypt ? enc.DecryptData_Final(&piece, paddingOf(ctx)) : enc.EncryptData_Final(&piece, paddingOf(ctx));
    if (rc != 0) return cipherFailed(call, decrypt, enc);
    if (!writer.write(piece.data(), static_cast<size_t>(piece.length())) || !writer.finish())
        return fileFailed(call, outPath);
    return QELT_OK;
}

}  // namespace

QELT_EXPORT int QELT_CRYPT_GenKeyAndIV(void* pCtx, int nSymAlg) {
    return api::run(pCtx, "QELT_CRYPT_GenKeyAndIV", [&](ApiCall& call) {
        const SessionCipher* c = sessionCipher(nSymAlg);
        const auto alg = symmetricAlgOfApiCode(nSymAlg);
        if (c == nullptr || !alg) return unsupportedAlgorithm(call);
        uint8_t bytes[40];
        const int n = c->keyLen + c->ivLen;
        if (!cryptoRandomBytes(bytes, static_cast<size_t>(n)))
            return call.fail(QELT_ERR_RANDOM, "랜덤값을 생성하는데 실패하였습니다."_cp949);
        const int rc = storeSession(call, *alg, bytes, c->keyLen, bytes + c->keyLen, c->ivLen);
        secureWipe(bytes, sizeof bytes);
        return rc;
    });
}

QELT_EXPORT int QELT_CRYPT_SetKeyAndIV(void* pCtx, int nSymAlg, BINSTR* pKey, BINSTR* pIV) {
    return api::run(pCtx, "QELT_CRYPT_SetKeyAndIV", [&](ApiCall& call) {
        if (!hasBytes(pKey)) return call.invalid("대칭키 암복호화에 사용될 key(pKey)를 지정하세요."_cp949);
        if (!hasBytes(pIV)) return call.invalid("대칭키 암복호화에 사용될 IV(pIV)를 지정하세요."_cp949);
        const SessionCipher* c = sessionCipher(nSymAlg);
        const auto alg = symmetricAlgOfApiCode(nSymAlg);
        if (c == nullptr || !alg) return unsupportedAlgorithm(call);
        if (pKey->nLen != c->keyLen) return call.fail(QELT_ERR_KEY_LENGTH, c->keyText);
        if (pIV->nLen != c->ivLen) return call.fail(QELT_ERR_IV_LENGTH, c->ivText);
        return storeSession(call, *alg, pKey->pVal, pKey->nLen, pIV->pVal, pIV->nLen);
    });
}

QELT_EXPORT int QELT_CRYPT_GetKeyAndIV(void* pCtx, int* pSymAlg, BINSTR* pKey, BINSTR* pIV) {
    return api::run(pCtx, "QELT_CRYPT_GetKeyAndIV", [&](ApiCall& call) {
        if (pSymAlg == nullptr) return call.nullOutput("pSymAlg");
        if (pKey == nullptr) return call.nullOutput("pKey");
        if (pIV == nullptr) return call.nullOutput("pIV");
        ApiContext& ctx = call.ctx();
        if (!sessionSet(ctx)) return noSession(call);
        const auto apiCode = apiCodeOfSymmetricAlg(ctx.nSymAlg);
        if (!apiCode) return unsupportedAlgorithm(call);
        *pSymAlg = *apiCode;
        if (const int rc = call.putBytes(pKey, *ctx.pSessionKey, "key"); rc != QELT_OK) return rc;
        return call.putBytes(pIV, *ctx.pSessionIv, "iv");
    });
}

QELT_EXPORT int QELT_CRYPT_ClearKeyAndIV(void* pCtx) {
    return api::run(pCtx, "QELT_CRYPT_ClearKeyAndIV", [&](ApiCall& call) {
        ApiContext& ctx = call.ctx();
        ctx.nSymAlg = 0;
        ctx.nSymMode = 0;
        releaseBytes(ctx.pSessionKey);  // wipes before release
        releaseBytes(ctx.pSessionIv);
        return QELT_OK;
    });
}

QELT_EXPORT int QELT_CRYPT_Encrypt(void* pCtx, BINSTR* pPlainText, BINSTR* pCipherText) {
    return api::run(pCtx, "QELT_CRYPT_Encrypt", [&](ApiCall& call) {
        if (!hasBytes(pPlainText)) return call.invalid("암호화할 데이터(pPlainText)를 지정하세요."_cp949);
        if (pCipherText == nullptr) return call.nullOutput("pCipherText");
        return cryptBytes(call, false, pPlainText, pCipherText);
    });
}

QELT_EXPORT int QELT_CRYPT_Decrypt(void* pCtx, BINSTR* pCipherText, BINSTR* pPlainText) {
    return api::run(pCtx, "QELT_CRYPT_Decrypt", [&](ApiCall& call) {
        if (!hasBytes(pCipherText)) return call.invalid("복호화할 데이터(pCipherText)를 지정하세요."_cp949);
        if (pPlainText == nullptr) return call.nullOutput("pPlainText");
        return cryptBytes(call, true, pCipherText, pPlainText);
    });
}

QELT_EXPORT int QELT_CRYPT_Encrypt_File(void* pCtx, const char* pszPlainTextFile, const char* pszCipherTextFile) {
    return api::run(pCtx, "QELT_CRYPT_Encrypt_File",
                    [&](ApiCall& call) { return cryptFile(call, false, pszPlainTextFile, pszCipherTextFile); });
}

QELT_EXPORT int QELT_CRYPT_Decrypt_File(void* pCtx, const char* pszCipherTextFile, const char* pszPlainTextFile) {
    return api::run(pCtx, "QELT_CRYPT_Decrypt_File",
                    [&](ApiCall& call) { return cryptFile(call, true, pszCipherTextFile, pszPlainTextFile); });
}
