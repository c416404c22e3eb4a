// SEED-CBC encryption has two implementations: assembly rounds for x86-64
// CPUs with BMI1 and the C++ rounds every other CPU runs. Both must give the
// same ciphertext and chaining value for any key, IV and length, in place or
// not, and both must decrypt back through the block decryption.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "ZRCrypto/engine/block_ciphers.h"
#include "crypto_test_util.h"

namespace qelt::test {
namespace {

TEST(SeedCbc, DispatchedRoundsMatchPortableRounds) {
    std::mt19937 rng(4269);
    for (size_t blocks : {size_t{0}, size_t{1}, size_t{2}, size_t{3}, size_t{17}, size_t{256}}) {
        for (int trial = 0; trial < 8; ++trial) {
            const Bytes key = randomBytes(rng, Seed::kKeySize), iv = randomBytes(rng, 16),
                        plain = randomBytes(rng, 16 * blocks);
            Seed seed;
            seed.setKey(key.data());

            Bytes fast(plain.size()), portable(plain.size());
            uint8_t ivFast[16], ivPortable[16];
            std::memcpy(ivFast, iv.data(), 16);
            std::memcpy(ivPortable, iv.data(), 16);
            seed.cbcEncrypt(plain.data(), fast.data(), blocks, ivFast);
            seed.cbcEncryptPortable(plain.data(), portable.data(), blocks, ivPortable);
            ASSERT_EQ(fast, portable) << blocks << " blocks, trial " << trial;
            ASSERT_EQ(0, std::memcmp(ivFast, ivPortable, 16));
            if (blocks != 0) ASSERT_EQ(0, std::memcmp(ivFast, fast.data() + fast.size() - 16, 16));

            // In place gives the same bytes.
            Bytes inPlace = plain;
            std::memcpy(ivFast, iv.data(), 16);
            seed.cbcEncrypt(inPlace.data(), inPlace.data(), blocks, ivFast);
            ASSERT_EQ(inPlace, fast);

            // Undo the chaining by hand with the block decryption.
            for (size_t b = 0; b < blocks; ++b) {
                uint8_t block[16];
                seed.decryptBlock(fast.data() + 16 * b, block);
                const uint8_t* prev = b == 0 ? iv.data() : fast.data() + 16 * (b - 1);
                for (int i = 0; i < 16; ++i) block[i] ^= prev[i];
                ASSERT_EQ(0, std::memcmp(block, plain.data() + 16 * b, 16)) << "block " << b;
            }
        }
    }
}

// A message in two calls continues from the chaining value the first left.
TEST(SeedCbc, SplitCallsContinueTheChain) {
    std::mt19937 rng(5794);
    const Bytes key = randomBytes(rng, 16), iv = randomBytes(rng, 16), plain = randomBytes(rng, 16 * 9);
    Seed seed;
    seed.setKey(key.data());
    Bytes whole(plain.size()), pieces(plain.size());
    uint8_t v[16];
    std::memcpy(v, iv.data(), 16);
    seed.cbcEncrypt(plain.data(), whole.data(), 9, v);
    std::memcpy(v, iv.data(), 16);
    seed.cbcEncrypt(plain.data(), pieces.data(), 4, v);
    seed.cbcEncrypt(plain.data() + 64, pieces.data() + 64, 5, v);
    EXPECT_EQ(whole, pieces);
}

}  // namespace
}  // namespace qelt::test
