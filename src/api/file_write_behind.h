// Output of a long computation written on a thread of its own: the caller
// fills one buffer while the thread writes the other, so copying the bytes
// into the kernel (and the file system's work behind it) runs beside the
// computation on the other processor instead of after it.
//
//   WriteBehind out(file);
//   if (!out.start()) ...no memory...
//   while (...) if (!out.write(p, n)) ...a write failed...
//   if (!out.finish()) ...a write or the final flush failed...
//
// Memory is the two buffers whatever the output's size. They are wiped when
// done: decryption writes plaintext through them. When no thread can be had
// the buffers are written by the caller as they fill.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <thread>

#include "util/wiped_buffer.h"

namespace qelt {

class WriteBehind {
public:
    // Large enough that a system call per buffer costs nothing noticeable.
    static constexpr size_t kBufferSize = 128 * 1024;

    // Writes to `out`, which the caller leaves alone from start() to finish().
    explicit WriteBehind(std::FILE* out) : m_out(out), m_buffers(2 * kBufferSize) {}
    // Stops the thread (dropping what was not written); the buffers are wiped.
    ~WriteBehind();
    WriteBehind(const WriteBehind&) = delete;
    WriteBehind& operator=(const WriteBehind&) = delete;

    // Starts the thread; false when the buffers could not be had.
    bool start();
    // Appends n bytes; false once a write has failed.
    bool write(const uint8_t* p, size_t n);
    // Writes what is left, waits for the thread and flushes the file; false
    // when any write or the flush failed.
    bool finish();

private:
    void run();
    // Hands the filled part of the buffer to the thread (waiting while it
    // still writes the other one) and goes on in the other buffer; false
    // once a write has failed.
    bool handOver();
    void stop();
    uint8_t* buffer(int i) { return m_buffers.data() + static_cast<size_t>(i) * kBufferSize; }

    std::FILE* m_out;
    WipedBuffer m_buffers;  // two of kBufferSize
    int m_current = 0;                     // the buffer the caller fills
    size_t m_fill = 0;

    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    // Shared with the thread under m_mutex while it runs.
    bool m_pending = false;  // a handed-over buffer not yet written
    int m_pendingIndex = 0;
    size_t m_pendingLength = 0;
    bool m_failed = false;
    bool m_closing = false;
};

}  // namespace qelt
