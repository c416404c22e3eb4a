// ASN1Object: one ASN.1 element (tag, tagging mode, content octets).
//
// Decoding accepts BER (definite or indefinite lengths, low or high tag
// numbers, implicit or explicit context tags); encoding writes definite,
// minimal lengths. Every failure returns the number of the step that failed
// and writes a location record into the error chain.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

#include "ASN1/asn1_cursor.h"
#include "util/byte_string.h"
#include "util/error_holder.h"

namespace qelt {

// The bytes a decoder reads: a byte string, a span or a vector, without copying.
class Asn1Input {
public:
    Asn1Input(const ByteString& b) : m_bytes(b.bytes()) {}
    Asn1Input(std::span<const uint8_t> s) : m_bytes(s) {}
    Asn1Input(const std::vector<uint8_t>& v) : m_bytes(v) {}
    std::span<const uint8_t> bytes() const { return m_bytes; }

private:
    std::span<const uint8_t> m_bytes;
};

// What the record mechanism needs of any component: decode it, encode it,
// give it a tag, empty it. ASN.1 values and records both implement it.
class Asn1Codec : public ErrorHolder {
public:
    [[nodiscard]] virtual int fromASN1Object(Asn1Input in) = 0;
    // The component's encoding with its own tagging applied.
    virtual const ByteString& encodeComponent() = 0;
    // Puts the codec back to the state of a new object.
    virtual void reset() = 0;
    virtual void setTagging(uint8_t taggedType, int optionTagNo, uint8_t cls) = 0;
    virtual uint8_t getTaggedType() const = 0;
    // A constructed context tag reads as explicit unless the reader knows the
    // component is declared IMPLICIT (a SEQUENCE, SET or BER-segmented string
    // under [n] IMPLICIT looks exactly like an explicit tag). The record
    // mechanism sets this before decoding such a component.
    void expectImplicitTag(bool on) { m_bExpectImplicit = on; }

protected:
    bool m_bExpectImplicit = false;
};

class ASN1Object : public Asn1Codec {
public:
    ASN1Object() = default;
    explicit ASN1Object(Asn1Input in) { m_nErrorCode = ASN1Object::fromASN1Object(in); }

    virtual const ByteString& toASN1Object();
    [[nodiscard]] int fromASN1Object(Asn1Input in) override;
    virtual int setValue(const ByteString& value);
    virtual int setValue(const void* data, int len);
    virtual int setValue(const char* text);
    virtual const ByteString& getValue() const { return m_bsValue; }

    const ByteString& encodeComponent() override { return toASN1Object(); }
    void reset() override;
    void setTagging(uint8_t taggedType, int optionTagNo, uint8_t cls) override;

    void setImplicitTag(int tagNo, uint8_t cls = 0x80);
    void setExplicitTag(int tagNo, uint8_t cls = 0x80);
    uint8_t getTaggedType() const override { return m_ucTaggedType; }
    int getOptionTagNo() const { return m_nOptionTagNo; }
    uint8_t getPrimitiveTag() const { return m_ucPrimitiveTag; }
    void setPrimitiveTag(uint8_t tag) { m_ucPrimitiveTag = tag; }
    uint8_t getClass() const { return static_cast<uint8_t>(m_ucClass & 0xC0); }
    uint8_t getRawClass() const { return m_ucClass; }
    uint8_t isConstructed() const { return m_ucConstructed; }
    int getStatus() const { return m_nErrorCode; }
    const ByteString& getErrorChain() const { return m_ErrorChain; }

protected:
    explicit ASN1Object(uint8_t primitiveTag) : m_ucPrimitiveTag(primitiveTag) {}
    // The base decode followed by the tag check shared by every typed value:
    // code 1 when the base decode fails, 2 when the tag is not `tag`.
    int decodeTyped(Asn1Input in, uint8_t tag, const char* cls, const char* tagMessage);
    // The check-member step: classifies an identifier octet, recording a refusal.
    bool checkASN1Member(uint8_t octet, asn1::Identifier& id);
    // Reads a high tag number at in[0]; identifier octets consumed, 0 on error.
    size_t getHighTag(std::span<const uint8_t> in, int& tagNo);

    uint8_t m_ucPrimitiveTag = asn1::kTagUnset;
    uint8_t m_ucTaggedType = asn1::kUniversal;
    int m_nOptionTagNo = -1;
    uint8_t m_ucClass = 0;
    ByteString m_bsValue;
    ByteString m_bsEncoded;
    uint8_t m_ucConstructed = 0;

private:
    // Reads the length at in[pos] and bounds the content; `codes` are the step
    // numbers of: bad long form, definite overrun, indefinite search failure,
    // indefinite overrun, short overrun, missing length.
    struct LengthCodes {
        int longForm, longOverrun, endSearch, endOverrun, shortOverrun, missing;
    };
    int readContent(std::span<const uint8_t> in, size_t pos, const LengthCodes& codes,
                    std::span<const uint8_t>& content);
    void clearDecodedState();
    uint8_t m_ucInitialTag = m_ucPrimitiveTag;
    friend class ASN1Sequence;
};

// Appends the length octets of `len` (minimal definite form).
void appendLengthOctets(ByteString& out, size_t len);
size_t lengthOctetCount(size_t len);
// The most length octets a size_t length takes.
constexpr size_t kMaxLengthOctets = 1 + sizeof(size_t);
// Writes the length octets of `len` into `out` (room for kMaxLengthOctets);
// returns how many.
size_t writeLengthOctets(uint8_t* out, size_t len);
// The DER element of identifier octet `tag` whose content is `parts` one
// after the other, in a buffer sized once; empty when memory ran out.
ByteString derElement(uint8_t tag, std::initializer_list<std::span<const uint8_t>> parts);

}  // namespace qelt
