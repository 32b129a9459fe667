#include "framework/helperthread.h"

#include <sched.h>

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
    if (started_) ::pthread_join(thread_, nullptr);
    started_ = false;
}

void* HelperThread::run(void* self) {
    static_cast<HelperThread*>(self)->body_();
    return nullptr;
}

}  // namespace sf
