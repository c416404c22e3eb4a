// CMS over large files, against references in the same run:
//   signing and verifying (content inside and detached) vs plain SHA-256 of
//   the file (OpenSSL EVP, 1 MiB reads) and vs the openssl command
//   (cms -sign -binary -stream, cms -verify);
//   enveloping and opening with 3DES vs raw 3DES-CBC over the file (OpenSSL
//   EVP des-ede3-cbc, and the library's own engine in memory).
// Each operation also reports its peak memory growth: the kernel's peak RSS
// mark (VmHWM) is reset before the operation and read after it.
//
// The file is 256 MiB; QELT_BENCH_FILE_MIB=1024 selects 1 GiB.
//   ninja -C build bench_cms_file && build/bench/bench_cms_file
// A table of ratios follows Google Benchmark's own output.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/zr_encrypt.h"
#include "bench_keys.h"
#include "bench_support.h"
#include "qeltapi.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using qelt_bench::apiContext;

struct Result {
    double seconds = 0;     // best wall time
    double cpuSeconds = 0;  // CPU time of that run, this process and its children (the openssl command)
    double peakGrowthMiB = 0;
};

// User and system time of this process and of its waited-for children.
double cpuNow() {
    double total = 0;
    for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage u{};
        getrusage(who, &u);
        total += static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
                 static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    }
    return total;
}
std::map<std::string, Result>& results() {
    static std::map<std::string, Result> r;
    return r;
}

long long fileMiB() {
    const char* v = std::getenv("QELT_BENCH_FILE_MIB");
    const long long n = v ? std::atoll(v) : 256;
    return n > 0 ? n : 256;
}

// Times `op` and records its peak RSS growth under `name`.
template <class Op>
void measure(benchmark::State& state, const std::string& name, Op op) {
    for (auto _ : state) {
        qelt_bench::resetPeakRss();
        const long before = qelt_bench::statusKiB("VmRSS:");
        const auto t0 = std::chrono::steady_clock::now();
        const double c0 = cpuNow();
        const bool ok = op();
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        const double cpu = cpuNow() - c0;
        const long peak = qelt_bench::statusKiB("VmHWM:");
        if (!ok) {
            state.SkipWithError((name + " failed").c_str());
            return;
        }
        Result& r = results()[name];
        if (r.seconds == 0 || s < r.seconds) {
            r.seconds = s;
            r.cpuSeconds = cpu;
        }
        r.peakGrowthMiB = std::max(r.peakGrowthMiB, (peak - before) / 1024.0);
        state.counters["peak_growth_MiB"] = (peak - before) / 1024.0;
    }
    state.SetBytesProcessed(state.iterations() * fileMiB() * (1 << 20));
}

// The working directory: key, certificate, the data file and outputs.
struct Setup {
    fs::path dir;
    Bytes certDer, keyDer;
    std::string data, cert, key;
    Setup() {
        dir = fs::temp_directory_path() / ("qelt-bench-cmsfile-" + std::to_string(getpid()));
        fs::create_directories(dir);
        const qelt_bench::BenchKey k = qelt_bench::rsa2048("bench-file", 9);
        certDer = k.certDer;
        keyDer = k.keyDer;
        cert = (dir / "cert.pem").string();
        key = (dir / "key.pem").string();
        FILE* f = std::fopen(cert.c_str(), "w");
        PEM_write_X509(f, k.x509);
        std::fclose(f);
        f = std::fopen(key.c_str(), "w");
        PEM_write_PrivateKey(f, k.key, nullptr, nullptr, 0, nullptr, nullptr);
        std::fclose(f);
        // The data file, written once: every operation reads it from the page cache.
        data = (dir / "data.bin").string();
        const Bytes chunk = qelt_bench::patternBytes(1 << 20);
        std::ofstream out(data, std::ios::binary);
        for (long long i = 0; i < fileMiB(); ++i)
            out.write(reinterpret_cast<const char*>(chunk.data()), static_cast<std::streamsize>(chunk.size()));
    }
    ~Setup() {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    std::string at(const char* name) const { return (dir / name).string(); }
};

Setup& setup() {
    static Setup s;
    return s;
}

// The data file in 1 MiB reads through `each`.
template <class Each>
bool readFile(const std::string& path, Each each) {
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) return false;
    std::vector<uint8_t> buf(1 << 20);
    ssize_t n;
    bool ok = true;
    while (ok && (n = read(fd, buf.data(), buf.size())) > 0) ok = each(buf.data(), static_cast<size_t>(n));
    close(fd);
    return ok;
}

