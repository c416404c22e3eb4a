#include "ZRProcess/PGeneralNameUtil.h"

#include "ZRProcess/UDNSettings.h"
#include "util/cp949_literal.h"

namespace qelt {

namespace {

constexpr const char* kClass = "PGeneralNameUtil";

// A numeric or printable string of a CHOICE: the chosen one's octets.
template <class Choice>
const ByteString& chosenText(const Choice& c) {
    return c.isNumeric() ? c.getNumeric().getValue() : c.getPrintable().getValue();
}

void appendLine(ByteString& out, const char* label, const ByteString& value) {
    out.append("\r\n");
    out.append(label);
    out.append(value);
}

// The text of a DirectoryString by its chosen string type.
void directoryStringText(const RDirectoryString& d, ByteString& out) {
    if (d.isUtf8String())
        UDNSettings::stringValueText(asn1::kTagUtf8String, d.getUtf8String().getValue(), out);
    else if (d.isBmpString())
        UDNSettings::stringValueText(asn1::kTagBmpString, d.getBmpString().getValue(), out);
    else if (d.isPrintableString())
        out.assign(d.getPrintableString().getValue());
    else if (d.isTeletexString())
        out.assign(d.getTeletexString().getValue());
    else
        out.assign(d.getUniversalString().getValue());
}

}  // namespace

ByteString PGeneralNameUtil::oidText(const ASN1ObjectIdentifier& oid) {
    ASN1ObjectIdentifier copy = oid;
    return copy.getOID();
}

ByteString PGeneralNameUtil::ipAddressText(const ByteString& octets) {
    ByteString text, part;
    const uint8_t* p = octets.data();
    if (octets.length() == 4) {
        text.format("%d.%d.%d.%d", p[0], p[1], p[2], p[3]);
    } else if (octets.length() == 16) {
        for (int i = 0; i < 16; i += 2) {
            part.format(i == 0 ? "%x" : ":%x", p[i] << 8 | p[i + 1]);
            text.append(part);
        }
    } else {
        text = octets.toHex();
    }
    return text;
}

void PGeneralNameUtil::appendORAddress(const RORAddress& address, ByteString& out) {
    out.append("X400 Address=");
    const RBuiltInStandardAttributes& std = address.getBuiltInStandardAttributes();
    if (std.hasCountryName()) {
        const RCountryName& c = std.getCountryName();
        appendLine(out, "\t\tCountry name=",
                   c.isX121DccCode() ? c.getX121DccCode().getValue() : c.getIso3166Alpha2Code().getValue());
    }
    if (std.hasAdministrationDomainName())
        appendLine(out, "\t\tAdministration domain name=", chosenText(std.getAdministrationDomainName()));
    if (std.hasNetworkAddress()) appendLine(out, "\t\tNetwork address=", std.getNetworkAddress().getValue());
    if (std.hasTerminalIdentifier())
        appendLine(out, "\t\tTerminal identifier=", std.getTerminalIdentifier().getValue());
    if (std.hasPrivateDomainName()) appendLine(out, "\t\tPrivate domain name=", chosenText(std.getPrivateDomainName()));
    if (std.hasOrganizationName()) appendLine(out, "\t\tOrganization name=", std.getOrganizationName().getValue());
    if (std.hasNumericUserIdentifier())
        appendLine(out, "\t\tNumeric user identifier=", std.getNumericUserIdentifier().getValue());
    if (std.hasPersonalName()) {
        const RPersonalName& pn = std.getPersonalName();
        out.append("\r\n\t\tPersonal name:");
        appendLine(out, "\t\t\tSurname=", pn.getSurname().getValue());
        if (pn.hasGivenName()) appendLine(out, "\t\t\tGiven name=", pn.getGivenName().getValue());
        if (pn.hasInitials()) appendLine(out, "\t\t\tInitials=", pn.getInitials().getValue());
        if (pn.hasGenerationQualifier())
            appendLine(out, "\t\t\tGeneration qualifier=", pn.getGenerationQualifier().getValue());
    }
    const ROrganizationalUnitNames& units = std.getOrganizationalUnitNames();
    for (int i = 0; i < units.getElementCount(); ++i) {
        ASN1PrintableString unit;
        if (units.getElement(i, unit) == 0) appendLine(out, "\t\tOrganizational unit name=", unit.getValue());
    }
    if (address.hasBuiltInDomainDefinedAttributes()) {
        const RBuiltInDomainDefinedAttributes& list = address.getBuiltInDomainDefinedAttributes();
        for (int i = 0; i < list.getElementCount(); ++i) {
            RBuiltInDomainDefinedAttribute attr;
            if (list.getElement(i, attr) != 0) continue;
            ByteString pair(attr.getType().getValue());
            pair.append("=");
            pair.append(attr.getValue().getValue());
            appendLine(out, "\t\tDomain defined attribute:", pair);
        }
    }
    if (address.hasExtensionAttributes()) {
        const RExtensionAttributes& list = address.getExtensionAttributes();
        for (int i = 0; i < list.getElementCount(); ++i) {
            RExtensionAttribute attr;
            if (list.getElement(i, attr) != 0) continue;
            ByteString line;
            line.format("\r\n\t\tExtension attribute(%d)=", attr.getExtensionAttributeType().getInteger());
            out.append(line);
            out.append(attr.getExtensionAttributeValue().getEncoding().toHex());
        }
    }
}

int PGeneralNameUtil::appendGeneralName(const RGeneralName& name, ByteString& out) {
    if (name.isOtherName()) {
        out.append("Other Name=");
        out.append(name.getOtherName().getValue().getEncoding().toHex());
    } else if (name.isRfc822Name()) {
        out.append("RFC822 Name=");
        out.append(name.getRfc822Name().getValue());
    } else if (name.isDNSName()) {
        out.append("DNS Name=");
        out.append(name.getDNSName().getValue());
    } else if (name.isX400Address()) {
        appendORAddress(name.getX400Address(), out);
    } else if (name.isDirectoryName()) {
        ByteString text;
        if (const int rc = UDNSettings::RDN2Str(name.getDirectoryName(), text); rc != 0)
            return fail(kClass, "appendGeneralName", "directoryName", 1, "Make DN String failed.");
        out.append("디렉토리 주소:\r\n\t"_cp949);
        out.append(text);
    } else if (name.isEdiPartyName()) {
        const REDIPartyName& edi = name.getEdiPartyName();
        ByteString text;
        out.append("EDIParty Name=");
        if (edi.hasNameAssigner()) {
            directoryStringText(edi.getNameAssigner(), text);
            appendLine(out, "\tName Assigner=", text);
        }
        directoryStringText(edi.getPartyName(), text);
        appendLine(out, "\tParty Name=", text);
    } else if (name.isUniformResourceIdentifier()) {
        out.append("URL=");
        out.append(name.getUniformResourceIdentifier().getValue());
    } else if (name.isIPAddress()) {
        out.append("IP Address=");
        out.append(ipAddressText(name.getIPAddress().getValue()));
    } else if (name.isRegisteredID()) {
        out.append("Registered ID=");
        out.append(oidText(name.getRegisteredID()));
    } else {
        ByteString text;
        text.format("GeneralName Choice(%d) is UNKNOWN", name.getBitMask());
        out.append(text);
    }
    return 0;
}

const ByteString& PGeneralNameUtil::getGeneralName(const RGeneralName& name) {
    resetForGetter();
    appendGeneralName(name, m_Result);
    return m_Result;
}

int PGeneralNameUtil::appendGeneralNames(const RGeneralNames& names, ByteString& out) {
    for (int i = 0; i < names.getElementCount(); ++i) {
        RGeneralName name;
        if (names.getElement(i, name) != 0)
            return fail(kClass, "appendGeneralNames", "generalName", 1, name.errorText());
        if (i > 0) out.append("\r\n");
        if (const int rc = appendGeneralName(name, out); rc != 0) return rc;
    }
    return 0;
}

}  // namespace qelt
