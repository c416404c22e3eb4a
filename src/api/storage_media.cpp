// Storage media: certificates and private keys on disk files (nMediaType 1,
// pszInfo the path) or through the storage plug-in loaded into the context
// (nMediaType 2, pszInfo the PIN): QELT_STORAGE_Load, Unload, ReadCert,
// ReadPriKey, WriteCert, WritePriKey, DeleteCert and DeletePriKey.
//
// Keys are kept encrypted (PKCS#8) on every medium. A signing key of data
// type 16 on a plug-in keeps its identification random number apart from the
// key, under code 48; on disk the number stays inside the encrypted key.
#include <cerrno>
#include <string>

#include "ASN1Pkix/PPKCS8.h"
#include "ASN1Pkix/pkcs_keys.h"
#include "ZRProcess/PPrivateKey.h"
#include "api/api_call.h"
#include "storage/disk_medium.h"
#include "storage/dynamic_module.h"
#include "storage/plugin_medium.h"
#include "util/cp949_literal.h"
#include "util/file_io.h"

using namespace qelt;

namespace {

constexpr int kDisk = 1;
constexpr int kPlugin = 2;

// Data type selector -> the codes the plug-in knows the objects by.
struct DataType {
    int selector;
    int certCode;
    int keyCode;
};
constexpr DataType kDataTypes[] = {{1, 1, 2}, {2, 4, 5}, {16, 16, 32}, {32, 64, 80}};
// The identification random number of a type-16 signing key.
constexpr int kRandomCode = 48;
constexpr int kRandomDataType = 16;

enum class Object { Cert, Key };

const DataType* dataTypeOf(int selector) {
    for (const DataType& t : kDataTypes)
        if (t.selector == selector) return &t;
    return nullptr;
}

// The checks shared by every media call, in parameter order: the medium, its
// info text and the data type. 0 or the recorded code.
int checkMedium(ApiCall& call, int media, const char* info, int dataType, Object object) {
    if (media != kDisk && media != kPlugin)
        return call.fail(QELT_ERR_STORAGE_UNSUPPORTED, "지원하지 않는 저장매체 종류입니다."_cp949);
    if (!hasText(info))
        return call.invalid(media == kDisk ? "파일경로(pszInfo)를 지정해 주세요."_cp949
                                           : "핀 번호(pszInfo)를 지정해 주세요."_cp949);
    if (dataTypeOf(dataType) == nullptr)
        return call.fail(QELT_ERR_UNSUPPORTED_TYPE, object == Object::Cert
                                                        ? "지원되지 않는 인증서 데이터 타입입니다."_cp949
                                                        : "지원되지 않는 개인키 데이터 타입입니다."_cp949);
    return 0;
}

int requireModule(ApiCall& call) {
    if (call.ctx().hStorageLib != nullptr) return 0;
    return call.fail(QELT_ERR_DYNLIB_NOT_LOADED, "우선 동적 라이브러리를 로드하세요."_cp949);
}

// What a plug-in call that did not succeed becomes: a missing entry point,
// no card, a wrong PIN, or the operation's own failure code and message.
int pluginFailure(ApiCall& call, const PluginMedium& plugin, PluginMedium::Outcome outcome, int code,
                  const char* message) {
    switch (outcome) {
        case PluginMedium::Outcome::NoSymbol:
            return call.failf(QELT_ERR_DYNLIB_SYMBOL,
                              "함수 %s()의 포인터 획득 실패 (fnc=GetProcAddress,errcode=%d)"_cp949, plugin.function(),
                              0);
        case PluginMedium::Outcome::NoCard:
            return call.failDynamic(QELT_ERR_SMARTCARD_ABSENT, "스마트카드가 꽂혀있는지 확인하세요."_cp949,
                                    plugin.function(), plugin.result(), plugin.text());
        case PluginMedium::Outcome::WrongPin:
            return call.failDynamic(QELT_ERR_PIN, "PIN 번호를 확인하세요."_cp949, plugin.function(), plugin.result(),
                                    plugin.text());
        default:
            return call.failDynamic(code, message, plugin.function(), plugin.result(), plugin.text());
    }
}

int pluginRead(ApiCall& call, const char* pin, int code, ByteString& out, int failCode, const char* failMessage) {
    PluginMedium plugin(call.ctx().hStorageLib);
    const auto outcome = plugin.read(code, pin, out);
    return outcome == PluginMedium::Outcome::Ok ? 0 : pluginFailure(call, plugin, outcome, failCode, failMessage);
}
int pluginWrite(ApiCall& call, const char* pin, int code, const ByteString& data, int failCode,
                const char* failMessage) {
    PluginMedium plugin(call.ctx().hStorageLib);
    const auto outcome = plugin.write(code, pin, data);
    return outcome == PluginMedium::Outcome::Ok ? 0 : pluginFailure(call, plugin, outcome, failCode, failMessage);
}
int pluginDelete(ApiCall& call, const char* pin, int code, int failCode, const char* failMessage) {
    PluginMedium plugin(call.ctx().hStorageLib);
    const auto outcome = plugin.remove(code, pin);
    return outcome == PluginMedium::Outcome::Ok ? 0 : pluginFailure(call, plugin, outcome, failCode, failMessage);
}

// The stored bytes of a certificate or key, from the file or the plug-in.
int readStored(ApiCall& call, int media, const char* info, int code, Object object, ByteString& out) {
    if (media == kDisk) {
        if (readWholeFile(info, out) == ReadFileResult::Ok) return 0;
        return object == Object::Cert ? call.failf(QELT_ERR_STORAGE_READ_CERT,
                                                   "\"%s\" 경로의 인증서 파일을 읽는데 실패하였습니다."_cp949, info)
                                      : call.failf(QELT_ERR_STORAGE_READ_KEY,
                                                   "\"%s\" 경로의 개인키 파일을 읽는데 실패하였습니다."_cp949, info);
    }
    if (const int rc = requireModule(call)) return rc;
    return object == Object::Cert
               ? pluginRead(call, info, code, out, QELT_ERR_STORAGE_READ_CERT, "인증서 읽기 실패"_cp949)
               : pluginRead(call, info, code, out, QELT_ERR_STORAGE_READ_KEY, "개인키 읽기 실패"_cp949);
}

// The decrypted key of a medium. With `withRandom` a type-16 key of a plug-in
// gets its identification random number back into its attributes.
int readKey(ApiCall& call, int media, const char* info, const char* passwd, int dataType, bool withRandom,
            ByteString& key) {
    const DataType& type = *dataTypeOf(dataType);
    ByteString stored, random;
    if (const int rc = readStored(call, media, info, type.keyCode, Object::Key, stored)) return rc;
    if (withRandom && media == kPlugin && dataType == kRandomDataType) {
        if (const int rc = pluginRead(call, info, kRandomCode, random, QELT_ERR_STORAGE_READ_KEY,
                                      "본인확인을 위한 랜덤값 읽기 실패"_cp949))
            return rc;
        if (random.isEmpty()) return call.fail(QELT_ERR_STORAGE_READ_KEY, "본인확인을 위한 랜덤값 읽기 실패"_cp949);
    }
    if (stored.isEmpty()) return call.fail(QELT_ERR_FILE_EMPTY, "해당 개인키 내용이 비어있습니다."_cp949);
    if (hasText(passwd)) {
        PPKCS8 pkcs8;
        pkcs8.setPassword(passwd);
        switch (pkcs8.getPrivateKeyInfo(stored, key)) {
            case 0:
                break;
            case PPKCS8::kNotEncryptedKey:
                return call.fail(QELT_ERR_ENCPRIKEY_NOT_ENCPRIKEY, "암호화된 개인키가 아닙니다."_cp949);
            case PPKCS8::kDecryptFailed:
                return call.fail(QELT_ERR_PRIKEY_PASSWORD, "비밀번호를 확인하세요."_cp949);
            default:
                return call.failCore(QELT_ERR_ENCPRIKEY_INVALID, "잘못된 암호화된 개인키입니다."_cp949, pkcs8);
        }
    } else {
        RPrivateKeyInfo info(stored);
        if (info.errorCode() != 0)
            return call.fail(QELT_ERR_ENCPRIKEY_NOT_ENCPRIKEY, "복호화된 개인키가 아닙니다."_cp949);
        key.assign(stored);
    }
    if (!random.isEmpty()) {
        PPrivateKey priKey;
        if (priKey.setRandomNumber(key, random) != 0)
            return call.failCore(QELT_ERR_PRIKEY_INVALID, "잘못된 개인키 입니다."_cp949, priKey);
    }
    return 0;
}

// PBE scheme of a protection selector; 0 for an unknown one. SEED keys of the
// plug-in's signing and key-management types keep the older PBES1 shape that
// smart cards read.
int schemeOf(int symAlg, int media, int dataType) {
    switch (symAlg) {
        case QELT_SYM_DES:
            return PBES2_DES;
        case QELT_SYM_3DES:
            return PBES2_3DES;
        case QELT_SYM_SEED:
            return media == kPlugin && (dataType == 16 || dataType == 32) ? PBE_SHA1_SEED : PBES2_SEED;
        case QELT_SYM_NEAT:
            return PBES2_NEAT;
        case QELT_SYM_ARIA:
            return PBES2_ARIA;
        default:
            return 0;
    }
}

}  // namespace

