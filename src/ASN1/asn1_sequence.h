// ASN1Sequence and ASN1Set: constructed values whose content is a list of
// component encodings. The list is extracted once per decode into offsets, so
// handing out a component never re-parses.
#pragma once

#include <vector>

#include "ASN1/asn1_object.h"

namespace qelt {

class ASN1Sequence : public ASN1Object {
public:
    struct ComponentInfo {
        int offset;   // inside m_bsValue
        int length;   // whole encoding of the component
        int tagInfo;  // -(universal tag) or the context tag number
    };

    ASN1Sequence() : ASN1Object(asn1::kTagSequence) {}
    explicit ASN1Sequence(Asn1Input in) : ASN1Sequence() { m_nErrorCode = fromASN1Object(in); }

    [[nodiscard]] int fromASN1Object(Asn1Input in) override;
    void reset() override;

    // Appends one component encoding with the given tag information.
    int addComponent(const ByteString& encoding, int tagInfo = -1);
    int addComponent(std::span<const uint8_t> encoding, int tagInfo = -1);
    // A copy of component `index` (tag, length and content) in m_bsEncoded.
    const ByteString& getComponent(int index);
    // The same octets without copying; empty for a bad index.
    std::span<const uint8_t> componentBytes(int index) const;
    int getComponentCount() const { return static_cast<int>(m_Components.size()); }
    int getTagInfo(int index) const;
    int getUniversalTag(int index) const;
    void clear();
    // Empties the components and makes room for `count` of them taking
    // `octets` in all, so that adding them grows nothing once per component.
    void prepare(int count, int octets);

protected:
    ASN1Sequence(uint8_t tag, const char* cls, const char* tagMessage)
        : ASN1Object(tag), m_pszClass(cls), m_pszTagMessage(tagMessage) {}

private:
    int extractComponentInfo();
    void growIfFull();

    std::vector<ComponentInfo> m_Components;
    bool m_bHasArray = false;
    const char* m_pszClass = "ASN1Sequence";
    const char* m_pszTagMessage = "TagType(%d)is not ASN1_TAG_SEQUENCE";
};

class ASN1Set : public ASN1Sequence {
public:
    ASN1Set() : ASN1Sequence(asn1::kTagSet, "ASN1Set", "TagType(%d)is not ASN1_TAG_SET") {}
    explicit ASN1Set(Asn1Input in) : ASN1Set() { m_nErrorCode = fromASN1Object(in); }
};

}  // namespace qelt
