// What the qelt cms verbs share: algorithm names, the output form of a
// message (a ContentInfo by default, --bare for the bare structure, --pem
// around a ContentInfo), and the file forms.
//
// A regular input file goes through the library's streaming _File functions,
// so files of any size (up to 2 GiB) pass with flat memory. Those functions
// read and write definite-length DER, and the signed one keeps the content in
// a bare SignedData; the verbs bridge the rest: a ContentInfo is put around
// the bare file (or taken off before verifying) by copying the file once, and
// messages in other forms (BER from `openssl cms -stream`, PEM) are mapped and
// handed to the in-memory functions, which read them all.
#pragma once

#include <span>

#include "cli.h"

namespace qelt_cli::cms {

// Symmetric algorithm code of des, 3des, seed, neat, aria; 0 when unknown.
int cipherOf(const std::string& name);
// Sets the signature hash of -<option> (sha1, md5, has160, sha256) when given;
// 0, or the exit status.
int setHash(Session& s, const Args& a, const std::string& option);
// Sets the message form of the command line: ContentInfo unless --bare, and
// refuses --pem with --bare. 0, or the exit status.
int setMessageForm(Session& s, const Args& a);
// A message to -o (or standard output): its DER, or PEM with --pem.
int writeMessage(Session& s, const Args& a, std::span<const uint8_t> der);

enum class MessageForm {
    BareDer,         // a definite-length SEQUENCE starting with its version
    ContentInfoDer,  // a definite-length ContentInfo around such a SEQUENCE
    Other,           // BER, PEM, or not a message at all: the in-memory functions decide
};
MessageForm messageForm(const std::string& path);
// The bare structure inside the DER ContentInfo `path`, copied into a scratch
// file (removed when the command ends); returns the scratch file's path.
std::string unwrappedCopy(const std::string& path);
// The ContentInfo of `typeOid` (DER of the OBJECT IDENTIFIER) around the bare
// structure in `barePath`, written to the file `outPath`.
void wrapInto(const std::string& barePath, std::span<const uint8_t> typeOid, const std::string& outPath);

inline constexpr uint8_t kSignedDataOid[] = {0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x02};

// The number of signer records the last processing left in the context.
int signerCount(Session& s);

}  // namespace qelt_cli::cms
