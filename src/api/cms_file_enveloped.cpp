// EnvelopedData over files: QELT_CMS_MakeEnvelopedData_File,
// _NoContent_File and the matching QELT_CMS_ProcessEnvelopedData functions.
//
// The recipient part of the message is made or read in memory by the
// EnvelopedData classes, without its encrypted content; the content streams
// through the cipher in 8192-byte blocks, either inside the message file
// behind a hand-written header or in a file of its own.
#include <algorithm>
#include <utility>
#include <vector>

#include "ASN1Pkix/PEnvelopedData.h"
#include "ASN1Pkix/cms_stream_der.h"
#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/zr_encrypt.h"
#include "api/api_call.h"
#include "api/cms_envelope_common.h"
#include "api/cms_file_io.h"
#include "api/cms_key_usage.h"
#include "api/cms_shared.h"
#include "util/cp949_literal.h"
#include "util/file_io.h"

using namespace qelt;
using namespace qelt::cms;

namespace {

constexpr int kPadding = 2;  // 1 to blocksize bytes, always present
constexpr auto kMakeFailed = "암호 메시지(EnvelopedData)를 구성하는데 실패하였습니다."_cp949;
constexpr auto kEncryptFailed = "데이터를 암호화하는데 실패하였습니다."_cp949;
constexpr auto kDecryptFailed = "데이터를 복호화하는데 실패하였습니다."_cp949;

// Header checks of a message being written.
constexpr auto kOutOuter = "잘못된 암호 메시지입니다. (암호 메시지의 Tag가 SEQUENCE가 아님)"_cp949;
constexpr auto kOutVersion = "잘못된 암호 메시지입니다. (version 필드의 Tag가 INTEGER가 아님)"_cp949;
constexpr auto kOutRecipients = "잘못된 암호 메시지입니다. (recipientInfos 필드의 Tag가 SET이 아님)"_cp949;
constexpr auto kOutEci = "잘못된 암호 메시지입니다. (encryptedContentInfo 필드의 Tag가 SEQUENCE가 아님)"_cp949;
constexpr auto kOutType = "잘못된 암호 메시지입니다. (contentType 필드의 Tag가 OBJECT-IDENTIFIER가 아님)"_cp949;
constexpr auto kOutAlg = "잘못된 암호 메시지입니다. (contentEncryptionAlgorithm 필드의 Tag가 SEQUENCE가 아님)"_cp949;
// Header checks of a message being read.
constexpr auto kInOuter = "잘못된 암호 메시지 입니다. (암호 메시지의 Tag가 SEQUENCE가 아님)"_cp949;
constexpr auto kInInfoValue =
    "잘못된 암호 메시지 입니다. (ContentInfo의 value 필드의 Tag가 TAG_STRUCTED_CTX_SPEC_0가 아님)"_cp949;
constexpr auto kInVersion = "잘못된 암호 메시지 입니다. (version 필드의 Tag가 INTEGER가 아님)"_cp949;
constexpr auto kInRecipients = "잘못된 암호 메시지 입니다. (recipientInfos 필드의 Tag가 SET이 아님)"_cp949;
constexpr auto kInEci = "잘못된 암호 메시지 입니다. (encryptedContentInfo 필드의 Tag가 SEQUENCE가 아님)"_cp949;
constexpr auto kInType = "잘못된 암호 메시지 입니다. (contentType 필드의 Tag가 OBJECT-IDENTIFIER가 아님)"_cp949;
constexpr auto kInAlg = "잘못된 암호 메시지 입니다. (contentEncryptionAlgorithm 필드의 Tag가 SEQUENCE가 아님)"_cp949;
constexpr auto kInContent =
    "잘못된 암호 메시지 입니다. (encryptedContent 필드의 Tag가 CONTEXT-SPECIFIC[0]가 아님)"_cp949;
constexpr auto kInCipherLength =
    "잘못된 암호 메시지 입니다. (암호 메시지를 처리하고 남은 cipherText의 길이(%d)와 예상하는 cipherText의 길이(%d)가 다름)"_cp949;

// The ContentInfo type and [0] of an enveloped message.
constexpr uint8_t kEnvelopedTypeAndTag[] = {0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x03, 0xA0};

// Recipient infos of a message read from a file may take this much; a
// message with more recipients than fit is refused.
constexpr size_t kMaxHead = 32 * 1024;

using der::enter;

// One whole element of tag `tag` at pos, copied into `buf`.
template <size_t N>
int copyElement(ApiCall& call, const uint8_t* b, size_t& pos, size_t& rem, uint8_t tag, int code, const char* message,
                der::HeaderBuffer<N>& buf) {
    const size_t at = pos;
    size_t len = 0;
    if (!enter(b, pos, rem, tag, len)) return call.fail(code, message);
    pos += len, rem -= len;
    if (!buf.put(b + at, pos - at)) return bufferShort(call, buf);
    return 0;
}

int blockSizeOf(int nAlg) {
    const ContentCipher* c = contentCipherOf(nAlg);
    return c != nullptr ? c->ivLen : 8;
}

// The content streamed through the cipher: `size` bytes of `in` (from
// `head` first, then the file) to `out`. The output length must come to
// `expected` when encrypting, or lie within the padding of it when decrypting.
int cryptStream(ApiCall& call, bool decrypt, int nAlg, int nMode, const ByteString& cek, const ByteString& iv,
                InputFile& in, const uint8_t* head, size_t headLen, long long size, OutputFile& out,
                long long expected) {
    const int code = decrypt ? QELT_ERR_DECRYPT : QELT_ERR_ENCRYPT;
    const char* message = decrypt ? kDecryptFailed : kEncryptFailed;
    ZREncrypt cipher;
    if ((decrypt ? cipher.DecryptData_Init(nAlg, nMode, cek, iv) : cipher.EncryptData_Init(nAlg, nMode, cek, iv)) != 0)
        return call.failCore(code, message, cipher);
    ByteString piece;
    long long written = 0;
    auto feed = [&](const uint8_t* p, size_t n) {
        const int rc = decrypt ? cipher.DecryptData_Update(p, static_cast<int>(n), &piece)
                               : cipher.EncryptData_Update(p, static_cast<int>(n), &piece);
        if (rc != 0) return call.failCore(code, message, cipher);
        written += piece.length();
        return out.write(call, piece.data(), static_cast<size_t>(piece.length()));
    };
    long long left = size;
    if (headLen > 0) {
        if (const int rc = feed(head, headLen)) return rc;
        left -= static_cast<long long>(headLen);
    }
    uint8_t block[kFileBlock];
    while (left > 0) {
        const size_t n = left < static_cast<long long>(kFileBlock) ? static_cast<size_t>(left) : kFileBlock;
        if (const int rc = in.read(call, block, n)) return rc;
        if (const int rc = feed(block, n)) return rc;
        left -= static_cast<long long>(n);
    }
    secureWipe(block, sizeof block);
    if ((decrypt ? cipher.DecryptData_Final(&piece, kPadding) : cipher.EncryptData_Final(&piece, kPadding)) != 0)
        return call.failCore(code, message, cipher);
    written += piece.length();
    if (const int rc = out.write(call, piece.data(), static_cast<size_t>(piece.length()))) return rc;
    ByteString detail;
    if (!decrypt && written != expected) {
        detail.format("실제 계산된 cipherText의 길이(%d)가 예상한 값(%d)과 다릅니다."_cp949, static_cast<int>(written),
                      static_cast<int>(expected));
        return call.failCore(code, message, detail.c_str());
    }
    if (decrypt && (written >= expected || written < expected - blockSizeOf(nAlg))) {
        detail.format("복호화한 데이터의 길이(%d)와 예상한 복호화할 데이터의 길이(%d)가 다릅니다."_cp949,
                      static_cast<int>(written), static_cast<int>(expected));
        return call.failCore(code, message, detail.c_str());
    }
    return 0;
}

// ------------------------------------------------------------------ making

int makeEnvelopedFile(ApiCall& call, BINSTR* pCert, const char* inPath, int nSymAlg, const char* envPath,
                      const char* cipherPath, bool detached) {
    if (!hasBytes(pCert)) return call.invalid("수신자의 인증서(pCert)를 지정해 주세요."_cp949);
    if (!hasText(inPath)) return call.invalid("암호화할 데이터의 파일 위치(pszTBEDataFilePath)를 지정해 주세요."_cp949);
    if (!hasText(envPath))
        return call.invalid("암호화된 데이터를 저장할 파일 위치(pszEnvelopedDataFilePath)를 지정해 주세요."_cp949);
    if (detached && !hasText(cipherPath))
        return call.invalid("암호화된 데이터를 저장할 파일 위치(pszEncryptedContentFilePath)를 지정해 주세요."_cp949);
    const auto alg = symmetricAlgOfApiCode(nSymAlg);
    if (!alg) return call.fail(QELT_ERR_SYM_ALGORITHM, "지원되지 않는 대칭키 알고리즘입니다."_cp949);
    const ByteString cert = bytesOf(pCert);
    if (const int rc = api::checkCmsKeyUsage(call, cert, api::KeyUse::Encryption)) return rc;

    PEnvelopedData env;
    env.setSymmetricAlgorithm(*alg, MODE_CBC);
    (void)env.choiceRecipientIdentifier(PEnvelopedData::kIssuerAndSerialNumber);
    unsigned bits = PEnvelopedData::kOptNoContent;
    if (call.ctx().nOption & QELT_OPT_RSA_OAEP) bits |= PEnvelopedData::kOptOaep;
    // A message written around its content gets its ContentInfo header by hand.
    if (detached && (call.ctx().nOption & QELT_OPT_CMS_CONTENTINFO)) bits |= PEnvelopedData::kOptContentInfo;
    env.setOption(bits);
    if (env.makeSymetricKey() != 0) return call.failCore(QELT_ERR_ENVELOPED_MAKE, kMakeFailed, env);
    if (env.addRecipientByCert(cert) != 0)
        return call.failCore(QELT_ERR_CERT_INVALID, "잘못된 인증서 입니다."_cp949, env);
    ByteString der;
    if (env.makeEnvelopedData(der) != 0) return call.failCore(QELT_ERR_ENVELOPED_MAKE, kMakeFailed, env);
    int nAlg = 0, nMode = 0;
    ByteString cek, iv;
    env.getSymmetricKey(nAlg, nMode, cek, iv);

    InputFile in;
    long long size = 0;
    if (const int rc = in.open(call, inPath)) return rc;
    if (const int rc = in.size(call, size)) return rc;
    const int b = blockSizeOf(nAlg);
    const long long expected = size - size % b + b;
    if (expected > kMaxFileSize) return fileTooLarge(call);

    if (detached) {
        OutputFile cipher, message;
        if (const int rc = cipher.create(call, cipherPath, &in)) return rc;
        if (const int rc = cryptStream(call, false, nAlg, nMode, cek, iv, in, nullptr, 0, size, cipher, expected))
            return rc;
        if (const int rc = cipher.flush(call)) return rc;
        if (const int rc = message.create(call, envPath, &in)) return rc;
        if (const int rc = message.write(call, der.data(), static_cast<size_t>(der.length()))) return rc;
        if (const int rc = message.finish(call)) return rc;
        if (const int rc = cipher.finish(call)) return rc;
        return storeSessionKey(call, nAlg, nMode, cek, iv);
    }

    // The header, from the content-less message: its lengths grow by the
    // ciphertext, which follows as [0] IMPLICIT primitive.
    const uint8_t* p = der.data();
    size_t pos = 0, rem = static_cast<size_t>(der.length()), len = 0;
    if (!enter(p, pos, rem, der::kSequence, len)) return call.fail(QELT_ERR_ENVELOPED_INVALID, kOutOuter);
    der::HeaderBuffer<kMaxHead> recipients("ucVerAndRecipInfo");
    if (const int rc =
            copyElement(call, p, pos, rem, der::kInteger, QELT_ERR_ENVELOPED_INVALID, kOutVersion, recipients))
        return rc;
    if (const int rc =
            copyElement(call, p, pos, rem, der::kSet, QELT_ERR_ENVELOPED_INVALID, kOutRecipients, recipients))
        return rc;
    if (!enter(p, pos, rem, der::kSequence, len)) return call.fail(QELT_ERR_ENVELOPED_INVALID, kOutEci);
    der::HeaderBuffer<512> typeAndAlg("ucContentTypeAndEncAlg");
    if (const int rc = copyElement(call, p, pos, rem, der::kOid, QELT_ERR_ENVELOPED_INVALID, kOutType, typeAndAlg))
        return rc;
    if (const int rc = copyElement(call, p, pos, rem, der::kSequence, QELT_ERR_ENVELOPED_INVALID, kOutAlg, typeAndAlg))
        return rc;

    const long long eciLen = static_cast<long long>(typeAndAlg.size() + 1 + der::lengthSize(expected)) + expected;
    const long long envLen = static_cast<long long>(recipients.size() + 1 + der::lengthSize(eciLen)) + eciLen;
    const long long envTotal = static_cast<long long>(1 + der::lengthSize(envLen)) + envLen;
    der::HeaderBuffer<128> infoHead("ucContentInfoTagLen");
    if (call.ctx().nOption & QELT_OPT_CMS_CONTENTINFO) {
        const long long infoLen =
            static_cast<long long>(sizeof kEnvelopedTypeAndTag + der::lengthSize(envTotal)) + envTotal;
        uint8_t lenOctets[der::kMaxLengthOctets];
        const size_t n = der::encodeLength(envTotal, lenOctets);
        if (!infoHead.header(der::kSequence, infoLen) ||
            !infoHead.put(kEnvelopedTypeAndTag, sizeof kEnvelopedTypeAndTag) || n == 0 || !infoHead.put(lenOctets, n))
            return bufferShort(call, infoHead);
    }
    der::HeaderBuffer<16> envHead("ucEnvDataTagLen");
    der::HeaderBuffer<16> eciHead("ucEncrypedContentInfo");
    der::HeaderBuffer<16> contentHead("ucEncryptedContentInfo");
    if (!envHead.header(der::kSequence, envLen)) return bufferShort(call, envHead);
    if (!eciHead.header(der::kSequence, eciLen)) return bufferShort(call, eciHead);
    if (!contentHead.header(der::kContext0Primitive, expected)) return bufferShort(call, contentHead);

    OutputFile out;
    if (const int rc = out.create(call, envPath, &in)) return rc;
    for (const auto& [data, n] :
         {std::pair{infoHead.data(), infoHead.size()}, std::pair{envHead.data(), envHead.size()},
          std::pair{recipients.data(), recipients.size()}, std::pair{eciHead.data(), eciHead.size()},
          std::pair{typeAndAlg.data(), typeAndAlg.size()}, std::pair{contentHead.data(), contentHead.size()}})
        if (const int rc = out.write(call, data, n)) return rc;
    if (const int rc = cryptStream(call, false, nAlg, nMode, cek, iv, in, nullptr, 0, size, out, expected)) return rc;
    if (const int rc = out.finish(call)) return rc;
    return storeSessionKey(call, nAlg, nMode, cek, iv);
}

// ------------------------------------------------------------------ processing

// Reads the head of an enveloped file: `skeleton` receives the bare
// EnvelopedData without its encrypted content, `cipherAt` and `cipherLen`
// the place of the ciphertext in the file.
int splitEnvelopedHead(ApiCall& call, const std::vector<uint8_t>& head, long long fileSize, ByteString& skeleton,
                       size_t& cipherAt, long long& cipherLen) {
    constexpr int kCode = QELT_ERR_ENVELOPED_INVALID;
    const uint8_t* b = head.data();
    size_t pos = 0, rem = head.size(), len = 0;
    if (!enter(b, pos, rem, der::kSequence, len, false)) return call.fail(kCode, kInOuter);
    if (rem > 0 && b[pos] == der::kOid) {
        // ContentInfo { envelopedData, [0] EXPLICIT EnvelopedData }
        if (rem < sizeof kEnvelopedTypeAndTag - 1 ||
            !std::equal(kEnvelopedTypeAndTag, kEnvelopedTypeAndTag + sizeof kEnvelopedTypeAndTag - 1, b + pos))
            return call.fail(QELT_ERR_NOT_ENVELOPED, "암호 메시지(EnvelopedData)가 아닙니다."_cp949);
        pos += sizeof kEnvelopedTypeAndTag - 1, rem -= sizeof kEnvelopedTypeAndTag - 1;
        if (!enter(b, pos, rem, der::kContext0Constructed, len, false)) return call.fail(kCode, kInInfoValue);
        if (!enter(b, pos, rem, der::kSequence, len, false)) return call.fail(kCode, kInOuter);
    } else if (rem == 0 || b[pos] != der::kInteger) {
        return call.fail(kCode, kInOuter);
    }
    const size_t envBody = pos;
    const size_t envLen = len;
    der::HeaderBuffer<kMaxHead> recipients("ucVerAndRecipInfo");
    if (const int rc = copyElement(call, b, pos, rem, der::kInteger, kCode, kInVersion, recipients)) return rc;
    if (const int rc = copyElement(call, b, pos, rem, der::kSet, kCode, kInRecipients, recipients)) return rc;
    size_t eciLen = 0;
    if (!enter(b, pos, rem, der::kSequence, eciLen, false)) return call.fail(kCode, kInEci);
    const size_t eciBody = pos;
    der::HeaderBuffer<512> typeAndAlg("ucContentTypeAndEncAlg");
    if (const int rc = copyElement(call, b, pos, rem, der::kOid, kCode, kInType, typeAndAlg)) return rc;
    if (const int rc = copyElement(call, b, pos, rem, der::kSequence, kCode, kInAlg, typeAndAlg)) return rc;
    size_t contentLen = 0;
    if (!enter(b, pos, rem, der::kContext0Primitive, contentLen, false)) return call.fail(kCode, kInContent);
    cipherAt = pos;
    cipherLen = static_cast<long long>(contentLen);
    // The ciphertext must be the last thing in the file and in each enclosing element.
    const long long remaining = fileSize - static_cast<long long>(pos);
    if (remaining != cipherLen || eciBody + eciLen != pos + contentLen || envBody + envLen != pos + contentLen)
        return call.failf(kCode, kInCipherLength, static_cast<int>(remaining), static_cast<int>(cipherLen));

    der::HeaderBuffer<kMaxHead + 600> shell("ucEnvData");
    if (!shell.header(
            der::kSequence,
            static_cast<long long>(recipients.size() + 1 + der::lengthSize(static_cast<long long>(typeAndAlg.size())) +
                                   typeAndAlg.size())) ||
        !shell.put(recipients.data(), recipients.size()) ||
        !shell.header(der::kSequence, static_cast<long long>(typeAndAlg.size())) ||
        !shell.put(typeAndAlg.data(), typeAndAlg.size()))
        return bufferShort(call, shell);
    skeleton.clear();
    skeleton.append(shell.data(), static_cast<int>(shell.size()));
    return 0;
}

int processEnvelopedFile(ApiCall& call, BINSTR* pCert, BINSTR* pPriKey, const char* envPath, const char* cipherPath,
                         const char* dataPath, bool detached) {
    if (!hasBytes(pCert)) return call.invalid("인증서(pCert)를 지정해 주세요."_cp949);
    if (!hasBytes(pPriKey)) return call.invalid("개인키(pPriKey)를 지정해 주세요."_cp949);
    if (!hasText(envPath))
        return call.invalid("암호 메시지 파일 위치(pszEnvelopedDataFilePath)를 지정해 주세요."_cp949);
    if (detached && !hasText(cipherPath))
        return call.invalid("원본 메시지 파일 위치(pszEncryptedConentFilePath)를 지정해 주세요."_cp949);
    if (!hasText(dataPath)) return call.invalid("원본 메시지 파일 위치(pszDataFilePath)를 지정해 주세요."_cp949);

    PEnvelopedDataProcess proc;
    if (proc.setRecipientIdentifier(bytesOf(pCert), bytesOf(pPriKey)) != 0)
        return call.failCore(QELT_ERR_CERT_INVALID, "잘못된 인증서 입니다."_cp949, proc);

    ByteString message;
    InputFile in;
    long long fileSize = 0, cipherLen = 0;
    std::vector<uint8_t> head;
    size_t cipherAt = 0;
    if (detached) {
        if (readWholeFile(envPath, message) != ReadFileResult::Ok)
            return call.failf(QELT_ERR_FILE_READ, "\"%s\" 위치의 파일을 읽는데 실패하였습니다."_cp949, envPath);
        if (const int rc = in.open(call, cipherPath)) return rc;
        if (const int rc = in.size(call, cipherLen)) return rc;
    } else {
        if (const int rc = in.open(call, envPath)) return rc;
        if (const int rc = in.size(call, fileSize)) return rc;
        head.resize(static_cast<size_t>(std::min<long long>(fileSize, kMaxHead)));
        if (const int rc = in.read(call, head.data(), head.size())) return rc;
        if (const int rc = splitEnvelopedHead(call, head, fileSize, message, cipherAt, cipherLen)) return rc;
    }
    if (proc.parseEnvelopedData(message) != 0) return envelopedProcessFailure(call, proc);
    int nAlg = 0, nMode = 0;
    ByteString cek, iv;
    proc.getSymmetricKey(nAlg, nMode, cek, iv);

    OutputFile out;
    if (const int rc = out.create(call, dataPath, &in)) return rc;
    const uint8_t* inHead = detached ? nullptr : head.data() + cipherAt;
    const size_t inHeadLen = detached ? 0 : head.size() - cipherAt;
    if (const int rc = cryptStream(call, true, nAlg, nMode, cek, iv, in, inHead, inHeadLen, cipherLen, out, cipherLen))
        return rc;
    if (const int rc = out.finish(call)) return rc;
    return storeSessionKey(call, nAlg, nMode, cek, iv);
}

}  // namespace

