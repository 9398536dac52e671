#pragma once

#include <QObject>

#include <functional>
#include <mutex>

namespace orv {

// Runs a function on the thread this object lives in and waits until it has returned.
// Called on that thread, the function runs at once. The data handed over travels through a
// mutex of ours, so that race detectors see the hand-over and not only Qt's own signalling.
// The owning thread must keep its event loop running while another thread waits here.
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
    std::mutex mutex_;   // guards pending_ and what the function reads and writes
    const std::function<void()>* pending_ = nullptr;
};

} // namespace orv
