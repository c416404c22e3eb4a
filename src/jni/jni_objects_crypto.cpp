// The object classes of cryptography and encodings: crypto.Cipher,
// crypto.PrivateKey, crypto.PublicKey, crypto.Signature and util.Pem.
// Failures go to the object's errBuff.
#include <algorithm>

#include "com_qelt_qeltapi_crypto_Cipher.h"
#include "com_qelt_qeltapi_crypto_PrivateKey.h"
#include "com_qelt_qeltapi_crypto_PublicKey.h"
#include "com_qelt_qeltapi_crypto_Signature.h"
#include "com_qelt_qeltapi_util_Pem.h"
#include "jni/jni_call.h"

using namespace qelt::jni;

namespace {

// Cipher block (= IV) length of a session cipher code; 0 for an unknown code,
// which QELT_CRYPT_SetKeyAndIV then refuses with its own message.
int blockLength(jint symAlg) {
    switch (symAlg) {
        case QELT_SYM_DES:
        case QELT_SYM_3DES:
            return 8;
        case QELT_SYM_SEED:
        case QELT_SYM_NEAT:
        case QELT_SYM_ARIA:
            return 16;
        default:
            return 0;
    }
}

using CipherCall = int (*)(void*, BINSTR*, BINSTR*);
using CipherFileCall = int (*)(void*, const char*, const char*);

int setOption(JniCall& c, jint option) { return option != 0 ? QELT_API_SetOption(c.ctx(), option) : 0; }

// The key blob form: the key followed by one block of IV, as _CRYPT_GenKeyAndIV gives it.
jint blobCipher(JNIEnv* env, jobject self, jbyteArray jBlob, jbyteArray jIn, jint symAlg, CipherCall call) {
    return run(env, self, Results::Object, [&](JniCall& c) {
        JBytes blob, in;
        if (const int rc = c.convert({{jBlob, &blob}, {jIn, &in}})) return rc;
        const int ivLen = std::min(blockLength(symAlg), blob.value.length());
        const int keyLen = blob.value.length() - ivLen;
        BINSTR key{keyLen > 0 ? blob.value.data() : nullptr, keyLen};
        BINSTR iv{ivLen > 0 ? blob.value.data() + keyLen : nullptr, ivLen};
        if (const int rc = QELT_CRYPT_SetKeyAndIV(c.ctx(), symAlg, &key, &iv)) return rc;
        OutBinstr out;
        if (const int rc = call(c.ctx(), in.binstr(), &out.b)) return rc;
        return c.setBytes("outBuff", out.b);
    });
}

jint fullCipher(JNIEnv* env, jobject self, jint symAlg, jbyteArray jKey, jbyteArray jIv, jint option, jbyteArray jIn,
                CipherCall call) {
    return run(env, self, Results::Object, [&](JniCall& c) {
        JBytes key, iv, in;
        if (const int rc = c.convert({{jKey, &key}, {jIv, &iv}, {jIn, &in}})) return rc;
        if (const int rc = setOption(c, option)) return rc;
        if (const int rc = QELT_CRYPT_SetKeyAndIV(c.ctx(), symAlg, key.binstr(), iv.binstr())) return rc;
        OutBinstr out;
        if (const int rc = call(c.ctx(), in.binstr(), &out.b)) return rc;
        return c.setBytes("outBuff", out.b);
    });
}

jint fileCipher(JNIEnv* env, jobject self, jint symAlg, jbyteArray jKey, jbyteArray jIv, jint option, jstring jIn,
                jstring jOut, CipherFileCall call) {
    return run(env, self, Results::Object, [&](JniCall& c) {
        JBytes key, iv;
        JText in, out;
        if (const int rc = c.convert({{jKey, &key}, {jIv, &iv}, {jIn, &in}, {jOut, &out}})) return rc;
        if (const int rc = setOption(c, option)) return rc;
        if (const int rc = QELT_CRYPT_SetKeyAndIV(c.ctx(), symAlg, key.binstr(), iv.binstr())) return rc;
        return call(c.ctx(), in.text(), out.text());
    });
}

using KeyInfoCall = int (*)(void*, BINSTR*, char*, char*);

jint keyInfo(JNIEnv* env, jobject self, jbyteArray jKey, KeyInfoCall call) {
    return run(env, self, Results::Object, [&](JniCall& c) {
        JBytes key;
        if (const int rc = c.convert({{jKey, &key}})) return rc;
        char alg[52] = {};
        char size[50] = {};
        if (const int rc = call(c.ctx(), key.binstr(), alg, size)) return rc;
        if (const int rc = c.setTextBytes("keyAlg", alg)) return rc;
        return c.setTextBytes("keyLen", size);
    });
}

}  // namespace

