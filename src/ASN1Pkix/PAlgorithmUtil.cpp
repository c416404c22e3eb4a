#include "ASN1Pkix/PAlgorithmUtil.h"

#include <cstring>

#include "ZRCrypto/algorithm_ids.h"

namespace qelt {

namespace {

constexpr const char* kClass = "PAlgorithmUtil";
constexpr int kAnyMode = 0;

// code2oid: a row with kAnyMode answers every mode; otherwise the rows of one
// algorithm list its modes and the code returned for any other mode.
struct CodeToOid {
    int alg;
    int mode;
    const char* oid;
    int badModeCode;
};
constexpr CodeToOid kCodeToOid[] = {
    {ALG_MD5, kAnyMode, "1 2 840 113549 2 5", 0},
    {ALG_SHA1, kAnyMode, "1 3 14 3 2 26", 0},
    {ALG_SHA256, kAnyMode, "2 16 840 1 101 3 4 2 1", 0},
    {ALG_HAS160, kAnyMode, "1 2 410 200004 1 2", 0},
    {ALG_DES, MODE_ECB, "1 3 14 3 2 6", 1},
    {ALG_DES, MODE_CBC, "1 3 14 3 2 7", 1},
    {ALG_DES, MODE_OFB, "1 3 14 3 2 8", 1},
    {ALG_3DES, kAnyMode, "1 2 840 113549 3 7", 0},
    {ALG_SEED, MODE_ECB, "1 2 410 200004 1 3", 2},
    {ALG_SEED, MODE_CBC, "1 2 410 200004 1 4", 2},
    {ALG_SEED, MODE_OFB, "1 2 410 200004 1 5", 2},
    {ALG_NEAT, MODE_CBC, "1 2 410 100001 1 3", 3},
    {ALG_ARIA128, MODE_CBC, "1 2 410 100001 1 20", 5},
    {ALG_RC2_40, kAnyMode, "1 2 840 113549 3 2", 0},
};

// oid2code: kAnyMode marks the hash and HMAC OIDs, which need no mode.
struct OidToCode {
    const char* oid;
    int alg;
    int mode;
    int noModeCode;  // returned when the caller gives no place for the mode
};
constexpr OidToCode kOidToCode[] = {
    {"1 3 14 3 2 26", ALG_SHA1, kAnyMode, 0},
    {"2 16 840 1 101 3 4 2 1", ALG_SHA256, kAnyMode, 0},
    {"1 2 840 113549 2 5", ALG_MD5, kAnyMode, 0},
    {"1 2 410 200004 1 2", ALG_HAS160, kAnyMode, 0},
    {"1 3 6 1 5 5 8 1 2", ALG_HMAC_SHA1, kAnyMode, 0},
    {"1 2 840 113549 2 9", ALG_HMAC_SHA256, kAnyMode, 0},
    {"1 3 14 3 2 6", ALG_DES, MODE_ECB, 7},
    {"1 3 14 3 2 7", ALG_DES, MODE_CBC, 9},
    {"1 2 410 200004 1 3", ALG_SEED, MODE_ECB, 11},
    {"1 2 410 200004 1 4", ALG_SEED, MODE_CBC, 13},
    {"1 2 410 100001 1 3", ALG_NEAT, MODE_CBC, 15},
    {"1 2 410 200004 5 100 2 1", ALG_ARIA128, MODE_CBC, 19},
    {"1 2 410 100001 1 20", ALG_ARIA128, MODE_CBC, 19},
    {"1 2 840 113549 3 2", ALG_RC2_40, MODE_CBC, 21},
    {"1 2 840 113549 3 7", ALG_3DES, MODE_CBC, 24},
};

constexpr int kRc2ParamVersion = 160;  // RC2-CBC parameter version of 40 effective key bits

}  // namespace

int PAlgorithmUtil::code2oid(int nAlg, ByteString& oid, int nMode) {
    ByteString msg;
    int badModeCode = 0;
    for (const CodeToOid& row : kCodeToOid) {
        if (row.alg != nAlg) continue;
        if (row.mode == kAnyMode || row.mode == nMode) {
            oid.assign(row.oid);
            return 0;
        }
        badModeCode = row.badModeCode;
    }
    if (badModeCode != 0) {
        msg.format("The encryption mode(%d) dose not supported.", nMode);
        return fail(kClass, "code2oid", "nMode", badModeCode, msg.c_str());
    }
    msg.format("The Algorithm Code(%d) dose not supported.", nAlg);
    return fail(kClass, "code2oid", "nAlg", 6, msg.c_str());
}

int PAlgorithmUtil::oid2code(const char* oid, int* pAlg, int* pMode, int nParamVer) {
    ByteString msg;
    for (const OidToCode& row : kOidToCode) {
        if (oid == nullptr || std::strcmp(row.oid, oid) != 0) continue;
        if (row.mode != kAnyMode) {
            if (pMode == nullptr) return fail(kClass, "oid2code", "bsAlgOid", row.noModeCode, "pMode is NULL.");
            if (row.alg == ALG_RC2_40 && nParamVer != kRc2ParamVersion) {
                msg.format("nParamVer(%d) is not supported.", nParamVer);
                return fail(kClass, "oid2code", "nParamVer", 22, msg.c_str());
            }
            *pMode = row.mode;
        }
        if (pAlg != nullptr) *pAlg = row.alg;
        return 0;
    }
    msg.format("Algorithm OID(%s) dose not support.", oid == nullptr ? "" : oid);
    return fail(kClass, "oid2code", "bsAlgOid", 26, msg.c_str());
}

}  // namespace qelt
