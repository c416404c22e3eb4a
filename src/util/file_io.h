// Whole-file reading and writing. Files are read and written whole, as raw
// bytes; a write creates the missing directories of its path ('/' and '\\'
// both separate directories here).
#pragma once

#include "util/byte_string.h"

namespace qelt {

enum class ReadFileResult : int {
    Ok = 0,
    EmptyPath = 1,
    CannotOpen = 2,
    TooLarge = 3,   // 0xFFFFFFFF bytes or more
    NoMemory = 4,
    ReadFailed = 5,
    ShortRead = 6,
};

enum class WriteFileResult : int {
    Ok = 0,
    EmptyPath = 1,
    BadPathLength = 3,  // 1 to 511 bytes are accepted
    CannotCreate = 5,
    WriteFailed = 6,
};

// Reads the whole file into `out`. An empty file empties `out` and succeeds;
// on any failure `out` is left as it was.
ReadFileResult readWholeFile(const char* path, ByteString& out);
// Creates (or replaces) the file with exactly `data`, creating missing
// directories when the first attempt fails. A failed write may leave a
// truncated file behind.
WriteFileResult writeWholeFile(const char* path, const ByteString& data);
WriteFileResult writeWholeFile(const char* path, const void* data, size_t len);
bool fileExists(const char* path);

}  // namespace qelt
