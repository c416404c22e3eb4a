// SignedData over files: QELT_CMS_MakeSignedData_File, _NoContent_File and
// the QELT_CMS_ProcessSignedData_File family.
//
// The message is built or parsed in memory without its content (the signed
// attributes carry the file's digest), and the content streams between the
// files in chunks, hashed on the calling thread and written on another,
// while the DER framing around it is written or read by hand. Memory stays
// at a few chunks whatever the file size.
#include <cstring>

#include "ASN1Pkix/PAlgorithmUtil.h"
#include "ASN1Pkix/PSignedData.h"
#include "ASN1Pkix/PSignedDataProcess.h"
#include "ASN1Pkix/cms_stream_der.h"
#include "ASN1Pkix/signed_data_oids.h"
#include "ZRCrypto/zr_hash.h"
#include "api/api_call.h"
#include "api/cms_file_io.h"
#include "api/cms_file_writer.h"
#include "api/cms_key_usage.h"
#include "api/cms_shared.h"
#include "util/cp949_literal.h"
#include "util/file_io.h"

using namespace qelt;
using namespace qelt::cms;

namespace {

constexpr auto kMakeFailed = "서명 메시지(SignedData)를 구성하는데 실패하였습니다."_cp949;
constexpr auto kInvalidSigned = "잘못된 서명 메시지(SignedData)입니다."_cp949;
constexpr auto kNotSigned = "서명 메시지(SignedData)가 아닙니다."_cp949;
constexpr auto kBadOuterTag = "잘못된 서명 메시지 입니다. (서명 메시지의 Tag가 SEQUENCE가 아님)"_cp949;
constexpr auto kBadVersionTag = "잘못된 서명 메시지 입니다. (version 필드 tag가 INTEGER가 아님)"_cp949;
constexpr auto kBadDigestAlgsTag = "잘못된 서명 메시지 입니다. (digestAlgorithms 필드 tag가 SET이 아님)"_cp949;
constexpr auto kBadEciTag = "잘못된 서명 메시지 입니다. (encapContentInfo 필드 tag가 SEQUENCE가 아님)"_cp949;
constexpr auto kBadTypeTag = "잘못된 서명 메시지 입니다. (eContentType 필드 tag가 OBJECT-IDENTIFIER가 아님)"_cp949;
constexpr auto kBadContextTag = "잘못된 서명 메시지 입니다. (eContent 필드 tag가 CONTEXT-SPECIFIC[0]가 아님)"_cp949;
constexpr auto kBadOctetsTag = "잘못된 서명 메시지 입니다. (eContent 필드 tag가 OCTET-STRING이 아님)"_cp949;
constexpr auto kLeftOver =
    "잘못된 서명 메시지 입니다. (처리하고 남은 데이터가 있거나 원본 메시지의 크기가 전부 저장되지 않음)"_cp949;

// What follows the content in a message (certificates, CRLs, signer infos)
// is held in memory; a message claiming more than this is refused rather
// than read.
constexpr size_t kMaxTrailer = 8u << 20;

using der::enter;

// The hash of the first SignerInfo of a bare or ContentInfo-wrapped
// SignedData; 0 (and hash 0) when there is no SignerInfo, 1803 recorded when
// its digest algorithm is not one we know.
int firstSignerHash(ApiCall& call, const ByteString& message, int& hash) {
    hash = 0;
    ByteString bare(message);
    ASN1Sequence outer;
    if (outer.fromASN1Object(message) == 0 && outer.getUniversalTag(0) == asn1::kTagOid) {
        RContentInfo info;
        if (info.fromASN1Object(message) == 0 && info.hasContent()) bare.assign(info.getContent().getEncoding());
    }
    RSignedData sd;
    RSignerInfo si;
    if (sd.fromASN1Object(bare) != 0 || sd.getSignerInfos().getElementCount() == 0 ||
        sd.getSignerInfos().getElement(0, si) != 0)
        return 0;
    PAlgorithmUtil algs;
    if (algs.parseHashAlgID(si.getDigestAlgorithm(), hash) != 0)
        return call.failCore(QELT_ERR_HASH_ALGORITHM, "지원되지 않는 HASH 알고리즘입니다."_cp949, algs);
    return 0;
}

// ------------------------------------------------------------------ making

// Content files at least this large are signed in one pass (below).
// Smaller ones are read twice, which costs less than the extra signature
// the single pass needs.
constexpr long long kOnePassMin = 4LL << 20;

// The message in memory, in hash mode over `digest` (made with `hash`).
int buildHashedMessage(ApiCall& call, const ByteString& cert, const ByteString& priKey, const ByteString& digest,
                       int hash, const char* pszSigningTime, bool detached, ByteString& der) {
    PSignedData sd;
    sd.setOption(PSignedData::kPkcs7);
    // The wrapper and the CA certificates only go into a detached message:
    // content written around by hand is always a bare SignedData.
    if (detached) {
        if (call.ctx().nOption & QELT_OPT_CMS_CONTENTINFO) sd.setOption(PSignedData::kWrapContentInfo);
        if (call.ctx().nOption & QELT_OPT_CMS_ADD_CACERTS) {
            ByteString caPubs;
            if (const int rc = signerCaPubs(call, cert, caPubs)) return rc;
            if (sd.addCaPubs(caPubs) != 0) return call.failCore(QELT_ERR_SIGNED_MAKE, kMakeFailed, sd);
        }
    }
    sd.setHashedContent(digest, hash);
    if (hasText(pszSigningTime)) {
        int64_t t = 0;
        if (const int rc = call.convertTime(pszSigningTime, TimeForm::LongYear, true, t)) return rc;
        sd.setSigningTime(&t);
    } else {
        sd.setSigningTime(nullptr);
    }
    if (const int rc = sd.addSignerCert(cert, priKey, hash); rc != 0) {
        if (rc == PSignedData::kNotPrivateKey)
            return call.fail(QELT_ERR_PRIKEY_NOT_PRIKEY, "복호화된 개인키가 아닙니다."_cp949);
        return call.failCore(QELT_ERR_CERT_INVALID, "잘못된 인증서 입니다."_cp949, sd);
    }
    if (sd.makeSignedData(der) != 0) return call.failCore(QELT_ERR_SIGNED_MAKE, kMakeFailed, sd);
    return 0;
}

// Where the content goes in a content-less SignedData: `head` is everything
// before the content once it is spliced in (the outer and encapContentInfo
// lengths grown by it, the [0] and OCTET STRING headers added), and the part
// of the content-less message from `restAt` on (certificates, signer infos)
// follows the content unchanged.
struct Splice {
    der::HeaderBuffer<2048> head{"ucBuff"};
    size_t restAt = 0;
    size_t restLen = 0;
    long long total = 0;  // the whole message
};

int planSplice(ApiCall& call, const ByteString& der, long long size, Splice& plan) {
    const uint8_t* b = der.data();
    size_t pos = 0, rem = static_cast<size_t>(der.length()), len = 0;
    if (!enter(b, pos, rem, der::kSequence, len)) return call.fail(QELT_ERR_SIGNED_INVALID, kBadOuterTag);
    size_t start = pos;
    if (!enter(b, pos, rem, der::kInteger, len)) return call.fail(QELT_ERR_SIGNED_INVALID, kBadVersionTag);
    pos += len, rem -= len;
    if (!enter(b, pos, rem, der::kSet, len)) return call.fail(QELT_ERR_SIGNED_INVALID, kBadDigestAlgsTag);
    pos += len, rem -= len;
    const size_t versionAndAlgs = pos - start;
    const size_t versionAt = start;
    if (!enter(b, pos, rem, der::kSequence, len)) return call.fail(QELT_ERR_SIGNED_INVALID, kBadEciTag);
    const size_t typeAt = pos, typeLen = len;
    plan.restAt = pos + len;
    plan.restLen = rem - len;

    // P = [0] { OCTET STRING { data } }
    const long long octetsLen = 1 + static_cast<long long>(der::lengthSize(size)) + size;
    der::HeaderBuffer<16> prefix("ucContentInfoTagLen");
    if (!prefix.header(der::kContext0Constructed, octetsLen) || !prefix.header(der::kOctetString, size))
        return fileTooLarge(call);
    const long long eciLen = static_cast<long long>(typeLen + prefix.size()) + size;
    const long long outerLen =
        static_cast<long long>(versionAndAlgs + 1 + der::lengthSize(eciLen) + plan.restLen) + eciLen;
    if (der::lengthSize(eciLen) == 0 || der::lengthSize(outerLen) == 0 || outerLen > 0xFFFFFFFFLL)
        return fileTooLarge(call);

    der::HeaderBuffer<512> contentType("ucContentType");
    if (!contentType.put(b + typeAt, typeLen)) return bufferShort(call, contentType);
    der::HeaderBuffer<2048>& head = plan.head;
    if (!head.header(der::kSequence, outerLen) || !head.put(b + versionAt, versionAndAlgs) ||
        !head.header(der::kSequence, eciLen) || !head.put(contentType.data(), contentType.size()) ||
        !head.put(prefix.data(), prefix.size()))
        return bufferShort(call, head);
    plan.total = static_cast<long long>(1 + der::lengthSize(outerLen)) + outerLen;
    return 0;
}

// Writes `der` (a content-less SignedData) with the data file, read from its
// start, spliced in as its content: the same bytes the in-memory maker gives
// with the content embedded.
int writeSpliced(ApiCall& call, const ByteString& der, InputFile& data, long long size, OutputFile& out) {
    Splice plan;
    if (const int rc = planSplice(call, der, size, plan)) return rc;
    out.expect(plan.total);
    if (const int rc = out.write(call, plan.head.data(), plan.head.size())) return rc;
    if (const int rc = hashAndCopy(call, data, size, nullptr, out)) return rc;
    return out.write(call, der.data() + plan.restAt, plan.restLen);
}

// The digest of the whole data file, then the message written around it:
// the file is read twice.
int signTwoPasses(ApiCall& call, const ByteString& cert, const ByteString& priKey, int hash, InputFile& data,
                  long long size, const char* pszSigningTime, OutputFile& out) {
    ByteString digest, der;
    if (const int rc = digestFile(call, data, size, hash, digest)) return rc;
    if (const int rc = buildHashedMessage(call, cert, priKey, digest, hash, pszSigningTime, false, der)) return rc;
    if (const int rc = data.rewind(call)) return rc;
    return writeSpliced(call, der, data, size, out);
}

// One pass over the data file: the header depends on the content only
// through its size and on the signature only through the lengths of what
// follows the content, so a message signed over a stand-in digest gives a
// header of the right size before the content is read. The content is then
// hashed and written in the same pass, the real message is made over its
// digest, its tail appended and its header written over the first one.
//
// The stand-in header is exact whenever the signature's length does not
// depend on the digest (RSA). Where it does (ECDSA, KCDSA), the real header
// may differ in a length octet and is written over it at the same size; if
// its size itself changed (a length crossing a byte boundary), the output
// is started again and written in two passes.
int signOnePass(ApiCall& call, const ByteString& cert, const ByteString& priKey, int hash, InputFile& data,
                long long size, const char* pszSigningTime, const char* outPath) {
    ZRHash hasher;
    ByteString standIn;  // the digest of nothing: a digest of the right length
    if (hasher.DigestData_Init(hash) != 0 || hasher.DigestData_Final(standIn) != 0)
        return call.failCore(QELT_ERR_DIGEST, "메시지 다이제스트를 생성하는데 실패하였습니다."_cp949, hasher);
    ByteString trial;
    if (const int rc = buildHashedMessage(call, cert, priKey, standIn, hash, pszSigningTime, false, trial)) return rc;
    Splice guess;
    if (const int rc = planSplice(call, trial, size, guess)) return rc;

    OutputFile out;
    if (const int rc = out.create(call, outPath, &data)) return rc;
    if (!out.regular()) {
        // A device or a pipe cannot have its header written again.
        if (const int rc = signTwoPasses(call, cert, priKey, hash, data, size, pszSigningTime, out)) return rc;
        return out.finish(call);
    }
    out.expect(guess.total);
    if (const int rc = out.write(call, guess.head.data(), guess.head.size())) return rc;
    ByteString digest, der;
    if (hasher.DigestData_Init(hash) != 0)
        return call.failCore(QELT_ERR_DIGEST, "메시지 다이제스트를 생성하는데 실패하였습니다."_cp949, hasher);
    if (const int rc = hashAndCopy(call, data, size, &hasher, out)) return rc;
    if (hasher.DigestData_Final(digest) != 0)
        return call.failCore(QELT_ERR_DIGEST, "메시지 다이제스트를 생성하는데 실패하였습니다."_cp949, hasher);
    if (const int rc = buildHashedMessage(call, cert, priKey, digest, hash, pszSigningTime, false, der)) return rc;
    Splice real;
    if (const int rc = planSplice(call, der, size, real)) return rc;
    if (real.head.size() != guess.head.size()) {
        if (const int rc = out.restart(call)) return rc;
        if (const int rc = data.rewind(call)) return rc;
        if (const int rc = writeSpliced(call, der, data, size, out)) return rc;
        return out.finish(call);
    }
    if (const int rc = out.write(call, der.data() + real.restAt, real.restLen)) return rc;
    if (std::memcmp(real.head.data(), guess.head.data(), real.head.size()) != 0)
        if (const int rc = out.writeAt(call, 0, real.head.data(), real.head.size())) return rc;
    return out.finish(call);
}

int makeSignedFile(ApiCall& call, BINSTR* pCert, BINSTR* pPriKey, const char* dataPath, const char* pszSigningTime,
                   const char* outPath, bool detached) {
    if (!hasBytes(pCert)) return call.invalid("서명자의 인증서(pCert)를 지정해 주세요."_cp949);
    if (!hasBytes(pPriKey)) return call.invalid("서명자의 개인키(pPriKey)를 지정해 주세요."_cp949);
    if (!hasText(dataPath)) return call.invalid("서명할 데이터의 파일 경로(pszTBSDataFilePath)를 지정해 주세요."_cp949);
    if (!hasText(outPath))
        return call.invalid("생성된 서명 메시지가 저장될 파일 경로(pszSignedDataFilePath)를 지정해 주세요."_cp949);
    const ByteString cert = bytesOf(pCert);
    if (const int rc = api::checkCmsKeyUsage(call, cert, api::KeyUse::Signing)) return rc;
    const ByteString priKey = bytesOf(pPriKey);

    InputFile data;
    if (const int rc = data.open(call, dataPath)) return rc;
    long long size = 0;
    if (const int rc = data.size(call, size)) return rc;
    int hash = 0;
    if (const int rc = chooseSignerHash(call, cert, hash)) return rc;
    if (detached) {
        ByteString digest, der;
        if (const int rc = digestFile(call, data, size, hash, digest)) return rc;
        if (const int rc = buildHashedMessage(call, cert, priKey, digest, hash, pszSigningTime, true, der)) return rc;
        OutputFile out;
        if (out.create(call, outPath, &data) != 0 || out.write(call, der.data(), static_cast<size_t>(der.length())) ||
            out.finish(call) != 0)
            return call.failf(QELT_ERR_FILE_WRITE, "\"%s\" 위치에 파일을 저장하는데 실패하였습니다."_cp949, outPath);
        return 0;
    }
    if (size >= kOnePassMin) return signOnePass(call, cert, priKey, hash, data, size, pszSigningTime, outPath);
    // Small content: its digest first, the output made once the message is.
    ByteString digest, der;
    if (const int rc = digestFile(call, data, size, hash, digest)) return rc;
    if (const int rc = buildHashedMessage(call, cert, priKey, digest, hash, pszSigningTime, false, der)) return rc;
    if (const int rc = data.rewind(call)) return rc;
    OutputFile out;
    if (const int rc = out.create(call, outPath, &data)) return rc;
    if (const int rc = writeSpliced(call, der, data, size, out)) return rc;
    return out.finish(call);
}

// ------------------------------------------------------------------ processing

// The streaming digest kept while the content is split off; it is used
// when the first signer's hash turns out to be the one it was made with.
struct StreamDigest {
    int alg = 0;
    ZRHash hash;
    bool ok = false;
};

// Reads a content-carrying SignedData file: the content goes to `out` as it
// arrives (hashed on the way with the message's first digest algorithm) and
// the rest of the message becomes `skeleton`, a SignedData without eContent.
int splitSignedFile(ApiCall& call, InputFile& in, long long fileSize, OutputFile& out, ByteString& skeleton,
                    StreamDigest& sdigest) {
    uint8_t block[kFileBlock];
    const size_t got = in.readSome(block, kFileBlock);
    const uint8_t* b = block;
    size_t pos = 0, rem = got, len = 0, lenOctets = 0;

    if (rem == 0 || b[0] != der::kSequence) return call.fail(QELT_ERR_SIGNED_INVALID, kBadOuterTag);
    pos = 1, rem -= 1;
    size_t outerLen = 0;
    if (!der::readLength(b, pos, rem, outerLen, &lenOctets)) return call.fail(QELT_ERR_SIGNED_INVALID, kBadOuterTag);
    const size_t outerHeader = pos;

    der::HeaderBuffer<2048> head("ucVerAndMsgDigestAlgs");
    size_t at = pos;
    if (!enter(b, pos, rem, der::kInteger, len)) return call.fail(QELT_ERR_SIGNED_INVALID, kBadVersionTag);
    pos += len, rem -= len;
    if (!head.put(b + at, pos - at)) return bufferShort(call, head);
    at = pos;
    if (!enter(b, pos, rem, der::kSet, len)) return call.fail(QELT_ERR_SIGNED_INVALID, kBadDigestAlgsTag);
    const size_t algsAt = at;
    pos += len, rem -= len;
    if (!head.put(b + at, pos - at)) return bufferShort(call, head);
    {
        // Hash on the way with the first listed digest algorithm.
        RDigestAlgorithmIdentifiers algs;
        RAlgorithmIdentifier first;
        PAlgorithmUtil util;
        if (algs.fromASN1Object(ByteString(b + algsAt, static_cast<int>(pos - algsAt))) == 0 &&
            algs.getElementCount() > 0 && algs.getElement(0, first) == 0 &&
            util.parseHashAlgID(first, sdigest.alg) == 0)
            sdigest.ok = sdigest.hash.DigestData_Init(sdigest.alg) == 0;
    }
    size_t eciLen = 0;
    if (!enter(b, pos, rem, der::kSequence, eciLen, false)) return call.fail(QELT_ERR_SIGNED_INVALID, kBadEciTag);
    const size_t eciStart = pos;
    at = pos;
    if (!enter(b, pos, rem, der::kOid, len)) return call.fail(QELT_ERR_SIGNED_INVALID, kBadTypeTag);
    pos += len, rem -= len;
    der::HeaderBuffer<512> contentType("ucContentType");
    if (!contentType.put(b + at, pos - at)) return bufferShort(call, contentType);
    size_t taggedLen = 0, contentLen = 0;
    // An EncapsulatedContentInfo of the type alone has no [0]: whatever
    // follows it (certificates [0]) is not content.
    if (eciLen == pos - at || !enter(b, pos, rem, der::kContext0Constructed, taggedLen, false))
        return call.fail(QELT_ERR_SIGNED_INVALID, kBadContextTag);
    const size_t octetsAt = pos;
    if (!enter(b, pos, rem, der::kOctetString, contentLen, false))
        return call.fail(QELT_ERR_SIGNED_INVALID, kBadOctetsTag);
    // The [0] holds exactly the OCTET STRING, the EncapsulatedContentInfo
    // exactly the type and the [0], and the SignedData ends with the file.
    const size_t contentAt = pos;
    if (taggedLen != (contentAt - octetsAt) + contentLen || eciLen != (contentAt - eciStart) + contentLen ||
        static_cast<long long>(outerHeader + outerLen) != fileSize ||
        static_cast<long long>(contentAt + contentLen) > fileSize)
        return call.fail(QELT_ERR_SIGNED_INVALID, kLeftOver);

    // The content: what is left of the first block, then the file in
    // chunks, each hashed and written while it is in the cache.
    out.expect(static_cast<long long>(contentLen));
    auto emit = [&](const uint8_t* p, size_t n) {
        if (sdigest.ok && sdigest.hash.DigestData_Update(p, static_cast<int>(n)) != 0) sdigest.ok = false;
        return out.write(call, p, n);
    };
    size_t first = rem < contentLen ? rem : contentLen;
    if (const int rc = emit(b + pos, first)) return rc;
    pos += first, rem -= first;
    size_t left = contentLen - first;
    if (left > 0) {
        // Read ahead and written by the writer thread, hashed here.
        ChunkWriter writer(in, out);
        if (const int rc = writer.start(call, static_cast<long long>(left))) return rc;
        while (left > 0) {
            const size_t want = left < writer.chunkSize() ? left : writer.chunkSize();
            size_t n = 0;
            uint8_t* p = writer.nextRead(n);
            if (p == nullptr) break;
            if (sdigest.ok && sdigest.hash.DigestData_Update(p, static_cast<int>(n)) != 0) sdigest.ok = false;
            if (n != want) {
                // What there was goes out first: a failing write is the
                // failure told, as when it came before the end.
                writer.push(n);
                if (const int rc = writer.finish(call)) return rc;
                return call.fail(QELT_ERR_SIGNED_INVALID, kLeftOver);
            }
            writer.push(n);
            left -= n;
        }
        if (const int rc = writer.finish(call)) return rc;
        pos = rem = 0;
    }
    // The rest of the message: certificates, CRLs and signer infos.
    const long long trailerLen = fileSize - static_cast<long long>(contentAt + contentLen);
    if (trailerLen > static_cast<long long>(kMaxTrailer))
        return call.failf(QELT_ERR_SIGNED_INVALID, "%s (%lld)", kInvalidSigned, trailerLen);
    ByteString trailer;
    if (rem > 0) trailer.append(b + pos, static_cast<int>(rem));
    while (trailer.length() < trailerLen) {
        const size_t want = static_cast<size_t>(trailerLen - trailer.length());
        const size_t n = in.readSome(block, want < kFileBlock ? want : kFileBlock);
        if (n == 0) return call.fail(QELT_ERR_SIGNED_INVALID, kLeftOver);
        trailer.append(block, static_cast<int>(n));
    }
    if (in.readSome(block, 1) != 0 || in.failed()) return call.fail(QELT_ERR_SIGNED_INVALID, kLeftOver);

    // The SignedData without eContent, lengths recomputed.
    const size_t newEci = contentType.size();
    const size_t body = head.size() + 1 + der::lengthSize(static_cast<long long>(newEci)) + newEci +
                        static_cast<size_t>(trailer.length());
    der::HeaderBuffer<2048 + 16> shell("ucBuff");
    if (!shell.header(der::kSequence, static_cast<long long>(body)) || !shell.put(head.data(), head.size()) ||
        !shell.header(der::kSequence, static_cast<long long>(newEci)) ||
        !shell.put(contentType.data(), contentType.size()))
        return bufferShort(call, shell);
    skeleton.clear();
    skeleton.append(shell.data(), static_cast<int>(shell.size()));
    skeleton.append(trailer);
    return 0;
}

// Parses `message` without verifying; 1512 or 1500 recorded.
int parseOnly(ApiCall& call, PSignedDataProcess& proc, const ByteString& message) {
    const int rc = proc.parseSignedData(message, false);
    if (rc == 0) return 0;
    if (rc == PSignedDataProcess::kNotSignedData) return call.fail(QELT_ERR_NOT_SIGNED, kNotSigned);
    return call.failCore(QELT_ERR_SIGNED_INVALID, kInvalidSigned, proc);
}

// Verifies every signer against the content digest and gathers the signers.
int verifyAndGather(ApiCall& call, PSignedDataProcess& proc, const ByteString& digest, BINSTR* pSignerCert,
                    char* pszSigningTime, int* pSigningTime) {
    proc.setContent(digest);
    proc.setHashMode(true);
    if (const int rc = proc.processSignerInfos(); rc != 0) {
        if (rc == PSignedDataProcess::kVerifyFailed)
            return call.failCore(QELT_ERR_SIGNED_INVALID, kInvalidSigned, proc.verifyMessage());
        return call.failCore(QELT_ERR_SIGNED_INVALID, kInvalidSigned, proc);
    }
    if (const int rc = gatherSignerRecords(call, proc, pSignerCert, pszSigningTime)) return rc;
    if (pSigningTime != nullptr) {
        int64_t t = 0;
        bool present = false;
        (void)proc.getSigningTime(0, t, present);
        *pSigningTime = signingTimeAsInt(t);
    }
    return 0;
}

int processSignedFile(ApiCall& call, const char* messagePath, const char* dataPath, BINSTR* pSignerCert,
                      char* pszSigningTime, int* pSigningTime, bool detached) {
    if (!hasText(messagePath))
        return call.invalid("서명 메시지 파일 위치(pszSignedDataFilePath)를 지정해 주세요."_cp949);
    if (!hasText(dataPath)) return call.invalid("원본 데이터가 저장될 파일 위치(pszDataFile)를 지정해 주세요."_cp949);
    if (pSignerCert == nullptr) return call.nullOutput("pSignerCert");

    PSignedDataProcess proc;
    if (detached) {
        ByteString message;
        if (readWholeFile(messagePath, message) != ReadFileResult::Ok)
            return call.failf(QELT_ERR_FILE_READ, "\"%s\" 위치의 파일을 읽는데 실패하였습니다."_cp949, messagePath);
        if (const int rc = parseOnly(call, proc, message)) return rc;
        int hash = 0;
        if (const int rc = firstSignerHash(call, message, hash)) return rc;
        ByteString digest;
        if (hash != 0) {
            InputFile data;
            long long size = 0;
            if (const int rc = data.open(call, dataPath)) return rc;
            if (const int rc = data.size(call, size)) return rc;
            if (const int rc = digestFile(call, data, size, hash, digest)) return rc;
        }
        return verifyAndGather(call, proc, digest, pSignerCert, pszSigningTime, pSigningTime);
    }

    InputFile in;
    long long fileSize = 0;
    if (const int rc = in.open(call, messagePath)) return rc;
    if (const int rc = in.size(call, fileSize)) return rc;
    OutputFile out;
    if (const int rc = out.create(call, dataPath, &in)) return rc;
    ByteString skeleton;
    StreamDigest streamed;
    if (const int rc = splitSignedFile(call, in, fileSize, out, skeleton, streamed)) return rc;
    if (const int rc = parseOnly(call, proc, skeleton)) return rc;
    int hash = 0;
    if (const int rc = firstSignerHash(call, skeleton, hash)) return rc;
    ByteString digest;
    if (hash != 0 && streamed.ok && streamed.alg == hash) {
        if (streamed.hash.DigestData_Final(digest) != 0)
            return call.failCore(QELT_ERR_DIGEST, "메시지 다이제스트를 생성하는데 실패하였습니다."_cp949,
                                 streamed.hash);
    } else if (hash != 0) {
        // The signer uses a hash the message did not list first: read the
        // written content again.
        if (const int rc = out.flush(call)) return rc;
        InputFile data;
        long long size = 0;
        if (const int rc = data.open(call, dataPath)) return rc;
        if (const int rc = data.size(call, size)) return rc;
        if (const int rc = digestFile(call, data, size, hash, digest)) return rc;
    }
    if (const int rc = verifyAndGather(call, proc, digest, pSignerCert, pszSigningTime, pSigningTime)) return rc;
    return out.finish(call);
}

}  // namespace

