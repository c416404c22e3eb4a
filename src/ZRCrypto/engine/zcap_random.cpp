#include "ZRCrypto/engine/zcap_random.h"

#include <openssl/evp.h>
#include <openssl/sha.h>
#include <pthread.h>
#include <sys/random.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <mutex>

#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/engine/zcap_result.h"
#include "util/byte_string.h"

namespace qelt {
namespace rng_detail {

namespace {

// ---------------------------------------------------------------- SHA-1 compression (G)

constexpr uint32_t kSha1Iv[5] = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u};

void storeBe32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

// 160-bit big-endian arithmetic modulo 2^160: acc += add (+ carryIn).
void add160(uint8_t acc[kSha1Len], const uint8_t add[kSha1Len], unsigned carryIn) {
    unsigned carry = carryIn;
    for (size_t i = kSha1Len; i-- > 0;) {
        const unsigned sum = acc[i] + add[i] + carry;
        acc[i] = static_cast<uint8_t>(sum);
        carry = sum >> 8;
    }
}

// ---------------------------------------------------------------- the pool

// The process-wide state. Constant-initialised, never destroyed: the lock and
// the pool live as long as the process (a static destructor could run while
// another thread still draws, or after OpenSSL's own exit clean-up).
struct Pool {
    std::mutex lock;
    uint8_t pool[kPoolSize] = {};
    uint8_t state[kSha1Len] = {};
    size_t position = 0;
    size_t fill = 0;
    bool seeded = false;
    uint32_t lcg = 1;  // the runtime-style pseudo-random function, sampled as one entropy source
    // Kernel bytes fetched in bulk for the samples' 32-byte source: one system
    // call per 64 samples instead of one per sample. Consumed bytes are wiped.
    uint8_t kernelBytes[32 * 64] = {};
    size_t kernelUsed = sizeof kernelBytes;  // all used: fetch on first sample
    uint32_t pid = 0;                        // cached; 0 until the first sample
    uint32_t samples = 0;                    // samples taken by this process
    bool forkHandler = false;
    EVP_MD_CTX* sha1 = nullptr;  // reused under the lock; made on first use
    const EVP_MD* sha1Md = nullptr;
};

constinit Pool g_pool;

// A child of fork() starts with its parent's pool and kernel bytes: it drops
// the bytes and its cached process id, so that its next sample differs from
// the parent's. (Runs in the child only, where no other thread exists.)
void forgetAfterFork() {
    secureWipe(g_pool.kernelBytes, sizeof g_pool.kernelBytes);
    g_pool.kernelUsed = sizeof g_pool.kernelBytes;
    g_pool.pid = 0;
}

// Takes the SHA-1 objects on first use (under the lock).
bool haveSha1(Pool& p) {
    if (p.sha1Md == nullptr) p.sha1Md = EVP_MD_fetch(nullptr, "SHA1", nullptr);
    if (p.sha1 == nullptr) p.sha1 = EVP_MD_CTX_new();
    return p.sha1Md != nullptr && p.sha1 != nullptr;
}

// One value of the linear congruential generator: bits 16..30 of the new state.
uint32_t lcgNext(Pool& p) {
    p.lcg = p.lcg * 214013u + 2531011u;
    return (p.lcg >> 16) & 0x7FFF;
}

// Fills from the kernel's generator; on a kernel without getrandom the bytes
// stay zero and the clocks and counters below still vary.
void osRandom(uint8_t* out, size_t n) {
    std::memset(out, 0, n);
    size_t done = 0;
    while (done < n) {
        const ssize_t got = getrandom(out + done, n - done, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            return;
        }
        done += static_cast<size_t>(got);
    }
}

uint64_t clockNs(clockid_t id) {
    timespec ts{};
    clock_gettime(id, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000000u + static_cast<uint64_t>(ts.tv_nsec);
}

// A running SHA-1 computation that keeps the first bytes fed into it, so that
// the entropy sample can feed a prefix of "what the hash has seen" back in.
// A sample is a dozen puts of a few bytes each; they are gathered in a small
// buffer and handed to the digest in one update, which costs far less than a
// digest call per put.
class Feed {
public:
    explicit Feed(Pool& p) : m_pool(p) { m_ok = EVP_DigestInit_ex2(p.sha1, p.sha1Md, nullptr) == 1; }
    ~Feed() {
        secureWipe(m_seen, sizeof m_seen);
        secureWipe(m_pending, sizeof m_pending);
    }
    Feed(const Feed&) = delete;
    Feed& operator=(const Feed&) = delete;

    void put(const void* data, size_t n) {
        if (n == 0) return;
        const size_t keep = std::min(n, sizeof m_seen - m_seenLen);
        std::memcpy(m_seen + m_seenLen, data, keep);
        m_seenLen += keep;
        if (m_pendingLen + n > sizeof m_pending) flush();
        if (n > sizeof m_pending) {
            m_ok = m_ok && EVP_DigestUpdate(m_pool.sha1, data, n) == 1;
            return;
        }
        std::memcpy(m_pending + m_pendingLen, data, n);
        m_pendingLen += n;
    }
    void put32(uint32_t v) {
        uint8_t b[4];
        storeBe32(b, v);
        put(b, 4);
    }
    // False when OpenSSL failed anywhere along the way; `out` is then untouched.
    [[nodiscard]] bool finish(uint8_t out[kSha1Len]) {
        flush();
        unsigned int len = 0;
        uint8_t digest[EVP_MAX_MD_SIZE];
        m_ok = m_ok && EVP_DigestFinal_ex(m_pool.sha1, digest, &len) == 1 && len == kSha1Len;
        if (m_ok) std::memcpy(out, digest, kSha1Len);
        secureWipe(digest, sizeof digest);
        return m_ok;
    }
    const uint8_t* seen() const { return m_seen; }
    size_t seenLen() const { return m_seenLen; }

private:
    void flush() {
        if (m_pendingLen == 0) return;
        m_ok = m_ok && EVP_DigestUpdate(m_pool.sha1, m_pending, m_pendingLen) == 1;
        secureWipe(m_pending, m_pendingLen);
        m_pendingLen = 0;
    }

    Pool& m_pool;
    bool m_ok = false;
    uint8_t m_seen[128] = {};
    size_t m_seenLen = 0;
    uint8_t m_pending[256] = {};
    size_t m_pendingLen = 0;
};

void kernelBytes(Pool& p, uint8_t out[32]) {
    if (p.kernelUsed + 32 > sizeof p.kernelBytes) {
        osRandom(p.kernelBytes, sizeof p.kernelBytes);
        p.kernelUsed = 0;
    }
    std::memcpy(out, p.kernelBytes + p.kernelUsed, 32);
    secureWipe(p.kernelBytes + p.kernelUsed, 32);
    p.kernelUsed += 32;
}

uint32_t processId(Pool& p) {
    if (!p.forkHandler) {
        p.forkHandler = pthread_atfork(nullptr, nullptr, forgetAfterFork) == 0;
    }
    if (p.pid == 0) p.pid = static_cast<uint32_t>(getpid());
    return p.pid;
}

// The platform entropy sample, in the order and sizes the generator defines,
// each platform source replaced by a Linux one of the same size. Only clocks
// the kernel serves without a system call are read, and the kernel bytes come
// from a buffer, because a draw takes one sample per 20 output bytes:
//   tick counter (4)          -> monotonic clock in milliseconds
//   calendar time (4)         -> real-time clock in seconds
//   memory status record (32) -> 32 kernel random bytes
//   pseudo-random value (4)   -> the linear congruential generator above
//   ms since process start (4)-> boot-time clock in microseconds
//   cursor position (8)       -> process id and the count of samples taken
//   message time (4)          -> real-time clock nanoseconds
//   focus window handle (4)   -> the address of a stack object (varies with ASLR)
//   SHA-1 context record      -> the first (r mod 33) + 32 bytes the running hash has seen
//   performance counter (8)   -> raw monotonic clock in nanoseconds
void entropySample(Pool& p, Feed& feed) {
    feed.put32(static_cast<uint32_t>(clockNs(CLOCK_MONOTONIC) / 1000000u));
    feed.put32(static_cast<uint32_t>(time(nullptr)));
    uint8_t os[32];
    kernelBytes(p, os);
    feed.put(os, sizeof os);
    secureWipe(os, sizeof os);
    feed.put32(lcgNext(p));
    feed.put32(static_cast<uint32_t>(clockNs(CLOCK_BOOTTIME) / 1000u));
    feed.put32(processId(p));
    feed.put32(++p.samples);
    feed.put32(static_cast<uint32_t>(clockNs(CLOCK_REALTIME)));
    int local = 0;
    feed.put32(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&local)));
    const size_t prefix = std::min<size_t>(lcgNext(p) % 33 + 32, feed.seenLen());
    uint8_t seen[64 + 1];
    std::memcpy(seen, feed.seen(), prefix);  // copied first: feeding it also appends to what was seen
    feed.put(seen, prefix);
    secureWipe(seen, sizeof seen);
    const uint64_t counter = clockNs(CLOCK_MONOTONIC_RAW);
    feed.put32(static_cast<uint32_t>(counter >> 32));
    feed.put32(static_cast<uint32_t>(counter));
}

// Stir with the lock held: each chunk of up to 20 bytes is hashed with the
// state and the pool bytes it lands on, and the new state is XORed into them.
bool stirLocked(Pool& p, const uint8_t* data, size_t len) {
    if (len == 0) return true;
    if (!haveSha1(p)) return false;
    size_t start = p.position % kPoolSize;
    p.position += len;
    if (p.position > kPoolSize) {
        p.fill = kPoolSize;
        p.position %= kPoolSize;
    } else if (p.fill < p.position) {
        p.fill = p.position;
    }
    for (size_t off = 0; off < len; off += kSha1Len) {
        const size_t n = std::min(kSha1Len, len - off);
        Feed feed(p);
        feed.put(p.state, kSha1Len);
        uint8_t span[kSha1Len];
        for (size_t i = 0; i < n; ++i) span[i] = p.pool[(start + i) % kPoolSize];
        feed.put(span, n);
        secureWipe(span, sizeof span);
        feed.put(data + off, n);
        if (!feed.finish(p.state)) return false;
        for (size_t i = 0; i < n; ++i) {
            p.pool[start] ^= p.state[i];
            start = (start + 1) % kPoolSize;
        }
    }
    return true;
}

bool stirTimeLocked(Pool& p) {
    uint8_t t[4];
    storeBe32(t, static_cast<uint32_t>(time(nullptr)));
    return stirLocked(p, t, sizeof t);
}

// First draw of the process: stir in a 92-byte block of process-local noise
// and the time. The block comes from the kernel's generator: uninitialised
// working memory, the classic choice, cannot be read without undefined behaviour.
bool selfSeedLocked(Pool& p) {
    p.seeded = true;
    uint8_t block[92];
    osRandom(block, sizeof block);
    const bool ok = stirLocked(p, block, sizeof block) && stirTimeLocked(p);
    secureWipe(block, sizeof block);
    if (!ok) p.seeded = false;
    return ok;
}

bool drawLocked(Pool& p, uint8_t* out, size_t len) {
    if (!p.seeded && !selfSeedLocked(p)) return false;
    if (len == 0) return true;
    if (!haveSha1(p)) return false;
    const size_t limit = p.fill;  // at least 96 after self-seeding
    size_t start = p.position;
    p.position += len;
    if (p.position > limit) p.position %= limit;
    for (size_t off = 0; off < len; off += kSha1Len) {
        const size_t n = std::min(kSha1Len, len - off);
        Feed feed(p);
        feed.put(p.state + kSha1Len - 10, 10);
        feed.put(out + off, n);
        entropySample(p, feed);
        uint8_t span[kSha1Len];
        for (size_t i = 0; i < n; ++i) span[i] = p.pool[(start + i) % limit];
        feed.put(span, n);
        secureWipe(span, sizeof span);
        if (!feed.finish(p.state)) return false;
        for (size_t i = 0; i < n; ++i) {
            if (start >= limit) start = 0;
            p.pool[start] ^= p.state[i];
            out[off + i] = p.state[i];
            ++start;
        }
    }
    return true;
}

bool drawSeed(uint8_t xseed[kSha1Len], void*) { return randomBits(160, 1, 0, xseed); }

}  // namespace