QELT_EXPORT int QELT_STORAGE_Load(void* pCtx, char* pszLibPath) {
    return api::run(pCtx, "QELT_STORAGE_Load", [&](ApiCall& call) {
        if (!hasText(pszLibPath)) return call.invalid("라이브러리 경로(pszLibPath)를 지정해 주세요."_cp949);
        ApiContext& ctx = call.ctx();
        if (ctx.hStorageLib != nullptr)
            return call.fail(QELT_ERR_DYNLIB_ALREADY_LOADED, "이미 로드되어있습니다."_cp949);
        std::string error;
        errno = 0;
        void* module = loadModule(pszLibPath, error);
        if (module == nullptr) {
            // The loader's own explanation (missing file, wrong architecture,
            // unresolved symbol) follows the message.
            const int err = errno;
            ByteString msg;
            msg.format("\"%s\" DLL을 로드하데 실패 (fnc=LoadLibrary,errcode=%d)"_cp949, pszLibPath, err);
            return call.failDynamic(QELT_ERR_DYNLIB_LOAD, msg.c_str(), "dlopen", err, error.c_str());
        }
        ctx.hStorageLib = module;
        return QELT_OK;
    });
}

QELT_EXPORT int QELT_STORAGE_Unload(void* pCtx) {
    return api::run(pCtx, "QELT_STORAGE_Unload", [&](ApiCall& call) {
        ApiContext& ctx = call.ctx();
        if (ctx.hStorageLib == nullptr) return QELT_OK;
        // The token wrapper calls into the module: it goes first.
        delete ctx.pCryptoki;
        ctx.pCryptoki = nullptr;
        std::string error;
        errno = 0;
        if (unloadModule(ctx.hStorageLib, error) != 0)
            return call.failf(QELT_ERR_DYNLIB_UNLOAD, "DLL을 해제하는데 실패 (fnc=FreeLibrary,errcode=%d)"_cp949,
                              errno);
        ctx.hStorageLib = nullptr;
        return QELT_OK;
    });
}

