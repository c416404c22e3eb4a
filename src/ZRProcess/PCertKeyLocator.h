// The SubjectPublicKeyInfo of an encoded certificate, found by walking the
// outer elements only: the verifiers of challenge responses and WAP messages
// need the key of a certificate they do not otherwise read, so they do not
// decode the whole certificate for it.
#pragma once

#include <cstdint>
#include <span>

namespace qelt {

// Certificate ::= SEQUENCE { tbsCertificate SEQUENCE { [0] version OPTIONAL,
// serialNumber, signature, issuer, validity, subject, subjectPublicKeyInfo,
// ... }, ... }: the octets of subjectPublicKeyInfo (tag, length and content)
// inside `cert`. False when the elements on the way are not there or not
// SEQUENCEs where a certificate has them.
bool locateSubjectPublicKeyInfo(std::span<const uint8_t> cert, std::span<const uint8_t>& spki);

}  // namespace qelt
