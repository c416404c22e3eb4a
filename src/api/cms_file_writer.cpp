#include "api/cms_file_writer.h"

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <new>
#include <system_error>

#include "ZRCrypto/zr_hash.h"
#include "util/cp949_literal.h"

namespace qelt::cms {

ChunkWriter::~ChunkWriter() { stop(); }

int ChunkWriter::start(ApiCall& call) {
    m_ring.reset(new (std::nothrow) uint8_t[kChunks * chunkSize()]);
    if (!m_ring) return call.noMemory("ChunkWriter");
    // What was written before the content (a message's header) reaches the
    // file first; from here on only the writer touches the output.
    if (const int rc = m_out.flush(call)) return rc;
    // The writer takes no signals: those meant for the process go to the
    // application's threads, and a write to a pipe nobody reads any more
    // fails with EPIPE here instead of raising SIGPIPE.
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    try {
        m_thread = std::thread(&ChunkWriter::run, this);
    } catch (const std::system_error&) {
        // No thread to be had: push() writes each chunk itself.
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return 0;
}

uint8_t* ChunkWriter::next() {
    std::unique_lock lock(m_mutex);
    m_freedOne.wait(lock, [this] { return m_failed || m_queued < kChunks; });
    if (m_failed) return nullptr;
    return chunk((m_first + m_queued) % kChunks);
}

void ChunkWriter::push(size_t n) {
    if (!m_thread.joinable()) {
        if (!m_out.writeRaw(chunk(m_first), n)) m_failed = true;
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_length[(m_first + m_queued) % kChunks] = n;
        ++m_queued;
    }
    m_queuedMore.notify_one();
}

int ChunkWriter::finish(ApiCall& call) {
    if (m_thread.joinable()) {
        {
            std::lock_guard lock(m_mutex);
            m_closing = true;
        }
        m_queuedMore.notify_one();
        m_thread.join();
    }
    return m_failed ? m_out.writeFailed(call) : 0;
}

void ChunkWriter::stop() {
    if (!m_thread.joinable()) return;
    {
        std::lock_guard lock(m_mutex);
        m_dropping = true;
    }
    m_queuedMore.notify_one();
    m_thread.join();
}

void ChunkWriter::run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_queuedMore.wait(lock, [this] { return m_dropping || m_closing || m_queued > 0; });
        if (m_dropping || m_queued == 0) return;
        const size_t i = m_first;
        const size_t n = m_length[i];
        lock.unlock();
        const bool ok = m_out.writeRaw(chunk(i), n);
        lock.lock();
        if (!ok) {
            m_failed = true;
            m_freedOne.notify_one();
            return;
        }
        m_first = (m_first + 1) % kChunks;
        --m_queued;
        m_freedOne.notify_one();
    }
}

int hashAndCopy(ApiCall& call, InputFile& in, long long size, ZRHash* hash, OutputFile& out) {
    ChunkWriter writer(out);
    if (const int rc = writer.start(call)) return rc;
    for (long long left = size; left > 0;) {
        uint8_t* p = writer.next();
        if (p == nullptr) break;
        const size_t n = static_cast<size_t>(std::min<long long>(left, static_cast<long long>(writer.chunkSize())));
        if (const int rc = in.read(call, p, n)) return rc;
        if (hash != nullptr && hash->DigestData_Update(p, static_cast<int>(n)) != 0)
            return call.failCore(QELT_ERR_DIGEST, "메시지 다이제스트를 생성하는데 실패하였습니다."_cp949, *hash);
        writer.push(n);
        left -= static_cast<long long>(n);
    }
    return writer.finish(call);
}

}  // namespace qelt::cms
