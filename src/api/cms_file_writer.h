// Content copied from an input file into an output file goes through a
// thread of its own, which reads the content ahead and writes it out, so
// that the calling thread only hashes: reading and writing (copies through
// the page cache, and at times a wait for the disk) share the other
// processor instead of following the hash on the same one.
//
// The caller and the thread share a small ring of fixed chunk buffers: the
// thread reads into free chunks, the caller hashes the next read one and
// hands it back, and the thread writes the handed chunks in order and frees
// them. Memory is the ring alone whatever the size of the file.
//
//   ChunkWriter writer(in, out);
//   if (int rc = writer.start(call, size)) return rc;
//   while (more) {
//       size_t n = 0;
//       uint8_t* p = writer.nextRead(n);
//       if (p == nullptr) break;          // a write failed: finish() tells
//       ...hash the n bytes at p (fewer than asked: the input ended early)...
//       writer.push(n);
//   }
//   return writer.finish(call);
//
// A caller that fails on its side simply returns: the destructor tells the
// thread to drop what is queued and joins it. A write that fails stops the
// thread at once, and the caller's next nextRead() returns null.
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
    // Chunks in the ring: one being hashed by the caller, one being written,
    // and one being read ahead.
    static constexpr size_t kChunks = 3;

    // Reads from `in` and writes to `out`, both left alone by the caller
    // from start() to finish() (or to the destructor).
    ChunkWriter(InputFile& in, OutputFile& out) : m_in(in), m_out(out) {}
    // Stops the writer (dropping chunks not yet written) and joins it.
    ~ChunkWriter();
    ChunkWriter(const ChunkWriter&) = delete;
    ChunkWriter& operator=(const ChunkWriter&) = delete;

    // Sets the ring aside (1003 when the memory cannot be had), pushes out
    // what `out` has gathered so far (1403) and starts the thread, which
    // reads the next `bytes` bytes of the input.
    int start(ApiCall& call, long long bytes);
    // Large enough that handing a chunk over costs nothing noticeable; the
    // ring stays under 4 MiB.
    static constexpr size_t chunkSize() { return size_t{1} << 20; }
    // The next chunk read from the input and its length n: a whole chunk, or
    // what is left; less only where the file ended early or a read failed
    // (the input tells which). Null once a write has failed.
    uint8_t* nextRead(size_t& n);
    // Queues the first n bytes of the chunk nextRead() gave last.
    void push(size_t n);
    // Waits until every queued chunk is written and joins the writer: 0, or
    // the output's 1403 naming its path when a write failed.
    int finish(ApiCall& call);

private:
    void run();
    void stop();
    uint8_t* chunk(size_t i) { return m_ring.get() + i * chunkSize(); }
    // How much of the input the next chunk read takes, and the bookkeeping
    // after it (m_mutex held while the thread runs).
    size_t readWant() const;
    void readDone(size_t i, size_t want, size_t n);
    // Whether the thread may read another chunk ahead (m_mutex held).
    bool mayRead() const { return m_inLeft > 0 && !m_closing && m_queued + m_read < kChunks; }

    InputFile& m_in;
    OutputFile& m_out;
    std::unique_ptr<uint8_t[]> m_ring;
    size_t m_length[kChunks] = {};
    // Guarded by m_mutex. Chunks m_first .. m_first + m_queued - 1 (mod
    // kChunks) belong to the writer, the one it is writing included; the
    // m_read chunks from (m_first + m_queued) % kChunks on hold what was
    // read (the caller's current one first), and the thread reads into the
    // one after them.
    std::mutex m_mutex;
    size_t m_read = 0;
    unsigned long long m_inLeft = 0;
    std::condition_variable m_queuedMore;  // to the writer: a chunk, or the end
    std::condition_variable m_readOne;     // to the caller: a chunk read, or a failure
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