QELT_EXPORT int QELT_STORAGE_ReadCert(void* pCtx, int nMediaType, char* pszInfo, int nDataType, BINSTR* pCert) {
    return api::run(pCtx, "QELT_STORAGE_ReadCert", [&](ApiCall& call) {
        if (const int rc = checkMedium(call, nMediaType, pszInfo, nDataType, Object::Cert)) return rc;
        if (pCert == nullptr) return call.invalid("pCert의 포인터가 NULL입니다."_cp949);
        ByteString cert;
        if (const int rc = readStored(call, nMediaType, pszInfo, dataTypeOf(nDataType)->certCode, Object::Cert, cert))
            return rc;
        if (cert.isEmpty() || cert.data()[0] == 0)
            return call.fail(QELT_ERR_FILE_EMPTY, "해당 인증서 내용이 비어있습니다."_cp949);
        return call.putBytes(pCert, cert, "pCert");
    });
}

QELT_EXPORT int QELT_STORAGE_ReadPriKey(void* pCtx, int nMediaType, char* pszInfo, char* pszPasswd, int nDataType,
                                        BINSTR* pPriKey) {
    return api::run(pCtx, "QELT_STORAGE_ReadPriKey", [&](ApiCall& call) {
        if (const int rc = checkMedium(call, nMediaType, pszInfo, nDataType, Object::Key)) return rc;
        if (pPriKey == nullptr) return call.invalid("pPriKey의 포인터가 NULL입니다."_cp949);
        ByteString key;
        if (const int rc = readKey(call, nMediaType, pszInfo, pszPasswd, nDataType, true, key)) return rc;
        return call.putBytes(pPriKey, key, "pPriKey");
    });
}