QELT_EXPORT int QELT_CMS_MakeSignedData_File(void* pCtx, BINSTR* pCert, BINSTR* pPriKey, const char* pszTBSDataFilePath,
                                             const char* pszSigningTime, const char* pszSignedDataFilePath) {
    return api::run(pCtx, "QELT_CMS_MakeSignedData_File", [&](ApiCall& call) {
        return makeSignedFile(call, pCert, pPriKey, pszTBSDataFilePath, pszSigningTime, pszSignedDataFilePath, false);
    });
}

QELT_EXPORT int QELT_CMS_MakeSignedData_NoContent_File(void* pCtx, BINSTR* pCert, BINSTR* pPriKey,
                                                       const char* pszTBSDataFilePath, const char* pszSigningTime,
                                                       const char* pszSignedDataFilePath) {
    return api::run(pCtx, "QELT_CMS_MakeSignedData_NoContent_File", [&](ApiCall& call) {
        return makeSignedFile(call, pCert, pPriKey, pszTBSDataFilePath, pszSigningTime, pszSignedDataFilePath, true);
    });
}

QELT_EXPORT int QELT_CMS_ProcessSignedData_File(void* pCtx, const char* pszSignedDataFilePath, const char* pszDataFile,
                                                BINSTR* pSignerCert, char* pszSigningTime) {
    return api::run(pCtx, "QELT_CMS_ProcessSignedData_File", [&](ApiCall& call) {
        return processSignedFile(call, pszSignedDataFilePath, pszDataFile, pSignerCert, pszSigningTime, nullptr, false);
    });
}

