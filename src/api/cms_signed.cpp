// SignedData: making messages (one signer, or one more signer on an existing
// message) and processing them (every signer verified, signer records kept in
// the context for the getters).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <string>

#include "ASN1Pkix/PSignedData.h"
#include "ASN1Pkix/PSignedDataProcess.h"
#include "ASN1Pkix/signed_data_oids.h"
#include "ASN1Pkix/trust_and_identity.h"
#include "ZRProcess/PCertUtil.h"
#include "api/api_call.h"
#include "api/cms_key_usage.h"
#include "api/cms_shared.h"
#include "api/cms_signer_common.h"
#include "util/cp949_literal.h"
#include "util/file_io.h"

using namespace qelt;

namespace {

constexpr const char* kMakeFailed = "서명 메시지(SignedData)를 구성하는데 실패하였습니다."_cp949;
constexpr const char* kInvalidSigned = "잘못된 서명 메시지(SignedData)입니다."_cp949;

// The CA certificates of the signer for option 0x400: the context's bundle
// (QELT_API_SetCaPubs), else the cache file named after the signer's issuer
// DN. 0 or the recorded code.
//
// This is the first two sources of the verification service's CA-bundle
// lookup. When that service lands, this function should call its lookup
// instead, which adds what is missing here: the cache file is read only while
// the verification environment's cache flag is on, and when neither source
// has the bundle the certification path is fetched from the directory (LDAP)
// and written to the cache; a failure of that fetch is returned with its own
// code and message rather than 1501.
int caPubsOf(ApiCall& call, const ByteString& cert, ByteString& caPubs) {
    ApiContext& ctx = call.ctx();
    if (ctx.pCaPubs != nullptr && !ctx.pCaPubs->isEmpty()) {
        caPubs.assign(*ctx.pCaPubs);
        return 0;
    }
    PCertUtil util;
    if (util.parseCertificate(cert) != 0) return call.fail(QELT_ERR_CERT_NOT_CERT, "인증서가 아닙니다."_cp949);
    const ByteString issuer(util.getIssuerDN());
    std::string path =
        std::string(ctx.pszWorkDir != nullptr ? ctx.pszWorkDir : ".") + "/cache/CaPubs/" + issuer.c_str() + ".cpb";
    if (readWholeFile(path.c_str(), caPubs) == ReadFileResult::Ok && !caPubs.isEmpty()) return 0;
    // No directory fetch yet (see above).
    return call.failCore(QELT_ERR_SIGNED_MAKE, kMakeFailed,
                         "The CA certificates of the signer are neither set nor cached.");
}

// The signer's certificate decoded; the decoding is kept per thread for the
// next call with the same bytes: a server signs message after message with
// one certificate, and decoding it is a fair part of signing a small message.
// Only the certificate, which is public, is kept (the private key is decoded
// in each call and never kept), and only when it decoded.
PCertUtil& signerCertificate(const ByteString& cert, int& parsed) {
    struct Kept {
        ByteString der;
        std::unique_ptr<PCertUtil> util;
        bool decoded = false;
    };
    thread_local Kept kept;
    if (kept.decoded && kept.der == cert) {
        parsed = 0;
        return *kept.util;
    }
    kept.decoded = false;
    kept.der.clear();
    kept.util = std::make_unique<PCertUtil>();
    parsed = kept.util->parseCertificate(cert);
    if (parsed == 0) {
        kept.der.assign(cert);
        kept.decoded = true;
    }
    return *kept.util;
}

// The shared body of both makers; `existing` null for a new message.
int makeSigned(ApiCall& call, BINSTR* pCert, BINSTR* pPriKey, const BINSTR* existing, BINSTR* pTBSData,
               const char* pszSigningTime, BINSTR* pOut, const char* outName) {
    const ByteString cert = bytesOf(pCert);
    // The certificate is decoded once: its key usage, its hash and the SignerInfo all read this record.
    int parsed = 0;
    PCertUtil& certUtil = signerCertificate(cert, parsed);
    if (const int rc = api::checkCmsKeyUsage(call, certUtil, parsed, api::KeyUse::Signing)) return rc;
    const RCertificate& decoded = *certUtil.certificate();
    PSignedData sd;
    sd.setOption(PSignedData::kPkcs7);
    if (call.ctx().nOption & QELT_OPT_CMS_CONTENTINFO) sd.setOption(PSignedData::kWrapContentInfo);
    if (call.ctx().nOption & QELT_OPT_CMS_ADD_CACERTS) {
        ByteString caPubs;
        if (const int rc = caPubsOf(call, cert, caPubs)) return rc;
        if (sd.addCaPubs(caPubs) != 0) return call.failCore(QELT_ERR_SIGNED_MAKE, kMakeFailed, sd);
    }
    if (existing == nullptr) {
        // The content is read in place: it stays alive for the whole call.
        sd.setContentView(std::span<const uint8_t>(pTBSData->pVal, static_cast<size_t>(pTBSData->nLen)));
    } else if (const int rc = sd.setSignedData(bytesOf(existing)); rc != 0) {
        if (rc == PSignedData::kNotSignedData)
            return call.fail(QELT_ERR_NOT_SIGNED, "서명 메시지(SignedData)가 아닙니다."_cp949);
        return call.failCore(QELT_ERR_SIGNED_INVALID, kInvalidSigned, sd);
    }
    if (hasText(pszSigningTime)) {
        int64_t t = 0;
        if (const int rc = call.convertTime(pszSigningTime, TimeForm::LongYear, true, t)) return rc;
        sd.setSigningTime(&t);
    } else {
        sd.setSigningTime(nullptr);
    }
    int hash = 0;
    if (const int rc = cms::chooseSignerHash(call, decoded, hash)) return rc;
    if (const int rc = sd.addSignerCert(cert, decoded, bytesOf(pPriKey), hash); rc != 0) {
        if (rc == PSignedData::kNotPrivateKey)
            return call.fail(QELT_ERR_PRIKEY_NOT_PRIKEY, "복호화된 개인키가 아닙니다."_cp949);
        return call.failCore(QELT_ERR_CERT_INVALID, "잘못된 인증서 입니다."_cp949, sd);
    }
    // The message is written straight into the memory the caller's BINSTR
    // will hold, so a large content is copied once.
    BinstrOutput output(pOut, {pCert, pPriKey, existing, pTBSData});
    bool noMemory = false;
    const int rc = sd.makeSignedData([&](size_t n) -> uint8_t* {
        uint8_t* p = output.allocate(n);
        noMemory = p == nullptr;
        return p;
    });
    if (rc != 0) {
        // The allocation stands for the BINSTR the output would have been copied into.
        if (noMemory) return call.failf(QELT_ERR_MEMORY, "QELT_BINSTR_SetData : %s", outName);
        return call.failCore(QELT_ERR_SIGNED_MAKE, kMakeFailed, sd);
    }
    output.commit();
    return 0;
}

// "%Y%m%d%H%M%S" in local time.
std::string localTimeText(int64_t t) {
    const time_t tt = t;
    struct tm parts {};
    localtime_r(&tt, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &parts);
    return text;
}

int addOctets(RPlainText& list, const ByteString& value) {
    ASN1OctetString octets;
    octets.setValue(value);
    return list.addElement(octets);
}

// The content record of a processing call. The content is copied while the
// first signer's digest is computed (PSignedDataProcess::setContentCopy),
// straight into the memory the caller's record will hold: a large message's
// content is read once and written once.
class ContentOutput {
public:
    ContentOutput(BINSTR* pData, const BINSTR* pSignedData, PSignedDataProcess& proc)
        : m_record(pData), m_output(pData, {pSignedData}) {
        proc.setContentCopy([this](size_t n) {
            uint8_t* p = m_output.allocate(n);
            m_noMemory = p == nullptr;
            return p;
        });
    }
    bool noMemory() const { return m_noMemory; }
    // Puts the content into the caller's record; 0 or the recorded code.
    int deliver(ApiCall& call, const PSignedDataProcess& proc) {
        if (proc.contentCopied()) {
            m_output.commit();
            return 0;
        }
        const auto content = proc.getContent();
        return call.putBytes(m_record, content.data(), static_cast<int>(content.size()), "data");
    }

private:
    BINSTR* m_record;
    BinstrOutput m_output;
    bool m_noMemory = false;
};

// Writes the content (when `content` is given), the first signer's
// certificate and time, and the signer record list into the context.
// pTimeText may be null.
int gatherSigners(ApiCall& call, PSignedDataProcess& proc, ContentOutput* content, BINSTR* pSignerCert,
                  char* pTimeText) {
    if (content != nullptr)
        if (const int rc = content->deliver(call, proc)) return rc;
    int count = 0;
    if (proc.getSignerCount(count) != 0 || count == 0)
        return call.fail(QELT_ERR_NO_SIGNER_CERT, "서명한 사람의 인증서가 없습니다."_cp949);
    RPlainText signers;
    for (int i = 0; i < count; ++i) {
        ByteString cert, signature, token;
        int64_t t = 0;
        bool present = false;
        if (proc.getSignerCert(i, cert) != 0 || proc.getSigningTime(i, t, present) != 0 ||
            proc.getSignerInfo_Signature(i, signature) != 0 ||
            proc.getUnsignedAttribute(i, oid::kTimeStampTokenAttr, token) != 0)
            return call.failCore(QELT_ERR_SIGNED_INVALID, kInvalidSigned, proc);
        const std::string timeText = present ? localTimeText(t) : std::string();
        ByteString caPubs;
        if (i == 0) {
            if (const int rc = proc.getCaPubs(caPubs); rc != 0 && rc != PSignedDataProcess::kNoCaPubs)
                return call.failCore(QELT_ERR_SIGNED_INVALID, kInvalidSigned, proc);
        }
        RPlainText record;
        bool ok = addOctets(record, cert) == 0 && addOctets(record, ByteString(timeText.c_str())) == 0 &&
                  addOctets(record, ByteString(std::to_string(t).c_str())) == 0 && addOctets(record, signature) == 0 &&
                  addOctets(record, token) == 0;
        if (ok && i == 0) ok = addOctets(record, caPubs) == 0;
        if (ok) ok = addOctets(signers, record.toASN1Object()) == 0;
        if (!ok) return call.fail(QELT_ERR_MEMORY, "메모리를 할당하는데 실패하였습니다."_cp949);
        if (i == 0) {
            if (const int rc = call.putBytes(pSignerCert, cert, "signerCert")) return rc;
            if (pTimeText != nullptr) std::memcpy(pTimeText, timeText.c_str(), timeText.size() + 1);
        }
    }
    ByteString* list = ensureBytes(call.ctx().pSignerInfos);
    if (list == nullptr) return call.noMemory("pApiCtx->pSignerInfos");
    list->assign(signers.toASN1Object());
    return 0;
}

// Parses and verifies; 0 or the recorded code.
int processSigned(ApiCall& call, BINSTR* pSignedData, BINSTR* pData, PSignedDataProcess& proc,
                  const ContentOutput* content) {
    if (hasBytes(pData)) proc.setContent(bytesOf(pData));
    // The message is read in place: it stays alive for the whole call.
    const int rc =
        proc.parseSignedData(std::span<const uint8_t>(pSignedData->pVal, static_cast<size_t>(pSignedData->nLen)), true);
    if (rc == 0) return 0;
    // The allocation stands for the BINSTR the content would have been copied into.
    if (content != nullptr && content->noMemory()) return call.failf(QELT_ERR_MEMORY, "QELT_BINSTR_SetData : data");
    if (rc == PSignedDataProcess::kNotSignedData)
        return call.fail(QELT_ERR_NOT_SIGNED, "서명 메시지(SignedData)가 아닙니다."_cp949);
    if (rc == PSignedDataProcess::kVerifyFailed)
        return call.failCore(QELT_ERR_SIGNED_INVALID, kInvalidSigned, proc.verifyMessage());
    return call.failCore(QELT_ERR_SIGNED_INVALID, kInvalidSigned, proc);
}

// The signer list of the context and the record of signer `index`; 0 or the recorded code.
int signerRecord(ApiCall& call, int index, RPlainText& record, bool checkIndex) {
    const ByteString* list = call.ctx().pSignerInfos;
    if (list == nullptr || list->isEmpty())
        return call.fail(QELT_ERR_NO_SIGNER_CERT, "유효한 서명자 인증서가 존재하지 않습니다."_cp949);
    RPlainText signers;
    if (signers.fromASN1Object(*list) != 0)
        return call.failCore(QELT_ERR_SIGNER_INFO_INVALID, "서명자 정보(pApiCtx->pSignerInfos)가 잘못되었습니다."_cp949,
                             signers);
    const int count = signers.getElementCount();
    if (checkIndex && (index < 0 || index >= count))
        return call.failf(
            QELT_ERR_CERT_INDEX_RANGE,
            "인증서 목록에는 %d개의 인증서를 포함하고 있으므로 %d번째(0-base) 인증서는 획득할 수 없습니다."_cp949,
            count, index);
    ASN1OctetString octets;
    if (signers.getElement(index, octets) != 0 || record.fromASN1Object(octets.getValue()) != 0 ||
        record.getElementCount() < 5)
        return call.failf(QELT_ERR_CERT_LIST_BAD_CERT, "수신자의 인증서 목록 중 %d 번째 인증서 오류 : %s"_cp949, index,
                          record.errorText());
    return 0;
}

ByteString item(const RPlainText& record, int index) {
    ASN1OctetString octets;
    if (record.getElement(index, octets) != 0) return ByteString();
    return ByteString(octets.getValue());
}

}  // namespace

