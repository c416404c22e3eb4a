// SignedData and EnvelopedData over files, signing in two steps and
// time-stamp tokens, through the exported functions. The openssl command is
// the peer: it verifies and opens what the file functions write, signs the
// bytes of the first signing step and runs a small time-stamp authority.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <thread>

#include "api/cms_file_writer.h"
#include "openssl_pki.h"

namespace qelt::test {
namespace {

using std::filesystem::path;

// CA, a signer (digitalSignature), a recipient (keyEncipherment) and a
// time-stamp authority, made once per process.
const path& pki() {
    static RemovedAtExit owner;
    static path dir;
    if (!dir.empty()) return dir;
    dir = scratchDir("cms-file-pki-" + std::to_string(::getpid()));
    owner.path = dir;
    putFile(dir / "tsa.cnf", textBytes("[ tsa ]\ndefault_tsa = tsa1\n[ tsa1 ]\nserial = ./tsaserial\n"
                                       "signer_cert = ./tsa.pem\ncerts = ./ca.pem\nsigner_key = ./tsa.key\n"
                                       "signer_digest = sha256\ndefault_policy = 1.2.3.4.1\ndigests = sha1, sha256\n"
                                       "accuracy = secs:1\ness_cert_id_alg = sha256\n"));
    putFile(dir / "tsaserial", textBytes("01\n"));
    bool ok = opensslPki(dir, "File-CA",
                         {{"signer", "keyUsage=critical,digitalSignature\n", 21},
                          {"recipient", "keyUsage=critical,keyEncipherment\n", 22},
                          {"tsa", "extendedKeyUsage=critical,timeStamping\n", 23}});
    // An ECDSA signer: its signatures vary in length from one signing to the next.
    ok = ok &&
         openssl(dir,
                 "req -newkey ec -pkeyopt ec_paramgen_curve:secp160r1 -nodes -keyout ecsigner.key -subj /CN=ecsigner "
                 "-out ecsigner.csr") &&
         openssl(dir,
                 "x509 -req -in ecsigner.csr -CA ca.pem -CAkey ca.key -set_serial 31 -days 30 -sha256 -extfile "
                 "signer.ext -outform DER -out ecsigner.der") &&
         openssl(dir, "pkcs8 -topk8 -nocrypt -in ecsigner.key -outform DER -out ecsigner.p8");
    EXPECT_TRUE(ok) << "openssl could not make the test PKI";
    return dir;
}

Bytes pattern(size_t n, uint8_t seed) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 131 + (i >> 8));
    return b;
}

bool contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

class CmsFile : public ApiTest {
protected:
    void SetUp() override {
        ApiTest::SetUp();
        ASSERT_TRUE(std::filesystem::exists(pki() / "signer.p8")) << "fixture PKI missing";
        signerCert = fileBytes(pki() / "signer.der");
        signerKey = fileBytes(pki() / "signer.p8");
        recipCert = fileBytes(pki() / "recipient.der");
        recipKey = fileBytes(pki() / "recipient.p8");
    }
    std::string at(const std::string& name) const { return (workDir / name).string(); }

    int signFile(const std::string& data, const std::string& out, bool detached, const char* time = kTime) {
        OwnedBinstr c(signerCert), k(signerKey);
        return detached ? QELT_CMS_MakeSignedData_NoContent_File(ctx, &c, &k, data.c_str(), time, out.c_str())
                        : QELT_CMS_MakeSignedData_File(ctx, &c, &k, data.c_str(), time, out.c_str());
    }
    int verifyFile(const std::string& sd, const std::string& data, bool detached, Bytes* cert = nullptr,
                   int* seconds = nullptr) {
        OwnedBinstr signer;
        int t = -1;
        const int rc = detached ? QELT_CMS_ProcessSignedData_NoContent_File2(ctx, sd.c_str(), data.c_str(), &signer, &t)
                                : QELT_CMS_ProcessSignedData_File2(ctx, sd.c_str(), data.c_str(), &signer, &t);
        if (cert) *cert = signer.vec();
        if (seconds) *seconds = t;
        return rc;
    }
    int signMemory(const Bytes& content, Bytes& out, const char* time = kTime) {
        OwnedBinstr c(signerCert), k(signerKey), d(content), sd;
        const int rc = QELT_CMS_MakeSignedData(ctx, &c, &k, &d, const_cast<char*>(time), &sd);
        out = sd.vec();
        return rc;
    }
    int envelopeFile(const std::string& data, int alg, const std::string& out, const char* cipher = nullptr) {
        OwnedBinstr c(recipCert);
        return cipher ? QELT_CMS_MakeEnvelopedData_NoContent_File(ctx, &c, data.c_str(), alg, out.c_str(), cipher)
                      : QELT_CMS_MakeEnvelopedData_File(ctx, &c, data.c_str(), alg, out.c_str());
    }
    int openFile(const std::string& env, const std::string& out, const char* cipher = nullptr,
                 const Bytes* key = nullptr) {
        OwnedBinstr c(recipCert), k(key ? *key : recipKey);
        return cipher ? QELT_CMS_ProcessEnvelopedData_NoContent_File(ctx, &c, &k, env.c_str(), cipher, out.c_str())
                      : QELT_CMS_ProcessEnvelopedData_File(ctx, &c, &k, env.c_str(), out.c_str());
    }
    // `content` signed from a file is the in-memory message, and verifies
    // back to the same content (with openssl too when asked).
    void expectFileRoundTrip(const Bytes& content, bool withOpenssl) {
        putFile(workDir / "data.bin", content);
        ASSERT_EQ(signFile(at("data.bin"), at("sd.der"), false), 0) << errInfo();
        Bytes inMemory;
        ASSERT_EQ(signMemory(content, inMemory), 0) << errInfo();
        EXPECT_TRUE(fileBytes(workDir / "sd.der") == inMemory);
        if (withOpenssl) EXPECT_TRUE(opensslVerifies(inMemory));
        ASSERT_EQ(verifyFile(at("sd.der"), at("back.bin"), false), 0) << errInfo();
        EXPECT_TRUE(fileBytes(workDir / "back.bin") == content);
    }
    // openssl cms -verify; a bare SignedData is put in a ContentInfo first.
    bool opensslVerifies(const Bytes& message, const std::string& content = "", bool bare = true) {
        putFile(workDir / "ssl-in.der", bare ? wrapSignedData(message) : message);
        return openssl(workDir, "cms -verify -binary -inform DER -in ssl-in.der -CAfile " +
                                    (pki() / "ca.pem").string() + (content.empty() ? "" : " -content " + content) +
                                    " -out ssl-out.bin");
    }