// ---------------------------------------------------------------- public pieces

// One SHA-1 compression without padding. OpenSSL's block function uses the
// processor's SHA instructions where there are any; it is deprecated only
// because most callers should not need it, and this generator does.
void sha1Compress(uint32_t state[5], const uint8_t block[64]) {
    SHA_CTX ctx{};
    ctx.h0 = state[0];
    ctx.h1 = state[1];
    ctx.h2 = state[2];
    ctx.h3 = state[3];
    ctx.h4 = state[4];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    SHA1_Transform(&ctx, block);
#pragma GCC diagnostic pop
    state[0] = ctx.h0;
    state[1] = ctx.h1;
    state[2] = ctx.h2;
    state[3] = ctx.h3;
    state[4] = ctx.h4;
    secureWipe(&ctx, sizeof ctx);
}

void fips186G(const uint8_t xval[kSha1Len], uint8_t out[kSha1Len]) {
    uint8_t block[64] = {};
    std::memcpy(block, xval, kSha1Len);  // XVAL, then 44 zero bytes: no SHA-1 padding
    uint32_t state[5];
    std::memcpy(state, kSha1Iv, sizeof state);
    sha1Compress(state, block);
    for (int i = 0; i < 5; ++i) storeBe32(out + 4 * i, state[i]);
    secureWipe(block, sizeof block);
    secureWipe(state, sizeof state);
}

