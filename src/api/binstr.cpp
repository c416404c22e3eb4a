// BINSTR: the byte record through which callers hand bytes in and receive them.
// Records filled here hold nLen + 1 bytes, the last a NUL, so text results can
// be read as texts; QELT_BINSTR_Delete wipes the bytes before freeing them.
#include <cstdlib>
#include <cstring>

#include "qeltapi.h"
#include "util/byte_string.h"

QELT_EXPORT int QELT_BINSTR_Create(BINSTR* pBinStr) {
    if (pBinStr == nullptr) return QELT_ERR_INVALID_ARGUMENT;
    pBinStr->pVal = nullptr;
    pBinStr->nLen = 0;
    return QELT_OK;
}

QELT_EXPORT int QELT_BINSTR_Delete(BINSTR* pBinStr) {
    if (pBinStr == nullptr) return QELT_ERR_INVALID_ARGUMENT;
    if (pBinStr->pVal != nullptr) {
        if (pBinStr->nLen > 0) qelt::secureWipe(pBinStr->pVal, static_cast<size_t>(pBinStr->nLen));
        std::free(pBinStr->pVal);
        pBinStr->pVal = nullptr;
    }
    pBinStr->nLen = 0;
    return QELT_OK;
}

QELT_EXPORT int QELT_BINSTR_SetData(const unsigned char* pData, int nDataLen, BINSTR* pBinStr) {
    if (pData == nullptr || pBinStr == nullptr || nDataLen < 1) return QELT_ERR_INVALID_ARGUMENT;
    // Copy before releasing the old content: the input may be that very content.
    auto* bytes = static_cast<unsigned char*>(std::calloc(static_cast<size_t>(nDataLen) + 1, 1));
    if (bytes != nullptr) std::memcpy(bytes, pData, static_cast<size_t>(nDataLen));
    QELT_BINSTR_Delete(pBinStr);
    if (bytes == nullptr) return QELT_ERR_MEMORY;
    pBinStr->pVal = bytes;
    pBinStr->nLen = nDataLen;
    return QELT_OK;
}
