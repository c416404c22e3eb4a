// The ASN.1 engine against the vectors of tests/data/asn1/*.vec.
#include <gtest/gtest.h>

#include <memory>

#include "ASN1/asn1_time.h"
#include "ASN1/asn1_types.h"
#include "vector_file.h"

namespace qelt::test {
namespace {

std::string dataFile(const char* name) { return std::string(QELT_TEST_DATA_DIR) + "/asn1/" + name; }

std::unique_ptr<ASN1Object> makeObject(const std::string& type) {
    if (type == "OBJECT") return std::make_unique<ASN1Object>();
    if (type == "SEQUENCE") return std::make_unique<ASN1Sequence>();
    if (type == "IMPLICIT_SEQUENCE") {
        auto seq = std::make_unique<ASN1Sequence>();
        seq->expectImplicitTag(true);
        return seq;
    }
    if (type == "SET") return std::make_unique<ASN1Set>();
    if (type == "INTEGER") return std::make_unique<ASN1Integer>();
    if (type == "OCTETSTRING") return std::make_unique<ASN1OctetString>();
    if (type == "IA5STRING") return std::make_unique<ASN1IA5String>();
    if (type == "PRINTABLESTRING") return std::make_unique<ASN1PrintableString>();
    if (type == "VISIBLESTRING") return std::make_unique<ASN1VisibleString>();
    if (type == "UTF8STRING") return std::make_unique<ASN1UTF8String>();
    return nullptr;
}

std::string hexOf(const ByteString& b) { return toHexUpper(b.data(), static_cast<size_t>(b.length())); }
std::string hexOf(const std::vector<uint8_t>& v) { return toHexUpper(v.data(), v.size()); }

void expectChain(const VectorCase& c, const ErrorHolder& h) {
    if (c.has("Chain")) EXPECT_NE(std::string(h.errorText()).find(c.get("Chain")), std::string::npos) << h.errorText();
}

TEST(Asn1Vectors, ObjectDecodeAndEncode) {
    const auto cases = readVectorFile(dataFile("object.vec"));
    ASSERT_GT(cases.size(), 30u);
    for (const VectorCase& c : cases) {
        SCOPED_TRACE("object.vec line " + std::to_string(c.line));
        auto obj = makeObject(c.get("Type"));
        ASSERT_TRUE(obj) << c.get("Type");
        if (c.kind == "decode") {
            const std::vector<uint8_t> in = c.hex("In");
            EXPECT_EQ(obj->fromASN1Object(in), c.number("Code")) << obj->errorText();
            expectChain(c, *obj);
            if (c.has("Value")) EXPECT_EQ(hexOf(obj->getValue()), hexOf(c.hex("Value")));
            if (c.has("Mode")) EXPECT_EQ(obj->getTaggedType(), c.number("Mode"));
            if (c.has("TagNo")) EXPECT_EQ(obj->getOptionTagNo(), c.number("TagNo"));
            if (c.has("Components"))
                EXPECT_EQ(static_cast<ASN1Sequence&>(*obj).getComponentCount(), c.number("Components"));
        } else {
            const auto value = c.hex("Value");
            obj->setValue(value.data(), static_cast<int>(value.size()));
            if (c.has("Implicit")) obj->setImplicitTag(c.number("Implicit"));
            if (c.has("Explicit")) obj->setExplicitTag(c.number("Explicit"));
            const ByteString& out = obj->toASN1Object();
            EXPECT_EQ(obj->getStatus(), 0);
            EXPECT_EQ(hexOf(out), hexOf(c.hex("Out")));
            // What is written reads back the same.
            auto again = makeObject(c.get("Type"));
            if (c.has("Implicit")) again->expectImplicitTag(true);
            ASSERT_EQ(again->fromASN1Object(out), 0) << again->errorText();
            EXPECT_EQ(hexOf(again->getValue()), hexOf(value));
        }
    }
}

TEST(Asn1Vectors, TypedValues) {
    const auto cases = readVectorFile(dataFile("types.vec"));
    ASSERT_GT(cases.size(), 40u);
    for (const VectorCase& c : cases) {
        SCOPED_TRACE("types.vec line " + std::to_string(c.line));
        const int code = c.has("Code") ? c.number("Code") : 0;
        if (c.kind == "oid") {
            ASN1ObjectIdentifier oid;
            if (c.has("Text")) {
                EXPECT_EQ(oid.setOID(c.get("Text").c_str()), code);
                expectChain(c, oid);
                if (c.has("Content")) EXPECT_EQ(hexOf(oid.getValue()), hexOf(c.hex("Content")));
            } else {
                const auto content = c.hex("Content");
                oid.setValue(content.data(), static_cast<int>(content.size()));
                const ByteString& text = oid.getOID();
                EXPECT_EQ(oid.getStatus(), code);
                expectChain(c, oid);
                if (code != 0) EXPECT_TRUE(text.isEmpty());
            }
            if (c.has("Back")) EXPECT_STREQ(oid.getOID().c_str(), c.get("Back").c_str());
        } else if (c.kind == "int") {
            ASN1Integer i;
            i.setInteger(c.number("Int"));
            EXPECT_EQ(hexOf(i.getValue()), hexOf(c.hex("Content")));
            EXPECT_EQ(i.getInteger(), c.number("Int"));
        } else if (c.kind == "gtime" || c.kind == "utime") {
            const std::string text = c.get("Text");
            ASN1GeneralizedTime g;
            ASN1UTCTime u;
            const int rc = c.kind == "gtime" ? g.checkGMTTime(text.c_str(), static_cast<int>(text.size()))
                                             : u.checkUTCTime(text.c_str(), static_cast<int>(text.size()));
            EXPECT_EQ(rc, code);
            expectChain(c, c.kind == "gtime" ? static_cast<ErrorHolder&>(g) : u);
            if (c.has("Seconds"))
                EXPECT_EQ(c.kind == "gtime" ? g.getGMTTime() : u.getGMTTime(), std::stol(c.get("Seconds")));
        } else if (c.kind == "string") {
            auto s = makeObject(c.get("Type"));
            s->setValue("previous");
            EXPECT_EQ(s->setValue(c.get("Text").c_str()), code);
            expectChain(c, *s);
            // A refused value leaves the previous one.
            EXPECT_STREQ(s->getValue().c_str(), code == 0 ? c.get("Text").c_str() : "previous");
        }
    }
}

TEST(Asn1Values, BooleanBitStringAndIntegerBytes) {
    ASN1Boolean b;
    b.setValue("\x01", 1);
    EXPECT_FALSE(b.getBoolean());
    b.setValue("\xFF", 1);
    EXPECT_TRUE(b.getBoolean());

    ASN1BitString bits;
    const uint8_t named[] = {0x06, 0x80, 0x00};
    ASSERT_EQ(bits.setBitString(named, 3, 1), 0);
    EXPECT_EQ(hexOf(bits.getValue()), "070680");
    int unused = -1;
    EXPECT_EQ(hexOf(bits.getBitString(unused)), "0680");
    EXPECT_EQ(unused, 7);
    const uint8_t zeros[] = {0, 0};
    EXPECT_EQ(bits.setBitString(zeros, 2, 1), 1);
    EXPECT_EQ(hexOf(bits.getValue()), "070680");
    ASN1BitString empty;
    empty.getBitString(unused);
    EXPECT_EQ(empty.getStatus(), 1);
    EXPECT_NE(std::string(empty.errorText()).find("ASN1BitString Format Error(Length = 0)"), std::string::npos);

    ASN1Integer i;
    const uint8_t magnitude[] = {0x80, 0x01};
    i.setInteger(magnitude, 2, 0);
    EXPECT_EQ(hexOf(i.getValue()), "008001");
    ByteString out;
    EXPECT_EQ(i.getInteger(out, 0), 0);
    EXPECT_EQ(hexOf(out), "8001");
    EXPECT_EQ(i.getInteger(out, 1), 0);
    EXPECT_EQ(hexOf(out), "008001");
    const uint8_t negative[] = {0x01};
    i.setInteger(negative, 1, -1);
    EXPECT_EQ(hexOf(i.getValue()), "FF01");
    EXPECT_EQ(i.getInteger(), -255);
    const uint8_t five[] = {1, 2, 3, 4, 5};
    i.setInteger(five, 5, 1);
    EXPECT_EQ(i.getInteger(), 0);  // too long for an int
}

TEST(Asn1Values, SequenceComponentsAndTimes) {
    const uint8_t der[] = {0x30, 0x0C, 0x02, 0x01, 0x05, 0xA1, 0x03, 0x02, 0x01, 0x07, 0x9F, 0x81, 0x00, 0x00};
    ASN1Sequence seq;
    ASSERT_EQ(seq.fromASN1Object(std::span<const uint8_t>(der)), 0) << seq.errorText();
    ASSERT_EQ(seq.getComponentCount(), 3);
    EXPECT_EQ(seq.getTagInfo(0), -2);
    EXPECT_EQ(seq.getTagInfo(1), 1);
    EXPECT_EQ(seq.getTagInfo(2), 128);
    EXPECT_EQ(seq.getUniversalTag(0), 2);
    EXPECT_EQ(seq.getUniversalTag(1), -2);
    EXPECT_EQ(seq.getUniversalTag(3), -1);
    EXPECT_EQ(seq.getTagInfo(3), -1);
    EXPECT_EQ(hexOf(seq.getComponent(1)), "A103020107");
    seq.getComponent(3);
    EXPECT_EQ(seq.getStatus(), 2);
    EXPECT_NE(std::string(seq.errorText()).find("Component No(3) <= index(3) Error"), std::string::npos);
    EXPECT_EQ(hexOf(seq.toASN1Object()), hexOf(std::vector<uint8_t>(der, der + sizeof der)));
}

TEST(Asn1Values, TimesBeyondThe32BitWindowKeepTheirDates) {
    ASN1GeneralizedTime g;
    ASSERT_EQ(g.setGMTTime(1330473600), 0);
    EXPECT_STREQ(g.getValue().c_str(), "20120229000000Z");
    ASSERT_EQ(g.setGMTTime(-5), 0);
    EXPECT_STREQ(g.getValue().c_str(), "19691231235955Z");
    ASSERT_EQ(g.setGMTTime(2524608000), 0);
    EXPECT_STREQ(g.getValue().c_str(), "20500101000000Z");
    EXPECT_EQ(g.setGMTTime(253402300800), 1);  // year 10000
    EXPECT_NE(std::string(g.errorText()).find("0000 to 9999"), std::string::npos);
    EXPECT_STREQ(g.getValue().c_str(), "20500101000000Z");  // a refused time leaves the value

    // UTCTime writes 1950 to 2049 only.
    ASN1UTCTime u;
    ASSERT_EQ(u.setGMTTime(2145916799), 0);
    EXPECT_STREQ(u.getValue().c_str(), "371231235959Z");
    ASSERT_EQ(u.setGMTTime(2524607999), 0);
    EXPECT_STREQ(u.getValue().c_str(), "491231235959Z");
    ASSERT_EQ(u.setGMTTime(-631152000), 0);
    EXPECT_STREQ(u.getValue().c_str(), "500101000000Z");
    EXPECT_EQ(u.setGMTTime(2524608000), 1);
    EXPECT_EQ(u.setGMTTime(-631152001), 1);
    EXPECT_STREQ(u.getValue().c_str(), "500101000000Z");

    // Received values decode to the instant they name.
    const char late[] =
        "\x18\x0F"
        "20500101000000Z";
    ASN1GeneralizedTime lateTime;
    ASSERT_EQ(lateTime.fromASN1Object(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(late), 17)), 0);
    EXPECT_EQ(lateTime.getGMTTime(), 2524608000);
    const char early[] =
        "\x17\x0D"
        "500101000000Z";
    ASN1UTCTime earlyTime;
    ASSERT_EQ(earlyTime.fromASN1Object(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(early), 15)), 0);
    EXPECT_EQ(earlyTime.getGMTTime(), -631152000);

