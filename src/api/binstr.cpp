// BINSTR: the byte record through which callers hand bytes in and receive them.
// Records filled here hold nLen + 1 bytes, the last a NUL, so text results can
// be read as texts; QELT_BINSTR_Delete wipes the bytes before freeing them.
#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "api/api_call.h"
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

namespace qelt {

namespace {

constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kHugeValue = size_t{4} << 20;

// A value of many megabytes is fresh memory from the kernel, and the first
// write to each 4 KiB page of it traps into the kernel: for a 64 MiB output
// that is 16,384 traps, which on a virtual machine cost more than making the
// output itself. Asking for huge pages (where the system leaves that to the
// program) makes it 32. Only the 2 MiB-aligned middle of the block is
// advised; a refusal changes nothing but the speed.
void preferHugePages(unsigned char* bytes, size_t len) {
    const auto begin = (reinterpret_cast<uintptr_t>(bytes) + kHugePage - 1) & ~(kHugePage - 1);
    const auto end = (reinterpret_cast<uintptr_t>(bytes) + len) & ~(kHugePage - 1);
    if (end > begin) (void)madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

}  // namespace

unsigned char* allocBinstrValue(size_t len) {
    // Not zeroed first: every byte is written right after, and zeroing a
    // value of many megabytes costs as much as writing it.
    auto* bytes = static_cast<unsigned char*>(std::malloc(len + 1));
    if (bytes == nullptr) return nullptr;
    if (len >= kHugeValue) preferHugePages(bytes, len + 1);
    bytes[len] = 0;
    return bytes;
}

namespace {

// True when the value of `out` (nLen + 1 bytes, as the library hands values
// out) overlaps the value of one of `inputs`.
bool sharesMemory(const BINSTR* out, const std::vector<const BINSTR*>& inputs) {
    const auto begin = reinterpret_cast<uintptr_t>(out->pVal);
    const auto end = begin + static_cast<size_t>(out->nLen > 0 ? out->nLen : 0) + 1;
    for (const BINSTR* in : inputs) {
        if (in == nullptr || in->pVal == nullptr || in->nLen <= 0) continue;
        const auto inBegin = reinterpret_cast<uintptr_t>(in->pVal);
        if (inBegin < end && begin < inBegin + static_cast<size_t>(in->nLen)) return true;
    }
    return false;
}

}  // namespace

BinstrOutput::BinstrOutput(BINSTR* out, std::initializer_list<const BINSTR*> inputs) : m_out(out), m_inputs(inputs) {}

unsigned char* BinstrOutput::allocate(size_t len) {
    m_len = len;
    m_inPlace = m_out->pVal != nullptr && m_out->nLen > 0 && static_cast<size_t>(m_out->nLen) >= len &&
                !sharesMemory(m_out, m_inputs);
    m_bytes = m_inPlace ? m_out->pVal : allocBinstrValue(len);
    return m_bytes;
}

void BinstrOutput::commit(size_t used) {
    if (m_bytes == nullptr) return;
    if (used > m_len) used = m_len;
    if (m_inPlace) {
        // What is left of the old value past the new one is wiped; its first byte is the new NUL.
        secureWipe(m_bytes + used, static_cast<size_t>(m_out->nLen) - used + 1);
    } else {
        // Room asked for but not used is zeroed too: its first byte is the new NUL.
        secureWipe(m_bytes + used, m_len - used + 1);
        QELT_BINSTR_Delete(m_out);
        m_out->pVal = m_bytes;
    }
    m_out->nLen = static_cast<int>(used);
    m_bytes = nullptr;
}

BinstrOutput::~BinstrOutput() {
    if (m_bytes == nullptr) return;
    if (m_inPlace) {
        QELT_BINSTR_Delete(m_out);
    } else {
        secureWipe(m_bytes, m_len);
        std::free(m_bytes);
    }
}

}  // namespace qelt

QELT_EXPORT int QELT_BINSTR_SetData(const unsigned char* pData, int nDataLen, BINSTR* pBinStr) {
    if (pData == nullptr || pBinStr == nullptr || nDataLen < 1) return QELT_ERR_INVALID_ARGUMENT;
    // Copy before releasing the old content: the input may be that very content.
    unsigned char* bytes = qelt::allocBinstrValue(static_cast<size_t>(nDataLen));
    if (bytes != nullptr) std::memcpy(bytes, pData, static_cast<size_t>(nDataLen));
    QELT_BINSTR_Delete(pBinStr);
    if (bytes == nullptr) return QELT_ERR_MEMORY;
    pBinStr->pVal = bytes;
    pBinStr->nLen = nDataLen;
    return QELT_OK;
}
