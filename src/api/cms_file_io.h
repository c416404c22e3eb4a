// Files of the streaming CMS functions: inputs read in 8192-byte blocks,
// outputs written as they are produced, and every failure recorded on the
// call with the file's path. An output that is not finished is removed when
// it goes out of scope, so a failed call never leaves a partial message or
// content behind looking like a result.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "api/api_call.h"

namespace qelt::cms {

// Content moves through hashing and encryption in blocks of this size.
inline constexpr size_t kFileBlock = 8192;
// Largest file the streaming functions take (the messages carry int lengths).
inline constexpr long long kMaxFileSize = 0x7FFFFFFFLL;

// 1420 "처리하기에는 파일 사이즈의 크기가 너무 큽니다."
int fileTooLarge(ApiCall& call);

class InputFile {
public:
    InputFile() = default;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Opens "rb"; 1402 naming the path when it cannot be opened or is a directory.
    int open(ApiCall& call, const char* path);
    // The size, found by seeking to the end and back (1416, 1417); above
    // kMaxFileSize 1420.
    int size(ApiCall& call, long long& out);
    // Back to the first byte (1417).
    int rewind(ApiCall& call);
    // Exactly n bytes, else 1418.
    int read(ApiCall& call, uint8_t* buf, size_t n);
    // Up to n bytes; fewer only at the end of the file or on a read error.
    size_t readSome(uint8_t* buf, size_t n);
    bool failed() const { return m_file && std::ferror(m_file.get()) != 0; }
    const char* path() const { return m_path.c_str(); }
    dev_t device() const { return m_dev; }
    ino_t inode() const { return m_ino; }

private:
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> m_file;
    std::unique_ptr<char[]> m_buffer;
    std::string m_path;
    dev_t m_dev = 0;
    ino_t m_ino = 0;
};

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the file ("wb"); 1419 naming the path when it cannot be
    // created, or when it is the very file `input` reads (writing would
    // destroy the input before it is read).
    int create(ApiCall& call, const char* path, const InputFile* input = nullptr);
    // All n bytes, else 1403 naming the path.
    int write(ApiCall& call, const void* p, size_t n);
    // Pushes the bytes written so far to the file (1403), which stays open.
    int flush(ApiCall& call);
    // Flushes and closes; the file then stays. 1403 when the last bytes
    // cannot be written (a full disk shows here).
    int finish(ApiCall& call);
    // Closes and removes an unfinished output (only a regular file that this
    // object opened is removed; devices and pipes are left alone).
    void discard();

private:
    int writeFailed(ApiCall& call);

    std::FILE* m_file = nullptr;
    std::unique_ptr<char[]> m_buffer;
    std::string m_path;
    bool m_regular = false;
};

// Hashes `size` bytes of the input from its current position, block by
// block; 1811 "메시지 다이제스트를 생성하는데 실패하였습니다." with the
// hash's detail, or the file's own failure code.
int digestFile(ApiCall& call, InputFile& in, long long size, int nHashAlg, ByteString& digest);

}  // namespace qelt::cms