bool run(const std::string& cmd) { return std::system((cmd + " >/dev/null 2>&1").c_str()) == 0; }

// ---------------------------------------------------------------- references

void RefSha256(benchmark::State& state) {
    measure(state, "ref: SHA-256 (EVP)", [] {
        EVP_MD_CTX* md = EVP_MD_CTX_new();
        EVP_DigestInit_ex(md, EVP_sha256(), nullptr);
        const bool ok =
            readFile(setup().data, [&](const uint8_t* p, size_t n) { return EVP_DigestUpdate(md, p, n) == 1; });
        unsigned char out[32];
        unsigned len = 0;
        EVP_DigestFinal_ex(md, out, &len);
        EVP_MD_CTX_free(md);
        return ok;
    });
}

// What a content-inside variant does at the least: hash the file and write it out.
void RefSha256Copy(benchmark::State& state) {
    measure(state, "ref: SHA-256 + copy (EVP, write)", [] {
        EVP_MD_CTX* md = EVP_MD_CTX_new();
        EVP_DigestInit_ex(md, EVP_sha256(), nullptr);
        const int out = open(setup().at("ref-copy.bin").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const bool ok = out >= 0 && readFile(setup().data, [&](const uint8_t* p, size_t n) {
                            return EVP_DigestUpdate(md, p, n) == 1 && write(out, p, n) == static_cast<ssize_t>(n);
                        });
        if (out >= 0) close(out);
        unsigned char digest[32];
        unsigned len = 0;
        EVP_DigestFinal_ex(md, digest, &len);
        EVP_MD_CTX_free(md);
        return ok;
    });
}

void raw3DesEvp(benchmark::State& state, bool decrypt) {
    measure(state, decrypt ? "ref: 3DES-CBC decrypt (EVP)" : "ref: 3DES-CBC (EVP)", [decrypt] {
        EVP_CIPHER_CTX* c = EVP_CIPHER_CTX_new();
        const unsigned char key[24] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12,
                                       13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24};
        const unsigned char iv[8] = {};
        EVP_CipherInit_ex(c, EVP_des_ede3_cbc(), nullptr, key, iv, decrypt ? 0 : 1);
        EVP_CIPHER_CTX_set_padding(c, 0);  // the data file is whole blocks
        std::vector<unsigned char> out((1 << 20) + 16);
        int n = 0;
        const bool ok = readFile(setup().data, [&](const uint8_t* p, size_t len) {
            return EVP_CipherUpdate(c, out.data(), &n, p, static_cast<int>(len)) == 1;
        });
        EVP_CipherFinal_ex(c, out.data(), &n);
        EVP_CIPHER_CTX_free(c);
        return ok;
    });
}
void Ref3DesEvp(benchmark::State& state) { raw3DesEvp(state, false); }
void Ref3DesEvpDecrypt(benchmark::State& state) { raw3DesEvp(state, true); }

void raw3DesEngine(benchmark::State& state, bool decrypt) {
    measure(state, decrypt ? "ref: 3DES-CBC decrypt (our engine, memory)" : "ref: 3DES-CBC (our engine, memory)",
            [decrypt] {
                qelt::ZREncrypt enc;
                qelt::ByteString key(std::string(24, '\x5a').data(), 24), iv(std::string(8, '\0').data(), 8), out;
                const int rc = decrypt ? enc.DecryptData_Init(qelt::ALG_3DES, qelt::MODE_CBC, key, iv)
                                       : enc.EncryptData_Init(qelt::ALG_3DES, qelt::MODE_CBC, key, iv);
                if (rc != 0) return false;
                return readFile(setup().data, [&](const uint8_t* p, size_t n) {
                    return (decrypt ? enc.DecryptData_Update(p, static_cast<int>(n), &out)
                                    : enc.EncryptData_Update(p, static_cast<int>(n), &out)) == 0;
                });
            });
}
void Ref3DesEngine(benchmark::State& state) { raw3DesEngine(state, false); }
void Ref3DesEngineDecrypt(benchmark::State& state) { raw3DesEngine(state, true); }

