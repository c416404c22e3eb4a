// Large outputs written in place into the caller's output record: a record
// reused for a message of the same or smaller size, a record that is also the
// input, and abandoned writes.
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "api/api_call.h"
#include "pkey_test_keys.h"

namespace qelt::test {
namespace {

class BinstrOutputTest : public ApiTest {
protected:
    static const TestKey& signer() {
        static const TestKey k =
            opensslKey("binstr-out-" + std::to_string(getpid()), "-algorithm RSA -pkeyopt rsa_keygen_bits:1024");
        return k;
    }
    // The content of a SignedData, verified.
    std::string contentOf(const Bytes& sd) {
        OwnedBinstr in(sd), data;
        int count = 0;
        EXPECT_EQ(QELT_CMS_ProcessSignedData2(ctx, &in, &data, &count), 0) << errInfo();
        return data.str();
    }
};

TEST_F(BinstrOutputTest, SignedDataReusesTheOutputRecordOnlyWhenItMay) {
    OwnedBinstr cert(signer().cert), key(signer().pkcs8), out;
    const std::string big(5000, 'b'), small = "small content";
    OwnedBinstr bigIn(big), smallIn(small);
    ASSERT_EQ(QELT_CMS_MakeSignedData(ctx, &cert, &key, &bigIn, nullptr, &out), 0) << errInfo();
    const unsigned char* first = out.b.pVal;
    const int bigLen = out.b.nLen;
    // A shorter message goes into the same memory; what is left of the old one is wiped.
    ASSERT_EQ(QELT_CMS_MakeSignedData(ctx, &cert, &key, &smallIn, nullptr, &out), 0) << errInfo();
    EXPECT_EQ(out.b.pVal, first);
    ASSERT_LT(out.b.nLen, bigLen);
    EXPECT_EQ(Bytes(out.b.pVal + out.b.nLen, out.b.pVal + bigLen + 1), Bytes(bigLen - out.b.nLen + 1, 0));
    EXPECT_EQ(contentOf(out.vec()), small);
    // A longer one needs new memory.
    ASSERT_EQ(QELT_CMS_MakeSignedData(ctx, &cert, &key, &bigIn, nullptr, &out), 0) << errInfo();
    EXPECT_EQ(contentOf(out.vec()), big);
    EXPECT_EQ(out.b.pVal[out.b.nLen], 0);
    // The record that holds the content is also the output: the content is read before it is replaced.
    OwnedBinstr same(big);
    ASSERT_EQ(QELT_CMS_MakeSignedData(ctx, &cert, &key, &same, nullptr, &same), 0) << errInfo();
    EXPECT_EQ(contentOf(same.vec()), big);
    // A failing call leaves the record as it was.
    const Bytes before = out.vec();
    OwnedBinstr notKey(std::string(40, '0'));
    EXPECT_NE(QELT_CMS_MakeSignedData(ctx, &cert, &notKey, &smallIn, nullptr, &out), 0);
    EXPECT_EQ(out.vec(), before);
}

TEST(BinstrOutput, AbandonedWritesLeaveNoHalfValue) {
    OwnedBinstr out(std::string(100, 'x')), other(std::string(10, 'y'));
    {  // in place, abandoned: the old value is gone, the record empty
        BinstrOutput o(&out, {&other});
        unsigned char* p = o.allocate(50);
        ASSERT_EQ(p, out.b.pVal);
        p[0] = 'z';
    }
    EXPECT_EQ(out.b.pVal, nullptr);
    EXPECT_EQ(out.b.nLen, 0);
    {  // new memory, abandoned: the record keeps its value
        BinstrOutput o(&other, {});
        ASSERT_NE(o.allocate(50), nullptr);
    }
    EXPECT_EQ(other.str(), std::string(10, 'y'));
    {  // an input overlapping the record's memory forces new memory
        BinstrOutput o(&other, {&other});
        unsigned char* p = o.allocate(5);
        ASSERT_NE(p, other.b.pVal);
        std::memcpy(p, "abcde", 5);
        o.commit();
    }
    EXPECT_EQ(other.str(), "abcde");
    EXPECT_EQ(other.b.pVal[5], 0);
}

// A value committed shorter than the room asked for (a decryption that
// removed its padding): the record holds exactly the bytes used.
TEST(BinstrOutput, CommitsFewerBytesThanAskedFor) {
    OwnedBinstr fresh, reused(std::string(64, 'r'));
    for (OwnedBinstr* rec : {std::addressof(fresh), std::addressof(reused)}) {
        BinstrOutput o(&*rec, {});
        unsigned char* p = o.allocate(40);
        ASSERT_NE(p, nullptr);
        std::memset(p, 's', 40);
        o.commit(25);
        EXPECT_EQ(rec->str(), std::string(25, 's'));
        EXPECT_EQ(rec->b.pVal[25], 0);
    }
    // Large values (past the huge-page hint) are ordinary values too.
    OwnedBinstr large;
    {
        BinstrOutput o(&large, {});
        unsigned char* p = o.allocate(size_t{5} << 20);
        ASSERT_NE(p, nullptr);
        std::memset(p, 'L', size_t{5} << 20);
        o.commit((size_t{5} << 20) - 3);
    }
    EXPECT_EQ(large.b.nLen, (5 << 20) - 3);
    EXPECT_EQ(large.b.pVal[large.b.nLen - 1], 'L');
    EXPECT_EQ(large.b.pVal[large.b.nLen], 0);
}

// The content handed back by processing is copied while it is hashed (from
// 4 MiB on by a helper thread beside the digest): it is exactly the signed
// content with two signers,
// and a content that does not match its digest leaves the record empty.
TEST_F(BinstrOutputTest, ProcessedContentIsCopiedWhileHashed) {
    std::string content((size_t{5} << 20) + 7, '\0');
    for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 2654435761u >> 13);
    OwnedBinstr cert(signer().cert), key(signer().pkcs8), tbs(content), one, two;
    ASSERT_EQ(QELT_CMS_MakeSignedData(ctx, &cert, &key, &tbs, nullptr, &one), 0) << errInfo();
    EXPECT_EQ(contentOf(one.vec()), content);
    ASSERT_EQ(QELT_CMS_MakeSignedDataWithAddSigner(ctx, &cert, &key, &one, nullptr, &two), 0) << errInfo();
    OwnedBinstr msg(two.vec()), data, signerCert;
    ASSERT_EQ(QELT_CMS_ProcessSignedData(ctx, &msg, &data, &signerCert, nullptr), 0) << errInfo();
    EXPECT_EQ(data.str(), content);
    EXPECT_EQ(signerCert.vec(), signer().cert);

    Bytes tampered = one.vec();
    const Bytes piece(content.begin() + 70000, content.begin() + 70016);
    const auto at = std::search(tampered.begin(), tampered.end(), piece.begin(), piece.end());
    ASSERT_NE(at, tampered.end());
    *at ^= 0x20;
    OwnedBinstr bad(tampered), nothing;
    int count = 0;
    EXPECT_EQ(QELT_CMS_ProcessSignedData2(ctx, &bad, &nothing, &count), QELT_ERR_SIGNED_INVALID);
    EXPECT_EQ(nothing.b.pVal, nullptr);
    EXPECT_EQ(nothing.b.nLen, 0);
}

}  // namespace
}  // namespace qelt::test
