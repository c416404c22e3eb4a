#include <gtest/gtest.h>

#include <cstring>

#include "util/byte_string.h"

using qelt::ByteString;

TEST(ByteString, GrowthIsExactAndSetReusesTheBuffer) {
    ByteString b;
    ASSERT_EQ(b.set("0123456789", 10), 0);
    EXPECT_EQ(b.capacity(), 10);
    ASSERT_EQ(b.set("abcd", 4), 0);
    EXPECT_EQ(b.capacity(), 10);
    EXPECT_EQ(b.length(), 4);
    EXPECT_EQ(b.data()[4], 0);

    ByteString c("ab");
    EXPECT_EQ(c.capacity(), 2);
    c.append("xyz");
    EXPECT_EQ(c.length(), 5);
    EXPECT_EQ(c.capacity(), 5);
    EXPECT_STREQ(c.c_str(), "abxyz");
    c.append(c);  // appending to itself doubles the content
    EXPECT_STREQ(c.c_str(), "abxyzabxyz");
    c.clear();
    EXPECT_EQ(c.capacity(), 10);
    EXPECT_STREQ(c.c_str(), "");
}

TEST(ByteString, SetFromItsOwnContent) {
    ByteString b("hello world");
    b.set(b.data() + 6, 5);
    EXPECT_STREQ(b.c_str(), "world");
}

TEST(ByteString, EqualityRules) {
    ByteString a, b;
    EXPECT_TRUE(a.equals(b));
    EXPECT_TRUE(a.equals(static_cast<const char*>(nullptr)));
    ByteString cleared("x");
    cleared.clear();
    EXPECT_FALSE(cleared.equals(static_cast<const char*>(nullptr)));  // it still has a buffer
    EXPECT_TRUE(cleared.equals(""));
    EXPECT_TRUE(ByteString("abc").equals("abc"));
    EXPECT_FALSE(ByteString("abc").equals("abd"));
    EXPECT_FALSE(ByteString("abc").equals(ByteString("ab")));
}

TEST(ByteString, HexConversions) {
    ByteString hex("0A1b");
    EXPECT_EQ(hex.fromHex().toHex().view(), "0a1b");
    ByteString odd("0A1");
    auto oddBytes = odd.fromHex();
    ASSERT_EQ(oddBytes.length(), 1);
    EXPECT_EQ(oddBytes.data()[0], 0x0A);
    ByteString bad("G1");
    EXPECT_EQ(bad.fromHex().data()[0], 0x01);
    ByteString shortText("A");
    EXPECT_TRUE(shortText.fromHex().isEmpty());
    EXPECT_EQ(shortText.status(), ByteString::kBadHex);
    const uint8_t dead[] = {0xDE, 0xAD};
    EXPECT_EQ(ByteString(dead, 2).toHex().view(), "dead");
    EXPECT_TRUE(ByteString().toHex().isEmpty());
}

TEST(ByteString, FindAndSubstring) {
    ByteString s("hello");
    EXPECT_EQ(s.find("lo"), 3);
    EXPECT_EQ(s.find(""), -1);
    EXPECT_EQ(s.find("hello!"), -1);
    EXPECT_EQ(s.substring(3, 2).view(), "lo");
    EXPECT_EQ(s.status(), 0);
    EXPECT_TRUE(s.substring(4, 2).isEmpty());
    EXPECT_EQ(s.status(), ByteString::kRange);
    EXPECT_TRUE(s.substring(-1, 1).isEmpty());
}

TEST(ByteString, WriteAtAndByteAccess) {
    ByteString s;
    EXPECT_EQ(s.writeAt(0, "x", 1), ByteString::kNoMemory);  // no buffer yet
    ASSERT_EQ(s.allocZero(4), 0);
    EXPECT_EQ(s.writeAt(2, "ab", 2), 0);
    EXPECT_EQ(s.length(), 4);
    EXPECT_EQ(s.data()[0], 0);
    EXPECT_EQ(s.writeAt(3, "ab", 2), ByteString::kRange);
    EXPECT_EQ(s.writeAt(-1, "a", 1), ByteString::kRange);
    uint8_t b = 0;
    EXPECT_EQ(s.byteAt(3, &b), 0);
    EXPECT_EQ(b, 'b');
    EXPECT_EQ(s.byteAt(4, &b), ByteString::kRange);
    EXPECT_EQ(s.setByteAt(-1, 1), ByteString::kRange);
}

TEST(ByteString, FormatLimit) {
    ByteString s("keep");
    std::string big(5000, 'x');
    EXPECT_EQ(s.format("%s", big.c_str()), ByteString::kTooLong);
    EXPECT_STREQ(s.c_str(), "keep");
    EXPECT_EQ(s.format("%s", std::string(4095, 'y').c_str()), 0);
    EXPECT_EQ(s.length(), 4095);
    EXPECT_EQ(s.format("%s", std::string(4096, 'y').c_str()), ByteString::kTooLong);
}

TEST(ByteString, MovesAndCopiesAreIndependent) {
    ByteString a("secret");
    ByteString b(a);
    b.setByteAt(0, 'S');
    EXPECT_STREQ(a.c_str(), "secret");
    ByteString c(std::move(b));
    EXPECT_STREQ(c.c_str(), "Secret");
    EXPECT_TRUE(b.isEmpty());  // NOLINT: a moved-from byte string is empty
    a = c;
    EXPECT_STREQ(a.c_str(), "Secret");
}
