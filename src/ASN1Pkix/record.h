// The record mechanism shared by every PKIX record class.
//
// A record states its ASN.1 type as data: for a SEQUENCE the component list in
// order (member, how an optional one is recognised, which tag it must carry,
// the message its check gives, its presence bit and default), for a CHOICE the
// alternatives and the tag that selects each, for a SEQUENCE OF / SET OF the
// container. SequenceRecord, ChoiceRecord and ListRecord decode, check and
// encode from that statement, so a record class is its declaration.
//
// Decoding makes the checks a record states and no others: component counts,
// component tags, CHOICE selection and the member decodes. Values are not
// range-checked (a version 7 certificate decodes); the processing classes that
// use a value decide what they accept.
//
// Using a record: construct it from the DER (or call fromASN1Object) and test
// errorCode(); read components with get<Component>() (versions as int,
// optional ones with has<Component>(), CHOICE alternatives with
// is<Alternative>()); SEQUENCE OF / SET OF records hand out elements with
// getElement(index) or getElement(index, record). Build with set<Component>()
// or edit<Component>() and encode with toASN1Object().
//
// Decoding codes of a SEQUENCE record: 1 the outer SEQUENCE ("asnSeq"),
// 2 the component count, then for the k-th declared component (from 0)
// 3 + 2k when its tag check fails and 4 + 2k when its member decode fails.
// Encoding codes: k + 1 for the k-th component's member, and the number of
// components + 1 for the outer SEQUENCE ("asnSeq").
#pragma once

#include <cstdint>
#include <vector>

#include "ASN1/asn1_sequence.h"
#include "ASN1/asn1_time.h"
#include "ASN1/asn1_types.h"

namespace qelt {

class RecordBase : public Asn1Codec {
public:
    virtual const ByteString& toASN1Object(int omitTag = 0) = 0;
    const ByteString& encodeComponent() override { return toASN1Object(0); }
    void setTagging(uint8_t taggedType, int optionTagNo, uint8_t cls) override {
        m_ucTaggedType = taggedType;
        m_nOptionTagNo = optionTagNo;
        m_ucClass = cls;
    }
    uint8_t getTaggedType() const override { return m_ucTaggedType; }
    int getOptionTagNo() const { return m_nOptionTagNo; }
    uint8_t getClass() const { return static_cast<uint8_t>(m_ucClass & 0xC0); }

protected:
    // Getters of a record whose decode failed hand out empty values.
    template <class T>
    const T& componentOrEmpty(const T& member) const {
        static const T kEmpty;
        return m_bDecodeFailed ? kEmpty : member;
    }
    int decodeFailure(const char* cls, const char* label, int code, const char* message);
    void takeTagging(const ASN1Object& outer);
    void clearState();

    uint8_t m_ucTaggedType = 0;
    int m_nOptionTagNo = -1;
    uint8_t m_ucClass = 0;
    bool m_bDecodeFailed = false;
};

using Slot = Asn1Codec& (*)(RecordBase&);

template <class C, class T>
C memberClassOf(T C::*);
// The member a field statement refers to, reached from the record.
template <auto Member>
Asn1Codec& slotOf(RecordBase& record) {
    using C = decltype(memberClassOf(Member));
    return static_cast<C&>(record).*Member;
}

enum class Presence : uint8_t {
    Mandatory,  // always there
    Context,    // present when the component carries the context tag
    Universal,  // present when the component carries one of the universal tags
    Any,        // present when a component remains
    ByCount,    // present when more components remain than mandatory ones follow
};
enum class TagCheck : uint8_t { None, Universal, Context };
enum class Tagging : uint8_t { None = 0, Implicit = 1, Explicit = 2 };

// One component of a SEQUENCE record.
struct FieldSpec {
    Slot slot;
    const char* label;  // the member's name, the label of its failure records
    Presence presence = Presence::Mandatory;
    int16_t tag = -1, altTag = -1;  // recognition: context tag number or universal tags
    uint8_t tagClass = 0x80;        // class of a recognising tag: context, or application
    uint8_t bit = 0;                // presence bit of an optional component
    TagCheck check = TagCheck::None;
    int16_t checkTag = -1, checkAlt = -1;
    const char* message = nullptr;    // the check's message
    Tagging tagging = Tagging::None;  // the context tag the member carries when encoded
    int16_t tagNo = -1;
    bool wrapped = false;               // explicit tag handled here (CHOICE and open-type members)
    const char* wrapMessage = nullptr;  // when the explicit tag must hold exactly one element
    void (*setDefault)(Asn1Codec&) = nullptr;
    // For an optional component without a presence bit: whether to encode it.
    bool (*encodeWhen)(Asn1Codec&) = nullptr;

