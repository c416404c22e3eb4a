// Object identifiers of signed messages and their attributes, in text form.
#pragma once

namespace qelt::oid {

inline constexpr const char* kData = "1 2 840 113549 1 7 1";
inline constexpr const char* kSignedData = "1 2 840 113549 1 7 2";
inline constexpr const char* kContentTypeAttr = "1 2 840 113549 1 9 3";
inline constexpr const char* kMessageDigestAttr = "1 2 840 113549 1 9 4";
inline constexpr const char* kSigningTimeAttr = "1 2 840 113549 1 9 5";
inline constexpr const char* kCounterSignatureAttr = "1 2 840 113549 1 9 6";
inline constexpr const char* kSigningCertificateAttr = "1 2 840 113549 1 9 16 2 12";
inline constexpr const char* kTimeStampTokenAttr = "1 2 840 113549 1 9 16 2 14";
inline constexpr const char* kRsaPss = "1 2 840 113549 1 1 10";
inline constexpr const char* kSubjectKeyIdentifier = "2 5 29 14";

}  // namespace qelt::oid
