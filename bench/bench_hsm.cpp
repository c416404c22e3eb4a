// Signing on a SoftHSM2 token with a 2048-bit RSA key: QELT_HSM_SignData
// (finds the key and certificate, hashes, builds the SignedData, signs on
// the token) against the bare signature made by calling the module's
// C_SignInit/C_Sign directly over the same SHA-256 DigestInfo. Compare the
// two times. The token lives in a temporary directory made by softhsm2-util.
//
//   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQELT_BENCH=ON -DQELT_TESTS=OFF
//   ninja -C build-bench bench_hsm && build-bench/bench/bench_hsm --benchmark_repetitions=5
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <openssl/sha.h>
#include <p11-kit/pkcs11.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench_support.h"
#include "qeltapi.h"

namespace {

using qelt_bench::apiContext;
using Bytes = std::vector<uint8_t>;

const char* const kModule = "/usr/lib/softhsm/libsofthsm2.so";
char kPin[] = "123456";

Bytes dataFile(const char* name) {
    std::ifstream in(std::string(QELT_SOURCE_DIR) + "/tests/data/pfx/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::string hexSha1(const Bytes& b) {
    uint8_t d[SHA_DIGEST_LENGTH];
    SHA1(b.data(), b.size(), d);
    std::string s;
    for (uint8_t c : d) {
        static const char* kHex = "0123456789ABCDEF";
        s += kHex[c >> 4];
        s += kHex[c & 15];
    }
    return s;
}

// A token with the signing pair, logged in through the library; its KeyID.
const std::string& tokenKeyId() {
    static const std::string keyId = [] {
        const auto dir = std::filesystem::temp_directory_path() / ("qelt-bench-hsm-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir / "tokens");
        std::ofstream(dir / "softhsm2.conf") << "directories.tokendir = " << (dir / "tokens").string()
                                             << "\nobjectstore.backend = file\nlog.level = ERROR\n";
        setenv("SOFTHSM2_CONF", (dir / "softhsm2.conf").c_str(), 1);
        const std::string init = "softhsm2-util --init-token --free --label bench --so-pin 87654321 --pin " +
                                 std::string(kPin) + " >/dev/null";
        if (std::system(init.c_str()) != 0) std::abort();
        void* ctx = apiContext();
        unsigned long slots[8];
        int count = 8;
        if (QELT_STORAGE_Load(ctx, const_cast<char*>(kModule)) != 0 || QELT_HSM_GetSlotList(ctx, slots, &count) != 0)
            std::abort();
        unsigned long slot = slots[0];
        for (int i = 0; i < count; ++i) {
            QELT_HSM_TOKEN_INFO info{};
            if (QELT_HSM_GetTokenInfo(ctx, slots[i], &info) == 0 && std::string(info.label) == "bench") slot = slots[i];
        }
        const Bytes cert = dataFile("sign.der"), key = dataFile("sign.key");
        BINSTR c{const_cast<uint8_t*>(cert.data()), static_cast<int>(cert.size())};
        BINSTR k{const_cast<uint8_t*>(key.data()), static_cast<int>(key.size())};
        if (QELT_HSM_OpenSession(ctx, slot, QELT_HSM_RW_SESSION) != 0 || QELT_HSM_Login(ctx, kPin) != 0 ||
            QELT_HSM_WriteCertAndPriKey(ctx, &c, &k) != 0)
            std::abort();
        QELT_API_SetHashAlgo(ctx, 4);  // SHA-256, as the direct signature below
        static struct RemovedAtExit {
            std::filesystem::path path;
            ~RemovedAtExit() {
                std::error_code ignored;
                std::filesystem::remove_all(path, ignored);
            }
        } tokenFiles{dir};
        return hexSha1(cert);
    }();
    return keyId;
}

const Bytes kData = qelt_bench::patternBytes(1024);

void oursSignData(benchmark::State& state) {
    const std::string& id = tokenKeyId();
    BINSTR keyId{reinterpret_cast<uint8_t*>(const_cast<char*>(id.data())), static_cast<int>(id.size())};
    BINSTR data{const_cast<uint8_t*>(kData.data()), static_cast<int>(kData.size())};
    for (auto _ : state) {
        BINSTR out{};
        if (QELT_HSM_SignData(apiContext(), &keyId, &data, &out) != 0) state.SkipWithError("QELT_HSM_SignData failed");
        benchmark::DoNotOptimize(out.pVal);
        QELT_BINSTR_Delete(&out);
    }
}

template <class Fn>
Fn sym(void* lib, const char* name) {
    return reinterpret_cast<Fn>(dlsym(lib, name));
}

void directCSign(benchmark::State& state) {
    const std::string& id = tokenKeyId();
    // The module the library loaded: the same instance, already initialised and logged in.
    void* lib = dlopen(kModule, RTLD_NOW | RTLD_NOLOAD);
    if (lib == nullptr) return state.SkipWithError("module not loaded");
    auto getSlots = sym<CK_C_GetSlotList>(lib, "C_GetSlotList");
    auto open = sym<CK_C_OpenSession>(lib, "C_OpenSession");
    auto findInit = sym<CK_C_FindObjectsInit>(lib, "C_FindObjectsInit");
    auto find = sym<CK_C_FindObjects>(lib, "C_FindObjects");
    auto findFinal = sym<CK_C_FindObjectsFinal>(lib, "C_FindObjectsFinal");
    auto signInit = sym<CK_C_SignInit>(lib, "C_SignInit");
    auto sign = sym<CK_C_Sign>(lib, "C_Sign");
    auto close = sym<CK_C_CloseSession>(lib, "C_CloseSession");
    CK_SLOT_ID slots[8];
    CK_ULONG n = 8;
    CK_SESSION_HANDLE session = CK_INVALID_HANDLE;
    CK_OBJECT_HANDLE key = CK_INVALID_HANDLE;
    const std::string label = "SIGN_PRI_KEY=" + id;
    CK_OBJECT_CLASS cls = CKO_PRIVATE_KEY;
    CK_ATTRIBUTE tmpl[] = {{CKA_CLASS, &cls, sizeof cls}, {CKA_LABEL, const_cast<char*>(label.data()), label.size()}};
    bool ok = getSlots(CK_TRUE, slots, &n) == CKR_OK;
    for (CK_ULONG i = 0; ok && i < n && key == CK_INVALID_HANDLE; ++i) {
        if (open(slots[i], CKF_SERIAL_SESSION, nullptr, nullptr, &session) != CKR_OK) continue;
        CK_ULONG found = 0;
        if (findInit(session, tmpl, 2) == CKR_OK) {
            find(session, &key, 1, &found);
            findFinal(session);
        }
        if (found == 0) {
            key = CK_INVALID_HANDLE;
            close(session);
        }
    }
    if (key == CK_INVALID_HANDLE) return state.SkipWithError("the token key was not found");
    static const uint8_t kPrefix[] = {0x30, 0x31, 0x30, 0x0d, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01,
                                      0x65, 0x03, 0x04, 0x02, 0x01, 0x05, 0x00, 0x04, 0x20};
    for (auto _ : state) {
        uint8_t digestInfo[sizeof kPrefix + SHA256_DIGEST_LENGTH];
        std::memcpy(digestInfo, kPrefix, sizeof kPrefix);
        SHA256(kData.data(), kData.size(), digestInfo + sizeof kPrefix);
        CK_MECHANISM mech{CKM_RSA_PKCS, nullptr, 0};
        uint8_t sig[512];
        CK_ULONG len = sizeof sig;
        if (signInit(session, &mech, key) != CKR_OK ||
            sign(session, digestInfo, sizeof digestInfo, sig, &len) != CKR_OK)
            state.SkipWithError("C_Sign failed");
        benchmark::DoNotOptimize(sig);
    }
    close(session);
}

BENCHMARK(oursSignData)->Unit(benchmark::kMicrosecond);
BENCHMARK(directCSign)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
