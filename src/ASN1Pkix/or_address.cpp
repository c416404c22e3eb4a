#include "ASN1Pkix/or_address.h"

namespace qelt {

using namespace asn1;

// The record statements below are tables, one component per line.
// clang-format off

const ChoiceLayout RCountryName::kLayout{
    "RCountryName",
    "Any component is not chosen.",
    "Unknown component is chosen.",
    {
        QELT_ALT(m_x121DccCode).universal(kTagNumericString, kX121DccCodeBit),
        QELT_ALT(m_iso3166Alpha2Code).universal(kTagPrintableString, kIso3166Alpha2CodeBit),
    }};

const ChoiceLayout RAdministrationDomainName::kLayout{
    "RAdministrationDomainName",
    "Any component is not chosen.",
    "Unknown component is chosen.",
    {
        QELT_ALT(m_numeric).universal(kTagNumericString, kNumericBit),
        QELT_ALT(m_printable).universal(kTagPrintableString, kPrintableBit),
    }};

const ChoiceLayout RPrivateDomainName::kLayout{
    "RPrivateDomainName",
    "Any component is not chosen.",
    "Unknown component is chosen.",
    {
        QELT_ALT(m_numeric).universal(kTagNumericString, kNumericBit),
        QELT_ALT(m_printable).universal(kTagPrintableString, kPrintableBit),
    }};

const SequenceLayout RPersonalName::kLayout{
    "RPersonalName",
    anyCount(),
    {
        QELT_FIELD(m_surname).tagged(0, Tagging::Implicit, "surname component does not exist."),
        QELT_FIELD(m_givenName).ctx(1, Tagging::Implicit, kGivenNameBit),
        QELT_FIELD(m_initials).ctx(2, Tagging::Implicit, kInitialsBit),
        QELT_FIELD(m_generationQualifier).ctx(3, Tagging::Implicit, kGenerationQualifierBit),
    },
    true};

namespace {
// organizational-unit-names has no presence bit: it is written when it holds a name.
bool hasUnitNames(Asn1Codec& member) { return static_cast<ROrganizationalUnitNames&>(member).getElementCount() > 0; }
}  // namespace

const SequenceLayout RBuiltInStandardAttributes::kLayout{
    "RBuiltInStandardAttributes",
    anyCount(),
    {
        QELT_FIELD(m_countryName).ctx(1, Tagging::Explicit, kCountryNameBit).application().wrap(1),
        QELT_FIELD(m_administrationDomainName)
            .ctx(2, Tagging::Explicit, kAdministrationDomainNameBit)
            .application()
            .wrap(2),
        QELT_FIELD(m_networkAddress).ctx(0, Tagging::Implicit, kNetworkAddressBit),
        QELT_FIELD(m_terminalIdentifier).ctx(1, Tagging::Implicit, kTerminalIdentifierBit),
        QELT_FIELD(m_privateDomainName).ctx(2, Tagging::Explicit, kPrivateDomainNameBit).wrap(2),
        QELT_FIELD(m_organizationName).ctx(3, Tagging::Implicit, kOrganizationNameBit),
        QELT_FIELD(m_numericUserIdentifier).ctx(4, Tagging::Implicit, kNumericUserIdentifierBit),
        QELT_FIELD(m_personalName).ctx(5, Tagging::Implicit, kPersonalNameBit),
        QELT_FIELD(m_organizationalUnitNames).ctx(6, Tagging::Implicit, 0).encodedWhen(hasUnitNames),
    }};

const SequenceLayout RBuiltInDomainDefinedAttribute::kLayout{
    "RBuiltInDomainDefinedAttribute",
    exactly(2, "The number of components is not 2."),
    {
        QELT_FIELD(m_type).is(kTagPrintableString, "type component is not ASN1_TAG_PRINTIBLESTRING."),
        QELT_FIELD(m_value),
    }};

const SequenceLayout RExtensionAttribute::kLayout{
    "RExtensionAttribute",
    exactly(2, "The number of components is not 2."),
    {
        QELT_FIELD(m_extensionAttributeType)
            .tagged(0, Tagging::Implicit, "extension_attribute_type component's option number is not 0."),
        QELT_FIELD(m_extensionAttributeValue)
            .checkContext(1, "extension_attribute_value component's option number is not 1.")
            .wrap(1),
    }};

const SequenceLayout RORAddress::kLayout{
    "RORAddress",
    atLeast(1, "At least 1 component is required."),
    {
        QELT_FIELD(m_builtInStandardAttributes),
        QELT_FIELD(m_builtInDomainDefinedAttributes).opt(kTagSequence, kBuiltInDomainDefinedAttributesBit),
        QELT_FIELD(m_extensionAttributes).opt(kTagSet, kExtensionAttributesBit),
    }};

// clang-format on

}  // namespace qelt
