#include "api/file_write_behind.h"

#include <algorithm>
#include <cstring>

#include "util/io_thread.h"

namespace qelt {

WriteBehind::~WriteBehind() { stop(); }

bool WriteBehind::start() {
    if (!m_buffers) return false;
    // Without a thread handOver() writes each buffer itself.
    startIoThread(m_thread, [this] { run(); });
    return true;
}

void WriteBehind::run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_pending || m_closing; });
        if (!m_pending) return;  // closing with nothing left
        const int index = m_pendingIndex;
        const size_t length = m_pendingLength;
        lock.unlock();
        const bool ok = std::fwrite(buffer(index), 1, length, m_out) == length;
        lock.lock();
        if (!ok) m_failed = true;
        m_pending = false;
        m_changed.notify_all();
        if (m_failed) return;
    }
}

bool WriteBehind::handOver() {
    const size_t length = m_fill;
    m_fill = 0;
    if (!m_thread.joinable()) {
        if (std::fwrite(buffer(m_current), 1, length, m_out) != length) m_failed = true;
        return !m_failed;
    }
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_pending || m_failed; });
    if (m_failed) return false;
    m_pending = true;
    m_pendingIndex = m_current;
    m_pendingLength = length;
    m_changed.notify_all();
    m_current ^= 1;
    return true;
}

bool WriteBehind::write(const uint8_t* p, size_t n) {
    while (n > 0) {
        const size_t take = std::min(n, kBufferSize - m_fill);
        std::memcpy(buffer(m_current) + m_fill, p, take);
        m_fill += take;
        p += take;
        n -= take;
        if (m_fill == kBufferSize && !handOver()) return false;
    }
    return true;
}

bool WriteBehind::finish() {
    if (m_fill > 0 && !handOver()) return false;  // the destructor stops the thread
    if (m_thread.joinable()) {
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return !m_pending || m_failed; });
            m_closing = true;
            m_changed.notify_all();
        }
        m_thread.join();
    }
    // The thread is gone: m_failed is the caller's alone again.
    return !m_failed && std::fflush(m_out) == 0;
}

void WriteBehind::stop() {
    if (!m_thread.joinable()) return;
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
        m_pending = false;  // whatever was not written yet is dropped
        m_changed.notify_all();
    }
    m_thread.join();
}

}  // namespace qelt
