#include "api/cms_file_writer.h"

#include <algorithm>
#include <new>

#include "ZRCrypto/zr_hash.h"
#include "util/cp949_literal.h"
#include "util/io_thread.h"

namespace qelt::cms {

ChunkWriter::~ChunkWriter() { stop(); }

int ChunkWriter::start(ApiCall& call, long long bytes) {
    m_inLeft = bytes > 0 ? static_cast<unsigned long long>(bytes) : 0;
    m_ring.reset(new (std::nothrow) uint8_t[kChunks * chunkSize()]);
    if (!m_ring) return call.noMemory("ChunkWriter");
    // What was written before the content (a message's header) reaches the
    // file first; from here on only the writer touches the output.
    if (const int rc = m_out.flush(call)) return rc;
    // Without a thread push() writes each chunk itself.
    startIoThread(m_thread, [this] { run(); });
    return 0;
}

size_t ChunkWriter::readWant() const {
    return static_cast<size_t>(std::min<unsigned long long>(m_inLeft, chunkSize()));
}

void ChunkWriter::readDone(size_t i, size_t want, size_t n) {
    // A short read ends the reading: the caller sees the short chunk.
    m_inLeft = n == want ? m_inLeft - n : 0;
    m_length[i] = n;
}

uint8_t* ChunkWriter::nextRead(size_t& n) {
    n = 0;
    if (!m_thread.joinable()) {
        // No thread: read here, into the one chunk push() writes from.
        if (m_failed) return nullptr;
        const size_t want = readWant();
        n = m_in.readSome(chunk(m_first), want);
        readDone(m_first, want, n);
        return chunk(m_first);
    }
    std::unique_lock lock(m_mutex);
    m_readOne.wait(lock, [this] { return m_failed || m_read > 0 || m_inLeft == 0; });
    if (m_failed) return nullptr;
    const size_t i = (m_first + m_queued) % kChunks;
    n = m_read > 0 ? m_length[i] : 0;
    return chunk(i);
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
        if (m_read > 0) --m_read;
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
        m_queuedMore.wait(lock, [this] { return m_dropping || m_closing || m_queued > 0 || mayRead(); });
        if (m_dropping) return;
        // Reading ahead comes first while the caller has nothing to hash or
        // nothing waits to be written; otherwise a chunk is written first,
        // which also frees the next one to read into.
        if (mayRead() && (m_read == 0 || m_queued == 0)) {
            const size_t i = (m_first + m_queued + m_read) % kChunks;
            const size_t want = readWant();
            lock.unlock();
            // Chunk i is free and the input is this thread's until finish():
            // the read needs no lock.
            const size_t n = m_in.readSome(chunk(i), want);
            lock.lock();
            readDone(i, want, n);
            ++m_read;
            m_readOne.notify_one();
            continue;
        }
        if (m_queued == 0) return;  // closing, everything written
        const size_t i = m_first;
        const size_t n = m_length[i];
        lock.unlock();
        const bool ok = m_out.writeRaw(chunk(i), n);
        lock.lock();
        if (!ok) {
            m_failed = true;
            m_readOne.notify_one();
            return;
        }
        m_first = (m_first + 1) % kChunks;
        --m_queued;
    }
}

int hashAndCopy(ApiCall& call, InputFile& in, long long size, ZRHash* hash, OutputFile& out) {
    ChunkWriter writer(in, out);
    if (const int rc = writer.start(call, size)) return rc;
    for (long long left = size; left > 0;) {
        const size_t want = static_cast<size_t>(std::min<long long>(left, static_cast<long long>(writer.chunkSize())));
        size_t n = 0;
        uint8_t* p = writer.nextRead(n);
        if (p == nullptr) break;
        if (n != want) return in.shortRead(call);
        if (hash != nullptr && hash->DigestData_Update(p, static_cast<int>(n)) != 0)
            return call.failCore(QELT_ERR_DIGEST, "메시지 다이제스트를 생성하는데 실패하였습니다."_cp949, *hash);
        writer.push(n);
        left -= static_cast<long long>(n);
    }
    return writer.finish(call);
}

}  // namespace qelt::cms
