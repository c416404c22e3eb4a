// Content that is copied into an output file is written on a thread of its
// own, so that writing one chunk (a copy into the page cache, and at times
// a wait for the disk) overlaps reading and hashing the next one instead of
// following it on the same processor.
//
// The caller and the writer share a small ring of fixed chunk buffers: the
// caller takes a free one, fills it (a read straight into it, then the
// hash), and hands it over; the writer writes the handed chunks in order
// and frees them. Memory is the ring alone whatever the size of the file.
//
//   ChunkWriter writer(out);
//   if (int rc = writer.start(call)) return rc;
//   while (more) {
//       uint8_t* p = writer.next();
//       if (p == nullptr) break;          // a write failed: finish() tells
//       ...fill and hash up to ChunkWriter::chunkSize() bytes at p...
//       writer.push(n);
//   }
//   return writer.finish(call);
//
// A caller that fails on its side simply returns: the destructor tells the
// writer to drop what is queued and joins it. A writer that fails stops at
// once, and the caller's next next() returns null.
//
// When the content comes from a file, the same thread can read it ahead
// into the free chunks (start(call, &in, size), then nextRead() in place of
// next() and the read): the caller's processor is then left to the hash
// alone, and reading and writing share the other one.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "api/cms_file_io.h"

namespace qelt::cms {

class ChunkWriter {
public:
    // Chunks in the ring: one filled by the caller, one being written, and
    // one ready so that neither side waits on a short hiccup of the other.
    static constexpr size_t kChunks = 3;

    // Writes to `out`, which the caller leaves alone from start() to
    // finish() (or to the destructor).
    explicit ChunkWriter(OutputFile& out) : m_out(out) {}
    // Stops the writer (dropping chunks not yet written) and joins it.
    ~ChunkWriter();
    ChunkWriter(const ChunkWriter&) = delete;
    ChunkWriter& operator=(const ChunkWriter&) = delete;

    // Sets the ring aside (1003 when the memory cannot be had), pushes out
    // what `out` has gathered so far (1403) and starts the writer. With a
    // source, the writer also reads its next sourceBytes bytes ahead; the
    // caller leaves the source alone until finish() or the destructor.
    int start(ApiCall& call, InputFile* source = nullptr, long long sourceBytes = 0);
    // Large enough that handing a chunk over costs nothing noticeable; the
    // ring stays under 4 MiB.
    static constexpr size_t chunkSize() { return size_t{1} << 20; }
    // A free chunk of chunkSize() bytes, waiting for one when all are
    // queued; null once a write has failed.
    uint8_t* next();
    // The next chunk read ahead from the source and its length n: a whole
    // chunk, or what is left; less only where the file ended early or a
    // read failed (the source tells which). Null once a write has failed.
    uint8_t* nextRead(size_t& n);
    // Queues the first n bytes of the chunk next() or nextRead() gave last.
    void push(size_t n);
    // Waits until every queued chunk is written and joins the writer: 0, or
    // the output's 1403 naming its path when a write failed.
    int finish(ApiCall& call);

private:
    void run();
    void stop();
    uint8_t* chunk(size_t i) { return m_ring.get() + i * chunkSize(); }
    // How much of the source the next chunk read takes, and the bookkeeping
    // after it (m_mutex held while reading ahead).
    size_t readWant() const;
    void readDone(size_t i, size_t want, size_t n);
    // Whether the writer may read another chunk ahead (m_mutex held).
    bool mayRead() const { return m_source != nullptr && m_sourceLeft > 0 && !m_closing && m_queued + m_read < kChunks; }

    OutputFile& m_out;
    std::unique_ptr<uint8_t[]> m_ring;
    size_t m_length[kChunks] = {};
    InputFile* m_source = nullptr;
    // Guarded by m_mutex. Chunks m_first .. m_first + m_queued - 1 (mod
    // kChunks) belong to the writer, the one it is writing included; the
    // caller fills chunk (m_first + m_queued) % kChunks. Reading ahead, the
    // m_read chunks from there on hold what was read (the caller's current
    // one first), and the writer reads into the one after them.
    std::mutex m_mutex;
    size_t m_read = 0;
    unsigned long long m_sourceLeft = 0;
    std::condition_variable m_queuedMore;  // to the writer: a chunk, or the end
    std::condition_variable m_freedOne;    // to the caller: a chunk free or read, or a failure
    size_t m_first = 0;
    size_t m_queued = 0;
    bool m_closing = false;  // no more chunks come: write what is queued, then leave
    bool m_dropping = false;  // leave now, without writing what is queued
    bool m_failed = false;
    std::thread m_thread;
};

// Moves `size` bytes of `in`, from its current position, through `hash`
// (when not null) and into `out` after what it holds, through a
// ChunkWriter. A file that ends early records 1418, a failing hash 1811
// "메시지 다이제스트를 생성하는데 실패하였습니다." with its detail; a failing
// write 1403.
int hashAndCopy(ApiCall& call, InputFile& in, long long size, ZRHash* hash, OutputFile& out);

}  // namespace qelt::cms