QELT_EXPORT int QELT_CMS_ProcessSignedData_File2(void* pCtx, const char* pszSignedDataFilePath, const char* pszDataFile,
                                                 BINSTR* pSignerCert, int* pSigningTime) {
    return api::run(pCtx, "QELT_CMS_ProcessSignedData_File2", [&](ApiCall& call) {
        return processSignedFile(call, pszSignedDataFilePath, pszDataFile, pSignerCert, nullptr, pSigningTime, false);
    });
}

QELT_EXPORT int QELT_CMS_ProcessSignedData_NoContent_File(void* pCtx, const char* pszSignedDataFilePath,
                                                          const char* pszDataFile, BINSTR* pSignerCert,
                                                          char* pszSigningTime) {
    return api::run(pCtx, "QELT_CMS_ProcessSignedData_NoContent_File", [&](ApiCall& call) {
        return processSignedFile(call, pszSignedDataFilePath, pszDataFile, pSignerCert, pszSigningTime, nullptr, true);
    });
}

QELT_EXPORT int QELT_CMS_ProcessSignedData_NoContent_File2(void* pCtx, const char* pszSignedDataFilePath,
                                                           const char* pszDataFile, BINSTR* pSignerCert,
                                                           int* pSigningTime) {
    return api::run(pCtx, "QELT_CMS_ProcessSignedData_NoContent_File2", [&](ApiCall& call) {
        return processSignedFile(call, pszSignedDataFilePath, pszDataFile, pSignerCert, nullptr, pSigningTime, true);
    });
}