bool fips186Generate(uint8_t xkey[kSha1Len], SeedSource nextSeed, void* arg, uint8_t* out, size_t len) {
    uint8_t xseed[kSha1Len], xval[kSha1Len], x[kSha1Len];
    bool ok = true;
    for (size_t off = 0; off < len; off += kSha1Len) {
        if (!nextSeed(xseed, arg)) {
            ok = false;
            break;
        }
        std::memcpy(xval, xkey, kSha1Len);
        add160(xval, xseed, 0);  // XVAL = (XKEY + XSEED) mod 2^160
        fips186G(xval, x);       // x = G(t, XVAL)
        add160(xkey, x, 1);      // XKEY = (1 + XKEY + x) mod 2^160
        std::memcpy(out + off, x, std::min(kSha1Len, len - off));
    }
    secureWipe(xseed, sizeof xseed);
    secureWipe(xval, sizeof xval);
    secureWipe(x, sizeof x);
    return ok;
}

bool randomBits(int bits, int top, int bottom, uint8_t* out) {
    if (bits <= 0) return true;
    const size_t bytes = (static_cast<size_t>(bits) + 7) / 8;
    {
        std::lock_guard<std::mutex> hold(g_pool.lock);
        if (!stirTimeLocked(g_pool)) return false;
    }
    std::memset(out, 0, bytes);
    if (!poolDraw(out, bytes)) return false;
    const int topBit = (bits - 1) % 8;  // position of the highest bit within the first byte
    out[0] &= static_cast<uint8_t>((1u << (topBit + 1)) - 1);
    if (top == 1) {
        if (topBit == 0) {
            out[0] |= 1;
            if (bytes > 1) out[1] |= 0x80;
        } else {
            out[0] |= static_cast<uint8_t>(3u << (topBit - 1));
        }
    } else if (top == 0) {
        out[0] |= static_cast<uint8_t>(1u << topBit);
    }
    if (bottom == 1) out[bytes - 1] |= 1;
    return true;
}