QELT_EXPORT int QELT_CMS_MakeEnvelopedData_File(void* pCtx, BINSTR* pCert, const char* pszTBEDataFilePath, int nSymAlg,
                                                const char* pszEnvelopedDataFilePath) {
    return api::run(pCtx, "QELT_CMS_MakeEnvelopedData_File", [&](ApiCall& call) {
        return makeEnvelopedFile(call, pCert, pszTBEDataFilePath, nSymAlg, pszEnvelopedDataFilePath, nullptr, false);
    });
}

QELT_EXPORT int QELT_CMS_MakeEnvelopedData_NoContent_File(void* pCtx, BINSTR* pCert, const char* pszTBEDataFilePath,
                                                          int nSymAlg, const char* pszEnvelopedDataFilePath,
                                                          const char* pszEncryptedContentFilePath) {
    return api::run(pCtx, "QELT_CMS_MakeEnvelopedData_NoContent_File", [&](ApiCall& call) {
        return makeEnvelopedFile(call, pCert, pszTBEDataFilePath, nSymAlg, pszEnvelopedDataFilePath,
                                 pszEncryptedContentFilePath, true);
    });
}

QELT_EXPORT int QELT_CMS_ProcessEnvelopedData_File(void* pCtx, BINSTR* pCert, BINSTR* pPriKey,
                                                   const char* pszEnvelopedDataFilePath, const char* pszDataFilePath) {
    return api::run(pCtx, "QELT_CMS_ProcessEnvelopedData_File", [&](ApiCall& call) {
        return processEnvelopedFile(call, pCert, pPriKey, pszEnvelopedDataFilePath, nullptr, pszDataFilePath, false);
    });
}

QELT_EXPORT int QELT_CMS_ProcessEnvelopedData_NoContent_File(void* pCtx, BINSTR* pCert, BINSTR* pPriKey,
                                                             const char* pszEnvelopedDataFilePath,
                                                             const char* pszEncryptedConentFilePath,
                                                             const char* pszDataFilePath) {
    return api::run(pCtx, "QELT_CMS_ProcessEnvelopedData_NoContent_File", [&](ApiCall& call) {
        return processEnvelopedFile(call, pCert, pPriKey, pszEnvelopedDataFilePath, pszEncryptedConentFilePath,
                                    pszDataFilePath, true);
    });
}
