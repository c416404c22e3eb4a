// Steps of the in-memory SignedData and EnvelopedData functions that the
// file-streaming and two-step functions run too, so that both kinds of call
// choose hashes, gather signers and report failures the same way.
#pragma once

#include <cstdint>

#include "api/api_call.h"
#include "api/cms_signer_common.h"  // chooseSignerHash

namespace qelt {
class PSignedDataProcess;
class PEnvelopedDataProcess;
class RPlainText;
}  // namespace qelt

namespace qelt::cms {

// The CA certificates to embed for option 0x400 (SEQUENCE OF Certificate).
int signerCaPubs(ApiCall& call, const ByteString& cert, ByteString& caPubs);
// After a successful verification: the first signer's certificate (and its
// signing time text when pTimeText is given) and the signer record list kept
// in the context. The content is not handed out.
int gatherSignerRecords(ApiCall& call, PSignedDataProcess& proc, BINSTR* pSignerCert, char* pTimeText);
// The record of signer `index` from the context's list; 1506, 1518, or 1206
// for an unreadable record or an index beyond the list.
int readSignerRecord(ApiCall& call, int index, RPlainText& record);
// A signing time for the exported calls that hand it out as an int: one that
// an int cannot hold (past 2038-01-19 03:14:07 or before 1901) is given as -1,
// the value those calls have always used for an unrepresentable time.
inline int signingTimeAsInt(int64_t t) { return t >= INT32_MIN && t <= INT32_MAX ? static_cast<int>(t) : -1; }
// The API code and message for a failed EnvelopedData parse (1507, 1814,
// 1513, 1305, 1502).
int envelopedProcessFailure(ApiCall& call, const PEnvelopedDataProcess& proc);

}  // namespace qelt::cms
