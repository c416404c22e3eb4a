// Certificate and private-key files of the disk medium.
//
// A write never leaves a half-written file under the target's name: the
// bytes go to a new file beside it, are flushed to the disk, and only then
// is that file renamed over the target. Whatever fails, the target holds
// either its old content or the new one, and the temporary file is removed.
#pragma once

#include <sys/types.h>

#include "util/byte_string.h"

namespace qelt {

// Modes of the files written: a private key is readable by its owner only.
inline constexpr mode_t kKeyFileMode = 0600;
inline constexpr mode_t kCertFileMode = 0644;

// 0, or the errno of the step that failed. Missing directories of the path are created.
int writeFileAtomically(const char* path, const ByteString& data, mode_t mode);
// 0, or the errno of the failed removal.
int deleteMediumFile(const char* path);

}  // namespace qelt
