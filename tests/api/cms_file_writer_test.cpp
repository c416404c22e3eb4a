// Content copied into a file by the writer thread: the bytes and their
// digest across chunk boundaries, and failures on either side (a write that
// fails, an input that ends early) reported without a hang.
#include <openssl/evp.h>
#include <sys/resource.h>

#include <csignal>

#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/zr_hash.h"
#include "api/api_call.h"
#include "api/cms_file_writer.h"
#include "pkey_test_keys.h"

namespace qelt::test {
namespace {

using cms::ChunkWriter;
using cms::InputFile;
using cms::OutputFile;

Bytes pattern(size_t n, uint8_t seed) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 167 + (i >> 9));
    return b;
}

Bytes sha256(const Bytes& b) {
    Bytes out(32);
    unsigned len = 0;
    EVP_Digest(b.data(), b.size(), out.data(), &len, EVP_sha256(), nullptr);
    return out;
}

class ContentCopy : public ApiTest {
protected:
    // Copies `size` bytes of `input` into `output` after `head`, hashing
    // them with SHA-256; the output is finished when all went well.
    int copy(const std::string& input, long long size, const std::string& output, const Bytes& head = {},
             Bytes* digest = nullptr) {
        return api::run(ctx, "copy", [&](ApiCall& call) {
            InputFile in;
            OutputFile out;
            if (const int rc = in.open(call, input.c_str())) return rc;
            if (const int rc = out.create(call, output.c_str(), &in)) return rc;
            if (const int rc = out.write(call, head.data(), head.size())) return rc;
            ZRHash hash;
            if (hash.DigestData_Init(ALG_SHA256) != 0) return -1;
            if (const int rc = cms::hashAndCopy(call, in, size, &hash, out)) return rc;
            ByteString d;
            if (hash.DigestData_Final(d) != 0) return -1;
            if (digest) *digest = Bytes(d.data(), d.data() + d.length());
            const uint8_t tail[] = {0xEE, 0xFF};
            if (const int rc = out.write(call, tail, sizeof tail)) return rc;
            return out.finish(call);
        });
    }
    std::string at(const char* name) const { return (workDir / name).string(); }
};

constexpr size_t kChunk = ChunkWriter::chunkSize();

TEST_F(ContentCopy, BytesAndDigestAcrossChunkBoundaries) {
    const Bytes head = {0x30, 0x80, 0x04};
    // More chunks than the ring holds make the reader wait for the writer.
    for (size_t size : {size_t{0}, size_t{1}, kChunk - 1, kChunk, kChunk + 1, 3 * kChunk,
                        (ChunkWriter::kChunks + 4) * kChunk + 17}) {
        SCOPED_TRACE(size);
        const Bytes content = pattern(size, static_cast<uint8_t>(size));
        putFile(workDir / "in.bin", content);
        Bytes digest;
        ASSERT_EQ(copy(at("in.bin"), static_cast<long long>(size), at("out.bin"), head, &digest), 0) << errInfo();
        Bytes expected = head;
        expected.insert(expected.end(), content.begin(), content.end());
        expected.insert(expected.end(), {0xEE, 0xFF});
        EXPECT_TRUE(fileBytes(workDir / "out.bin") == expected);
        EXPECT_EQ(digest, sha256(content));
    }
    // Only the first `size` bytes of a longer input move.
    putFile(workDir / "in.bin", pattern(2 * kChunk + 9, 5));
    ASSERT_EQ(copy(at("in.bin"), static_cast<long long>(kChunk + 3), at("out.bin")), 0) << errInfo();
    EXPECT_EQ(std::filesystem::file_size(workDir / "out.bin"), kChunk + 3 + 2);
}

TEST_F(ContentCopy, FailedWriteIsReportedAndTheCopyStops) {
    putFile(workDir / "in.bin", pattern(6 * kChunk, 1));
    // A device that takes nothing: the header cannot be pushed out, or the
    // first chunk fails on the writer's side.
    if (std::filesystem::exists("/dev/full")) {
        EXPECT_EQ(copy(at("in.bin"), 6 * kChunk, "/dev/full"), QELT_ERR_FILE_WRITE);
        EXPECT_NE(errInfo().find("/dev/full"), std::string::npos) << errInfo();
        EXPECT_EQ(copy(at("in.bin"), 6 * kChunk, "/dev/full", Bytes(10, 1)), QELT_ERR_FILE_WRITE);
    }
    // A regular file that may not grow past 2 chunks (a full disk as far as
    // write() tells): the partial output is removed.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 2 * kChunk;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int rc = copy(at("in.bin"), 6 * kChunk, at("out.bin"));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(rc, QELT_ERR_FILE_WRITE);
    EXPECT_NE(errInfo().find("out.bin"), std::string::npos) << errInfo();
    EXPECT_FALSE(std::filesystem::exists(workDir / "out.bin"));
}

TEST_F(ContentCopy, InputEndingEarlyStopsTheWriter) {
    // The input holds 3.5 chunks of the 8 asked for: 1418, the writer is
    // joined with chunks still queued, and the unfinished output is removed.
    putFile(workDir / "in.bin", pattern(3 * kChunk + kChunk / 2, 2));
    EXPECT_EQ(copy(at("in.bin"), 8 * kChunk, at("out.bin")), QELT_ERR_FILE_READ_SIZE);
    EXPECT_FALSE(std::filesystem::exists(workDir / "out.bin"));
}

}  // namespace
}  // namespace qelt::test
