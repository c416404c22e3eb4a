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
    // what `out` has gathered so far (1403) and starts the writer.
    int start(ApiCall& call);
    // Large enough that handing a chunk over costs nothing noticeable; the
    // ring stays under 4 MiB.
    static constexpr size_t chunkSize() { return size_t{1} << 20; }
    // A free chunk of chunkSize() bytes, waiting for one when all are
    // queued; null once a write has failed.
    uint8_t* next();
    // Queues the first n bytes of the chunk next() gave last.
    void push(size_t n);
    // Waits until every queued chunk is written and joins the writer: 0, or
    // the output's 1403 naming its path when a write failed.
    int finish(ApiCall& call);

private:
    void run();
    void stop();
    uint8_t* chunk(size_t i) { return m_ring.get() + i * chunkSize(); }

    OutputFile& m_out;
    std::unique_ptr<uint8_t[]> m_ring;
    size_t m_length[kChunks] = {};
    // Guarded by m_mutex. Chunks m_first .. m_first + m_queued - 1 (mod
    // kChunks) belong to the writer, the one it is writing included; the
    // caller fills chunk (m_first + m_queued) % kChunks.
    std::mutex m_mutex;
    std::condition_variable m_queuedMore;  // to the writer: a chunk, or the end
    std::condition_variable m_freedOne;    // to the caller: a chunk free, or a failure
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
