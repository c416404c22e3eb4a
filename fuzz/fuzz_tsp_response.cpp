// The time-stamp response and token checks over arbitrary bytes, through the
// exported calls: the input as a TimeStampResp (against a remembered
// request), as a stored token against a document, and for its information
// texts. No crash, no leak; outputs only on success.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    void* ctx = qelt_fuzz::context();
    static const bool requested = [ctx] {
        // The seeds answer requests for this document.
        const char doc[] = "a document\n";
        BINSTR in{reinterpret_cast<unsigned char*>(const_cast<char*>(doc)), static_cast<int>(sizeof doc - 1)};
        BINSTR request{nullptr, 0};
        const int rc = QELT_TSP_MakeReqMsg(ctx, &in, QELT_HASH_SHA256, nullptr, 0, nullptr, nullptr, &request);
        QELT_BINSTR_Delete(&request);
        return rc == QELT_OK;
    }();
    if (!requested) std::abort();
    BINSTR input = qelt_fuzz::view(data, size);
    BINSTR cert{nullptr, 0}, token{nullptr, 0}, text{nullptr, 0};
    int status = 0;
    if (QELT_TSP_VerifyResMsg2(ctx, &input, &cert, &token, &status, &text) != QELT_OK && token.pVal != nullptr)
        std::abort();
    QELT_BINSTR_Delete(&cert);
    QELT_BINSTR_Delete(&token);
    QELT_BINSTR_Delete(&text);

    const char doc[] = "a document\n";
    BINSTR document{reinterpret_cast<unsigned char*>(const_cast<char*>(doc)), static_cast<int>(sizeof doc - 1)};
    (void)QELT_TSP_VerifyToken2(ctx, &document, &input, &cert);
    QELT_BINSTR_Delete(&cert);
    char b[8][512];
    (void)QELT_TSP_GetTokenInfo(ctx, &input, 512, b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7]);
    return 0;
}