QELT_EXPORT int QELT_CMS_MakeSignedData(void* pCtx, BINSTR* pCert, BINSTR* pPriKey, BINSTR* pTBSData,
                                        char* pszSigningTime, BINSTR* pSignedData) {
    return api::run(pCtx, "QELT_CMS_MakeSignedData", [&](ApiCall& call) {
        if (!hasBytes(pCert)) return call.invalid("서명자의 인증서(pCert)를 지정해 주세요."_cp949);
        if (!hasBytes(pPriKey)) return call.invalid("서명자의 개인키(pPriKey)를 지정해 주세요."_cp949);
        if (!hasBytes(pTBSData)) return call.invalid("서명할 데이터(pTBSData)를 지정해 주세요."_cp949);
        if (pSignedData == nullptr) return call.nullOutput("pSignedData");
        return makeSigned(call, pCert, pPriKey, nullptr, pTBSData, pszSigningTime, pSignedData, "signedData");
    });
}

QELT_EXPORT int QELT_CMS_MakeSignedDataWithAddSigner(void* pCtx, BINSTR* pCert, BINSTR* pPriKey, BINSTR* pSignedDataIn,
                                                     char* pszSigningTime, BINSTR* pSignedDataOut) {
    return api::run(pCtx, "QELT_CMS_MakeSignedDataWithAddSigner", [&](ApiCall& call) {
        if (!hasBytes(pCert)) return call.invalid("서명자의 인증서(pCert)를 지정해 주세요."_cp949);
        if (!hasBytes(pPriKey)) return call.invalid("서명자의 개인키(pPriKey)를 지정해 주세요."_cp949);
        if (!hasBytes(pSignedDataIn))
            return call.invalid("서명을 추가할 서명 메시지(pSignedDataIn)를 지정해 주세요."_cp949);
        if (pSignedDataOut == nullptr) return call.nullOutput("pSignedDataOut");
        return makeSigned(call, pCert, pPriKey, pSignedDataIn, nullptr, pszSigningTime, pSignedDataOut,
                          "signedDataOut");
    });
}