    static constexpr const char* kTime = "20250102030405";
    Bytes signerCert, signerKey, recipCert, recipKey;
};

// ------------------------------------------------------------------ SignedData

TEST_F(CmsFile, SignedFileIsTheInMemoryMessageAndOpensslVerifiesIt) {
    // Around the 8192-byte block and a few larger sizes.
    for (size_t size : {size_t{1}, size_t{8191}, size_t{8192}, size_t{8193}, size_t{70000}}) {
        SCOPED_TRACE(size);
        const Bytes content = pattern(size, static_cast<uint8_t>(size));
        putFile(workDir / "data.bin", content);
        ASSERT_EQ(signFile(at("data.bin"), at("sd.der"), false), 0) << errInfo();
        Bytes inMemory;
        ASSERT_EQ(signMemory(content, inMemory), 0) << errInfo();
        EXPECT_EQ(fileBytes(workDir / "sd.der"), inMemory);
        EXPECT_TRUE(opensslVerifies(fileBytes(workDir / "sd.der")));
        EXPECT_EQ(fileBytes(workDir / "ssl-out.bin"), content);

        // Split again: the content comes out, the signer and its time are recorded.
        Bytes cert;
        int seconds = 0;
        ASSERT_EQ(verifyFile(at("sd.der"), at("back.bin"), false, &cert, &seconds), 0) << errInfo();
        EXPECT_EQ(fileBytes(workDir / "back.bin"), content);
        EXPECT_EQ(cert, signerCert);
        OwnedBinstr first;
        char when[32] = "";
        ASSERT_EQ(QELT_CMS_GetSigner(ctx, 0, &first, when), 0);
        EXPECT_STREQ(when, kTime);
        time_t expected = 0;
        ASSERT_EQ(QELT_API_Str2Time(ctx, kTime, &expected), 0);
        EXPECT_EQ(seconds, static_cast<int>(expected));
    }
}

TEST_F(CmsFile, EmptyDataFileSignsWithAnEmptyOctetString) {
    putFile(workDir / "empty.bin", {});
    ASSERT_EQ(signFile(at("empty.bin"), at("sd.der"), false), 0) << errInfo();
    const Bytes sd = fileBytes(workDir / "sd.der");
    const Bytes prefix = {0xA0, 0x02, 0x04, 0x00};
    EXPECT_NE(std::search(sd.begin(), sd.end(), prefix.begin(), prefix.end()), sd.end());
    ASSERT_EQ(verifyFile(at("sd.der"), at("back.bin"), false), 0) << errInfo();
    EXPECT_TRUE(std::filesystem::exists(workDir / "back.bin"));
    EXPECT_EQ(std::filesystem::file_size(workDir / "back.bin"), 0u);
}

