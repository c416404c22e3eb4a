// Arbitrary bytes as a message file for the streaming processors: the signed
// file split into content and framing, and the enveloped file opened with
// the fixed recipient. Every call answers 0 or a code; a failed call leaves
// no output file behind, a successful one leaves exactly one.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_cms_recipient_key.h"
#include "fuzz_support.h"
#include "qeltapi.h"

using qelt_fuzz::context;

namespace {

const std::string& base() {
    static const std::string b = "/tmp/qelt-fuzz-cmsfile-" + std::to_string(getpid());
    return b;
}

bool exists(const std::string& p) { return access(p.c_str(), F_OK) == 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1 << 20)) return 0;
    void* ctx = context();
    const std::string in = base() + ".in", out = base() + ".out";
    FILE* f = std::fopen(in.c_str(), "wb");
    if (f == nullptr) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    std::remove(out.c_str());
    BINSTR signer{nullptr, 0};
    int t = 0;
    int rc = QELT_CMS_ProcessSignedData_File2(ctx, in.c_str(), out.c_str(), &signer, &t);
    if ((rc == 0) != exists(out)) std::abort();
    QELT_BINSTR_Delete(&signer);

    std::remove(out.c_str());
    BINSTR cert{nullptr, 0}, key{nullptr, 0};
    QELT_BINSTR_SetData(qelt::fuzz::kRecipientCert, sizeof qelt::fuzz::kRecipientCert, &cert);
    QELT_BINSTR_SetData(qelt::fuzz::kRecipientKey, sizeof qelt::fuzz::kRecipientKey, &key);
    rc = QELT_CMS_ProcessEnvelopedData_File(ctx, &cert, &key, in.c_str(), out.c_str());
    if ((rc == 0) != exists(out)) std::abort();
    QELT_BINSTR_Delete(&cert);
    QELT_BINSTR_Delete(&key);
    std::remove(out.c_str());
    return 0;
}