QELT_EXPORT int QELT_STORAGE_WriteCert(void* pCtx, int nMediaType, char* pszInfo, int nDataType, BINSTR* pCert) {
    return api::run(pCtx, "QELT_STORAGE_WriteCert", [&](ApiCall& call) {
        if (const int rc = checkMedium(call, nMediaType, pszInfo, nDataType, Object::Cert)) return rc;
        if (!hasBytes(pCert)) return call.invalid("저장할 인증서(pCert)를 지정해 주세요."_cp949);
        const ByteString cert = bytesOf(pCert);
        if (nMediaType == kDisk) {
            if (writeFileAtomically(pszInfo, cert, kCertFileMode) != 0)
                return call.failf(QELT_ERR_STORAGE_WRITE_CERT,
                                  "\"%s\" 경로의 인증서 파일을 저장하는데 실패하였습니다."_cp949, pszInfo);
            return QELT_OK;
        }
        if (const int rc = requireModule(call)) return rc;
        return pluginWrite(call, pszInfo, dataTypeOf(nDataType)->certCode, cert, QELT_ERR_STORAGE_WRITE_CERT,
                           "인증서 저장 실패"_cp949);
    });
}

QELT_EXPORT int QELT_STORAGE_WritePriKey(void* pCtx, int nMediaType, char* pszInfo, char* pszPasswd, int nDataType,
                                         int nSymAlg, BINSTR* pPriKey) {
    return api::run(pCtx, "QELT_STORAGE_WritePriKey", [&](ApiCall& call) {
        if (const int rc = checkMedium(call, nMediaType, pszInfo, nDataType, Object::Key)) return rc;
        if (!hasText(pszPasswd)) return call.invalid("개인키 비밀번호를 지정해 주세요."_cp949);
        const int scheme = schemeOf(nSymAlg, nMediaType, nDataType);
        if (scheme == 0) return call.fail(QELT_ERR_SYM_ALGORITHM, "지원되지 않는 대칭키 알고리즘입니다."_cp949);
        if (!hasBytes(pPriKey)) return call.invalid("저장할 개인키(pPriKey)를 지정해 주세요."_cp949);
        if (nMediaType == kPlugin)
            if (const int rc = requireModule(call)) return rc;

        ByteString key = bytesOf(pPriKey), random;
        if (RPrivateKeyInfo(key).errorCode() != 0)
            return call.fail(QELT_ERR_PRIKEY_NOT_PRIKEY, "복호화된 개인키가 아닙니다."_cp949);
        const bool separateRandom = nMediaType == kPlugin && nDataType == kRandomDataType;
        if (separateRandom) {
            PPrivateKey priKey;
            if (priKey.getRandomNumber(key, random, false) != 0)
                return call.failCore(QELT_ERR_PRIKEY_INVALID, "잘못된 개인키 입니다."_cp949, priKey);
        }
        PPKCS8 pkcs8;
        pkcs8.setAlgorithm(scheme);
        pkcs8.setPassword(pszPasswd);
        if (pkcs8.setPrivateKeyInfo(key) != 0)
            return call.fail(QELT_ERR_PRIKEY_NOT_PRIKEY, "복호화된 개인키가 아닙니다."_cp949);
        ByteString encrypted;
        if (pkcs8.getPKCS8Data(encrypted) != 0)
            return call.failCore(QELT_ERR_PRIKEY_ENCRYPT, "개인키를 암호화하는데 실패하였습니다."_cp949, pkcs8);

        if (nMediaType == kDisk) {
            if (writeFileAtomically(pszInfo, encrypted, kKeyFileMode) != 0)
                return call.failf(QELT_ERR_STORAGE_WRITE_KEY,
                                  "\"%s\" 경로의 개인키 파일을 저장하는데 실패하였습니다."_cp949, pszInfo);
            return QELT_OK;
        }
        if (separateRandom)
            if (const int rc = pluginWrite(call, pszInfo, kRandomCode, random, QELT_ERR_STORAGE_WRITE_KEY,
                                           "본인확인을 위한 랜덤값 저장 실패"_cp949))
                return rc;
        return pluginWrite(call, pszInfo, dataTypeOf(nDataType)->keyCode, encrypted, QELT_ERR_STORAGE_WRITE_KEY,
                           "개인키 저장 실패"_cp949);
    });
}