TEST_F(CmsFile, DetachedSignatureAgainstOpensslBothWays) {
    const Bytes content = pattern(20000, 7);
    putFile(workDir / "data.bin", content);
    ASSERT_EQ(QELT_API_SetOption(ctx, QELT_OPT_CMS_CONTENTINFO), 0);
    ASSERT_EQ(signFile(at("data.bin"), at("det.der"), true), 0) << errInfo();
    const Bytes det = fileBytes(workDir / "det.der");
    EXPECT_TRUE(opensslVerifies(det, "data.bin", false));
    // The in-memory processing takes the same message with the content beside it.
    {
        OwnedBinstr in(det), data(content), signer;
        EXPECT_EQ(QELT_CMS_ProcessSignedData(ctx, &in, &data, &signer, nullptr), 0) << errInfo();
    }
    int seconds = 0;
    ASSERT_EQ(verifyFile(at("det.der"), at("data.bin"), true, nullptr, &seconds), 0) << errInfo();
    EXPECT_GT(seconds, 0);
    // Another content fails, naming the signer.
    Bytes other = content;
    other[12345] ^= 1;
    putFile(workDir / "other.bin", other);
    EXPECT_EQ(verifyFile(at("det.der"), at("other.bin"), true), QELT_ERR_SIGNED_INVALID);
    EXPECT_TRUE(contains(errInfo(), "content Hash value is not same")) << errInfo();

    // OpenSSL's detached signature (its own attribute set) verifies here.
    const std::string pkiDir = pki().string();
    ASSERT_TRUE(openssl(workDir, "cms -sign -binary -in data.bin -signer " + pkiDir + "/signer.pem -inkey " + pkiDir +
                                     "/signer.key -outform DER -out ossl-det.der"));
    EXPECT_EQ(verifyFile(at("ossl-det.der"), at("data.bin"), true), 0) << errInfo();
    // And its attached one (DER, not streamed), once taken out of its ContentInfo.
    ASSERT_TRUE(openssl(workDir, "cms -sign -binary -nodetach -in data.bin -signer " + pkiDir + "/signer.pem -inkey " +
                                     pkiDir + "/signer.key -outform DER -out ossl-att.der"));
    ASSERT_TRUE(openssl(workDir, "asn1parse -inform DER -in ossl-att.der -strparse 19 -noout -out ossl-bare.der"));
    ASSERT_EQ(verifyFile(at("ossl-bare.der"), at("ossl-back.bin"), false), 0) << errInfo();
    EXPECT_EQ(fileBytes(workDir / "ossl-back.bin"), content);
}

