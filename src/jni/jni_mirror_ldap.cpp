// com.qelt.qeltapi_jni and util.Ldap: values fetched from LDAP directories.
// The configuration file of the calling object (confFile) supplies the
// directory time-out and, for the path, the LDAP_INFO sections.
#include "com_qelt_qeltapi_jni.h"
#include "com_qelt_qeltapi_util_Ldap.h"
#include "jni/jni_call.h"

using namespace qelt::jni;

namespace {

constexpr unsigned kLdapSettings = JniCall::kOption | JniCall::kConfFile;

}  // namespace

extern "C" {

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1LDAP_1GetDataByURL(JNIEnv* env, jobject self, jint type,
                                                                       jstring jUrl) {
    return bytesResult(env, self, [&](JniCall& c, BINSTR& out) {
        JText url;
        if (const int rc = c.convert({{jUrl, &url}})) return rc;
        if (const int rc = c.applySettings(kLdapSettings)) return rc;
        return QELT_LDAP_GetDataByURL(c.ctx(), type, url.text(), &out);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1LDAP_1GetAnyDataByURL(JNIEnv* env, jobject self, jstring jAttribute,
                                                                          jstring jUrl) {
    return bytesResult(env, self, [&](JniCall& c, BINSTR& out) {
        JText attribute, url;
        if (const int rc = c.convert({{jAttribute, &attribute}, {jUrl, &url}})) return rc;
        if (const int rc = c.applySettings(kLdapSettings)) return rc;
        return QELT_LDAP_GetAnyDataByURL(c.ctx(), attribute.text(), url.text(), &out);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1LDAP_1GetCRLByCert(JNIEnv* env, jobject self, jbyteArray jCert) {
    return bytesResult(env, self, [&](JniCall& c, BINSTR& out) {
        JBytes cert;
        if (const int rc = c.convert({{jCert, &cert}})) return rc;
        if (const int rc = c.applySettings(kLdapSettings)) return rc;
        return QELT_LDAP_GetCRLByCert(c.ctx(), cert.binstr(), &out);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1LDAP_1GetCertPath(JNIEnv* env, jobject self, jbyteArray jCert,
                                                                      jstring jConf) {
    return bytesResult(env, self, [&](JniCall& c, BINSTR& out) {
        JBytes cert;
        JText conf;
        if (const int rc = c.convert({{jCert, &cert}, {jConf, &conf}})) return rc;
        if (const int rc = c.applySettings(kLdapSettings)) return rc;
        return QELT_LDAP_GetCertPath(c.ctx(), cert.binstr(), conf.text(), &out);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_util_Ldap__1getDataByCN(JNIEnv* env, jobject self, jstring jIp, jint port,
                                                                     jstring jCn, jint type) {
    return run(env, self, Results::Object, [&](JniCall& c) {
        JText ip, cn;
        if (const int rc = c.convert({{jIp, &ip}, {jCn, &cn}})) return rc;
        if (const int rc = c.applySettings(JniCall::kConfFile)) return rc;
        char dn[1024] = {};
        OutBinstr data;
        if (const int rc = QELT_LDAP_GetDataByCN(c.ctx(), ip.text(), port, cn.text(), type, dn, &data.b)) return rc;
        if (const int rc = c.setBytes("dataBuff", data.b)) return rc;
        return c.setTextBytes("dnBuff", dn);
    });
}

}  // extern "C"
