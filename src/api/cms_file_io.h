// Files of the streaming CMS functions: inputs read in blocks, outputs
// written as they are produced, and every failure recorded on the call with
// the file's path. An output that is not finished is removed when it goes
// out of scope, so a failed call never leaves a partial message or content
// behind looking like a result.
//
// Both sides work on plain descriptors. Content that is only hashed and
// copied (signing and verifying) moves in chunks of kStreamChunk bytes: a
// chunk is read once straight into a buffer, hashed there and written from
// the same buffer (by a ChunkWriter, while the next chunk is read), so each
// byte costs one copy in and one copy out of the kernel and nothing more.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>

#include "api/api_call.h"

namespace qelt {
class ZRHash;
}

namespace qelt::cms {

// Content moves through encryption in blocks of this size, and the framing
// of a message is looked for in its first block.
inline constexpr size_t kFileBlock = 8192;
// Content that is hashed and copied moves in chunks of this size: large
// enough that system calls cost nothing noticeable, small enough that a few
// of them in flight stay within the processors' caches.
inline constexpr size_t kStreamChunk = 256 * 1024;
// Largest file the streaming functions take (the messages carry int lengths).
inline constexpr long long kMaxFileSize = 0x7FFFFFFFLL;

// 1420 "처리하기에는 파일 사이즈의 크기가 너무 큽니다."
int fileTooLarge(ApiCall& call);
// 1004 "%s에 할당된 메모리가 부족합니다." with the name of the framing buffer
// (der::HeaderBuffer) that a message's headers did not fit.
int bufferShort(ApiCall& call, const char* bufferName);
template <class Buffer>
int bufferShort(ApiCall& call, const Buffer& buf) {
    return bufferShort(call, buf.name());
}

class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Opens for reading; 1402 naming the path when it cannot be opened or is a directory.
    int open(ApiCall& call, const char* path);
    // The size, found by seeking to the end and back (1416, 1417); above
    // kMaxFileSize 1420.
    int size(ApiCall& call, long long& out);
    // Back to the first byte (1417).
    int rewind(ApiCall& call);
    // Exactly n bytes, else 1418.
    int read(ApiCall& call, uint8_t* buf, size_t n);
    // The 1418 of a read that got fewer bytes than it asked for.
    int shortRead(ApiCall& call);
    // Up to n bytes; fewer only at the end of the file or on a read error.
    size_t readSome(uint8_t* buf, size_t n);
    bool failed() const { return m_failed; }
    const char* path() const { return m_path.c_str(); }
    dev_t device() const { return m_dev; }
    ino_t inode() const { return m_ino; }

private:
    // Reads straight from the file, retrying interrupted calls.
    size_t readFile(uint8_t* buf, size_t n);

    int m_fd = -1;
    bool m_failed = false;
    // Small reads (8 KiB blocks for the ciphers) are served from this
    // buffer, filled a kReadBuffer at a time; large ones bypass it.
    std::unique_ptr<uint8_t[]> m_buffer;
    size_t m_bufferAt = 0;
    size_t m_bufferEnd = 0;
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

    // Creates the file (emptied when it exists); 1419 naming the path when
    // it cannot be created, or when it is the very file `input` reads
    // (writing would destroy the input before it is read).
    int create(ApiCall& call, const char* path, const InputFile* input = nullptr);
    // A regular file (not a device or a pipe): it can be written at any
    // offset and emptied again.
    bool regular() const { return m_regular; }
    // Tells the file system how large the file will grow, so that it sets
    // the blocks aside at once instead of while the content is written. A
    // hint only: refusals are ignored (the writes report a full disk).
    void expect(long long total);
    // All n bytes, else 1403 naming the path. Small pieces are gathered in a
    // buffer, large ones go to the file directly.
    int write(ApiCall& call, const void* p, size_t n);
    // Replaces n bytes at `offset` of what was written (regular files), 1403.
    int writeAt(ApiCall& call, long long offset, const void* p, size_t n);
    // Drops everything written: the file is empty again (regular files), 1403.
    int restart(ApiCall& call);
    // Pushes the bytes written so far to the file (1403), which stays open.
    int flush(ApiCall& call);
    // Flushes and closes; the file then stays. 1403 when the last bytes
    // cannot be written (a full disk shows here).
    int finish(ApiCall& call);
    // Closes and removes an unfinished output (only a regular file that this
    // object opened is removed; devices and pipes are left alone).
    void discard();

    // All n bytes straight to the file, past the gathering buffer (which
    // must be empty: flush first); false when they cannot be written.
    // Records nothing, so that a thread other than the call's may write.
    bool writeRaw(const uint8_t* p, size_t n) { return m_fd >= 0 && writeAll(p, n); }
    // 1403 naming the path, for a failure of writeRaw.
    int writeFailed(ApiCall& call);

private:
    bool writeAll(const uint8_t* p, size_t n);

    int m_fd = -1;
    std::unique_ptr<uint8_t[]> m_buffer;
    size_t m_used = 0;
    std::string m_path;
    bool m_regular = false;
};

// A chunk-sized buffer on the heap (kStreamChunk bytes).
class ChunkBuffer {
public:
    // 0, or 1003 recorded when the memory cannot be had.
    int allocate(ApiCall& call);
    uint8_t* data() { return m_buf.get(); }
    static constexpr size_t size() { return kStreamChunk; }

private:
    std::unique_ptr<uint8_t[]> m_buf;
};

// Hashes `size` bytes of the input from its current position; 1811 with the
// hash's detail, or the file's own failure code.
int digestFile(ApiCall& call, InputFile& in, long long size, int nHashAlg, ByteString& digest);

}  // namespace qelt::cms