QELT_EXPORT int QELT_CMS_ProcessSignedData(void* pCtx, BINSTR* pSignedData, BINSTR* pData, BINSTR* pSignerCert,
                                           char* pszSigningTime) {
    return api::run(pCtx, "QELT_CMS_ProcessSignedData", [&](ApiCall& call) {
        if (!hasBytes(pSignedData)) return call.invalid("서명 메시지(pSignedData)를 지정해 주세요."_cp949);
        if (pData == nullptr) return call.nullOutput("pData");
        if (pSignerCert == nullptr) return call.nullOutput("pSignerCert");
        PSignedDataProcess proc;
        // An empty content record asks for the content; one with bytes gives a detached content.
        std::optional<ContentOutput> content;
        if (!hasBytes(pData)) content.emplace(pData, pSignedData, proc);
        if (const int rc = processSigned(call, pSignedData, pData, proc, content ? &*content : nullptr)) return rc;
        return gatherSigners(call, proc, content ? &*content : nullptr, pSignerCert, pszSigningTime);
    });
}

QELT_EXPORT int QELT_CMS_ProcessSignedData2(void* pCtx, BINSTR* pSignedData, BINSTR* pData, int* pSignerCnt) {
    return api::run(pCtx, "QELT_CMS_ProcessSignedData2", [&](ApiCall& call) {
        if (!hasBytes(pSignedData)) return call.invalid("서명 메시지(pSignedData)를 지정해 주세요."_cp949);
        if (pData == nullptr) return call.nullOutput("pData");
        if (pSignerCnt == nullptr) return call.nullOutput("pSignerCnt");
        PSignedDataProcess proc;
        std::optional<ContentOutput> content;
        if (!hasBytes(pData)) content.emplace(pData, pSignedData, proc);
        if (const int rc = processSigned(call, pSignedData, pData, proc, content ? &*content : nullptr)) return rc;
        int count = 0;
        if (proc.getSignerCount(count) == 0) *pSignerCnt = count;
        BINSTR firstCert{nullptr, 0};
        const int rc = gatherSigners(call, proc, content ? &*content : nullptr, &firstCert, nullptr);
        QELT_BINSTR_Delete(&firstCert);
        return rc;
    });
}