// ---------------------------------------------------------------- signing

bool signFile(bool detached, const char* out) {
    BINSTR cert{nullptr, 0}, key{nullptr, 0};
    QELT_BINSTR_SetData(setup().certDer.data(), static_cast<int>(setup().certDer.size()), &cert);
    QELT_BINSTR_SetData(setup().keyDer.data(), static_cast<int>(setup().keyDer.size()), &key);
    const std::string path = setup().at(out);
    const int rc =
        detached ? QELT_CMS_MakeSignedData_NoContent_File(apiContext(), &cert, &key, setup().data.c_str(), nullptr,
                                                          path.c_str())
                 : QELT_CMS_MakeSignedData_File(apiContext(), &cert, &key, setup().data.c_str(), nullptr, path.c_str());
    QELT_BINSTR_Delete(&cert);
    QELT_BINSTR_Delete(&key);
    return rc == 0;
}

void SignFile(benchmark::State& state) {
    measure(state, "ours: sign, content inside", [] { return signFile(false, "signed.der"); });
}
void SignDetached(benchmark::State& state) {
    measure(state, "ours: sign, detached", [] { return signFile(true, "detached.der"); });
}
void VerifyFile(benchmark::State& state) {
    if (!fs::exists(setup().at("signed.der"))) signFile(false, "signed.der");
    measure(state, "ours: verify, content inside", [] {
        BINSTR signer{nullptr, 0};
        int t = 0;
        const int rc = QELT_CMS_ProcessSignedData_File2(apiContext(), setup().at("signed.der").c_str(),
                                                        setup().at("extracted.bin").c_str(), &signer, &t);
        QELT_BINSTR_Delete(&signer);
        return rc == 0;
    });
}
void VerifyDetached(benchmark::State& state) {
    if (!fs::exists(setup().at("detached.der"))) signFile(true, "detached.der");
    measure(state, "ours: verify, detached", [] {
        BINSTR signer{nullptr, 0};
        int t = 0;
        const int rc = QELT_CMS_ProcessSignedData_NoContent_File2(apiContext(), setup().at("detached.der").c_str(),
                                                                  setup().data.c_str(), &signer, &t);
        QELT_BINSTR_Delete(&signer);
        return rc == 0;
    });
}
void OpensslSignStream(benchmark::State& state) {
    measure(state, "openssl: cms -sign -binary -stream", [] {
        const Setup& s = setup();
        return run("openssl cms -sign -binary -stream -nodetach -in " + s.data + " -signer " + s.cert + " -inkey " +
                   s.key + " -outform DER -out " + s.at("ossl-signed.der"));
    });
}
void OpensslVerify(benchmark::State& state) {
    measure(state, "openssl: cms -verify", [] {
        const Setup& s = setup();
        if (!fs::exists(s.at("ossl-signed.der")) &&
            !run("openssl cms -sign -binary -stream -nodetach -in " + s.data + " -signer " + s.cert + " -inkey " +
                 s.key + " -outform DER -out " + s.at("ossl-signed.der")))
            return false;
        return run("openssl cms -verify -binary -inform DER -in " + s.at("ossl-signed.der") + " -CAfile " + s.cert +
                   " -out " + s.at("ossl-extracted.bin"));
    });
}
void OpensslSignDetached(benchmark::State& state) {
    measure(state, "openssl: cms -sign -binary (detached)", [] {
        const Setup& s = setup();
        return run("openssl cms -sign -binary -in " + s.data + " -signer " + s.cert + " -inkey " + s.key +
                   " -outform DER -out " + s.at("ossl-detached.der"));
    });
}
void OpensslVerifyDetached(benchmark::State& state) {
    measure(state, "openssl: cms -verify -content (detached)", [] {
        const Setup& s = setup();
        if (!fs::exists(s.at("ossl-detached.der")) &&
            !run("openssl cms -sign -binary -in " + s.data + " -signer " + s.cert + " -inkey " + s.key +
                 " -outform DER -out " + s.at("ossl-detached.der")))
            return false;
        return run("openssl cms -verify -binary -inform DER -in " + s.at("ossl-detached.der") + " -content " + s.data +
                   " -CAfile " + s.cert + " -out /dev/null");
    });
}

// ---------------------------------------------------------------- enveloping

