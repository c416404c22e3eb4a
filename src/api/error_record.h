// Error recording in the API context and the fixed message table.
#pragma once

#include "api/api_context.h"

namespace qelt {

// How RecordError composes the detail message: where the failure came from.
enum class ErrKind : int {
    Frame = 0,    // "[F] M"
    Core = 1,     // "[F] M <zorinlib> T"           T = the object's error chain
    Ldap = 2,     // "[F] M <ldaplib> errcode=0x%x,msg=T"
    Dynamic = 3,  // "[F] M <dynamiclib> fnc=N,errcode=0x%x,msg=T"
    Ivs = 4,      // "[F] M <ivs> respcode=%d,respdesc=T"
};

// Sets the context's code and, when `message` is not null, replaces its detail
// message by the composition of `kind`. A null `function` leaves out the "[F] " head.
void RecordError(ApiContext* ctx, int code, int kind, const char* function, const char* message,
                 const char* extraName, int extraCode, const char* extraText);
// Code 0 and no detail message: the start of every exported call.
void ClearError(ApiContext* ctx);
// The fixed text of a result code; "정의된 에러메시지가 없음" for codes without one.
const char* ErrorMessageLookup(int code);

}  // namespace qelt
