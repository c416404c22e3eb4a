// Certificate trust lists in the verification service: when the root of a
// composed path is none of the caller's trust anchors, the root is still
// trusted when a trust list signed by one of the anchors lists it. Each
// anchor's list comes from the cache "<work>/cache/CTL/<anchor DN>.stl" or
// from the directory location the configuration gives for the anchor.
#pragma once

#include <vector>

#include "api/api_context.h"
#include "net/ldap_failure.h"
#include "util/byte_string.h"

namespace qelt {

// 0 when the list, signed by `anchor`, lists `root`; 1232 when it does not
// list it; otherwise the failure: 1246 (not a trust list), 1230 (a bad one),
// 1210 (no certificate of its signer), 1250 / 1249 (published after /
// expired before `when`), 1231 (signed by another certificate than the
// anchor), 1803 (a hash the library does not compute), 1811.
int checkCTL(int64_t when, const ByteString& ctl, const ByteString& root, const ByteString& anchor,
             ServiceFailure& failure);

// The trust list of `anchor`: with the cache flag on and pass 0 from the
// cache file (then `fromCache`), else from the directory: 1226 (configuration
// unreadable), 1227 (no LDAP_INFO section for the anchor), 2013 (a key
// missing), 1228 (the directory read failed).
int getCTL(ApiContext& ctx, const ByteString& anchor, int pass, ByteString& ctl, bool& fromCache,
           ServiceFailure& failure);

// Asks the trust lists of the anchors, in order, whether they list `root`.
// A cached list that fails its check is fetched again once. 0 when one does
// (a fetched list that did is cached: 1229 when that fails); 1232 when none
// does; any other failure of a list ends the search with its code.
int trustRootByCTL(ApiContext& ctx, const std::vector<ByteString>& anchors, const ByteString& root,
                   ServiceFailure& failure);

}  // namespace qelt
