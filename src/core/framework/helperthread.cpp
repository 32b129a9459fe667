#include "framework/helperthread.h"

#include <sched.h>

#include <chrono>
#include <thread>

namespace sf {

HelperThread::HelperThread(std::function<void()> body) : body_(std::move(body)) {
    pthread_attr_t attr;
    bool placed = false;
    if (::pthread_attr_init(&attr) == 0) {
#ifdef __linux__
        cpu_set_t cores;
        const int here = ::sched_getcpu();
        if (here >= 0 && here < CPU_SETSIZE && ::sched_getaffinity(0, sizeof cores, &cores) == 0 &&
            CPU_ISSET(here, &cores) && CPU_COUNT(&cores) > 1) {
            CPU_CLR(here, &cores);
            placed = ::pthread_attr_setaffinity_np(&attr, sizeof cores, &cores) == 0;
        }
#endif
        started_ = placed && ::pthread_create(&thread_, &attr, &HelperThread::run, this) == 0;
        ::pthread_attr_destroy(&attr);
    }
    if (!started_) started_ = ::pthread_create(&thread_, nullptr, &HelperThread::run, this) == 0;
}

void HelperThread::join() {
    if (!started_) return;
    started_ = false;
    // A thread whose work is done still takes a tenth of a millisecond and
    // more to end (its stack handed back to the system, then the caller
    // woken), time the caller would wait for nothing. The caller's work and
    // the helper's usually end close together, so the caller watches for the
    // end of the work a moment and lets the thread end on its own; work that
    // goes on longer is waited for asleep.
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(250);
    while (!done_.load(std::memory_order_acquire) && std::chrono::steady_clock::now() < until)
        std::this_thread::yield();
    if (done_.load(std::memory_order_acquire))
        ::pthread_detach(thread_);
    else
        ::pthread_join(thread_, nullptr);
}

void* HelperThread::run(void* self) {
    auto* helper = static_cast<HelperThread*>(self);
    helper->body_();
    // The last touch of the object: join() may let it go from here on.
    helper->done_.store(true, std::memory_order_release);
    return nullptr;
}

}  // namespace sf