bool poolStir(const uint8_t* data, size_t len) {
    std::lock_guard<std::mutex> hold(g_pool.lock);
    return stirLocked(g_pool, data, len);
}

bool poolDraw(uint8_t* out, size_t len) {
    std::lock_guard<std::mutex> hold(g_pool.lock);
    return drawLocked(g_pool, out, len);
}

PoolSnapshot poolSnapshot() {
    std::lock_guard<std::mutex> hold(g_pool.lock);
    return {g_pool.position, g_pool.fill, g_pool.seeded};
}

}  // namespace rng_detail

int ZCAP_GenerateRandom(int algId, uint8_t* out, size_t len, const uint8_t* seed, size_t seedLen) {
    using namespace rng_detail;
    if (algId != ENGINE_RANDOM) return ZCAP_INVALID_ALGORITHM;
    if (out == nullptr && len > 0) return ZCAP_INVALID_DATA_POINTER;
    if (seed != nullptr && seedLen > 0 && !poolStir(seed, seedLen)) return ZCAP_MEMORY_ERROR;
    if (len == 0) return ZCAP_OK;
    // A fresh XKEY for every request: no key survives between requests.
    uint8_t xkey[kSha1Len];
    bool ok = randomBits(160, 1, 0, xkey) && fips186Generate(xkey, drawSeed, nullptr, out, len);
    secureWipe(xkey, sizeof xkey);
    if (!ok) {
        secureWipe(out, len);
        return ZCAP_MEMORY_ERROR;
    }
    return ZCAP_OK;
}

int zcapRandomBytes(uint8_t* out, size_t n) { return ZCAP_GenerateRandom(ENGINE_RANDOM, out, n); }

}  // namespace qelt