    // Mandatory component of a universal type, checked with `msg`.
    FieldSpec is(int universalTag, const char* msg = nullptr) const;
    FieldSpec isEither(int tagA, int tagB, const char* msg) const;
    // Optional component recognised by its context tag; the member carries it.
    FieldSpec ctx(int n, Tagging mode, uint8_t presenceBit) const;
    // Mandatory component that carries context tag `n` (checked with `msg`).
    FieldSpec tagged(int n, Tagging mode, const char* msg = nullptr) const;
    // Optional component recognised by its universal tag(s).
    FieldSpec opt(int universalTag, uint8_t presenceBit, int altTag = -1) const;
    FieldSpec optAny(uint8_t presenceBit) const;
    FieldSpec byCount(uint8_t presenceBit) const;
    // The explicit tag [n] is taken off before the member decodes and put back
    // when it encodes (for CHOICE and ANY members, which cannot carry it).
    FieldSpec wrap(int n, const char* oneElementMessage = nullptr) const;
    FieldSpec orDefault(void (*fn)(Asn1Codec&)) const;
    FieldSpec encodedWhen(bool (*fn)(Asn1Codec&)) const;
    FieldSpec checkContext(int n, const char* msg) const;
    // The tag of ctx(), tagged(), checkContext() and wrap() is of the
    // APPLICATION class rather than the context class.
    FieldSpec application() const;
};

#define QELT_FIELD(member) \
    ::qelt::FieldSpec { &::qelt::slotOf<&Self::member>, #member }

struct CountRule {
    enum Kind : uint8_t { None, Exactly, AtLeast, Between } kind = None;
    int low = 0, high = 0;
    const char* message = nullptr;
};
inline CountRule exactly(int n, const char* msg) { return {CountRule::Exactly, n, n, msg}; }
inline CountRule atLeast(int n, const char* msg) { return {CountRule::AtLeast, n, 0, msg}; }
inline CountRule between(int a, int b, const char* msg) { return {CountRule::Between, a, b, msg}; }
inline CountRule anyCount() { return {}; }

struct SequenceLayout {
    const char* cls;
    CountRule count;
    std::vector<FieldSpec> fields;
    bool isSet = false;  // a SET type (components told apart by their tags)
    // Keep the element exactly as received: signatures and fingerprints are
    // computed over those octets, never over a re-encoding.
    bool keepReceived = false;
};

class SequenceRecord : public RecordBase {
public:
    [[nodiscard]] int fromASN1Object(Asn1Input in) override;
    const ByteString& toASN1Object(int omitTag = 0) override;
    void reset() override;
    uint8_t getBitMask() const { return m_ucBitMask; }
    // The whole element as decoded (tag, length and content) for records
    // whose layout keeps it; empty otherwise or before a decode.
    const ByteString& getReceivedEncoding() const { return m_bsReceived; }

protected:
    virtual const SequenceLayout& layout() const = 0;
    uint8_t m_ucBitMask = 0;
    ByteString m_bsReceived;
};

// One alternative of a CHOICE record.
struct Alternative {
    Slot slot;
    const char* label;
    uint8_t bit = 0;
    bool byContext = false;  // selected by a context tag number, else by universal tag
    int16_t tag = -1, altTag = -1;
    Tagging tagging = Tagging::None;  // for context alternatives: how the member carries the tag
    bool wrapped = false;             // explicit tag taken off here (the member is itself a CHOICE)

    Alternative universal(int t, uint8_t b, int alt = -1) const;
    Alternative context(int n, Tagging mode, uint8_t b) const;
    Alternative wrappedContext(int n, uint8_t b) const;
};
#define QELT_ALT(member) \
    ::qelt::Alternative { &::qelt::slotOf<&Self::member>, #member }

struct ChoiceLayout {
    const char* cls;
    const char* noneMessage;     // nothing to decode or nothing chosen
    const char* unknownMessage;  // no alternative has the tag found
    std::vector<Alternative> alternatives;
};

class ChoiceRecord : public RecordBase {
public:
    [[nodiscard]] int fromASN1Object(Asn1Input in) override;
    const ByteString& toASN1Object(int omitTag = 0) override;
    void reset() override;
    uint8_t getBitMask() const { return m_ucBitMask; }

protected:
    virtual const ChoiceLayout& layout() const = 0;
    uint8_t m_ucBitMask = 0;
};

// SEQUENCE OF / SET OF: the container keeps the element encodings; the caller
// decodes elements on demand. Elements stay in insertion order.
template <class Container>
class ListRecord : public RecordBase {
public:
    [[nodiscard]] int fromASN1Object(Asn1Input in) override;
    const ByteString& toASN1Object(int omitTag = 0) override;
    void reset() override;
    int addElement(const ByteString& encoding);
    int addElement(Asn1Codec& element);
    int getElementCount() const { return container().getComponentCount(); }
    // A copy of element `index`'s encoding.
    const ByteString& getElement(int index);
    // Decodes element `index` into `out`; 0 on success.
    int getElement(int index, Asn1Codec& out) const;
    // The encoding of element `index` where it lies (no copy); empty for a bad index.
    std::span<const uint8_t> elementBytes(int index) const { return container().componentBytes(index); }

protected:
    virtual Container& container() = 0;
    virtual const Container& container() const = 0;
    virtual const char* className() const = 0;
};

class SequenceOfRecord : public ListRecord<ASN1Sequence> {
protected:
    ASN1Sequence& container() override { return m_SEQ; }
    const ASN1Sequence& container() const override { return m_SEQ; }
    ASN1Sequence m_SEQ;
};

class SetOfRecord : public ListRecord<ASN1Set> {
protected:
    ASN1Set& container() override { return m_SET; }
    const ASN1Set& container() const override { return m_SET; }
    ASN1Set m_SET;
};

extern template class ListRecord<ASN1Sequence>;
extern template class ListRecord<ASN1Set>;

// Defaults used by many records.
void defaultVersionZero(Asn1Codec& member);  // INTEGER 0 under explicit [0]
void defaultFalse(Asn1Codec& member);

// ---- declaration helpers for record classes

// The constructors and the layout of a record class; LayoutType is
// SequenceLayout or ChoiceLayout.
#define QELT_LAYOUT_RECORD(Name, LayoutType)                           \
public:                                                                \
    Name() = default;                                                  \
    explicit Name(Asn1Input in) { m_nErrorCode = fromASN1Object(in); } \
    static const LayoutType kLayout;                                   \
                                                                       \
protected:                                                             \
    const LayoutType& layout() const override { return kLayout; }      \
    using Self = Name;                                                 \
                                                                       \
public:

#define QELT_SEQUENCE_RECORD(Name) QELT_LAYOUT_RECORD(Name, SequenceLayout)
#define QELT_CHOICE_RECORD(Name) QELT_LAYOUT_RECORD(Name, ChoiceLayout)

#define QELT_LIST_RECORD(Name)                                         \
public:                                                                \
    Name() = default;                                                  \
    explicit Name(Asn1Input in) { m_nErrorCode = fromASN1Object(in); } \
                                                                       \
protected:                                                             \
    const char* className() const override { return #Name; }           \
                                                                       \
public:

// The getter, the editor and the member shared by the component kinds below.
#define QELT_MEMBER_ACCESS(Type, Name, name)                             \
public:                                                                  \
    const Type& get##Name() const { return componentOrEmpty(m_##name); } \
    Type& edit##Name() { return m_##name; }                              \
                                                                         \
protected:                                                               \
    Type m_##name;                                                       \
                                                                         \
public:

// A component: member m_<name>, getter get<Name>, setter set<Name>.
#define QELT_COMPONENT(Type, Name, name) \
    QELT_MEMBER_ACCESS(Type, Name, name) \
    void set##Name(const Type& value) { m_##name = value; }

// An optional component: the setter also sets its presence bit.
#define QELT_OPTIONAL(Type, Name, name, bitValue)     \
    QELT_MEMBER_ACCESS(Type, Name, name)              \
    static constexpr uint8_t k##Name##Bit = bitValue; \
    void set##Name(const Type& value) {               \
        m_##name = value;                             \
        m_ucBitMask |= bitValue;                      \
    }                                                 \
    bool has##Name() const { return (m_ucBitMask & bitValue) != 0; }

// A version component: read and written as an int.
#define QELT_VERSION(name)                                                     \
public:                                                                        \
    int getVersion() const { return componentOrEmpty(m_##name).getInteger(); } \
    void setVersion(int v) { m_##name.setInteger(v); }                         \
                                                                               \
protected:                                                                     \
    ASN1Integer m_##name;                                                      \
                                                                               \
public:

#define QELT_OPTIONAL_VERSION(name, bitValue)                                  \
public:                                                                        \
    int getVersion() const { return componentOrEmpty(m_##name).getInteger(); } \
    void setVersion(int v) {                                                   \
        m_##name.setInteger(v);                                                \
        m_##name.setExplicitTag(0);                                            \
        m_ucBitMask |= bitValue;                                               \
    }                                                                          \
                                                                               \
protected:                                                                     \
    ASN1Integer m_##name;                                                      \
                                                                               \
public:

// A CHOICE alternative: the setter selects it.
#define QELT_ALTERNATIVE(Type, Name, name, bitValue)  \
    QELT_MEMBER_ACCESS(Type, Name, name)              \
    static constexpr uint8_t k##Name##Bit = bitValue; \
    void set##Name(const Type& value) {               \
        m_##name = value;                             \
        m_ucBitMask = bitValue;                       \
    }                                                 \
    bool is##Name() const { return m_ucBitMask == bitValue; }

}  // namespace qelt
