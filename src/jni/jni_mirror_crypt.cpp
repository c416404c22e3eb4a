// com.qelt.qeltapi_jni: hashes, random numbers, symmetric ciphers, MACs,
// signatures, public-key encryption, private keys. The symmetric natives take
// the algorithm, key and IV each time: no key survives between natives.
#include "com_qelt_qeltapi_jni.h"
#include "jni/jni_call.h"

using namespace qelt::jni;

namespace {

// QELT_CRYPT_SetKeyAndIV with converted arguments.
int setKey(JniCall& c, jint alg, jbyteArray jKey, jbyteArray jIv) {
    JBytes key, iv;
    if (const int rc = c.convert({{jKey, &key}, {jIv, &iv}})) return rc;
    return QELT_CRYPT_SetKeyAndIV(c.ctx(), alg, key.binstr(), iv.binstr());
}

using CipherCall = int (*)(void*, BINSTR*, BINSTR*);
using CipherFileCall = int (*)(void*, const char*, const char*);

jint cipher(JNIEnv* env, jobject self, jint alg, jbyteArray jKey, jbyteArray jIv, jbyteArray jIn, CipherCall call) {
    return bytesResult(env, self, [&](JniCall& c, BINSTR& out) {
        JBytes in;
        if (const int rc = c.convert({{jIn, &in}})) return rc;
        if (const int rc = setKey(c, alg, jKey, jIv)) return rc;
        return call(c.ctx(), in.binstr(), &out);
    });
}

jint cipherFile(JNIEnv* env, jobject self, jint alg, jbyteArray jKey, jbyteArray jIv, jstring jIn, jstring jOut,
                CipherFileCall call) {
    return run(env, self, Results::Mirror, [&](JniCall& c) {
        JText in, out;
        if (const int rc = c.convert({{jIn, &in}, {jOut, &out}})) return rc;
        if (const int rc = setKey(c, alg, jKey, jIv)) return rc;
        return call(c.ctx(), in.text(), out.text());
    });
}

using AsymCall = int (*)(void*, int, BINSTR*, BINSTR*, BINSTR*);

// The object's settings, then the call's own option word when given.
jint asym(JNIEnv* env, jobject self, jint keyType, jbyteArray jKey, jbyteArray jIn, jint option, AsymCall call) {
    return bytesResult(env, self, [&](JniCall& c, BINSTR& out) {
        JBytes key, in;
        if (const int rc = c.convert({{jKey, &key}, {jIn, &in}})) return rc;
        if (const int rc = c.applySettings(JniCall::kOption)) return rc;
        if (option != 0)
            if (const int rc = QELT_API_SetOption(c.ctx(), option)) return rc;
        return call(c.ctx(), keyType, key.binstr(), in.binstr(), &out);
    });
}

}  // namespace

