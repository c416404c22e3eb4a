// The parts of an O/R address (X.411) that a GeneralName's x400Address
// carries.
#pragma once

#include "ASN1Pkix/record.h"

namespace qelt {

// CountryName ::= [APPLICATION 1] CHOICE {
//     x121-dcc-code          NumericString (SIZE (ub-country-name-numeric-length)),
//     iso-3166-alpha2-code   PrintableString (SIZE (ub-country-name-alpha-length)) }
// (the APPLICATION tag is stated where the name is used)
class RCountryName : public ChoiceRecord {
    QELT_CHOICE_RECORD(RCountryName)
    QELT_ALTERNATIVE(ASN1NumericString, X121DccCode, x121DccCode, 0x01)
    QELT_ALTERNATIVE(ASN1PrintableString, Iso3166Alpha2Code, iso3166Alpha2Code, 0x02)
};

// AdministrationDomainName ::= [APPLICATION 2] CHOICE {
//     numeric     NumericString (SIZE (0..ub-domain-name-length)),
//     printable   PrintableString (SIZE (0..ub-domain-name-length)) }
class RAdministrationDomainName : public ChoiceRecord {
    QELT_CHOICE_RECORD(RAdministrationDomainName)
    QELT_ALTERNATIVE(ASN1NumericString, Numeric, numeric, 0x01)
    QELT_ALTERNATIVE(ASN1PrintableString, Printable, printable, 0x02)
};

// PrivateDomainName ::= CHOICE {
//     numeric     NumericString (SIZE (1..ub-domain-name-length)),
//     printable   PrintableString (SIZE (1..ub-domain-name-length)) }
class RPrivateDomainName : public ChoiceRecord {
    QELT_CHOICE_RECORD(RPrivateDomainName)
    QELT_ALTERNATIVE(ASN1NumericString, Numeric, numeric, 0x01)
    QELT_ALTERNATIVE(ASN1PrintableString, Printable, printable, 0x02)
};

// PersonalName ::= SET {
//     surname              [0] IMPLICIT PrintableString,
//     given-name           [1] IMPLICIT PrintableString OPTIONAL,
//     initials             [2] IMPLICIT PrintableString OPTIONAL,
//     generation-qualifier [3] IMPLICIT PrintableString OPTIONAL }
class RPersonalName : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RPersonalName)
    QELT_COMPONENT(ASN1PrintableString, Surname, surname)
    QELT_OPTIONAL(ASN1PrintableString, GivenName, givenName, 0x01)
    QELT_OPTIONAL(ASN1PrintableString, Initials, initials, 0x02)
    QELT_OPTIONAL(ASN1PrintableString, GenerationQualifier, generationQualifier, 0x04)
};

// OrganizationalUnitNames ::= SEQUENCE SIZE (1..ub-organizational-units) OF OrganizationalUnitName
class ROrganizationalUnitNames : public SequenceOfRecord {
    QELT_LIST_RECORD(ROrganizationalUnitNames)
};

// BuiltInStandardAttributes ::= SEQUENCE {
//     country-name                    CountryName OPTIONAL,
//     administration-domain-name      AdministrationDomainName OPTIONAL,
//     network-address             [0] IMPLICIT NetworkAddress OPTIONAL,
//     terminal-identifier         [1] IMPLICIT TerminalIdentifier OPTIONAL,
//     private-domain-name         [2] PrivateDomainName OPTIONAL,
//     organization-name           [3] IMPLICIT OrganizationName OPTIONAL,
//     numeric-user-identifier     [4] IMPLICIT NumericUserIdentifier OPTIONAL,
//     personal-name               [5] IMPLICIT PersonalName OPTIONAL,
//     organizational-unit-names   [6] IMPLICIT OrganizationalUnitNames OPTIONAL }
class RBuiltInStandardAttributes : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RBuiltInStandardAttributes)
    QELT_OPTIONAL(RCountryName, CountryName, countryName, 0x01)
    QELT_OPTIONAL(RAdministrationDomainName, AdministrationDomainName, administrationDomainName, 0x02)
    QELT_OPTIONAL(ASN1NumericString, NetworkAddress, networkAddress, 0x04)
    QELT_OPTIONAL(ASN1PrintableString, TerminalIdentifier, terminalIdentifier, 0x08)
    QELT_OPTIONAL(RPrivateDomainName, PrivateDomainName, privateDomainName, 0x10)
    QELT_OPTIONAL(ASN1PrintableString, OrganizationName, organizationName, 0x20)
    QELT_OPTIONAL(ASN1NumericString, NumericUserIdentifier, numericUserIdentifier, 0x40)
    QELT_OPTIONAL(RPersonalName, PersonalName, personalName, 0x80)
    // The ninth optional component has no bit left in the byte mask; it is
    // present when its SEQUENCE holds at least one unit name.
    QELT_COMPONENT(ROrganizationalUnitNames, OrganizationalUnitNames, organizationalUnitNames)
};

// BuiltInDomainDefinedAttribute ::= SEQUENCE {
//     type    PrintableString (SIZE (1..ub-domain-defined-attribute-type-length)),
//     value   PrintableString (SIZE (1..ub-domain-defined-attribute-value-length)) }
class RBuiltInDomainDefinedAttribute : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RBuiltInDomainDefinedAttribute)
    QELT_COMPONENT(ASN1PrintableString, Type, type)
    QELT_COMPONENT(ASN1PrintableString, Value, value)
};

// BuiltInDomainDefinedAttributes ::= SEQUENCE SIZE (1..ub-domain-defined-attributes) OF
//     BuiltInDomainDefinedAttribute
class RBuiltInDomainDefinedAttributes : public SequenceOfRecord {
    QELT_LIST_RECORD(RBuiltInDomainDefinedAttributes)
};

// ExtensionAttribute ::= SEQUENCE {
//     extension-attribute-type    [0] IMPLICIT INTEGER (0..ub-extension-attributes),
//     extension-attribute-value   [1] ANY DEFINED BY extension-attribute-type }
class RExtensionAttribute : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RExtensionAttribute)
    QELT_COMPONENT(ASN1Integer, ExtensionAttributeType, extensionAttributeType)
    QELT_COMPONENT(ASN1Any, ExtensionAttributeValue, extensionAttributeValue)
};

// ExtensionAttributes ::= SET SIZE (1..ub-extension-attributes) OF ExtensionAttribute
class RExtensionAttributes : public SetOfRecord {
    QELT_LIST_RECORD(RExtensionAttributes)
};

// ORAddress ::= SEQUENCE {
//     built-in-standard-attributes        BuiltInStandardAttributes,
//     built-in-domain-defined-attributes  BuiltInDomainDefinedAttributes OPTIONAL,
//     extension-attributes                ExtensionAttributes OPTIONAL }
class RORAddress : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RORAddress)
    QELT_COMPONENT(RBuiltInStandardAttributes, BuiltInStandardAttributes, builtInStandardAttributes)
    QELT_OPTIONAL(RBuiltInDomainDefinedAttributes, BuiltInDomainDefinedAttributes, builtInDomainDefinedAttributes, 0x01)
    QELT_OPTIONAL(RExtensionAttributes, ExtensionAttributes, extensionAttributes, 0x02)
};

}  // namespace qelt
