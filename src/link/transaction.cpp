#include "transaction.h"

#include "link/data_module.h"
#include "link/thread_buff.h"

#include <QEventLoop>

namespace orv {

namespace {

std::vector<TResult> Run(TThreadBuff& worker, Byte mode, const TResultHandler& onResult,
                         const TProgressHandler& onProgress) {
    std::vector<TResult> results;
    worker.SetMode(mode);
    QObject::connect(&worker, &TThreadBuff::ResultCode, [&](int code, int argument) {
        results.push_back({code, argument});
        if (onResult) {
            onResult(results.back());
        }
    });
    if (onProgress) {
        QObject::connect(&worker, &TThreadBuff::Progress, onProgress);
    }
    QEventLoop loop;
    QObject::connect(&worker, &TThreadBuff::Ended, &loop, &QEventLoop::quit);
    worker.Start();
    loop.exec();
    worker.wait();
    return results;
}

} // namespace

std::vector<TResult> RunTransaction(TCommPortDriver& port, TReceiveBuffer& receive, TProgramState& state,
                                    Byte mode, const TResultHandler& onResult,
                                    const TProgressHandler& onProgress) {
    TThreadBuff worker(port, receive, state);
    return Run(worker, mode, onResult, onProgress);
}

std::vector<TResult> RunTransaction(TmodData& data, TProgramState& state, Byte mode,
                                    const TResultHandler& onResult, const TProgressHandler& onProgress) {
    TThreadBuff worker(data, state);
    return Run(worker, mode, onResult, onProgress);
}

} // namespace orv
