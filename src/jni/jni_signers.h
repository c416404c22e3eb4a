// Hands the verified signers of a signed message to the calling object.
#pragma once

#include "jni/jni_call.h"

namespace qelt::jni {

// The setSignerCert callback: index, signer count, certificate, signing time,
// signature value, time-stamp token, and the content with the first signer.
inline constexpr const char* kSetSignerCert = "setSignerCert";
inline constexpr const char* kSetSignerCertSig = "(II[BJ[B[B[B)V";

// After a successful QELT_CMS_ProcessSignedData2 on the call's context: calls
// setSignerCert once per signer, with the records QELT_CMS_GetSigner2,
// QELT_CMS_GetTBTData and QELT_CMS_GetTimeStampToken give (null when the
// signer has no token).
int reportSigners(JniCall& c, int count, const BINSTR& content);

// One signer known to the native itself (the file and signed-and-enveloped calls).
int reportOneSigner(JniCall& c, const BINSTR& cert, jlong signingTime, const BINSTR* content);

}  // namespace qelt::jni
