// CMS key wrap: our 3DES wrap against OpenSSL's (both directions), the RC2
// wrap round trip, and the refusals of damaged or mis-sized input.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <memory>
#include <string>
#include <vector>

#include "ASN1Pkix/PKEKAlgorithm.h"
#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/engine/zcap_random.h"

namespace qelt {
namespace {

using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;

ByteString randomBytes(int n) {
    std::vector<uint8_t> v(static_cast<size_t>(n));
    EXPECT_EQ(zcapRandomBytes(v.data(), v.size()), 0);
    return ByteString(v.data(), n);
}

ByteString withParity(ByteString key) {
    for (int i = 0; i < key.length(); ++i) {
        uint8_t b = key.data()[i] & 0xFE;
        key.data()[i] = static_cast<uint8_t>(b | ((__builtin_popcount(b) & 1) ? 0 : 1));
    }
    return key;
}

// OpenSSL's implementation of the same 3DES key wrap.
std::vector<uint8_t> opensslWrap(bool wrap, const ByteString& kek, const uint8_t* in, int inLen) {
    CipherCtx ctx(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
    EVP_CIPHER_CTX_set_flags(ctx.get(), EVP_CIPHER_CTX_FLAG_WRAP_ALLOW);
    if (EVP_CipherInit_ex(ctx.get(), EVP_des_ede3_wrap(), nullptr, kek.data(), nullptr, wrap ? 1 : 0) != 1) return {};
    std::vector<uint8_t> out(static_cast<size_t>(inLen) + 32);
    int len = 0, fin = 0;
    if (EVP_CipherUpdate(ctx.get(), out.data(), &len, in, inLen) != 1 || len <= 0) return {};
    if (EVP_CipherFinal_ex(ctx.get(), out.data() + len, &fin) != 1) return {};
    out.resize(static_cast<size_t>(len + fin));
    return out;
}

TEST(PKEKAlgorithm, TripleDesWrapInteroperatesWithOpenSSL) {
    for (int round = 0; round < 20; ++round) {
        const ByteString kek = randomBytes(24);
        const ByteString cek = withParity(randomBytes(24));
        PKEKAlgorithm ours;

        ByteString wrapped;
        ASSERT_EQ(ours.wrapTripleDESKey(cek, kek, wrapped), 0) << ours.errorText();
        ASSERT_EQ(wrapped.length(), 40);
        const auto theirs = opensslWrap(false, kek, wrapped.data(), wrapped.length());
        ASSERT_EQ(theirs.size(), 24u);
        EXPECT_EQ(ByteString(theirs.data(), 24), cek);

        const auto theirWrap = opensslWrap(true, kek, cek.data(), cek.length());
        ASSERT_EQ(theirWrap.size(), 40u);
        ByteString unwrapped;
        ASSERT_EQ(ours.unwrapTripleDESKey(ByteString(theirWrap.data(), 40), kek, unwrapped), 0) << ours.errorText();
        EXPECT_EQ(unwrapped, cek);
    }
}

TEST(PKEKAlgorithm, TripleDesWrapSetsParityAndRefusesDamage) {
    const ByteString kek = randomBytes(24);
    ByteString cek = randomBytes(24);
    cek.data()[0] = 0x00;  // even parity: the wrap must correct it
    PKEKAlgorithm pkek;
    ByteString wrapped, unwrapped;
    ASSERT_EQ(pkek.wrapTripleDESKey(cek, kek, wrapped), 0);
    ASSERT_EQ(pkek.unwrapTripleDESKey(wrapped, kek, unwrapped), 0);
    EXPECT_EQ(unwrapped, withParity(cek));
    EXPECT_EQ(unwrapped.data()[0], 0x01);

    EXPECT_NE(pkek.wrapTripleDESKey(ByteString(cek.data(), 16), kek, wrapped), 0);
    EXPECT_NE(std::string(pkek.errorText()).find("bsTBEKey is not 24."), std::string::npos);

    EXPECT_NE(pkek.unwrapTripleDESKey(ByteString(wrapped.data(), 32), kek, unwrapped), 0);
    EXPECT_NE(std::string(pkek.errorText()).find("Encrypted Key length is not 40."), std::string::npos);

    for (int i = 0; i < 40; i += 7) {
        ByteString damaged(wrapped);
        damaged.data()[i] ^= 0x40;
        EXPECT_NE(pkek.unwrapTripleDESKey(damaged, kek, unwrapped), 0) << "byte " << i;
        EXPECT_NE(std::string(pkek.errorText()).find("Checksum is different."), std::string::npos);
    }
    EXPECT_NE(pkek.unwrapTripleDESKey(wrapped, randomBytes(24), unwrapped), 0);

    // OpenSSL wraps whatever it is given; a key without parity is refused on unwrap.
    const ByteString noParity = randomBytes(24);
    if (withParity(noParity) != noParity) {
        const auto theirWrap = opensslWrap(true, kek, noParity.data(), noParity.length());
        ASSERT_EQ(theirWrap.size(), 40u);
        EXPECT_EQ(pkek.unwrapTripleDESKey(ByteString(theirWrap.data(), 40), kek, unwrapped), 6);
        EXPECT_NE(std::string(pkek.errorText()).find("Odd parity is incorrect."), std::string::npos);
    }
}

TEST(PKEKAlgorithm, Rc2WrapRoundTripsEveryPadLength) {
    const ByteString kek = randomBytes(16);
    PKEKAlgorithm pkek;
    for (int keyLen : {1, 5, 7, 8, 13, 16, 24, 32, 255}) {
        const ByteString cek = randomBytes(keyLen);
        ByteString wrapped, unwrapped;
        ASSERT_EQ(pkek.wrapKey(ALG_RC2_40, cek, kek, wrapped), 0) << pkek.errorText();
        // IV + LENGTH || CEK padded to blocks + checksum.
        EXPECT_EQ(wrapped.length(), 8 + (keyLen + 1 + 7) / 8 * 8 + 8);
        ASSERT_EQ(pkek.unwrapKey(ALG_RC2_40, wrapped, kek, unwrapped), 0) << pkek.errorText();
        EXPECT_EQ(unwrapped, cek);
        ByteString damaged(wrapped);
        damaged.data()[damaged.length() - 1] ^= 1;
        EXPECT_NE(pkek.unwrapKey(ALG_RC2_40, damaged, kek, unwrapped), 0);
    }
    ByteString unwrapped;
    EXPECT_NE(pkek.unwrapRC2Key(randomBytes(30), kek, unwrapped), 0);
    EXPECT_NE(std::string(pkek.errorText()).find("Wrapped content-encryption key is not multiple of 8 octets."),
              std::string::npos);
}

TEST(PKEKAlgorithm, OtherAlgorithmsAreRefused) {
    PKEKAlgorithm pkek;
    ByteString wrapped;
    EXPECT_NE(pkek.wrapKey(ALG_SEED, randomBytes(16), randomBytes(16), wrapped), 0);
    EXPECT_NE(std::string(pkek.errorText()).find("The algorithm(17) does not supported."), std::string::npos);
}

}  // namespace
}  // namespace qelt
