#include "hand_off.h"

#include <QThread>

// ThreadSanitizer does not follow the wake-up through the semaphore here (the futex wait inside
// the standard library), so the ordering it gives is stated to it directly.
#if defined(__SANITIZE_THREAD__)
#define ORV_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ORV_TSAN 1
#endif
#endif
#ifdef ORV_TSAN
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
#endif

namespace orv {

namespace {
void Published(void* token) {
#ifdef ORV_TSAN
    __tsan_release(token);
#else
    (void)token;
#endif
}
void Seen(void* token) {
#ifdef ORV_TSAN
    __tsan_acquire(token);
#else
    (void)token;
#endif
}
} // namespace

THandOff::THandOff(QObject* parent) : QObject(parent) {}

void THandOff::Run(const std::function<void()>& function) {
    if (QThread::currentThread() == thread()) {
        function();
        return;
    }
    std::lock_guard caller(callers_);
    {
        // Posted while the mutex is held: the owning thread takes the request only after this
        // thread has let go of it, and so after the post.
        std::lock_guard lock(mutex_);
        pending_ = &function;
        QMetaObject::invokeMethod(this, "RunPending", Qt::QueuedConnection);
    }
    finished_.acquire();
    Seen(&finished_);
}

void THandOff::RunPending() {
    const std::function<void()>* function = nullptr;
    {
        std::lock_guard lock(mutex_);
        function = std::exchange(pending_, nullptr);
    }
    if (function) {
        (*function)();
        Published(&finished_);
        finished_.release();
    }
}

} // namespace orv
