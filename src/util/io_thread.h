// The library's helper threads for file input and output (the streaming
// CMS functions, file encryption) and for copying a large signed content
// beside its digest start here, with every signal blocked:
// signals meant for the process go to the application's threads, and a
// write to a pipe nobody reads any more fails with EPIPE in the helper
// instead of raising SIGPIPE.
#pragma once

#include <pthread.h>
#include <signal.h>

#include <system_error>
#include <thread>
#include <utility>

namespace qelt {

// Starts `body` on `thread`; false when no thread can be had (the caller
// then does the work itself).
template <class Body>
bool startIoThread(std::thread& thread, Body&& body) {
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    bool started = true;
    try {
        thread = std::thread(std::forward<Body>(body));
    } catch (const std::system_error&) {
        started = false;
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return started;
}

}  // namespace qelt