extern "C" {

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_crypto_Cipher__1encrypt___3B_3BI(JNIEnv* env, jobject self,
                                                                              jbyteArray jBlob, jbyteArray jIn,
                                                                              jint symAlg) {
    return blobCipher(env, self, jBlob, jIn, symAlg, QELT_CRYPT_Encrypt);
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_crypto_Cipher__1decrypt___3B_3BI(JNIEnv* env, jobject self,
                                                                              jbyteArray jBlob, jbyteArray jIn,
                                                                              jint symAlg) {
    return blobCipher(env, self, jBlob, jIn, symAlg, QELT_CRYPT_Decrypt);
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_crypto_Cipher__1encrypt__I_3B_3BI_3B(JNIEnv* env, jobject self,
                                                                                  jint symAlg, jbyteArray jKey,
                                                                                  jbyteArray jIv, jint option,
                                                                                  jbyteArray jIn) {
    return fullCipher(env, self, symAlg, jKey, jIv, option, jIn, QELT_CRYPT_Encrypt);
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_crypto_Cipher__1decrypt__I_3B_3BI_3B(JNIEnv* env, jobject self,
                                                                                  jint symAlg, jbyteArray jKey,
                                                                                  jbyteArray jIv, jint option,
                                                                                  jbyteArray jIn) {
    return fullCipher(env, self, symAlg, jKey, jIv, option, jIn, QELT_CRYPT_Decrypt);
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_crypto_Cipher__1encrypt_1File(JNIEnv* env, jobject self, jint symAlg,
                                                                           jbyteArray jKey, jbyteArray jIv, jint option,
                                                                           jstring jIn, jstring jOut) {
    return fileCipher(env, self, symAlg, jKey, jIv, option, jIn, jOut, QELT_CRYPT_Encrypt_File);
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_crypto_Cipher__1decrypt_1File(JNIEnv* env, jobject self, jint symAlg,
                                                                           jbyteArray jKey, jbyteArray jIv, jint option,
                                                                           jstring jIn, jstring jOut) {
    return fileCipher(env, self, symAlg, jKey, jIv, option, jIn, jOut, QELT_CRYPT_Decrypt_File);
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_crypto_PrivateKey__1parsePrivateKey(JNIEnv* env, jobject self,
                                                                                 jbyteArray jKey) {
    return keyInfo(env, self, jKey, QELT_PRIKEY_GetKeyInfo);
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_crypto_PublicKey__1parsePublicKey(JNIEnv* env, jobject self,
                                                                               jbyteArray jKey) {
    return keyInfo(env, self, jKey, QELT_PUBKEY_GetKeyInfo);
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_crypto_Signature__1sign(JNIEnv* env, jobject self, jbyteArray jCert,
                                                                     jbyteArray jPriKey, jint hashAlg,
                                                                     jbyteArray jData) {
    return run(env, self, Results::Object, [&](JniCall& c) {
        JBytes cert, priKey, data;
        if (const int rc = c.convert({{jCert, &cert}, {jPriKey, &priKey}, {jData, &data}})) return rc;
        OutBinstr sig;
        if (const int rc = QELT_CRYPT_Sign(c.ctx(), cert.binstr(), priKey.binstr(), hashAlg, data.binstr(), &sig.b))
            return rc;
        return c.setBytes("outBuff", sig.b);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_crypto_Signature__1verify(JNIEnv* env, jobject self, jbyteArray jCert,
                                                                       jint hashAlg, jbyteArray jData,
                                                                       jbyteArray jSig) {
    return run(env, self, Results::Object, [&](JniCall& c) {
        JBytes cert, data, sig;
        if (const int rc = c.convert({{jCert, &cert}, {jData, &data}, {jSig, &sig}})) return rc;
        return QELT_CRYPT_Verify(c.ctx(), cert.binstr(), hashAlg, data.binstr(), sig.binstr());
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_util_Pem__1encode(JNIEnv* env, jobject self, jint type, jbyteArray jData) {
    return run(env, self, Results::Object, [&](JniCall& c) {
        JBytes data;
        if (const int rc = c.convert({{jData, &data}})) return rc;
        OutBinstr pem;
        if (const int rc = QELT_PEM_Encode(c.ctx(), type, data.binstr(), &pem.b)) return rc;
        return c.setBytes("strBuff", pem.b);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_util_Pem__1decode(JNIEnv* env, jobject self, jbyteArray jPem) {
    return run(env, self, Results::Object, [&](JniCall& c) {
        JBytes pem;
        if (const int rc = c.convert({{jPem, &pem}})) return rc;
        OutBinstr data;
        if (const int rc = QELT_PEM_Decode(c.ctx(), pem.binstr(), &data.b)) return rc;
        return c.setBytes("byteBuff", data.b);
    });
}

}  // extern "C"
