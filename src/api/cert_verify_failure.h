// Recording a ServiceFailure of the directory client or the verification
// service as the exported function's error: its code, its message, and the
// kind of detail the failing layer left (directory result, core chain).
#pragma once

#include "api/api_call.h"
#include "net/ldap_failure.h"

namespace qelt {

inline int recordFailure(ApiCall& call, const ServiceFailure& f) {
    switch (f.kind) {
        case ErrKind::Ldap:
            return call.failLdap(f.code, f.message.c_str(), f.libCode, f.libText.c_str());
        case ErrKind::Core:
            return call.failCore(f.code, f.message.c_str(), f.libText.c_str());
        default:
            return call.fail(f.code, f.message.c_str());
    }
}

}  // namespace qelt
