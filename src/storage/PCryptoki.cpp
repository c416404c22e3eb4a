#include "storage/PCryptoki.h"

#include <cstring>

#include "storage/ckr_names.h"
#include "storage/dynamic_module.h"

namespace qelt {

// The Cryptoki entry points used, in the order of kEntryNames.
enum PCryptoki::Fn : int {
    fInitialize,
    fGetSlotList,
    fGetTokenInfo,
    fOpenSession,
    fLogin,
    fLogout,
    fCloseSession,
    fFinalize,
    fSetPIN,
    fFindObjectsInit,
    fFindObjects,
    fFindObjectsFinal,
    fGetAttributeValue,
    fSetAttributeValue,
    fCreateObject,
    fDestroyObject,
    fGenerateKey,
    fEncryptInit,
    fEncrypt,
    fUnwrapKey,
    fSignInit,
    fSign,
    fCount
};

namespace {

constexpr const char* kEntryNames[] = {
    "C_Initialize",
    "C_GetSlotList",
    "C_GetTokenInfo",
    "C_OpenSession",
    "C_Login",
    "C_Logout",
    "C_CloseSession",
    "C_Finalize",
    "C_SetPIN",
    "C_FindObjectsInit",
    "C_FindObjects",
    "C_FindObjectsFinal",
    "C_GetAttributeValue",
    "C_SetAttributeValue",
    "C_CreateObject",
    "C_DestroyObject",
    "C_GenerateKey",
    "C_EncryptInit",
    "C_Encrypt",
    "C_UnwrapKey",
    "C_SignInit",
    "C_Sign",
};

constexpr const char* kClass = "PCryptoki";
// Objects fetched per C_FindObjects call.
constexpr CK_ULONG kFindBatch = 64;
// The token's answer is trusted up to this many objects of one search.
constexpr size_t kMaxFound = 100000;

const uint8_t kZeroIv[8] = {};

}  // namespace

#define QELT_CK(fn, type) reinterpret_cast<CK_##type>(entry(fn))

PCryptoki::PCryptoki(void* module) : m_module(module) {
    static_assert(sizeof kEntryNames / sizeof kEntryNames[0] == fCount);
    static_assert(sizeof m_Entries / sizeof m_Entries[0] >= fCount);
}

PCryptoki::~PCryptoki() {
    // A context that ends without closing its session still releases the token.
    if (hasSession())
        (void)closeSession();
    else if (m_bInitializedHere && m_bInitialized)
        if (auto finalize = QELT_CK(fFinalize, C_Finalize)) finalize(nullptr);
}

const char* PCryptoki::ckrName(CK_RV rv) {
    for (const CkrName& n : kCkrNames)
        if (n.value == rv) return n.name;
    return rv >= CKR_VENDOR_DEFINED ? "CKR_VENDOR_DEFINED" : "CKR_UNKNOWN";
}

void* PCryptoki::entry(Fn fn) {
    if (m_Entries[fn] == nullptr) m_Entries[fn] = moduleSymbol(m_module, kEntryNames[fn]);
    if (m_Entries[fn] == nullptr) noSymbol(kEntryNames[fn]);
    return m_Entries[fn];
}

int PCryptoki::noSymbol(const char* name) {
    m_Failure = kNoSymbol;
    m_pszFunction = name;
    m_rv = CKR_OK;
    m_LastError = std::string(name) + " is not exported by the module.";
    return fail(kClass, "entry", name, kNoSymbol, m_LastError.c_str());
}

int PCryptoki::tokenFailure(const char* function, CK_RV rv, const char* message) {
    m_Failure = kToken;
    m_pszFunction = function;
    m_rv = rv;
    ByteString text;
    text.format("fnc=%s, err=%s (%s[0x%lx])", function, ckrName(rv), message, static_cast<unsigned long>(rv));
    m_LastError = text.c_str();
    return fail(kClass, function, function, kToken, text.c_str());
}

int PCryptoki::libraryFailure(const char* function, const char* message) {
    m_Failure = kLibrary;
    m_pszFunction = function;
    m_rv = CKR_OK;
    m_LastError = message;
    return fail(kClass, function, function, kLibrary, message);
}

int PCryptoki::initialize() {
    auto init = QELT_CK(fInitialize, C_Initialize);
    if (init == nullptr) return kNoSymbol;
    CK_C_INITIALIZE_ARGS args{};
    args.flags = CKF_OS_LOCKING_OK;
    const CK_RV rv = init(&args);
    if (rv != CKR_OK && rv != CKR_CRYPTOKI_ALREADY_INITIALIZED)
        return tokenFailure("C_Initialize", rv, "Cryptoki initialisation failed.");
    m_bInitialized = true;
    m_bInitializedHere = rv == CKR_OK;
    return 0;
}

int PCryptoki::loadSlotList() {
    auto list = QELT_CK(fGetSlotList, C_GetSlotList);
    if (list == nullptr) return kNoSymbol;
    CK_ULONG count = 0;
    CK_RV rv = list(CK_TRUE, nullptr, &count);
    if (rv != CKR_OK) return tokenFailure("C_GetSlotList", rv, "The slot count could not be read.");
    std::vector<CK_SLOT_ID> slots(count);
    if (count > 0) {
        rv = list(CK_TRUE, slots.data(), &count);
        if (rv != CKR_OK) return tokenFailure("C_GetSlotList", rv, "The slot list could not be read.");
        slots.resize(count);
    }
    m_Slots = std::move(slots);
    m_bSlotListed = true;
    return 0;
}

int PCryptoki::getTokenInfo(CK_SLOT_ID slot, CK_TOKEN_INFO& info) {
    auto get = QELT_CK(fGetTokenInfo, C_GetTokenInfo);
    if (get == nullptr) return kNoSymbol;
    const CK_RV rv = get(slot, &info);
    return rv == CKR_OK ? 0 : tokenFailure("C_GetTokenInfo", rv, "The token information could not be read.");
}

int PCryptoki::openSession(CK_SLOT_ID slot, CK_FLAGS flags) {
    forgetObjects();
    auto open = QELT_CK(fOpenSession, C_OpenSession);
    if (open == nullptr) return kNoSymbol;
    if (hasSession()) {
        // One session per context: the earlier one is closed first.
        if (auto close = QELT_CK(fCloseSession, C_CloseSession)) close(m_hSession);
        m_hSession = CK_INVALID_HANDLE;
        m_bLoggedIn = false;
    }
    CK_SESSION_HANDLE session = CK_INVALID_HANDLE;
    const CK_RV rv = open(slot, flags | CKF_SERIAL_SESSION, nullptr, nullptr, &session);
    if (rv != CKR_OK) return tokenFailure("C_OpenSession", rv, "The session could not be opened.");
    m_Slot = slot;
    m_hSession = session;
    return 0;
}

int PCryptoki::login(const char* pin) {
    forgetObjects();
    auto fn = QELT_CK(fLogin, C_Login);
    if (fn == nullptr) return kNoSymbol;
    const CK_RV rv = fn(m_hSession, CKU_USER, reinterpret_cast<CK_UTF8CHAR_PTR>(const_cast<char*>(pin)),
                        static_cast<CK_ULONG>(std::strlen(pin)));
    if (rv != CKR_OK && rv != CKR_USER_ALREADY_LOGGED_IN) return tokenFailure("C_Login", rv, "The user login failed.");
    m_bLoggedIn = true;
    return 0;
}

int PCryptoki::logout() {
    forgetObjects();
    auto fn = QELT_CK(fLogout, C_Logout);
    if (fn == nullptr) return kNoSymbol;
    const CK_RV rv = fn(m_hSession);
    if (rv != CKR_OK && rv != CKR_USER_NOT_LOGGED_IN) return tokenFailure("C_Logout", rv, "The logout failed.");
    m_bLoggedIn = false;
    return 0;
}

int PCryptoki::closeSession() {
    forgetObjects();
    auto close = QELT_CK(fCloseSession, C_CloseSession);
    if (close == nullptr) return kNoSymbol;
    const CK_RV rv = close(m_hSession);
    m_hSession = CK_INVALID_HANDLE;
    m_bLoggedIn = false;
    m_bSlotListed = false;  // the next session starts from a new slot listing
    if (rv != CKR_OK && rv != CKR_SESSION_HANDLE_INVALID && rv != CKR_SESSION_CLOSED)
        return tokenFailure("C_CloseSession", rv, "The session could not be closed.");
    if (m_bInitialized && m_bInitializedHere) {
        auto finalize = QELT_CK(fFinalize, C_Finalize);
        if (finalize == nullptr) return kNoSymbol;
        m_bInitialized = false;
        const CK_RV frv = finalize(nullptr);
        if (frv != CKR_OK && frv != CKR_CRYPTOKI_NOT_INITIALIZED)
            return tokenFailure("C_Finalize", frv, "Cryptoki could not be finalised.");
    }
    return 0;
}

int PCryptoki::setPin(const char* oldPin, const char* newPin) {
    auto fn = QELT_CK(fSetPIN, C_SetPIN);
    if (fn == nullptr) return kNoSymbol;
    const CK_RV rv = fn(m_hSession, reinterpret_cast<CK_UTF8CHAR_PTR>(const_cast<char*>(oldPin)), std::strlen(oldPin),
                        reinterpret_cast<CK_UTF8CHAR_PTR>(const_cast<char*>(newPin)), std::strlen(newPin));
    return rv == CKR_OK ? 0 : tokenFailure("C_SetPIN", rv, "The PIN could not be changed.");
}

int PCryptoki::findObjects(const std::vector<CK_ATTRIBUTE>& tmpl, std::vector<CK_OBJECT_HANDLE>& out,
                           const char* what) {
    out.clear();
    auto init = QELT_CK(fFindObjectsInit, C_FindObjectsInit);
    auto find = QELT_CK(fFindObjects, C_FindObjects);
    auto final = QELT_CK(fFindObjectsFinal, C_FindObjectsFinal);
    if (init == nullptr || find == nullptr || final == nullptr) return kNoSymbol;
    CK_RV rv = init(m_hSession, const_cast<CK_ATTRIBUTE*>(tmpl.data()), static_cast<CK_ULONG>(tmpl.size()));
    if (rv != CKR_OK) return tokenFailure("C_FindObjectsInit", rv, what);
    CK_OBJECT_HANDLE batch[kFindBatch];
    for (;;) {
        CK_ULONG n = 0;
        rv = find(m_hSession, batch, kFindBatch, &n);
        if (rv != CKR_OK || n == 0 || n > kFindBatch || out.size() > kMaxFound) break;
        out.insert(out.end(), batch, batch + n);
    }
    const CK_RV frv = final(m_hSession);
    if (rv != CKR_OK) return tokenFailure("C_FindObjects", rv, what);
    if (frv != CKR_OK) return tokenFailure("C_FindObjectsFinal", frv, what);
    return 0;
}

int PCryptoki::getAttribute(CK_OBJECT_HANDLE obj, CK_ATTRIBUTE_TYPE type, ByteString& value, const char* what) {
    auto get = QELT_CK(fGetAttributeValue, C_GetAttributeValue);
    if (get == nullptr) return kNoSymbol;
    CK_ATTRIBUTE attr{type, nullptr, 0};
    CK_RV rv = get(m_hSession, obj, &attr, 1);
    if (rv != CKR_OK) return tokenFailure("C_GetAttributeValue", rv, what);
    if (attr.ulValueLen == CK_UNAVAILABLE_INFORMATION || attr.ulValueLen > (1UL << 24))
        return libraryFailure("C_GetAttributeValue", "The token gave no usable length for the attribute.");
    value.clear();
    if (attr.ulValueLen == 0) return 0;
    if (value.allocZero(static_cast<int>(attr.ulValueLen)) != 0)
        return libraryFailure("C_GetAttributeValue", "Memory allocation failed.");
    attr.pValue = value.data();
    rv = get(m_hSession, obj, &attr, 1);
    if (rv != CKR_OK) return tokenFailure("C_GetAttributeValue", rv, what);
    ByteString copy(value.data(), static_cast<int>(attr.ulValueLen));
    value = std::move(copy);
    return 0;
}

int PCryptoki::createObject(std::vector<CK_ATTRIBUTE>& tmpl, CK_OBJECT_HANDLE& obj, const char* what) {
    forgetObjects();
    auto create = QELT_CK(fCreateObject, C_CreateObject);
    if (create == nullptr) return kNoSymbol;
    const CK_RV rv = create(m_hSession, tmpl.data(), static_cast<CK_ULONG>(tmpl.size()), &obj);
    return rv == CKR_OK ? 0 : tokenFailure("C_CreateObject", rv, what);
}

int PCryptoki::destroyObject(CK_OBJECT_HANDLE obj, const char* what) {
    forgetObjects();
    auto destroy = QELT_CK(fDestroyObject, C_DestroyObject);
    if (destroy == nullptr) return kNoSymbol;
    const CK_RV rv = destroy(m_hSession, obj);
    return rv == CKR_OK ? 0 : tokenFailure("C_DestroyObject", rv, what);
}

int PCryptoki::setAttributes(CK_OBJECT_HANDLE obj, std::vector<CK_ATTRIBUTE>& tmpl) {
    forgetObjects();
    auto set = QELT_CK(fSetAttributeValue, C_SetAttributeValue);
    if (set == nullptr) return kNoSymbol;
    const CK_RV rv = set(m_hSession, obj, tmpl.data(), static_cast<CK_ULONG>(tmpl.size()));
    return rv == CKR_OK ? 0 : tokenFailure("C_SetAttributeValue", rv, "set CKA_ID.");
}

int PCryptoki::unwrapPrivateKey(const ByteString& privateKeyInfo, std::vector<CK_ATTRIBUTE>& tmpl,
                                CK_OBJECT_HANDLE& obj) {
    forgetObjects();
    auto generate = QELT_CK(fGenerateKey, C_GenerateKey);
    auto encryptInit = QELT_CK(fEncryptInit, C_EncryptInit);
    auto encrypt = QELT_CK(fEncrypt, C_Encrypt);
    auto unwrap = QELT_CK(fUnwrapKey, C_UnwrapKey);
    auto destroy = QELT_CK(fDestroyObject, C_DestroyObject);
    if (!generate || !encryptInit || !encrypt || !unwrap || !destroy) return kNoSymbol;

    // A session key that lives only as long as this import.
    CK_MECHANISM genMech{CKM_DES3_KEY_GEN, nullptr, 0};
    CK_BBOOL yes = CK_TRUE, no = CK_FALSE;
    CK_ATTRIBUTE keyTmpl[] = {{CKA_TOKEN, &no, sizeof no},
                              {CKA_ENCRYPT, &yes, sizeof yes},
                              {CKA_UNWRAP, &yes, sizeof yes},
                              {CKA_EXTRACTABLE, &no, sizeof no}};
    CK_OBJECT_HANDLE wrapKey = CK_INVALID_HANDLE;
    CK_RV rv = generate(m_hSession, &genMech, keyTmpl, 4, &wrapKey);
    if (rv != CKR_OK) return tokenFailure("C_GenerateKey", rv, "The wrapping key could not be generated.");

    CK_MECHANISM mech{CKM_DES3_CBC_PAD, const_cast<uint8_t*>(kZeroIv), sizeof kZeroIv};
    ByteString wrapped;
    int result = 0;
    rv = encryptInit(m_hSession, &mech, wrapKey);
    if (rv != CKR_OK) {
        result = tokenFailure("C_EncryptInit", rv, "The key could not be encrypted.");
    } else {
        CK_ULONG len = static_cast<CK_ULONG>(privateKeyInfo.length()) + 16;
        if (wrapped.allocZero(static_cast<int>(len)) != 0) {
            result = libraryFailure("C_Encrypt", "Memory allocation failed.");
        } else {
            rv = encrypt(m_hSession, const_cast<uint8_t*>(privateKeyInfo.data()), privateKeyInfo.length(),
                         wrapped.data(), &len);
            if (rv != CKR_OK)
                result = tokenFailure("C_Encrypt", rv, "The key could not be encrypted.");
            else
                wrapped = ByteString(wrapped.data(), static_cast<int>(len));
        }
    }
    if (result == 0) {
        rv = unwrap(m_hSession, &mech, wrapKey, wrapped.data(), static_cast<CK_ULONG>(wrapped.length()), tmpl.data(),
                    static_cast<CK_ULONG>(tmpl.size()), &obj);
        if (rv != CKR_OK) result = tokenFailure("C_UnwrapKey", rv, "The private key could not be stored.");
    }
    destroy(m_hSession, wrapKey);
    return result;
}

const PCryptoki::SigningObjects* PCryptoki::cachedSigningObjects(const std::string& keyId) const {
    const auto it = m_SigningObjects.find(keyId);
    return it == m_SigningObjects.end() ? nullptr : &it->second;
}

void PCryptoki::rememberSigningObjects(const std::string& keyId, const SigningObjects& objects) {
    m_SigningObjects[keyId] = objects;
}

int PCryptoki::sign(CK_OBJECT_HANDLE key, CK_MECHANISM_TYPE mechanism, const ByteString& data, ByteString& signature) {
    auto init = QELT_CK(fSignInit, C_SignInit);
    auto fn = QELT_CK(fSign, C_Sign);
    if (init == nullptr || fn == nullptr) return kNoSymbol;
    CK_MECHANISM mech{mechanism, nullptr, 0};
    CK_RV rv = init(m_hSession, &mech, key);
    if (rv != CKR_OK) return tokenFailure("C_SignInit", rv, "The signature could not be started.");
    // Large enough for RSA-8192 and every EC signature: one call, no size query.
    uint8_t buf[1024];
    CK_ULONG len = sizeof buf;
    rv = fn(m_hSession, const_cast<uint8_t*>(data.data()), static_cast<CK_ULONG>(data.length()), buf, &len);
    if (rv != CKR_OK) return tokenFailure("C_Sign", rv, "The signature could not be made.");
    if (len > sizeof buf) return libraryFailure("C_Sign", "The token reported a signature longer than its buffer.");
    signature.set(buf, static_cast<int>(len));
    return 0;
}

#undef QELT_CK

}  // namespace qelt
