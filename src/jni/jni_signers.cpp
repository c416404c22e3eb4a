#include "jni/jni_signers.h"

namespace qelt::jni {

namespace {

// A Java array of a record, or null for an absent one; false when it cannot be made.
bool arrayOf(JniCall& c, const BINSTR* b, jbyteArray& out) {
    out = nullptr;
    if (b == nullptr || b->pVal == nullptr) return true;
    out = c.newBytes(b->pVal, b->nLen);
    return out != nullptr;
}

int callback(JniCall& c, int index, int count, const BINSTR& cert, jlong time, const BINSTR* sig, const BINSTR* token,
             const BINSTR* content) {
    jbyteArray jCert = nullptr, jSig = nullptr, jToken = nullptr, jContent = nullptr;
    int rc = 0;
    if (!arrayOf(c, &cert, jCert) || !arrayOf(c, sig, jSig) || !arrayOf(c, token, jToken) ||
        !arrayOf(c, content, jContent))
        rc = kMemoryError;
    else
        rc = c.callVoid(kSetSignerCert, kSetSignerCertSig, static_cast<jint>(index), static_cast<jint>(count), jCert,
                        time, jSig, jToken, jContent);
    // Released each round: a message may carry more signers than the native's local frame holds.
    JNIEnv* env = c.env();
    for (jobject ref : {static_cast<jobject>(jCert), static_cast<jobject>(jSig), static_cast<jobject>(jToken),
                        static_cast<jobject>(jContent)})
        if (ref != nullptr) env->DeleteLocalRef(ref);
    return rc;
}

}  // namespace

int reportSigners(JniCall& c, int count, const BINSTR& content) {
    for (int i = 0; i < count; ++i) {
        OutBinstr cert, signature, token;
        int time = 0;
        if (const int rc = QELT_CMS_GetSigner2(c.ctx(), i, &cert.b, &time)) return rc;
        if (const int rc = QELT_CMS_GetTBTData(c.ctx(), i, &signature.b)) return rc;
        const int tokenRc = QELT_CMS_GetTimeStampToken(c.ctx(), i, &token.b);
        if (tokenRc != 0 && tokenRc != QELT_ERR_NO_TIMESTAMP_TOKEN) return tokenRc;
        const jlong when = time;  // 0 when the signer gave no signing time
        if (const int rc = callback(c, i, count, cert.b, when, &signature.b, tokenRc == 0 ? &token.b : nullptr,
                                    i == 0 ? &content : nullptr))
            return rc;
    }
    return 0;
}

int reportOneSigner(JniCall& c, const BINSTR& cert, jlong signingTime, const BINSTR* content) {
    return callback(c, 0, 1, cert, signingTime, nullptr, nullptr, content);
}

}  // namespace qelt::jni
