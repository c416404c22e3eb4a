/* A Cryptoki module for the tests that forwards every call to the SoftHSM2
   library named by QELT_TEST_P11_TARGET but does not export C_SetPIN, as a
   token whose PIN cannot be changed through the library. */
#include <dlfcn.h>
#include <stdlib.h>

#include <p11-kit/pkcs11.h>

#define EXPORT __attribute__((visibility("default")))

static void* target(void) {
    static void* lib;
    if (!lib) {
        const char* path = getenv("QELT_TEST_P11_TARGET");
        lib = dlopen(path ? path : "/usr/lib/softhsm/libsofthsm2.so", RTLD_NOW | RTLD_LOCAL);
    }
    return lib;
}

#define FORWARD(name, params, args)                                        \
    EXPORT CK_RV name params {                                             \
        CK_##name fn = target() ? (CK_##name)dlsym(target(), #name) : 0;   \
        return fn ? fn args : CKR_GENERAL_ERROR;                           \
    }

FORWARD(C_Initialize, (void* a), (a))
FORWARD(C_Finalize, (void* a), (a))
FORWARD(C_GetSlotList, (CK_BBOOL p, CK_SLOT_ID* l, CK_ULONG* n), (p, l, n))
FORWARD(C_GetTokenInfo, (CK_SLOT_ID s, CK_TOKEN_INFO* i), (s, i))
FORWARD(C_OpenSession, (CK_SLOT_ID s, CK_FLAGS f, void* a, CK_NOTIFY n, CK_SESSION_HANDLE* h), (s, f, a, n, h))
FORWARD(C_CloseSession, (CK_SESSION_HANDLE h), (h))
FORWARD(C_Login, (CK_SESSION_HANDLE h, CK_USER_TYPE u, CK_UTF8CHAR* p, CK_ULONG n), (h, u, p, n))
FORWARD(C_Logout, (CK_SESSION_HANDLE h), (h))
FORWARD(C_FindObjectsInit, (CK_SESSION_HANDLE h, CK_ATTRIBUTE* t, CK_ULONG n), (h, t, n))
FORWARD(C_FindObjects, (CK_SESSION_HANDLE h, CK_OBJECT_HANDLE* o, CK_ULONG m, CK_ULONG* n), (h, o, m, n))
FORWARD(C_FindObjectsFinal, (CK_SESSION_HANDLE h), (h))
FORWARD(C_GetAttributeValue, (CK_SESSION_HANDLE h, CK_OBJECT_HANDLE o, CK_ATTRIBUTE* t, CK_ULONG n), (h, o, t, n))
FORWARD(C_SetAttributeValue, (CK_SESSION_HANDLE h, CK_OBJECT_HANDLE o, CK_ATTRIBUTE* t, CK_ULONG n), (h, o, t, n))
FORWARD(C_CreateObject, (CK_SESSION_HANDLE h, CK_ATTRIBUTE* t, CK_ULONG n, CK_OBJECT_HANDLE* o), (h, t, n, o))
FORWARD(C_DestroyObject, (CK_SESSION_HANDLE h, CK_OBJECT_HANDLE o), (h, o))
FORWARD(C_GenerateKey, (CK_SESSION_HANDLE h, CK_MECHANISM* m, CK_ATTRIBUTE* t, CK_ULONG n, CK_OBJECT_HANDLE* k),
        (h, m, t, n, k))
FORWARD(C_EncryptInit, (CK_SESSION_HANDLE h, CK_MECHANISM* m, CK_OBJECT_HANDLE k), (h, m, k))
FORWARD(C_Encrypt, (CK_SESSION_HANDLE h, CK_BYTE* d, CK_ULONG n, CK_BYTE* o, CK_ULONG* on), (h, d, n, o, on))
FORWARD(C_UnwrapKey,
        (CK_SESSION_HANDLE h, CK_MECHANISM* m, CK_OBJECT_HANDLE k, CK_BYTE* w, CK_ULONG wn, CK_ATTRIBUTE* t, CK_ULONG n,
         CK_OBJECT_HANDLE* o),
        (h, m, k, w, wn, t, n, o))
FORWARD(C_SignInit, (CK_SESSION_HANDLE h, CK_MECHANISM* m, CK_OBJECT_HANDLE k), (h, m, k))
FORWARD(C_Sign, (CK_SESSION_HANDLE h, CK_BYTE* d, CK_ULONG n, CK_BYTE* s, CK_ULONG* sn), (h, d, n, s, sn))