bool envelope(const char* out) {
    BINSTR cert{nullptr, 0};
    QELT_BINSTR_SetData(setup().certDer.data(), static_cast<int>(setup().certDer.size()), &cert);
    const int rc = QELT_CMS_MakeEnvelopedData_File(apiContext(), &cert, setup().data.c_str(), QELT_SYM_3DES,
                                                   setup().at(out).c_str());
    QELT_BINSTR_Delete(&cert);
    return rc == 0;
}
void Envelope3Des(benchmark::State& state) {
    measure(state, "ours: envelope 3DES", [] { return envelope("env.der"); });
}
void Open3Des(benchmark::State& state) {
    if (!fs::exists(setup().at("env.der"))) envelope("env.der");
    measure(state, "ours: open 3DES", [] {
        BINSTR cert{nullptr, 0}, key{nullptr, 0};
        QELT_BINSTR_SetData(setup().certDer.data(), static_cast<int>(setup().certDer.size()), &cert);
        QELT_BINSTR_SetData(setup().keyDer.data(), static_cast<int>(setup().keyDer.size()), &key);
        const int rc = QELT_CMS_ProcessEnvelopedData_File(apiContext(), &cert, &key, setup().at("env.der").c_str(),
                                                          setup().at("opened.bin").c_str());
        QELT_BINSTR_Delete(&cert);
        QELT_BINSTR_Delete(&key);
        return rc == 0;
    });
}

void printRatios() {
    auto& r = results();
    auto t = [&](const char* n) { return r.count(n) ? r[n].seconds : 0.0; };
    auto cpu = [&](const char* n) { return r.count(n) ? r[n].cpuSeconds : 0.0; };
    const double mib = static_cast<double>(fileMiB());
    std::printf("\nFile: %lld MiB. Best wall time, its CPU time, throughput (wall), peak RSS growth:\n", fileMiB());
    for (const auto& [name, res] : r)
        std::printf("  %-44s %8.3f s %8.3f s cpu %8.1f MiB/s %6.2f MiB\n", name.c_str(), res.seconds, res.cpuSeconds,
                    mib / res.seconds, res.peakGrowthMiB);
    auto ratio = [&](const char* ours, const char* ref) {
        if (t(ours) > 0 && t(ref) > 0)
            std::printf("  %-30s / %-44s %.2f (wall)  %.2f (cpu)\n", ours, ref, t(ref) / t(ours),
                        cpu(ours) > 0 ? cpu(ref) / cpu(ours) : 0.0);
    };
    std::printf(
        "\nThroughput ratios, ours over the reference (> 1: ours faster); the CPU figure is the one that other\n"
        "programs running on the machine do not disturb:\n");
    for (const char* op : {"ours: sign, content inside", "ours: sign, detached", "ours: verify, content inside",
                           "ours: verify, detached"})
        ratio(op, "ref: SHA-256 (EVP)");
    ratio("ours: sign, content inside", "ref: SHA-256 + copy (EVP, write)");
    ratio("ours: verify, content inside", "ref: SHA-256 + copy (EVP, write)");
    ratio("ours: sign, content inside", "openssl: cms -sign -binary -stream");
    ratio("ours: verify, content inside", "openssl: cms -verify");
    ratio("ours: sign, detached", "openssl: cms -sign -binary (detached)");
    ratio("ours: verify, detached", "openssl: cms -verify -content (detached)");
    ratio("ours: envelope 3DES", "ref: 3DES-CBC (EVP)");
    ratio("ours: envelope 3DES", "ref: 3DES-CBC (our engine, memory)");
    ratio("ours: open 3DES", "ref: 3DES-CBC decrypt (EVP)");
    ratio("ours: open 3DES", "ref: 3DES-CBC decrypt (our engine, memory)");
}

}  // namespace

BENCHMARK(RefSha256)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(RefSha256Copy)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(SignFile)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(SignDetached)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(VerifyFile)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(VerifyDetached)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(OpensslSignStream)->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(OpensslVerify)->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(OpensslSignDetached)->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(OpensslVerifyDetached)->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(Ref3DesEvp)->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(Ref3DesEngine)->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(Ref3DesEvpDecrypt)->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(Ref3DesEngineDecrypt)->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(Envelope3Des)->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(Open3Des)->Iterations(2)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    setup();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printRatios();
    return 0;
}
