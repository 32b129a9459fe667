// A second thread for work that runs beside the calling one: started on
// another core than the caller's, joined when it goes.
#pragma once

#include <pthread.h>

#include <atomic>
#include <functional>

namespace sf {

// Left to the scheduler, a new thread often starts on its creator's core and
// stays there for the whole of a short piece of work, the two taking turns
// while the other core idles (seen on a two-core machine in one run out of
// three at times). This one may run on any core but its creator's; where the
// cores cannot be chosen it starts as any thread does, and where no thread
// can be started at all, `body` never runs.
class HelperThread {
  public:
    explicit HelperThread(std::function<void()> body);
    ~HelperThread() { join(); }
    HelperThread(const HelperThread&) = delete;
    HelperThread& operator=(const HelperThread&) = delete;

    // Waits for `body` to return; nothing once joined or never started.
    // The thread itself may still be ending when this returns: nothing of
    // this object is touched by it any more.
    void join();

  private:
    static void* run(void* self);

    std::function<void()> body_;
    pthread_t thread_{};
    std::atomic<bool> done_{false};  // `body` has returned
    bool started_ = false;
};

}  // namespace sf
