// The identity-verification client reports its failures as the directory
// client and the verification service do.
#pragma once

#include "net/ldap_failure.h"

namespace qelt::ivs {

using Failure = ServiceFailure;

}  // namespace qelt::ivs
