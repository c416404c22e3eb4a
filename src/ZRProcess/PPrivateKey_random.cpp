// The random-number attribute of a PrivateKeyInfo: an Attribute of type
// "1 2 410 200004 10 1 1 3" whose single value is a BIT STRING holding the
// random value that identity verification binds to the certificate. It lives
// inside the PrivateKeyInfo, so the key's password protection covers it.
#include "ASN1Pkix/pkcs_keys.h"
#include "ZRProcess/PPrivateKey.h"

namespace qelt {

namespace {

constexpr const char* kClass = "PPrivateKey";
constexpr const char* kOidRandomNumber = "1 2 410 200004 10 1 1 3";

bool isRandomNumber(const RAttribute& attribute) { return attribute.getAttrType().is(kOidRandomNumber); }

}  // namespace

int PPrivateKey::getRandomNumber(ByteString& privateKeyInfo, ByteString& random, bool keep) {
    constexpr const char* kMethod = "getRandomNumber";
    random.clear();
    RPrivateKeyInfo info(privateKeyInfo);
    if (info.errorCode() != 0) return fail(kClass, kMethod, "priKeyInfo", kNotPrivateKeyInfo, info.errorText());

    RAttributes others;
    int otherCount = 0;
    const RAttributes& attributes = info.getAttributes();
    for (int i = 0; info.hasAttributes() && i < attributes.getElementCount(); ++i) {
        RAttribute attribute;
        if (attributes.getElement(i, attribute) != 0) return fail(kClass, kMethod, "attribute", 2);
        if (attribute.errorCode() != 0) return fail(kClass, kMethod, "attribute", 3, attribute.errorText());
        if (isRandomNumber(attribute)) {
            ASN1BitString bits(attribute.getAttrValues().componentBytes(0));
            if (bits.getStatus() != 0) return fail(kClass, kMethod, "asnBitString", 4, bits.errorText());
            int unused = 0;
            const ByteString& value = bits.getBitString(unused);
            if (bits.getStatus() != 0) return fail(kClass, kMethod, "asnBitString", 5, bits.errorText());
            random.assign(value);
        } else {
            if (others.addElement(attribute) != 0) return fail(kClass, kMethod, "newAttributes", 6);
            ++otherCount;
        }
    }
    if (random.isEmpty())
        return fail(kClass, kMethod, "randomNumber", kNoRandomNumber,
                    "PrivateKeyInfo does not have randomNumber Attrs.");
    if (keep) return 0;

    // The same key without the attribute; no attribute set when nothing else was there.
    RPrivateKeyInfo stripped;
    stripped.setVersion(info.getVersion());
    stripped.setPrivateKeyAlgorithm(info.getPrivateKeyAlgorithm());
    stripped.setPrivateKey(info.getPrivateKey());
    if (otherCount > 0) stripped.setAttributes(others);
    const ByteString& der = stripped.toASN1Object();
    if (stripped.errorCode() != 0)
        return fail(kClass, kMethod, otherCount > 0 ? "priKeyInfo" : "removedPriKeyInfo", otherCount > 0 ? 7 : 8,
                    stripped.errorText());
    privateKeyInfo.assign(der);
    return 0;
}

int PPrivateKey::setRandomNumber(ByteString& privateKeyInfo, const ByteString& random) {
    constexpr const char* kMethod = "setRandomNumber";
    RPrivateKeyInfo info(privateKeyInfo);
    if (info.errorCode() != 0) return fail(kClass, kMethod, "priKeyInfo", 1, info.errorText());

    RAttributes attributes;
    const RAttributes& old = info.getAttributes();
    for (int i = 0; info.hasAttributes() && i < old.getElementCount(); ++i) {
        RAttribute attribute;
        if (old.getElement(i, attribute) != 0) return fail(kClass, kMethod, "attribute", 2);
        if (isRandomNumber(attribute)) continue;
        if (attributes.addElement(attribute) != 0) return fail(kClass, kMethod, "attribute", 3);
    }

    RAttribute randomAttr;
    if (randomAttr.editAttrType().setOID(kOidRandomNumber) != 0) return fail(kClass, kMethod, "randomNumAttr", 4);
    ASN1BitString bits;
    if (bits.setBitString(random.data(), random.length(), 0) != 0)
        return fail(kClass, kMethod, "randomNumAttr", 5, bits.errorText());
    if (randomAttr.editAttrValues().addComponent(bits.toASN1Object()) != 0)
        return fail(kClass, kMethod, "randomNumAttr", 6);
    if (attributes.addElement(randomAttr) != 0) return fail(kClass, kMethod, "randomNumAttr", 7);
    info.setAttributes(attributes);
    const ByteString& der = info.toASN1Object();
    if (info.errorCode() != 0) return fail(kClass, kMethod, "randomNumAttr", 8, info.errorText());
    privateKeyInfo.assign(der);
    return 0;
}

}  // namespace qelt
