// Pieces the verification service, the CRL and trust-list checks and the
// directory functions share: the on-disk caches under the working directory,
// the reference time of the checks, time texts in messages, and storing the
// configuration path a call names.
#pragma once

#include <cstdint>
#include <string>

#include "api/api_call.h"
#include "util/byte_string.h"

namespace qelt {

// "<work>/cache/<kind>/<name>.<extension>", the working directory without a
// trailing separator. `name` is a DN text, taken as it is.
std::string cacheFilePath(const ApiContext& ctx, const char* kind, const ByteString& name, const char* extension);
// The cached bytes; false when the file is absent, empty or unreadable.
bool readCache(const std::string& path, ByteString& out);
// Writes (replaces) a cache file, creating its directories; false on failure.
bool writeCache(const std::string& path, const ByteString& data);
void dropCache(const std::string& path);

// The time the checks of one verification refer to: the context's validation
// time when one is set, else now.
int64_t referenceTime(const ApiContext& ctx);
// "%Y-%m-%d %H:%M:%S" in the machine's local time, as messages show times.
std::string timeText(int64_t seconds);

// Keeps `path` as the context's configuration file, replacing a different one.
int storeConfPath(ApiCall& call, const char* path);

}  // namespace qelt
