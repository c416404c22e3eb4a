// Base64 (RFC 4648 alphabet, "=" padding) and the PEM codecs.
//
// The codecs are strict: Base64 input must be clean (no line breaks, no
// blanks), while PEM bodies are cleaned of CR, LF and blanks before decoding.
#pragma once

#include "util/byte_string.h"

namespace qelt {

// Text without line breaks and without a terminating zero; always succeeds
// unless memory runs out (then 1). Empty input gives empty output.
int base64Encode(const ByteString& data, ByteString& text);
// 0, or 1 for any refusal (length not a multiple of 4, a character outside
// the alphabet, misplaced padding) or allocation failure.
int base64Decode(const ByteString& text, ByteString& data);

// PEM type codes of the codec and their labels; 0 and codes above 9 have none.
enum PemType : int {
    PEM_NONE = 0,
    PEM_CERTIFICATE = 1,
    PEM_WTLS_CERTIFICATE = 2,
    PEM_RSA_PRIVATE_KEY = 3,
    PEM_PRIVATE_KEY = 4,
    PEM_ENCRYPTED_PRIVATE_KEY = 5,
    PEM_X509_CRL = 6,
    PEM_PKCS7 = 7,
    PEM_CERTIFICATE_REQUEST = 8,
    PEM_PKCS7_2 = 9,
};

enum PemResult : int {
    PEM_OK = 0,
    PEM_ENCODE_FAILED = 1,
    PEM_BAD_BODY = 2,
    PEM_NO_HEADER = 3,
    PEM_NO_FOOTER = 4,
    PEM_MARKER_DOES_NOT_FIT = 5,
    PEM_NO_MEMORY = 6,
};

// Header, 64-character lines joined by "\r\n", footer; no line break after the last line.
int pemEncode(int type, const ByteString& data, ByteString& text);
// Decodes the body between the first two "-----" markers and the next one, whatever its label.
int pemDecode(const ByteString& text, ByteString& data);
// Decodes the block of the given type, found by its header and footer lines.
int pemDecodeTyped(int type, const ByteString& text, ByteString& data);

}  // namespace qelt
