// Result codes of the crypto engine and their texts.
//
// An engine result may carry the stage of a staged operation in its thousands
// digit: result = stage * 1000 + code (1 init, 2 update, 3 final).
#pragma once

namespace qelt {

enum ZcapResult : int {
    ZCAP_OK = 0,
    ZCAP_FAIL = 1,
    ZCAP_INVALID_DATA = 101,
    ZCAP_MEMORY_ERROR = 102,
    ZCAP_NOT_ENOUGH_BUFFER = 103,
    ZCAP_INVALID_MODE = 104,
    ZCAP_INVALID_ALGORITHM = 105,
    ZCAP_INVALID_KEY_POINTER = 106,
    ZCAP_INVALID_KEY = 107,
    ZCAP_INVALID_DATA_POINTER = 108,
    ZCAP_INVALID_INIT_VECTOR = 109,
    ZCAP_STAGED_OPERATION_FAILED = 110,
    ZCAP_INVALID_FILE_POINTER = 111,
    ZCAP_INVALID_CLASS = 112,
    ZCAP_ASN1_OPERATION_FAILED = 113,
    ZCAP_INVALID_ENCRYPTED_DATA = 114,
    ZCAP_INVALID_SIGNATURE = 115,
    ZCAP_VERIFY_FAIL = 116,
};

enum ZcapStage : int { ZCAP_STAGE_NONE = 0, ZCAP_STAGE_INIT = 1, ZCAP_STAGE_UPDATE = 2, ZCAP_STAGE_FINAL = 3 };

// Adds a stage to a failing engine result (0 stays 0).
constexpr int zcapWithStage(int stage, int code) { return code == ZCAP_OK ? ZCAP_OK : stage * 1000 + code; }

// "<stage prefix> <text>(<result>)", or "" for an unknown code. The text lives in
// one process-wide buffer that the next call overwrites: copy it at once.
const char* ZCAP_GetResultText(int result);

}  // namespace qelt
