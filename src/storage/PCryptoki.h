// PCryptoki: one API context's hold on a PKCS#11 token: the Cryptoki module
// (the context's loaded module), the slots with a token, the open session and
// the login state.
//
// Entry points are looked up by name in the module when first needed, so a
// module lacking one (C_SetPIN, say) still serves every call that does not
// use it. C_Initialize and C_Finalize act on the whole process: the object
// finalises Cryptoki only when its own C_Initialize started it.
//
// Methods return 0 or a failure whose description is in lastFailure():
// the entry point, its CKR_ result (0 when the failure is not the token's)
// and a text.
#pragma once

#include <p11-kit/pkcs11.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "util/byte_string.h"
#include "util/error_holder.h"

namespace qelt {

class PCryptoki : public ErrorHolder {
public:
    // Failure kinds a caller tells apart.
    enum Failure : int { kOk = 0, kNoSymbol = 1, kToken = 2, kLibrary = 3 };

    explicit PCryptoki(void* module);
    ~PCryptoki() override;
    PCryptoki(const PCryptoki&) = delete;
    PCryptoki& operator=(const PCryptoki&) = delete;

    // C_Initialize (an already initialised library is accepted) and the slots with a token.
    [[nodiscard]] int initialize();
    [[nodiscard]] int loadSlotList();
    const std::vector<CK_SLOT_ID>& slots() const { return m_Slots; }
    bool hasSlotList() const { return m_bSlotListed; }
    [[nodiscard]] int getTokenInfo(CK_SLOT_ID slot, CK_TOKEN_INFO& info);

    [[nodiscard]] int openSession(CK_SLOT_ID slot, CK_FLAGS flags);
    [[nodiscard]] int login(const char* pin);
    [[nodiscard]] int logout();
    // Closes the session and finalises Cryptoki (when this object started it).
    [[nodiscard]] int closeSession();
    [[nodiscard]] int setPin(const char* oldPin, const char* newPin);
    bool hasSession() const { return m_hSession != CK_INVALID_HANDLE; }
    bool isLoggedIn() const { return m_bLoggedIn; }

    // Objects.
    [[nodiscard]] int findObjects(const std::vector<CK_ATTRIBUTE>& tmpl, std::vector<CK_OBJECT_HANDLE>& out,
                                  const char* what);
    [[nodiscard]] int getAttribute(CK_OBJECT_HANDLE obj, CK_ATTRIBUTE_TYPE type, ByteString& value, const char* what);
    [[nodiscard]] int createObject(std::vector<CK_ATTRIBUTE>& tmpl, CK_OBJECT_HANDLE& obj, const char* what);
    [[nodiscard]] int destroyObject(CK_OBJECT_HANDLE obj, const char* what);
    [[nodiscard]] int setAttributes(CK_OBJECT_HANDLE obj, std::vector<CK_ATTRIBUTE>& tmpl);
    // A private key imported through a temporary triple-DES key of the token:
    // the PKCS#8 key is encrypted with it on the token and unwrapped there.
    [[nodiscard]] int unwrapPrivateKey(const ByteString& privateKeyInfo, std::vector<CK_ATTRIBUTE>& tmpl,
                                       CK_OBJECT_HANDLE& obj);
    [[nodiscard]] int sign(CK_OBJECT_HANDLE key, CK_MECHANISM_TYPE mechanism, const ByteString& data,
                           ByteString& signature);

    // What signing needs of a KeyID, kept for the session so that repeated
    // signing costs the token's signature alone: finding objects and reading
    // their attributes make a file-backed token re-read its store each time.
    // The KeyID is the SHA-1 of the certificate, so its label always names the
    // same certificate; a key handle that went stale (the object deleted by
    // another program) is found again by the caller. Creating, destroying,
    // logging in or out and closing the session forget everything.
    struct SigningObjects {
        CK_OBJECT_HANDLE key = CK_INVALID_HANDLE;
        CK_KEY_TYPE keyType = 0;
        ByteString cert;
    };
    const SigningObjects* cachedSigningObjects(const std::string& keyId) const;
    void rememberSigningObjects(const std::string& keyId, const SigningObjects& objects);
    void forgetObjects() { m_SigningObjects.clear(); }

    // The last failure: kind, entry point, CKR_ result and text.
    Failure failureKind() const { return m_Failure; }
    const char* failedFunction() const { return m_pszFunction; }
    CK_RV failedResult() const { return m_rv; }
    // "fnc=%s, err=%s (%s[0x%x])" for a token result; the plain text otherwise.
    const std::string& lastFailure() const { return m_LastError; }

    static const char* ckrName(CK_RV rv);

private:
    enum Fn : int;
    void* entry(Fn fn);
    int noSymbol(const char* name);
    int tokenFailure(const char* function, CK_RV rv, const char* message);
    int libraryFailure(const char* function, const char* message);

    void* m_module;
    void* m_Entries[24] = {};
    std::vector<CK_SLOT_ID> m_Slots;
    bool m_bSlotListed = false;
    bool m_bInitializedHere = false;
    bool m_bInitialized = false;
    CK_SLOT_ID m_Slot = 0;
    CK_SESSION_HANDLE m_hSession = CK_INVALID_HANDLE;
    bool m_bLoggedIn = false;
    Failure m_Failure = kOk;
    const char* m_pszFunction = "";
    CK_RV m_rv = CKR_OK;
    std::string m_LastError;
    std::unordered_map<std::string, SigningObjects> m_SigningObjects;
};

}  // namespace qelt
