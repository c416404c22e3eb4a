#include "ASN1Pkix/record.h"

#include <array>
#include <span>
#include <vector>

namespace qelt {

using namespace asn1;

// ---- RecordBase

void RecordBase::clearState() {
    m_nErrorCode = 0;
    m_ErrorChain.clear();
    m_Result.clear();
    m_ucTaggedType = kUniversal;
    m_nOptionTagNo = -1;
    m_ucClass = 0;
    m_bDecodeFailed = false;
}

int RecordBase::decodeFailure(const char* cls, const char* label, int code, const char* message) {
    m_bDecodeFailed = true;
    return fail(cls, "fromASN1Object", label, code, message);
}

void RecordBase::takeTagging(const ASN1Object& outer) {
    if (outer.getTaggedType() == kUniversal) return;
    m_ucTaggedType = outer.getTaggedType();
    m_nOptionTagNo = outer.getOptionTagNo();
    m_ucClass = outer.getRawClass();
}

namespace {

uint8_t tagClassOctet(Tagging mode, uint8_t tagClass) {
    return static_cast<uint8_t>(mode == Tagging::Explicit ? tagClass | 0x20 : tagClass);
}

// Gives a member built by a setter the tag its position requires.
void applyDeclaredTag(Asn1Codec& member, Tagging mode, int tagNo, uint8_t tagClass = 0x80) {
    if (mode == Tagging::None || tagNo < 0) return;
    member.setTagging(static_cast<uint8_t>(mode), tagNo, tagClassOctet(mode, tagClass));
}

// Takes off an explicit tag: `inner` is its content. With a message, the
// content must be exactly one element.
bool unwrapExplicit(std::span<const uint8_t> element, std::span<const uint8_t>& inner, bool oneElement) {
    ElementBounds outer;
    if (!scanElement(element, outer)) return false;
    inner = element.subspan(outer.headerLen, outer.contentLen);
    if (!oneElement) return true;
    ElementBounds first;
    return scanElement(inner, first) && first.totalLen == inner.size();
}

// Octets of `content` wrapped in an explicit [tagNo] of `tagClass`.
int wrappedLength(int contentLength) {
    return 1 + static_cast<int>(lengthOctetCount(static_cast<size_t>(contentLength))) + contentLength;
}

void appendWrapped(ByteString& out, int tagNo, const ByteString& content, uint8_t tagClass = 0x80) {
    uint8_t head[1 + kMaxLengthOctets] = {static_cast<uint8_t>(tagClass | 0x20 | tagNo)};
    const size_t headLength = 1 + writeLengthOctets(head + 1, static_cast<size_t>(content.length()));
    out.allocZero(wrappedLength(content.length()));  // empties it; grows only when too small
    out.append(head, static_cast<int>(headLength));
    out.append(content);
}

bool isTagged(const ASN1Sequence& seq, int i, uint8_t tagClass = 0x80) {
    return seq.getUniversalTag(i) == -2 && seq.getTagInfo(i) >= 0 && (seq.componentBytes(i)[0] & 0xC0) == tagClass;
}

bool universalIs(const ASN1Sequence& seq, int i, int a, int b) {
    const int t = seq.getUniversalTag(i);
    return t >= 0 && (t == a || t == b);
}

bool isOptional(const FieldSpec& f) { return f.presence != Presence::Mandatory; }

}  // namespace

// ---- field statements

FieldSpec FieldSpec::is(int universalTag, const char* msg) const {
    FieldSpec f = *this;
    if (msg != nullptr) {
        f.check = TagCheck::Universal;
        f.checkTag = static_cast<int16_t>(universalTag);
        f.message = msg;
    }
    return f;
}

FieldSpec FieldSpec::isEither(int tagA, int tagB, const char* msg) const {
    FieldSpec f = is(tagA, msg);
    f.checkAlt = static_cast<int16_t>(tagB);
    return f;
}

FieldSpec FieldSpec::ctx(int n, Tagging mode, uint8_t presenceBit) const {
    FieldSpec f = *this;
    f.presence = Presence::Context;
    f.tag = static_cast<int16_t>(n);
    f.bit = presenceBit;
    f.tagging = mode;
    f.tagNo = static_cast<int16_t>(n);
    return f;
}

FieldSpec FieldSpec::tagged(int n, Tagging mode, const char* msg) const {
    FieldSpec f = *this;
    f.tagging = mode;
    f.tagNo = static_cast<int16_t>(n);
    if (msg != nullptr) f = f.checkContext(n, msg);
    return f;
}

FieldSpec FieldSpec::opt(int universalTag, uint8_t presenceBit, int alt) const {
    FieldSpec f = *this;
    f.presence = Presence::Universal;
    f.tag = static_cast<int16_t>(universalTag);
    f.altTag = static_cast<int16_t>(alt);
    f.bit = presenceBit;
    return f;
}

FieldSpec FieldSpec::optAny(uint8_t presenceBit) const {
    FieldSpec f = *this;
    f.presence = Presence::Any;
    f.bit = presenceBit;
    return f;
}

FieldSpec FieldSpec::byCount(uint8_t presenceBit) const {
    FieldSpec f = *this;
    f.presence = Presence::ByCount;
    f.bit = presenceBit;
    return f;
}

FieldSpec FieldSpec::wrap(int n, const char* oneElementMessage) const {
    FieldSpec f = *this;
    f.wrapped = true;
    f.tagNo = static_cast<int16_t>(n);
    f.wrapMessage = oneElementMessage;
    return f;
}

FieldSpec FieldSpec::encodedWhen(bool (*fn)(Asn1Codec&)) const {
    FieldSpec f = *this;
    f.encodeWhen = fn;
    return f;
}

FieldSpec FieldSpec::application() const {
    FieldSpec f = *this;
    f.tagClass = 0x40;
    return f;
}

FieldSpec FieldSpec::orDefault(void (*fn)(Asn1Codec&)) const {
    FieldSpec f = *this;
    f.setDefault = fn;
    return f;
}

FieldSpec FieldSpec::checkContext(int n, const char* msg) const {
    FieldSpec f = *this;
    f.check = TagCheck::Context;
    f.checkTag = static_cast<int16_t>(n);
    f.message = msg;
    return f;
}

void defaultVersionZero(Asn1Codec& member) {
    auto& v = static_cast<ASN1Integer&>(member);
    v.setInteger(0);
    v.setExplicitTag(0, 0x80);
}

void defaultFalse(Asn1Codec& member) { static_cast<ASN1Boolean&>(member).setBoolean(0); }

// ---- SEQUENCE records

void SequenceRecord::reset() {
    clearState();
    m_ucBitMask = 0;
    m_bsReceived.clear();
    for (const FieldSpec& f : layout().fields) f.slot(*this).reset();
}

int SequenceRecord::fromASN1Object(Asn1Input in) {
    const SequenceLayout& l = layout();
    clearState();
    m_ucBitMask = 0;
    m_bsReceived.clear();
    ASN1Sequence seqStorage;
    ASN1Set setStorage;
    ASN1Sequence& seq = l.isSet ? static_cast<ASN1Sequence&>(setStorage) : seqStorage;
    seq.expectImplicitTag(m_bExpectImplicit);
    if (seq.fromASN1Object(in) != 0) return decodeFailure(l.cls, "asnSeq", 1, seq.errorText());
    takeTagging(seq);
    if (l.keepReceived) {
        asn1::ElementBounds whole;
        if (scanElement(in.bytes(), whole)) m_bsReceived.set(in.bytes().data(), static_cast<int>(whole.totalLen));
    }

    const int n = seq.getComponentCount();
    const CountRule& c = l.count;
    const bool countOk = c.kind == CountRule::None || (c.kind == CountRule::Exactly && n == c.low) ||
                         (c.kind == CountRule::AtLeast && n >= c.low) ||
                         (c.kind == CountRule::Between && n >= c.low && n <= c.high);
    if (!countOk) return decodeFailure(l.cls, "nComponentCount", 2, c.message);

    int i = 0;
    const int fieldCount = static_cast<int>(l.fields.size());
    for (int k = 0; k < fieldCount; ++k) {
        const FieldSpec& f = l.fields[static_cast<size_t>(k)];
        Asn1Codec& member = f.slot(*this);
        bool present = true;
        switch (f.presence) {
            case Presence::Mandatory:
                break;
            case Presence::Context:
                present = i < n && isTagged(seq, i, f.tagClass) && seq.getTagInfo(i) == f.tag;
                break;
            case Presence::Universal:
                present = i < n && universalIs(seq, i, f.tag, f.altTag);
                break;
            case Presence::Any:
                present = i < n;
                break;
            case Presence::ByCount: {
                int mandatoryAfter = 0;
                for (int j = k + 1; j < fieldCount; ++j)
                    if (!isOptional(l.fields[static_cast<size_t>(j)])) ++mandatoryAfter;
                present = n - i > mandatoryAfter;
                break;
            }
        }
        if (!present) {
            member.reset();
            if (f.setDefault != nullptr) f.setDefault(member);
            continue;
        }
        const int checkCode = 3 + 2 * k;
        if (i >= n) {
            ByteString msg;
            msg.format("Component No(%d) <= index(%d) Error", n, i);
            return decodeFailure(l.cls, f.label, checkCode, msg.c_str());
        }
        const bool checkOk =
            f.check == TagCheck::None ||
            (f.check == TagCheck::Universal && universalIs(seq, i, f.checkTag, f.checkAlt)) ||
            (f.check == TagCheck::Context && isTagged(seq, i, f.tagClass) && seq.getTagInfo(i) == f.checkTag);
        if (!checkOk) return decodeFailure(l.cls, f.label, checkCode, f.message);

        std::span<const uint8_t> bytes = seq.componentBytes(i);
        if (f.wrapped && !unwrapExplicit(bytes, bytes, f.wrapMessage != nullptr))
            return decodeFailure(l.cls, f.label, checkCode,
                                 f.wrapMessage != nullptr ? f.wrapMessage : "ASN1 Format(Length) Error");
        member.expectImplicitTag(!f.wrapped && f.tagging == Tagging::Implicit);
        if (member.fromASN1Object(bytes) != 0) return decodeFailure(l.cls, f.label, checkCode + 1, member.errorText());
        if (isOptional(f)) m_ucBitMask |= f.bit;
        ++i;
    }
    return 0;
}

const ByteString& SequenceRecord::toASN1Object(int omitTag) {
    const SequenceLayout& l = layout();
    m_Result.clear();
    m_nErrorCode = 0;
    ASN1Sequence seqStorage;
    ASN1Set setStorage;
    ASN1Sequence& seq = l.isSet ? static_cast<ASN1Sequence&>(setStorage) : seqStorage;
    // First every member is encoded and the total measured, then the
    // encodings are laid down in a buffer sized once. Each member keeps its
    // own encoding, so the references stay good until the second pass.
    struct Encoded {
        const FieldSpec* field;
        const ByteString* encoding;
    };
    constexpr size_t kOnStack = 16;  // more fields than any record here has
    std::array<Encoded, kOnStack> onStack{};
    std::vector<Encoded> onHeap(l.fields.size() > kOnStack ? l.fields.size() : 0);
    const std::span<Encoded> slots = onHeap.empty() ? std::span<Encoded>(onStack) : std::span<Encoded>(onHeap);
    size_t used = 0;
    int octets = 0;
    const int fieldCount = static_cast<int>(l.fields.size());
    for (int k = 0; k < fieldCount; ++k) {
        const FieldSpec& f = l.fields[static_cast<size_t>(k)];
        Asn1Codec& member = f.slot(*this);
        if (isOptional(f) && (f.encodeWhen ? !f.encodeWhen(member) : (m_ucBitMask & f.bit) == 0)) continue;
        if (!f.wrapped) {
            // A member built by its setter may still lack its position's tag.
            if (member.getTaggedType() == kUniversal) applyDeclaredTag(member, f.tagging, f.tagNo, f.tagClass);
        }
        const ByteString& enc = member.encodeComponent();
        if (member.errorCode() != 0) {
            fail(l.cls, "toASN1Object", f.label, k + 1, member.errorText());
            return m_Result;
        }
        slots[used++] = {&f, &enc};
        octets += f.wrapped ? wrappedLength(enc.length()) : enc.length();
    }
    seq.prepare(static_cast<int>(used), octets);
    ByteString wrapped;
    for (const Encoded& e : slots.first(used)) {
        if (e.field->wrapped) {
            appendWrapped(wrapped, e.field->tagNo, *e.encoding, e.field->tagClass);
            seq.addComponent(wrapped, -1);
        } else {
            seq.addComponent(*e.encoding, -1);
        }
    }
    if (omitTag == 0 && m_ucTaggedType != kUniversal) seq.setTagging(m_ucTaggedType, m_nOptionTagNo, m_ucClass);
    const ByteString& out = seq.toASN1Object();
    if (seq.errorCode() != 0) {
        fail(l.cls, "toASN1Object", "asnSeq", fieldCount + 1, seq.errorText());
        return m_Result;
    }
    m_Result.assign(out);
    return m_Result;
}

// ---- CHOICE records

Alternative Alternative::universal(int t, uint8_t b, int alt) const {
    Alternative a = *this;
    a.tag = static_cast<int16_t>(t);
    a.altTag = static_cast<int16_t>(alt);
    a.bit = b;
    return a;
}

Alternative Alternative::context(int n, Tagging mode, uint8_t b) const {
    Alternative a = *this;
    a.byContext = true;
    a.tag = static_cast<int16_t>(n);
    a.tagging = mode;
    a.bit = b;
    return a;
}

Alternative Alternative::wrappedContext(int n, uint8_t b) const {
    Alternative a = context(n, Tagging::Explicit, b);
    a.wrapped = true;
    return a;
}

void ChoiceRecord::reset() {
    clearState();
    m_ucBitMask = 0;
    for (const Alternative& a : layout().alternatives) a.slot(*this).reset();
}

int ChoiceRecord::fromASN1Object(Asn1Input input) {
    const ChoiceLayout& l = layout();
    clearState();
    m_ucBitMask = 0;
    const auto in = input.bytes();
    if (in.empty()) return decodeFailure(l.cls, "m_ucBitMask", 1, l.noneMessage);
    Identifier id;
    const bool known = classifyIdentifier(in[0], id);
    if (known && id.mode == kHighTag) {
        HighTagFault hf;
        if (readHighTag(in, id.tagNo, hf) == 0) return decodeFailure(l.cls, "GetHighTag", 2, l.unknownMessage);
    }
    for (const Alternative& a : l.alternatives) {
        const bool match =
            known && (a.byContext ? (id.mode != kUniversal && id.tagNo == a.tag)
                                  : (id.mode == kUniversal && (id.tagNo == a.tag || id.tagNo == a.altTag)));
        if (!match) continue;
        std::span<const uint8_t> bytes = in;
        if (a.wrapped && !unwrapExplicit(in, bytes, false))
            return decodeFailure(l.cls, a.label, 3, "ASN1 Format(Length) Error");
        Asn1Codec& member = a.slot(*this);
        member.expectImplicitTag(!a.wrapped && a.tagging == Tagging::Implicit);
        if (member.fromASN1Object(bytes) != 0) return decodeFailure(l.cls, a.label, 3, member.errorText());
        m_ucBitMask = a.bit;
        return 0;
    }
    return decodeFailure(l.cls, "m_ucBitMask", 2, l.unknownMessage);
}

const ByteString& ChoiceRecord::toASN1Object(int) {
    const ChoiceLayout& l = layout();
    m_Result.clear();
    m_nErrorCode = 0;
    for (const Alternative& a : l.alternatives) {
        if (a.bit != m_ucBitMask) continue;
        Asn1Codec& member = a.slot(*this);
        if (!a.wrapped && a.byContext) {
            if (member.getTaggedType() == kUniversal) applyDeclaredTag(member, a.tagging, a.tag);
        }
        const ByteString& enc = member.encodeComponent();
        if (member.errorCode() != 0) {
            fail(l.cls, "toASN1Object", a.label, 2, member.errorText());
            return m_Result;
        }
        if (a.wrapped)
            appendWrapped(m_Result, a.tag, enc);
        else
            m_Result.assign(enc);
        return m_Result;
    }
    fail(l.cls, "toASN1Object", "m_ucBitMask", 1, l.noneMessage);
    return m_Result;
}

// ---- SEQUENCE OF / SET OF records

template <class Container>
void ListRecord<Container>::reset() {
    clearState();
    container().reset();
}

template <class Container>
int ListRecord<Container>::fromASN1Object(Asn1Input in) {
    clearState();
    Container& list = container();
    list.expectImplicitTag(m_bExpectImplicit);
    if (list.fromASN1Object(in) != 0) return decodeFailure(className(), "m_SEQ", 1, list.errorText());
    takeTagging(list);
    return 0;
}

template <class Container>
const ByteString& ListRecord<Container>::toASN1Object(int omitTag) {
    m_Result.clear();
    m_nErrorCode = 0;
    Container& list = container();
    if (omitTag == 0 && m_ucTaggedType != kUniversal)
        list.setTagging(m_ucTaggedType, m_nOptionTagNo, m_ucClass);
    else
        list.setTagging(kUniversal, -1, 0);
    const ByteString& out = list.toASN1Object();
    if (list.errorCode() != 0) {
        fail(className(), "toASN1Object", "m_SEQ", 1, list.errorText());
        return m_Result;
    }
    m_Result.assign(out);
    return m_Result;
}

template <class Container>
int ListRecord<Container>::addElement(const ByteString& encoding) {
    return container().addComponent(encoding, -1);
}

template <class Container>
int ListRecord<Container>::addElement(Asn1Codec& element) {
    const ByteString& enc = element.encodeComponent();
    if (element.errorCode() != 0) return fail(className(), "addElement", "element", 1, element.errorText());
    return container().addComponent(enc, -1);
}

template <class Container>
const ByteString& ListRecord<Container>::getElement(int index) {
    m_nErrorCode = 0;
    Container& list = container();
    if (index < 0 || index >= list.getComponentCount()) {
        ByteString msg;
        msg.format("Component No(%d) <= index(%d) Error", list.getComponentCount(), index);
        fail(className(), "getElement", "index", 1, msg.c_str());
        m_Result.clear();
        return m_Result;
    }
    const auto bytes = list.componentBytes(index);
    m_Result.set(bytes.data(), static_cast<int>(bytes.size()));
    return m_Result;
}

template <class Container>
int ListRecord<Container>::getElement(int index, Asn1Codec& out) const {
    const Container& list = container();
    if (index < 0 || index >= list.getComponentCount()) return 1;
    return out.fromASN1Object(list.componentBytes(index)) == 0 ? 0 : 2;
}

template class ListRecord<ASN1Sequence>;
template class ListRecord<ASN1Set>;

}  // namespace qelt