QELT_EXPORT int QELT_STORAGE_DeleteCert(void* pCtx, int nMediaType, char* pszInfo, int nDataType) {
    return api::run(pCtx, "QELT_STORAGE_DeleteCert", [&](ApiCall& call) {
        if (const int rc = checkMedium(call, nMediaType, pszInfo, nDataType, Object::Cert)) return rc;
        if (nMediaType == kDisk) {
            if (deleteMediumFile(pszInfo) != 0)
                return call.failf(QELT_ERR_FILE_DELETE, "\"%s\" 위치의 파일을 삭제하는데 실패하였습니다."_cp949,
                                  pszInfo);
            return QELT_OK;
        }
        if (const int rc = requireModule(call)) return rc;
        return pluginDelete(call, pszInfo, dataTypeOf(nDataType)->certCode, QELT_ERR_FILE_DELETE,
                            "인증서 삭제 실패"_cp949);
    });
}

QELT_EXPORT int QELT_STORAGE_DeletePriKey(void* pCtx, int nMediaType, char* pszInfo, char* pszPasswd, int nDataType) {
    return api::run(pCtx, "QELT_STORAGE_DeletePriKey", [&](ApiCall& call) {
        if (const int rc = checkMedium(call, nMediaType, pszInfo, nDataType, Object::Key)) return rc;
        if (!hasText(pszPasswd)) return call.invalid("개인키 비밀번호를 지정해 주세요."_cp949);
        // Only the owner of the password may delete the key: it must decrypt first.
        ByteString key;
        if (const int rc = readKey(call, nMediaType, pszInfo, pszPasswd, nDataType, false, key)) return rc;
        if (nMediaType == kDisk) {
            if (deleteMediumFile(pszInfo) != 0)
                return call.failf(QELT_ERR_FILE_DELETE, "\"%s\" 위치의 파일을 삭제하는데 실패하였습니다."_cp949,
                                  pszInfo);
            return QELT_OK;
        }
        if (const int rc = pluginDelete(call, pszInfo, dataTypeOf(nDataType)->keyCode, QELT_ERR_FILE_DELETE,
                                        "개인키 삭제 실패"_cp949))
            return rc;
        if (nDataType == kRandomDataType)
            return pluginDelete(call, pszInfo, kRandomCode, QELT_ERR_FILE_DELETE,
                                "본인 확인을 위한 랜덤 값 삭제 실패"_cp949);
        return QELT_OK;
    });
}