TEST_F(CmsFile, SignedFileRefusals) {
    const Bytes content = pattern(30000, 3);
    putFile(workDir / "data.bin", content);
    OwnedBinstr c(signerCert), k(signerKey);
    // Arguments.
    EXPECT_EQ(QELT_CMS_MakeSignedData_File(ctx, &c, &k, "", nullptr, at("x").c_str()), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_TRUE(contains(errInfo(), "서명할 데이터의 파일 경로(pszTBSDataFilePath)를 지정해 주세요."_cp949));
    EXPECT_EQ(QELT_CMS_ProcessSignedData_File(ctx, at("x").c_str(), at("y").c_str(), nullptr, nullptr),
              QELT_ERR_INVALID_ARGUMENT);
    EXPECT_TRUE(contains(errInfo(), "pSignerCert의 포인터가 NULL입니다."_cp949));

    // Missing input, a directory as input, a file too large to carry.
    EXPECT_EQ(signFile(at("missing.bin"), at("sd.der"), false), QELT_ERR_FILE_READ);
    EXPECT_TRUE(contains(errInfo(), "missing.bin")) << errInfo();
    EXPECT_EQ(signFile(workDir.string(), at("sd.der"), false), QELT_ERR_FILE_READ);
    ASSERT_EQ(::truncate(at("huge.bin").c_str(), 0), -1);  // not there yet
    { std::ofstream(workDir / "huge.bin").close(); }
    ASSERT_EQ(::truncate(at("huge.bin").c_str(), (1LL << 31) + 5), 0);  // sparse
    EXPECT_EQ(signFile(at("huge.bin"), at("sd.der"), false), QELT_ERR_FILE_TOO_LARGE);
    EXPECT_TRUE(contains(errInfo(), "처리하기에는 파일 사이즈의 크기가 너무 큽니다."_cp949));
    EXPECT_FALSE(std::filesystem::exists(workDir / "sd.der"));

    // Outputs that cannot be made or written: nothing is left behind, devices are not removed.
    std::filesystem::create_directory(workDir / "dir");
    EXPECT_EQ(signFile(at("data.bin"), at("dir"), false), QELT_ERR_FILE_CREATE);
    EXPECT_EQ(signFile(at("data.bin"), at("dir"), true), QELT_ERR_FILE_WRITE);
    if (std::filesystem::exists("/dev/full")) {
        EXPECT_EQ(signFile(at("data.bin"), "/dev/full", false), QELT_ERR_FILE_WRITE);
        EXPECT_TRUE(std::filesystem::exists("/dev/full"));
    }
    EXPECT_EQ(signFile(at("data.bin"), at("data.bin"), false), QELT_ERR_FILE_CREATE);
    EXPECT_EQ(fileBytes(workDir / "data.bin"), content);

    // Damaged messages.
    ASSERT_EQ(signFile(at("data.bin"), at("sd.der"), false), 0) << errInfo();
    const Bytes sd = fileBytes(workDir / "sd.der");
    putFile(workDir / "cut.der", Bytes(sd.begin(), sd.begin() + 20000));
    EXPECT_EQ(verifyFile(at("cut.der"), at("out.bin"), false), QELT_ERR_SIGNED_INVALID);
    EXPECT_TRUE(contains(errInfo(), "처리하고 남은 데이터가 있거나 원본 메시지의 크기가 전부 저장되지 않음"_cp949));
    EXPECT_FALSE(std::filesystem::exists(workDir / "out.bin"));
    Bytes longer = sd;
    longer.push_back(0);
    putFile(workDir / "long.der", longer);
    EXPECT_EQ(verifyFile(at("long.der"), at("out.bin"), false), QELT_ERR_SIGNED_INVALID);
    EXPECT_FALSE(std::filesystem::exists(workDir / "out.bin"));
    putFile(workDir / "empty.der", {});
    EXPECT_EQ(verifyFile(at("empty.der"), at("out.bin"), false), QELT_ERR_SIGNED_INVALID);
    EXPECT_TRUE(contains(errInfo(), "서명 메시지의 Tag가 SEQUENCE가 아님"_cp949));
    Bytes tampered = sd;
    tampered[sd.size() / 2] ^= 0x40;  // inside the content
    putFile(workDir / "tampered.der", tampered);
    EXPECT_EQ(verifyFile(at("tampered.der"), at("out.bin"), false), QELT_ERR_SIGNED_INVALID);
    EXPECT_FALSE(std::filesystem::exists(workDir / "out.bin"));
    EXPECT_EQ(verifyFile(at("nothere.der"), at("out.bin"), true), QELT_ERR_FILE_READ);

    // A detached message has no [0]: refused by the content variant, taken by the other.
    ASSERT_EQ(signFile(at("data.bin"), at("det.der"), true), 0) << errInfo();
    EXPECT_EQ(verifyFile(at("det.der"), at("out.bin"), false), QELT_ERR_SIGNED_INVALID);
    EXPECT_TRUE(contains(errInfo(), "eContent 필드 tag가 CONTEXT-SPECIFIC[0]가 아님"_cp949)) << errInfo();
    EXPECT_EQ(verifyFile(at("det.der"), at("data.bin"), true), 0) << errInfo();
    // Detached content that is not there.
    EXPECT_EQ(verifyFile(at("det.der"), at("gone.bin"), true), QELT_ERR_FILE_READ);
}

// Files from 4 MiB on are hashed and written in one pass behind a header
// worked out before the content is read; smaller ones are read twice.
TEST_F(CmsFile, LargeFilesAroundTheOnePassSizeAreTheInMemoryMessage) {
    constexpr size_t kOnePass = size_t{4} << 20;
    for (size_t size : {kOnePass - 1, kOnePass, kOnePass + 300001}) {
        SCOPED_TRACE(size);
        expectFileRoundTrip(pattern(size, static_cast<uint8_t>(size >> 3)), true);
    }
    // Devices as outputs: written in two passes (no header can be written
    // again there); a full one fails and is left in place.
    EXPECT_EQ(signFile(at("data.bin"), "/dev/null", false), 0) << errInfo();
    if (std::filesystem::exists("/dev/full")) {
        EXPECT_EQ(signFile(at("data.bin"), "/dev/full", false), QELT_ERR_FILE_WRITE);
        EXPECT_TRUE(std::filesystem::exists("/dev/full"));
    }
    // An output that cannot take the content leaves nothing behind.
    EXPECT_EQ(signFile(at("data.bin"), at("data.bin"), false), QELT_ERR_FILE_CREATE);
    EXPECT_EQ(std::filesystem::file_size(workDir / "data.bin"), kOnePass + 300001);
    OwnedBinstr c(signerCert), notKey(signerCert);
    EXPECT_NE(QELT_CMS_MakeSignedData_File(ctx, &c, &notKey, at("data.bin").c_str(), kTime, at("bad.der").c_str()), 0);
    EXPECT_FALSE(std::filesystem::exists(workDir / "bad.der"));
}

// ECDSA signatures vary in length (here 46 to 48 bytes) from one signing to
// the next, so the header worked out before the content is read is often a
// length off and is written again; when the size of the outer length itself
// changes, the whole message is written again. A content just under 16 MiB
// puts the outer length next to its 3-to-4-octet step, so that both happen
// over a few signings.
TEST_F(CmsFile, EcdsaSignedLargeFilesVerify) {
    const Bytes ecCert = fileBytes(pki() / "ecsigner.der"), ecKey = fileBytes(pki() / "ecsigner.p8");
    OwnedBinstr c(ecCert), k(ecKey);
    // SHA-1: the only hash ECDSA signatures are verified with here.
    ASSERT_EQ(QELT_API_SetHashAlgo(ctx, QELT_HASH_SHA1), 0);
    auto sign = [&](const char* out) {
        return QELT_CMS_MakeSignedData_File(ctx, &c, &k, at("data.bin").c_str(), kTime, at(out).c_str());
    };
    // A first message tells the length of what follows the content and of
    // its signature (the last OCTET STRING: 04 n 30 ...).
    const size_t base = (size_t{1} << 24) - 4096;
    putFile(workDir / "data.bin", pattern(base, 1));
    ASSERT_EQ(sign("probe.der"), 0) << errInfo();
    const Bytes probe = fileBytes(workDir / "probe.der");
    ASSERT_EQ(probe[1], 0x83);
    size_t sigLen = 0;
    for (size_t n = 40; n < 80 && sigLen == 0; ++n)
        if (probe[probe.size() - n - 2] == 0x04 && probe[probe.size() - n - 1] == n && probe[probe.size() - n] == 0x30)
            sigLen = n;
    ASSERT_NE(sigLen, 0u);
    // The content size that makes the outer length 2^24 - 1 with a 47-byte signature.
    const size_t outerLen = probe.size() - 5;
    const size_t size = base + ((size_t{1} << 24) - 1) - (outerLen - sigLen + 47);
    const Bytes content = pattern(size, 2);
    putFile(workDir / "data.bin", content);
    std::set<size_t> outerSizes;
    for (int i = 0; i < 10; ++i) {
        SCOPED_TRACE(i);
        ASSERT_EQ(sign("sd.der"), 0) << errInfo();
        const Bytes sd = fileBytes(workDir / "sd.der");
        outerSizes.insert(sd[1] & 0x7F);
        EXPECT_TRUE(opensslVerifies(sd));
        ASSERT_EQ(verifyFile(at("sd.der"), at("back.bin"), false), 0) << errInfo();
        EXPECT_EQ(std::filesystem::file_size(workDir / "back.bin"), size);
    }
    EXPECT_TRUE(fileBytes(workDir / "back.bin") == content);
    // Chance alone decides whether both outer length sizes came up: shown, not required.
    RecordProperty("outer_length_sizes", static_cast<int>(outerSizes.size()));
}

// The content moves in chunks, read and hashed on the calling thread and
// written on another. Sizes around the chunk size, both for signing (the
// content from its first byte) and for verifying (the content after what the
// first 8 KiB block of the message holds of it).
TEST_F(CmsFile, ContentAroundChunkBoundariesRoundTrips) {
    constexpr size_t chunk = cms::ChunkWriter::chunkSize();
    // Where the content starts in a message of about this size.
    putFile(workDir / "data.bin", pattern(chunk, 1));
    ASSERT_EQ(signFile(at("data.bin"), at("sd.der"), false), 0) << errInfo();
    const Bytes probe = fileBytes(workDir / "sd.der"), start = pattern(64, 1);
    const size_t contentAt =
        static_cast<size_t>(std::search(probe.begin(), probe.end(), start.begin(), start.end()) - probe.begin());
    ASSERT_LT(contentAt, 8192u);
    const size_t inFirstBlock = 8192 - contentAt;
    for (size_t size : {chunk - 1, chunk, chunk + 1, inFirstBlock + chunk - 1, inFirstBlock + chunk,
                        inFirstBlock + chunk + 1, 5 * chunk + 3}) {
        SCOPED_TRACE(size);
        expectFileRoundTrip(pattern(size, static_cast<uint8_t>(size)), false);
    }
    EXPECT_TRUE(opensslVerifies(fileBytes(workDir / "sd.der")));
}

// Outputs that stop taking bytes part way through the content: the write
// failure is reported (not a hang, not SIGPIPE), and a regular output is
// not left behind.
TEST_F(CmsFile, OutputFailingMidContentIsAWriteFailure) {
    constexpr size_t size = (size_t{6} << 20) + 5;  // signed in one pass
    const Bytes content = pattern(size, 4);
    putFile(workDir / "data.bin", content);
    ASSERT_EQ(signFile(at("data.bin"), at("sd.der"), false), 0) << errInfo();

    // A pipe whose reader takes 1 MiB, then goes away.
    auto intoPipe = [&](auto call) {
        int fds[2];
        if (::pipe(fds) != 0) return -1;
        std::thread reader([fd = fds[0]] {
            std::vector<uint8_t> buf(65536);
            size_t got = 0;
            ssize_t n;
            while (got < (size_t{1} << 20) && (n = ::read(fd, buf.data(), buf.size())) > 0) got += n;
            ::close(fd);
        });
        const int rc = call("/proc/self/fd/" + std::to_string(fds[1]));
        reader.join();
        ::close(fds[1]);
        return rc;
    };
    EXPECT_EQ(intoPipe([&](const std::string& out) { return signFile(at("data.bin"), out, false); }),
              QELT_ERR_FILE_WRITE);
    EXPECT_TRUE(contains(errInfo(), "/proc/self/fd/")) << errInfo();
    EXPECT_EQ(intoPipe([&](const std::string& out) { return verifyFile(at("sd.der"), out, false); }),
              QELT_ERR_FILE_WRITE);
    if (std::filesystem::exists("/dev/full")) {
        EXPECT_EQ(verifyFile(at("sd.der"), "/dev/full", false), QELT_ERR_FILE_WRITE);
        EXPECT_TRUE(std::filesystem::exists("/dev/full"));
    }

    // A message cut inside its content: refused while chunks are queued,
    // and the content written so far is removed.
    const Bytes sd = fileBytes(workDir / "sd.der");
    putFile(workDir / "cut.der", Bytes(sd.begin(), sd.begin() + static_cast<long>(size / 2)));
    EXPECT_EQ(verifyFile(at("cut.der"), at("out.bin"), false), QELT_ERR_SIGNED_INVALID);
    EXPECT_FALSE(std::filesystem::exists(workDir / "out.bin"));
}

// ------------------------------------------------------------------ EnvelopedData

TEST_F(CmsFile, EnvelopedFilesOpenWithOpensslAndInMemory) {
    const Bytes content = pattern(50001, 9);
    putFile(workDir / "data.bin", content);
    const std::string pkiDir = pki().string();
    for (int alg : {QELT_SYM_3DES, QELT_SYM_DES}) {
        SCOPED_TRACE(alg);
        // OpenSSL reads the ContentInfo form.
        ASSERT_EQ(QELT_API_SetOption(ctx, QELT_OPT_CMS_CONTENTINFO), 0);
        ASSERT_EQ(envelopeFile(at("data.bin"), alg, at("env.der")), 0) << errInfo();
        std::filesystem::remove(workDir / "ssl.bin");
        EXPECT_TRUE(openssl(workDir, "cms -decrypt -provider legacy -provider default -inform DER -in env.der -recip " +
                                         pkiDir + "/recipient.pem -inkey " + pkiDir + "/recipient.key -out ssl.bin"));
        EXPECT_EQ(fileBytes(workDir / "ssl.bin"), content);
        ASSERT_EQ(openFile(at("env.der"), at("back.bin")), 0) << errInfo();
        EXPECT_EQ(fileBytes(workDir / "back.bin"), content);
        OwnedBinstr c(recipCert), k(recipKey), in(fileBytes(workDir / "env.der")), out;
        ASSERT_EQ(QELT_CMS_ProcessEnvelopedData(ctx, &c, &k, &in, &out), 0) << errInfo();
        EXPECT_EQ(out.vec(), content);

        // The reverse: a bare in-memory message opened by the file function.
        ASSERT_EQ(QELT_API_SetOption(ctx, QELT_OPT_CMS_BARE), 0);
        OwnedBinstr data(content), made;
        ASSERT_EQ(QELT_CMS_MakeEnvelopedData(ctx, &c, &data, alg, &made), 0) << errInfo();
        putFile(workDir / "mem.der", made.vec());
        ASSERT_EQ(openFile(at("mem.der"), at("back2.bin")), 0) << errInfo();
        EXPECT_EQ(fileBytes(workDir / "back2.bin"), content);
        // The session key is the message's.
        int symAlg = 0;
        OwnedBinstr key, iv;
        ASSERT_EQ(QELT_CRYPT_GetKeyAndIV(ctx, &symAlg, &key, &iv), 0);
        EXPECT_EQ(symAlg, alg);
    }
    // An OpenSSL-made message (DER, one recipient) opens here too.
    ASSERT_TRUE(openssl(
        workDir, "cms -encrypt -binary -des3 -in data.bin -outform DER -out ossl.der " + pkiDir + "/recipient.pem"));
    ASSERT_EQ(openFile(at("ossl.der"), at("ossl.bin")), 0) << errInfo();
    EXPECT_EQ(fileBytes(workDir / "ossl.bin"), content);
}

TEST_F(CmsFile, EnvelopeWithCiphertextApartAndBlockPadding) {
    putFile(workDir / "d32.bin", pattern(32, 1));
    ASSERT_EQ(envelopeFile(at("d32.bin"), QELT_SYM_SEED, at("env.der"), at("ct.bin").c_str()), 0) << errInfo();
    EXPECT_EQ(std::filesystem::file_size(workDir / "ct.bin"), 48u);  // a whole block of padding
    ASSERT_EQ(openFile(at("env.der"), at("back.bin"), at("ct.bin").c_str()), 0) << errInfo();
    EXPECT_EQ(fileBytes(workDir / "back.bin"), pattern(32, 1));
    // The same structure with the content inside: 48 ciphertext bytes after [0] 0x80 0x30.
    ASSERT_EQ(envelopeFile(at("d32.bin"), QELT_SYM_SEED, at("in.der")), 0) << errInfo();
    const Bytes in = fileBytes(workDir / "in.der");
    ASSERT_GT(in.size(), 50u);
    EXPECT_EQ(in[in.size() - 50], 0x80);
    EXPECT_EQ(in[in.size() - 49], 48);
    // Empty input: one block of padding and back to an empty file.
    putFile(workDir / "empty.bin", {});
    ASSERT_EQ(envelopeFile(at("empty.bin"), QELT_SYM_ARIA, at("e.der")), 0) << errInfo();
    ASSERT_EQ(openFile(at("e.der"), at("e.bin")), 0) << errInfo();
    EXPECT_EQ(std::filesystem::file_size(workDir / "e.bin"), 0u);
}

TEST_F(CmsFile, EnvelopedFileRefusals) {
    const Bytes content = pattern(40000, 5);
    putFile(workDir / "data.bin", content);
    EXPECT_EQ(envelopeFile(at("data.bin"), 17, at("env.der")), QELT_ERR_SYM_ALGORITHM);
    {
        OwnedBinstr c(signerCert);  // digitalSignature only
        EXPECT_EQ(QELT_CMS_MakeEnvelopedData_File(ctx, &c, at("data.bin").c_str(), QELT_SYM_3DES, at("e").c_str()),
                  QELT_ERR_NOT_ENCRYPTION_CERT);
    }
    OwnedBinstr c(recipCert);
    EXPECT_EQ(
        QELT_CMS_MakeEnvelopedData_NoContent_File(ctx, &c, at("data.bin").c_str(), QELT_SYM_3DES, at("e").c_str(), ""),
        QELT_ERR_INVALID_ARGUMENT);
    EXPECT_TRUE(contains(errInfo(), "(pszEncryptedContentFilePath)"));

    ASSERT_EQ(envelopeFile(at("data.bin"), QELT_SYM_3DES, at("env.der")), 0) << errInfo();
    const Bytes env = fileBytes(workDir / "env.der");
    // Truncated: the ciphertext is shorter than announced; no output stays.
    putFile(workDir / "cut.der", Bytes(env.begin(), env.end() - 100));
    EXPECT_EQ(openFile(at("cut.der"), at("out.bin")), QELT_ERR_ENVELOPED_INVALID);
    EXPECT_TRUE(contains(errInfo(), "cipherText의 길이("_cp949)) << errInfo();
    EXPECT_FALSE(std::filesystem::exists(workDir / "out.bin"));
    // Another key: the recipient is found but its key does not open the CEK.
    const Bytes otherKey = fileBytes(pki() / "signer.p8");
    EXPECT_EQ(openFile(at("env.der"), at("out.bin"), nullptr, &otherKey), QELT_ERR_KEYPAIR_CHECK);
    EXPECT_FALSE(std::filesystem::exists(workDir / "out.bin"));
    // Not an EnvelopedData at all.
    putFile(workDir / "junk.der", pattern(100, 0));
    EXPECT_EQ(openFile(at("junk.der"), at("out.bin")), QELT_ERR_ENVELOPED_INVALID);
    EXPECT_TRUE(contains(errInfo(), "암호 메시지의 Tag가 SEQUENCE가 아님"_cp949)) << errInfo();

    // A ciphertext file whose last block no longer ends in valid padding. 40000 bytes of content end
    // in a whole block of eight 0x08 bytes; flipping bits of the previous ciphertext block flips the
    // same bits of the last plaintext block, so its last byte becomes 0x00 every time. (A ciphertext
    // of another message would fail only most of the time: about one key in 256 decrypts its last
    // block to something that looks like padding.)
    ASSERT_EQ(envelopeFile(at("data.bin"), QELT_SYM_3DES, at("a.der"), at("a.ct").c_str()), 0);
    Bytes ct = fileBytes(workDir / "a.ct");
    ASSERT_EQ(ct.size(), content.size() + 8);
    ct[ct.size() - 9] ^= 0x08;
    putFile(workDir / "b.ct", ct);
    EXPECT_EQ(openFile(at("a.der"), at("out.bin"), at("b.ct").c_str()), QELT_ERR_DECRYPT);
    EXPECT_FALSE(std::filesystem::exists(workDir / "out.bin"));
    // Padding bytes that disagree with their count: second-to-last byte 0x08 ^ 0x01.
    ct[ct.size() - 9] ^= 0x08;
    ct[ct.size() - 10] ^= 0x01;
    putFile(workDir / "b.ct", ct);
    EXPECT_EQ(openFile(at("a.der"), at("out.bin"), at("b.ct").c_str()), QELT_ERR_DECRYPT);
    EXPECT_FALSE(std::filesystem::exists(workDir / "out.bin"));
    // Disk full while opening.
    if (std::filesystem::exists("/dev/full")) {
        EXPECT_EQ(openFile(at("env.der"), "/dev/full"), QELT_ERR_FILE_WRITE);
        EXPECT_TRUE(std::filesystem::exists("/dev/full"));
    }
    std::filesystem::create_directory(workDir / "dir");
    EXPECT_EQ(envelopeFile(at("data.bin"), QELT_SYM_3DES, at("dir")), QELT_ERR_FILE_CREATE);
}

// ------------------------------------------------------------------ two steps, time-stamp tokens

TEST_F(CmsFile, TwoStepSignatureMadeByOpensslComposes) {
    const Bytes content = pattern(3000, 11);
    OwnedBinstr sig0("x"), out0;
    EXPECT_EQ(QELT_CMS_ComposeSignedData(ctx, &sig0, &out0), QELT_ERR_TBS_NOT_MADE);

    OwnedBinstr cert(signerCert), data(content), tbs;
    ASSERT_EQ(QELT_CMS_MakeTBSData(ctx, &cert, &data, const_cast<char*>(kTime), &tbs), 0) << errInfo();
    ASSERT_GT(tbs.b.nLen, 0);
    EXPECT_EQ(tbs.b.pVal[0], 0x31);
    putFile(workDir / "tbs.der", tbs.vec());
    ASSERT_TRUE(openssl(workDir, "dgst -sha256 -binary -out tbs.dgst tbs.der"));
    ASSERT_TRUE(openssl(workDir, "pkeyutl -sign -inkey " + (pki() / "signer.key").string() +
                                     " -pkeyopt digest:sha256 -in tbs.dgst -out sig.bin"));
    OwnedBinstr sig(fileBytes(workDir / "sig.bin")), composed, again;
    ASSERT_EQ(QELT_CMS_ComposeSignedData(ctx, &sig, &composed), 0) << errInfo();
    ASSERT_EQ(QELT_CMS_ComposeSignedData(ctx, &sig, &again), 0) << errInfo();
    EXPECT_EQ(composed.vec(), again.vec());  // the pending message stays as it was
    Bytes oneStep;
    ASSERT_EQ(signMemory(content, oneStep), 0);
    EXPECT_EQ(composed.vec(), oneStep);
    putFile(workDir / "content.bin", content);
    EXPECT_TRUE(opensslVerifies(composed.vec()));
    // A wrong signature composes but does not verify.
    OwnedBinstr bad(pattern(256, 1)), badOut, d2, signer;
    ASSERT_EQ(QELT_CMS_ComposeSignedData(ctx, &bad, &badOut), 0);
    EXPECT_EQ(QELT_CMS_ProcessSignedData(ctx, &badOut, &d2, &signer, nullptr), QELT_ERR_SIGNED_INVALID);
}

TEST_F(CmsFile, TimeStampTokensFromAnOpensslAuthority) {
    // A message with two signers.
    const Bytes content = pattern(500, 2);
    Bytes one;
    ASSERT_EQ(signMemory(content, one), 0);
    OwnedBinstr c(signerCert), k(signerKey), in(one), two;
    ASSERT_EQ(QELT_CMS_MakeSignedDataWithAddSigner(ctx, &c, &k, &in, nullptr, &two), 0) << errInfo();
    OwnedBinstr none;
    EXPECT_EQ(QELT_CMS_GetTBTData(ctx, 0, &none), QELT_ERR_NO_SIGNER_CERT);

    auto process = [&](const Bytes& sd) {
        OwnedBinstr m(sd), d, signer;
        return QELT_CMS_ProcessSignedData(ctx, &m, &d, &signer, nullptr);
    };
    ASSERT_EQ(process(two.vec()), 0) << errInfo();
    OwnedBinstr tbt;
    ASSERT_EQ(QELT_CMS_GetTBTData(ctx, 0, &tbt), 0) << errInfo();
    EXPECT_EQ(tbt.b.nLen, 256);  // the RSA-2048 signature value
    EXPECT_EQ(QELT_CMS_GetTBTData(ctx, 5, &none), QELT_ERR_CERT_LIST_BAD_CERT);

    // The authority stamps the signature value.
    const path tsa = pki();
    putFile(workDir / "tbt.bin", tbt.vec());
    ASSERT_TRUE(openssl(workDir, "ts -query -data tbt.bin -sha256 -cert -out req.tsq"));
    ASSERT_TRUE(openssl(
        tsa, "ts -reply -config tsa.cnf -section tsa1 -queryfile " + at("req.tsq") + " -out " + at("resp.tsr")));
    ASSERT_TRUE(openssl(workDir, "ts -reply -in resp.tsr -token_out -out token.der"));
    const Bytes token = fileBytes(workDir / "token.der");

    // Set on signer 0 of the ContentInfo form: a bare SignedData comes back.
    OwnedBinstr wrapped(wrapSignedData(two.vec())), tok(token), withTst;
    ASSERT_EQ(QELT_CMS_SetTimeStampToken(ctx, &wrapped, 0, &tok, &withTst), 0) << errInfo();
    ASSERT_GT(withTst.b.nLen, 4);
    EXPECT_EQ(withTst.b.pVal[withTst.b.pVal[1] & 0x80 ? 2 + (withTst.b.pVal[1] & 0x7F) : 2], 0x02);
    ASSERT_EQ(process(withTst.vec()), 0) << errInfo();
    OwnedBinstr back, missing;
    ASSERT_EQ(QELT_CMS_GetTimeStampToken(ctx, 0, &back), 0) << errInfo();
    EXPECT_EQ(back.vec(), token);
    EXPECT_EQ(QELT_CMS_GetTimeStampToken(ctx, 1, &missing), QELT_ERR_NO_TIMESTAMP_TOKEN);
    EXPECT_TRUE(opensslVerifies(withTst.vec()));
    putFile(workDir / "back.der", back.vec());
    EXPECT_TRUE(openssl(workDir, "ts -verify -data tbt.bin -in back.der -token_in -CAfile " +
                                     (tsa / "ca.pem").string() + " -untrusted " + (tsa / "tsa.pem").string()));

    // A second token for the same signer is refused; the other signer takes one
    // and signer 0 keeps its own.
    OwnedBinstr twice;
    EXPECT_EQ(QELT_CMS_SetTimeStampToken(ctx, &withTst, 0, &tok, &twice), QELT_ERR_SIGNED_INVALID);
    EXPECT_TRUE(contains(errInfo(), "The signer already have a TimeStampToken.")) << errInfo();
    OwnedBinstr both;
    ASSERT_EQ(QELT_CMS_SetTimeStampToken(ctx, &withTst, 1, &tok, &both), 0) << errInfo();
    ASSERT_EQ(process(both.vec()), 0) << errInfo();
    OwnedBinstr t0, t1;
    ASSERT_EQ(QELT_CMS_GetTimeStampToken(ctx, 0, &t0), 0);
    ASSERT_EQ(QELT_CMS_GetTimeStampToken(ctx, 1, &t1), 0);
    EXPECT_EQ(t0.vec(), token);
    EXPECT_EQ(t1.vec(), token);
    OwnedBinstr outOfRange;
    EXPECT_EQ(QELT_CMS_SetTimeStampToken(ctx, &both, 2, &tok, &outOfRange), QELT_ERR_SIGNED_INVALID);
}

}  // namespace
}  // namespace qelt::test
