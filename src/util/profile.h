// INI-style configuration profiles.
//
//   [SECTION]
//   KEY = value
//   # comment
//
// Sections and keys compare byte for byte (CP949 texts). Two readers serve
// different callers: reader A (`getInt`/`getString`) reads the whole file and
// serves the library's own configuration reads; reader B (`getIntLine`/
// `getStringLine`) reads line by line and serves the exported profile
// functions. Writes go through a temporary file "temp__.$$$" beside the
// profile, which then replaces it.
#pragma once

#include <cstddef>
#include <string>

namespace qelt {

class Profile {
public:
    enum SetPathResult : int { kPathOk = 0, kNoSuchFile = 1, kPathTooLong = 2, kTempPathTooLong = 3 };
    // Results of the readers (0 = found) and of the writer.
    enum ReadResult : int {
        kFound = 0,
        kNoFile = 1,
        kNoSection = 2,
        kNoKey = 3,
        kNoEquals = 4,  // reader A; reader B: the value is empty
        kSectionEnded = 6,  // reader B: the next section began, or the file ended; reader A: value too long
        kEmptyValue = 7,
    };
    enum WriteResult : int { kWritten = 0, kCreatedNew = 2, kTempRefused = 3, kReplaceFailed = 4 };

    static constexpr size_t kMaxPath = 255;
    static constexpr const char* kTempName = "temp__.$$$";

    int setPath(const char* path);
    const std::string& path() const { return m_path; }
    const std::string& tempPath() const { return m_tempPath; }

    // Reader A. The default applies whenever reading fails.
    int getInt(const char* section, const char* key, int defaultValue) const;
    // Copies at most outSize - 1 bytes and a NUL; returns the value's length, or 0
    // when the default was copied instead.
    int getString(const char* section, const char* key, char* out, size_t outSize, const char* defaultValue) const;
    // Reader A's raw result: the value copied into `out` (of `outSize` bytes).
    int readA(const char* section, const char* key, char* out, size_t outSize) const;

    // Reader B, the same contracts.
    int getIntLine(const char* section, const char* key, int defaultValue) const;
    int getStringLine(const char* section, const char* key, char* out, size_t outSize,
                      const char* defaultValue) const;
    int readB(const char* section, const char* key, char* out, size_t outSize) const;

    // Sets key = value in section, appending the section or key when absent.
    int write(const char* section, const char* key, const char* value) const;

private:
    std::string m_path;
    std::string m_tempPath;
};

}  // namespace qelt