extern "C" {

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1CRYPT_1Hash(JNIEnv* env, jobject self, jint alg, jbyteArray jData) {
    return bytesResult(env, self, [&](JniCall& c, BINSTR& out) {
        JBytes data;
        if (const int rc = c.convert({{jData, &data}})) return rc;
        return QELT_CRYPT_Hash(c.ctx(), alg, data.binstr(), &out);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1CRYPT_1GenRandom(JNIEnv* env, jobject self, jint len) {
    return bytesResult(env, self, [&](JniCall& c, BINSTR& out) { return QELT_CRYPT_GenRandom(c.ctx(), len, &out); });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1CRYPT_1GenKeyAndIV(JNIEnv* env, jobject self, jint alg) {
    return run(env, self, Results::Mirror, [&](JniCall& c) {
        if (const int rc = QELT_CRYPT_GenKeyAndIV(c.ctx(), alg)) return rc;
        int got = 0;
        OutBinstr key, iv;
        if (const int rc = QELT_CRYPT_GetKeyAndIV(c.ctx(), &got, &key.b, &iv.b)) return rc;
        // One result field: the key followed by the IV (one cipher block).
        qelt::ByteString both(key.b.pVal, key.b.nLen);
        both.append(iv.b.pVal, iv.b.nLen);
        if (both.status() != 0) return kMemoryError;
        return c.setBytes("baReturnArray", both);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni_CRYPT_1Encrypt(JNIEnv* env, jobject self, jint alg, jbyteArray jKey,
                                                                 jbyteArray jIv, jbyteArray jPlain) {
    return cipher(env, self, alg, jKey, jIv, jPlain, QELT_CRYPT_Encrypt);
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni_CRYPT_1Decrypt(JNIEnv* env, jobject self, jint alg, jbyteArray jKey,
                                                                 jbyteArray jIv, jbyteArray jCipher) {
    return cipher(env, self, alg, jKey, jIv, jCipher, QELT_CRYPT_Decrypt);
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni_CRYPT_1Encrypt_1File(JNIEnv* env, jobject self, jint alg,
                                                                       jbyteArray jKey, jbyteArray jIv, jstring jIn,
                                                                       jstring jOut) {
    return cipherFile(env, self, alg, jKey, jIv, jIn, jOut, QELT_CRYPT_Encrypt_File);
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni_CRYPT_1Decrypt_1File(JNIEnv* env, jobject self, jint alg,
                                                                       jbyteArray jKey, jbyteArray jIv, jstring jIn,
                                                                       jstring jOut) {
    return cipherFile(env, self, alg, jKey, jIv, jIn, jOut, QELT_CRYPT_Decrypt_File);
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1CRYPT_1GenMAC(JNIEnv* env, jobject self, jint alg, jstring jKey,
                                                                  jbyteArray jData) {
    return bytesResult(env, self, [&](JniCall& c, BINSTR& out) {
        JText key;
        JBytes data;
        if (const int rc = c.convert({{jKey, &key}, {jData, &data}})) return rc;
        return QELT_CRYPT_GenMAC(c.ctx(), alg, key.text(), data.binstr(), &out);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1CRYPT_1VerifyMAC(JNIEnv* env, jobject self, jint alg, jstring jKey,
                                                                     jbyteArray jData, jbyteArray jMac) {
    return run(env, self, Results::Mirror, [&](JniCall& c) {
        JText key;
        JBytes data, mac;
        if (const int rc = c.convert({{jKey, &key}, {jData, &data}, {jMac, &mac}})) return rc;
        return QELT_CRYPT_VerifyMAC(c.ctx(), alg, key.text(), data.binstr(), mac.binstr());
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1CRYPT_1Sign(JNIEnv* env, jobject self, jbyteArray jCert,
                                                                jbyteArray jPriKey, jint hashAlg, jbyteArray jData) {
    return bytesResult(env, self, [&](JniCall& c, BINSTR& out) {
        JBytes cert, priKey, data;
        if (const int rc = c.convert({{jCert, &cert}, {jPriKey, &priKey}, {jData, &data}})) return rc;
        return QELT_CRYPT_Sign(c.ctx(), cert.binstr(), priKey.binstr(), hashAlg, data.binstr(), &out);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1CRYPT_1Verify(JNIEnv* env, jobject self, jbyteArray jCert,
                                                                  jint hashAlg, jbyteArray jData, jbyteArray jSig) {
    return run(env, self, Results::Mirror, [&](JniCall& c) {
        JBytes cert, data, sig;
        if (const int rc = c.convert({{jCert, &cert}, {jData, &data}, {jSig, &sig}})) return rc;
        return QELT_CRYPT_Verify(c.ctx(), cert.binstr(), hashAlg, data.binstr(), sig.binstr());
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni_CRYPT_1AsymEncrypt(JNIEnv* env, jobject self, jint keyType,
                                                                     jbyteArray jKey, jbyteArray jData, jint option) {
    return asym(env, self, keyType, jKey, jData, option, QELT_CRYPT_AsymEncrypt);
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni_CRYPT_1AsymDecrypt(JNIEnv* env, jobject self, jint keyType,
                                                                     jbyteArray jKey, jbyteArray jEnc, jint option) {
    return asym(env, self, keyType, jKey, jEnc, option, QELT_CRYPT_AsymDecrypt);
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1PRIKEY_1Encrypt(JNIEnv* env, jobject self, jint alg,
                                                                    jstring jPassword, jbyteArray jPriKey) {
    return bytesResult(env, self, [&](JniCall& c, BINSTR& out) {
        JText password;
        JBytes priKey;
        if (const int rc = c.convert({{jPassword, &password}, {jPriKey, &priKey}})) return rc;
        return QELT_PRIKEY_Encrypt(c.ctx(), alg, password.text(), priKey.binstr(), &out);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1PRIKEY_1Decrypt(JNIEnv* env, jobject self, jstring jPassword,
                                                                    jbyteArray jEncKey) {
    return bytesResult(env, self, [&](JniCall& c, BINSTR& out) {
        JText password;
        JBytes encKey;
        if (const int rc = c.convert({{jPassword, &password}, {jEncKey, &encKey}})) return rc;
        return QELT_PRIKEY_Decrypt(c.ctx(), password.text(), encKey.binstr(), &out);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1PRIKEY_1ChangePasswd(JNIEnv* env, jobject self, jstring jOld,
                                                                         jstring jNew, jbyteArray jEncKey) {
    return bytesResult(env, self, [&](JniCall& c, BINSTR& out) {
        JText oldPassword, newPassword;
        JBytes encKey;
        if (const int rc = c.convert({{jOld, &oldPassword}, {jNew, &newPassword}, {jEncKey, &encKey}})) return rc;
        return QELT_PRIKEY_ChangePasswd(c.ctx(), oldPassword.text(), newPassword.text(), encKey.binstr(), &out);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1PRIKEY_1CheckKeyPair(JNIEnv* env, jobject self, jbyteArray jCert,
                                                                         jbyteArray jPriKey) {
    return run(env, self, Results::Mirror, [&](JniCall& c) {
        JBytes cert, priKey;
        if (const int rc = c.convert({{jCert, &cert}, {jPriKey, &priKey}})) return rc;
        return QELT_PRIKEY_CheckKeyPair(c.ctx(), cert.binstr(), priKey.binstr());
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1VID_1GetRandomFromPriKey(JNIEnv* env, jobject self,
                                                                             jbyteArray jPriKey) {
    return bytesResult(env, self, [&](JniCall& c, BINSTR& out) {
        JBytes priKey;
        if (const int rc = c.convert({{jPriKey, &priKey}})) return rc;
        return QELT_VID_GetRandomFromPriKey(c.ctx(), priKey.binstr(), &out);
    });
}

}  // extern "C"