QELT_EXPORT int QELT_CMS_GetSigner(void* pCtx, int nIndex, BINSTR* pSignerCert, char* pszSigningTime) {
    return api::run(pCtx, "QELT_CMS_GetSigner", [&](ApiCall& call) {
        if (pSignerCert == nullptr) return call.nullOutput("pSignerCert");
        RPlainText record;
        if (const int rc = signerRecord(call, nIndex, record, true)) return rc;
        if (const int rc = call.putBytes(pSignerCert, item(record, 0), "signerCert")) return rc;
        if (pszSigningTime != nullptr) {
            const ByteString text = item(record, 1);
            std::memcpy(pszSigningTime, text.c_str(), static_cast<size_t>(text.length()) + 1);
        }
        return 0;
    });
}

QELT_EXPORT int QELT_CMS_GetSigner2(void* pCtx, int nIndex, BINSTR* pSignerCert, int* pSigningTime) {
    return api::run(pCtx, "QELT_CMS_GetSigner2", [&](ApiCall& call) {
        if (pSignerCert == nullptr) return call.nullOutput("pSignerCert");
        RPlainText record;
        if (const int rc = signerRecord(call, nIndex, record, true)) return rc;
        if (const int rc = call.putBytes(pSignerCert, item(record, 0), "signerCert")) return rc;
        if (pSigningTime != nullptr)
            *pSigningTime = cms::signingTimeAsInt(std::strtoll(item(record, 2).c_str(), nullptr, 10));
        return 0;
    });
}

