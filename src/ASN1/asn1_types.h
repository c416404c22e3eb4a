// The universal ASN.1 types: each fixes its tag, checks it when decoding and
// offers typed setters and getters over the content octets.
#pragma once

#include <cstdint>

#include "ASN1/asn1_object.h"
#include "ASN1/asn1_sequence.h"

namespace qelt {

class ASN1Boolean : public ASN1Object {
public:
    ASN1Boolean() : ASN1Object(asn1::kTagBoolean) {}
    explicit ASN1Boolean(Asn1Input in) : ASN1Boolean() { m_nErrorCode = fromASN1Object(in); }
    [[nodiscard]] int fromASN1Object(Asn1Input in) override;
    void setBoolean(int value);
    // True only for a first content octet of 0xFF.
    bool getBoolean() const;
};

class ASN1Integer : public ASN1Object {
public:
    ASN1Integer() : ASN1Object(asn1::kTagInteger) {}
    explicit ASN1Integer(Asn1Input in) : ASN1Integer() { m_nErrorCode = fromASN1Object(in); }
    [[nodiscard]] int fromASN1Object(Asn1Input in) override;
    // Minimal big-endian two's complement.
    void setInteger(int value);
    // Sign flag 0: a non-negative magnitude; -1: a negative two's complement
    // value; anything else: the bytes as they are.
    void setInteger(const uint8_t* bytes, int len, int signFlag);
    // The content as an int; 0 when empty or five octets and longer.
    int getInteger() const;
    // Copies the content into `out` (without a redundant leading 00/FF octet
    // unless `raw`) and returns the sign: -1 negative, 0 otherwise.
    int getInteger(ByteString& out, int raw) const;

protected:
    explicit ASN1Integer(uint8_t tag) : ASN1Object(tag) {}
};

class ASN1Enumerated : public ASN1Integer {
public:
    ASN1Enumerated() : ASN1Integer(asn1::kTagEnumerated) {}
    explicit ASN1Enumerated(Asn1Input in) : ASN1Enumerated() { m_nErrorCode = fromASN1Object(in); }
    [[nodiscard]] int fromASN1Object(Asn1Input in) override;
};

class ASN1BitString : public ASN1Object {
public:
    ASN1BitString() : ASN1Object(asn1::kTagBitString) {}
    explicit ASN1BitString(Asn1Input in) : ASN1BitString() { m_nErrorCode = fromASN1Object(in); }
    [[nodiscard]] int fromASN1Object(Asn1Input in) override;
    // With `namedBits` 1, trailing zero octets are dropped and the unused-bit
    // count is the number of zero bits below the lowest set bit.
    int setBitString(const uint8_t* bytes, int len, int namedBits);
    // The bits after the unused-bits octet (in m_bsEncoded).
    const ByteString& getBitString(int& unusedBits);
};

class ASN1OctetString : public ASN1Object {
public:
    ASN1OctetString() : ASN1Object(asn1::kTagOctetString) {}
    explicit ASN1OctetString(Asn1Input in) : ASN1OctetString() { m_nErrorCode = fromASN1Object(in); }
    [[nodiscard]] int fromASN1Object(Asn1Input in) override;

private:
    int extractValue();
};

class ASN1Null : public ASN1Object {
public:
    ASN1Null() : ASN1Object(asn1::kTagNull) {}
    explicit ASN1Null(Asn1Input in) : ASN1Null() { m_nErrorCode = fromASN1Object(in); }
    [[nodiscard]] int fromASN1Object(Asn1Input in) override;
};

// Object identifiers travel through the system as decimal arcs separated by
// single blanks: "1 2 840 113549 1 7 2".
class ASN1ObjectIdentifier : public ASN1Object {
public:
    ASN1ObjectIdentifier() : ASN1Object(asn1::kTagOid) {}
    explicit ASN1ObjectIdentifier(Asn1Input in) : ASN1ObjectIdentifier() { m_nErrorCode = fromASN1Object(in); }
    // From the text form ("1 2 840 113549"; dots or other punctuation between
    // the digit runs read the same).
    explicit ASN1ObjectIdentifier(const char* text);
    [[nodiscard]] int fromASN1Object(Asn1Input in) override;
    int setOID(const char* text, int len);
    int setOID(const char* text);
    // The text form in m_bsEncoded; status in getStatus().
    const ByteString& getOID(char separator = ' ');
    // True when the content encodes the identifier written as `text`.
    bool is(const char* text) const;
};

// Character strings. The setters of the restricted alphabets refuse
// characters outside them; the others take any bytes.
class ASN1String : public ASN1Object {
public:
    struct Kind {
        uint8_t tag;
        const char* cls;
        const char* tagMessage;
        bool (*allowed)(uint8_t);  // null: any byte
        const char* charMessage;
    };
    [[nodiscard]] int fromASN1Object(Asn1Input in) override;
    int setValue(const ByteString& value) override;
    int setValue(const void* data, int len) override;
    int setValue(const char* text) override;

protected:
    explicit ASN1String(const Kind& kind) : ASN1Object(kind.tag), m_pKind(&kind) {}

private:
    const Kind* m_pKind;
};

#define QELT_ASN1_STRING(Name, KindConst)                                           \
    class Name : public ASN1String {                                                \
    public:                                                                         \
        static const Kind KindConst;                                                \
        Name() : ASN1String(KindConst) {}                                           \
        explicit Name(Asn1Input in) : Name() { m_nErrorCode = fromASN1Object(in); } \
    };
QELT_ASN1_STRING(ASN1UTF8String, kKind)
QELT_ASN1_STRING(ASN1PrintableString, kKind)
QELT_ASN1_STRING(ASN1T61String, kKind)
QELT_ASN1_STRING(ASN1IA5String, kKind)
QELT_ASN1_STRING(ASN1VisibleString, kKind)
QELT_ASN1_STRING(ASN1BMPString, kKind)
// Digits and blank only; carried by O/R addresses.
QELT_ASN1_STRING(ASN1NumericString, kKind)
#undef QELT_ASN1_STRING

// An open type (ANY, ANY DEFINED BY): keeps the element's encoding exactly as
// received and writes it back unchanged; the processing class that knows the
// type decodes it. Decoding only checks that one whole element is there.
class ASN1Any : public Asn1Codec {
public:
    ASN1Any() = default;
    explicit ASN1Any(Asn1Input in) { m_nErrorCode = fromASN1Object(in); }
    [[nodiscard]] int fromASN1Object(Asn1Input in) override;
    const ByteString& encodeComponent() override { return m_bsEncoded; }
    const ByteString& toASN1Object() { return m_bsEncoded; }
    void reset() override;
    void setTagging(uint8_t, int, uint8_t) override {}
    uint8_t getTaggedType() const override { return 0; }
    // Sets the encoding from another value.
    void set(const ByteString& encoding) { m_bsEncoded.assign(encoding); }
    const ByteString& getEncoding() const { return m_bsEncoded; }
    bool isEmpty() const { return m_bsEncoded.isEmpty(); }

private:
    ByteString m_bsEncoded;
};

}  // namespace qelt
