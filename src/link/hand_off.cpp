#include "hand_off.h"

#include <QThread>

namespace orv {

THandOff::THandOff(QObject* parent) : QObject(parent) {}

void THandOff::Run(const std::function<void()>& function) {
    if (QThread::currentThread() == thread()) {
        function();
        return;
    }
    std::lock_guard caller(callers_);
    {
        std::lock_guard lock(mutex_);
        pending_ = &function;
    }
    QMetaObject::invokeMethod(this, "RunPending", Qt::BlockingQueuedConnection);
    std::lock_guard lock(mutex_);
    pending_ = nullptr;
}

void THandOff::RunPending() {
    const std::function<void()>* function = nullptr;
    {
        std::lock_guard lock(mutex_);
        function = pending_;
    }
    if (function) {
        (*function)();
    }
    // Publishes what the function wrote before the waiting thread goes on.
    std::lock_guard lock(mutex_);
}

} // namespace orv
