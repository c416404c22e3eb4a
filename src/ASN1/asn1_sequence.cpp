#include "ASN1/asn1_sequence.h"

namespace qelt {

using namespace asn1;

namespace {
// The component array starts with room for 20 entries and grows by 20.
constexpr size_t kComponentChunk = 20;
}  // namespace

void ASN1Sequence::reset() {
    ASN1Object::reset();
    m_Components.clear();
    m_bHasArray = false;
}

void ASN1Sequence::clear() {
    m_bsValue.clear();
    m_ucTaggedType = kUniversal;
    m_Components.clear();
}

void ASN1Sequence::prepare(int count, int octets) {
    clear();
    m_bsValue.allocZero(octets);
    m_Components.reserve(static_cast<size_t>(count));
    m_bHasArray = true;
}

void ASN1Sequence::growIfFull() {
    if (!m_bHasArray || m_Components.size() == m_Components.capacity()) {
        m_Components.reserve(m_Components.size() + kComponentChunk);
        m_bHasArray = true;
    }
}

int ASN1Sequence::addComponent(std::span<const uint8_t> encoding, int tagInfo) {
    growIfFull();
    m_Components.push_back({m_bsValue.length(), static_cast<int>(encoding.size()), tagInfo});
    m_bsValue.append(encoding.data(), static_cast<int>(encoding.size()));
    return 0;
}

int ASN1Sequence::addComponent(const ByteString& encoding, int tagInfo) {
    return addComponent(encoding.bytes(), tagInfo);
}

std::span<const uint8_t> ASN1Sequence::componentBytes(int index) const {
    if (index < 0 || index >= getComponentCount()) return {};
    const ComponentInfo& c = m_Components[static_cast<size_t>(index)];
    return m_bsValue.bytes().subspan(static_cast<size_t>(c.offset), static_cast<size_t>(c.length));
}

const ByteString& ASN1Sequence::getComponent(int index) {
    m_bsEncoded.clear();
    m_nErrorCode = 0;
    if (!m_bHasArray) {
        fail(m_pszClass, "getComponent", "m_pComponentInfo", 1, "The memory allocation is failed.");
        return m_bsEncoded;
    }
    if (index < 0 || index >= getComponentCount()) {
        ByteString msg;
        msg.format("Component No(%d) <= index(%d) Error", getComponentCount(), index);
        fail(m_pszClass, "getComponent", "index", 2, msg.c_str());
        return m_bsEncoded;
    }
    const auto bytes = componentBytes(index);
    m_bsEncoded.set(bytes.data(), static_cast<int>(bytes.size()));
    return m_bsEncoded;
}

int ASN1Sequence::getTagInfo(int index) const {
    if (!m_bHasArray) return -2;
    if (index < 0 || index >= getComponentCount()) return -1;
    return m_Components[static_cast<size_t>(index)].tagInfo;
}

int ASN1Sequence::getUniversalTag(int index) const {
    if (!m_bHasArray) return -2;
    if (index < 0 || index >= getComponentCount()) return -1;
    const int info = m_Components[static_cast<size_t>(index)].tagInfo;
    // Universal components carry minus their tag; a tagged one is not universal.
    const uint8_t first = m_bsValue.data()[m_Components[static_cast<size_t>(index)].offset];
    if ((first & 0xC0) != 0) return -2;
    return -info;
}

int ASN1Sequence::fromASN1Object(Asn1Input in) {
    m_Components.clear();
    if (ASN1Object::fromASN1Object(in) != 0)
        return fail(m_pszClass, "fromASN1Object", "ASN1Object::fromASN1Object", 1, m_ErrorChain.c_str());
    if (m_ucTaggedType == kImplicit && m_ucConstructed == 0) {
        // SEQUENCE and SET encodings are always constructed: a primitive
        // context tag cannot carry one, and accepting it would write back a
        // different (constructed) element that reads as an explicit tag.
        ByteString msg;
        msg.format(m_pszTagMessage, m_ucPrimitiveTag);
        return fail(m_pszClass, "fromASN1Object", "m_ucConstructed", 2, msg.c_str());
    }
    if (m_ucTaggedType == kImplicit) {
        m_ucPrimitiveTag = m_ucInitialTag;
    } else if (m_ucPrimitiveTag != m_ucInitialTag) {
        ByteString msg;
        msg.format(m_pszTagMessage, m_ucPrimitiveTag);
        return fail(m_pszClass, "fromASN1Object", "m_ucPrimitiveTag", 2, msg.c_str());
    }
    if (extractComponentInfo() != 0)
        return fail(m_pszClass, "fromASN1Object", "ExtractComponentInfo", 3, m_ErrorChain.c_str());
    return 0;
}

int ASN1Sequence::extractComponentInfo() {
    constexpr const char* kMethod = "extractComponentInfo";
    m_Components.clear();
    growIfFull();
    const std::span<const uint8_t> v = m_bsValue.bytes();
    size_t p = 0;
    while (p < v.size()) {
        Identifier id;
        if (!checkASN1Member(v[p], id))
            return location(m_pszClass, kMethod, "checkASN1Member", 1, m_ErrorChain.c_str());
        growIfFull();
        int tagInfo = id.mode == kUniversal ? -id.tagNo : id.tagNo;
        size_t pos = p + 1;
        if (id.mode == kHighTag) {
            pos = p + getHighTag(v.subspan(p), tagInfo);
            if (pos == p) return location(m_pszClass, kMethod, "GetHighTag", 3, m_ErrorChain.c_str());
        }
        Length len;
        if (readLength(v, pos, len) != LengthFault::None)
            return location(m_pszClass, kMethod, "nLength", 4, "Wrong length.");
        pos += len.octets;
        if (len.indefinite) {
            size_t contentLen = 0;
            if (findIndefiniteEnd(v.subspan(pos), contentLen) != EndFault::None)
                return location(m_pszClass, kMethod, "FindIndefiniteLengthEnd", 4, "Value Length");
            if (contentLen + 2 > v.size() - pos) return location(m_pszClass, kMethod, "nLength", 5, "Value Length");
            pos += contentLen + 2;
        } else {
            if (len.value > v.size() - pos) return location(m_pszClass, kMethod, "nLength", 4, "Wrong length.");
            pos += len.value;
        }
        m_Components.push_back({static_cast<int>(p), static_cast<int>(pos - p), tagInfo});
        p = pos;
    }
    return 0;
}

}  // namespace qelt