QELT_EXPORT int QELT_CMS_GetSignerCaPubs(void* pCtx, BINSTR* pCaPubs) {
    return api::run(pCtx, "QELT_CMS_GetSignerCaPubs", [&](ApiCall& call) {
        if (pCaPubs == nullptr) return call.nullOutput("pCaPubs");
        RPlainText record;
        if (const int rc = signerRecord(call, 0, record, false)) return rc;
        const ByteString caPubs = item(record, 5);
        if (caPubs.isEmpty())
            return call.fail(QELT_ERR_NO_SIGNER_CAPUBS, "서명자의 상위 인증서 목록(CaPubs) 정보가 없습니다."_cp949);
        return call.putBytes(pCaPubs, caPubs, "capubs");
    });
}

// ---- shared with the file-streaming and two-step functions (cms_shared.h)
namespace qelt::cms {

int signerCaPubs(ApiCall& call, const ByteString& cert, ByteString& caPubs) { return caPubsOf(call, cert, caPubs); }

int gatherSignerRecords(ApiCall& call, PSignedDataProcess& proc, BINSTR* pSignerCert, char* pTimeText) {
    return gatherSigners(call, proc, nullptr, pSignerCert, pTimeText);
}

int readSignerRecord(ApiCall& call, int index, RPlainText& record) { return signerRecord(call, index, record, false); }

}  // namespace qelt::cms