    // A UTCTime text that does not check still decodes, without a time; a
    // GeneralizedTime one fails the decode.
    const char badUtc[] =
        "\x17\x0D"
        "491332235959Z";
    ASN1UTCTime noTime;
    ASSERT_EQ(noTime.fromASN1Object(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(badUtc), 15)), 0);
    EXPECT_FALSE(noTime.hasTime());
    const char badGeneral[] =
        "\x18\x0F"
        "20501332000000Z";
    ASN1GeneralizedTime refused;
    EXPECT_EQ(refused.fromASN1Object(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(badGeneral), 17)), 3);
}

TEST(Asn1Values, DeepNestingIsBounded) {
    // 10000 nested indefinite-length SEQUENCEs: refused, not a stack overflow.
    std::vector<uint8_t> der;
    for (int i = 0; i < 10000; ++i) der.insert(der.end(), {0x30, 0x80});
    for (int i = 0; i < 10000; ++i) der.insert(der.end(), {0x00, 0x00});
    ASN1Sequence seq;
    EXPECT_NE(seq.fromASN1Object(der), 0);
    EXPECT_NE(std::string(seq.errorText()).find("Too deep nesting"), std::string::npos) << seq.errorText();
    // Within the limit the same shape decodes.
    std::vector<uint8_t> shallow;
    for (int i = 0; i < 20; ++i) shallow.insert(shallow.end(), {0x30, 0x80});
    for (int i = 0; i < 20; ++i) shallow.insert(shallow.end(), {0x00, 0x00});
    EXPECT_EQ(seq.fromASN1Object(shallow), 0) << seq.errorText();
    EXPECT_EQ(seq.getComponentCount(), 1);
}

}  // namespace
}  // namespace qelt::test
