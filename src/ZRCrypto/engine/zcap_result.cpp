#include "ZRCrypto/engine/zcap_result.h"

#include <cstdio>

namespace qelt {

namespace {

struct ResultEntry {
    int code;
    const char* name;
    const char* text;
};

// Ended by an entry with a null name.
constexpr ResultEntry kResults[] = {
    {ZCAP_OK, "ZCAP_OK", "Successfully completed."},
    {ZCAP_FAIL, "ZCAP_FAIL", "Incompletely terminated."},
    {ZCAP_INVALID_DATA, "ZCAP_INVALID_DATA", "Invalid input or output data."},
    {ZCAP_MEMORY_ERROR, "ZCAP_MEMORY_ERROR", "Memory allocation failed."},
    {ZCAP_NOT_ENOUGH_BUFFER, "ZCAP_NOT_ENOUGH_BUFFER", "Output buffer is not enough."},
    {ZCAP_INVALID_MODE, "ZCAP_INVALID_MODE", "Invalid algorithm mode."},
    {ZCAP_INVALID_ALGORITHM, "ZCAP_INVALID_ALGORITHM", "Invalid algorithm identifier."},
    {ZCAP_INVALID_KEY_POINTER, "ZCAP_INVALID_KEY_POINTER", "Invalid key pointer."},
    {ZCAP_INVALID_KEY, "ZCAP_INVALID_KEY", "Invalid key value."},
    {ZCAP_INVALID_DATA_POINTER, "ZCAP_INVALID_DATA_POINTER", "Invalid input or output data pointer"},
    {ZCAP_INVALID_INIT_VECTOR, "ZCAP_INVALID_INIT_VECTOR", "Initial vector required."},
    {ZCAP_STAGED_OPERATION_FAILED, "ZCAP_STAGED_OPERATION_FAILED", "Staged operation failed."},
    {ZCAP_INVALID_FILE_POINTER, "ZCAP_INVALID_FILE_POINTER", "Invalid file pointer."},
    {ZCAP_INVALID_CLASS, "ZCAP_INVALID_CLASS", "Invalid class."},
    {ZCAP_ASN1_OPERATION_FAILED, "ZCAP_ASN1_OPERATION_FAILED", "ASN.1 parsing error."},
    {ZCAP_INVALID_ENCRYPTED_DATA, "ZCAP_INVALID_ENCRYPTED_DATA", "Invalid encrypted data."},
    {ZCAP_INVALID_SIGNATURE, "ZCAP_INVALID_SIGNATURE", "Invalid signature format."},
    {ZCAP_VERIFY_FAIL, "ZCAP_VERIFY_FAIL", "Verification of signature or MAC failed."},
    {0, nullptr, nullptr},
};

constexpr const char* kStagePrefix[] = {"", "Init stage;", "Update stage;", "Final stage;"};

char g_resultText[100];  // process-wide, as the engine's callers expect

}  // namespace

const char* ZCAP_GetResultText(int result) {
    const int stage = (result % 10000) / 1000;
    const int code = result % 1000;
    const char* prefix = (stage >= 0 && stage <= 3) ? kStagePrefix[stage] : "";
    g_resultText[0] = 0;
    for (const ResultEntry* e = kResults; e->name != nullptr; ++e) {
        if (e->code == code) {
            std::snprintf(g_resultText, sizeof g_resultText, "%s %s(%d)", prefix, e->text, result);
            break;
        }
    }
    return g_resultText;
}

}  // namespace qelt
