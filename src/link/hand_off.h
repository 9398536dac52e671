#pragma once

#include <QObject>

#include <functional>
#include <mutex>
#include <semaphore>

namespace orv {

// Runs a function on the thread this object lives in and waits until it has returned.
// Called on that thread, the function runs at once. The owning thread must keep its event loop
// running meanwhile.
//
// The hand-over is ordered by means of our own, not by Qt's signalling alone: the request is
// posted under our mutex, which the owning thread takes before it runs the function, and the
// caller is woken through our semaphore after the function has returned.
class THandOff : public QObject {
    Q_OBJECT
public:
    explicit THandOff(QObject* parent = nullptr);

    void Run(const std::function<void()>& function);

    template <typename F> auto Call(F&& function) -> decltype(function()) {
        using R = decltype(function());
        if constexpr (std::is_void_v<R>) {
            Run(std::function<void()>(std::forward<F>(function)));
        } else {
            R result{};
            Run([&] { result = function(); });
            return result;
        }
    }

private:
    Q_INVOKABLE void RunPending();

    std::mutex callers_; // one hand-over at a time
    std::mutex mutex_;   // guards pending_
    const std::function<void()>* pending_ = nullptr;
    std::binary_semaphore finished_{0};
};

} // namespace orv
