// How the worker hands its result codes to the thread that owns the port.
#include "e2e_support.h"

#include <QEventLoop>

namespace orv::e2e {
namespace {

class WorkerDelivery : public InEachMode {};
INSTANTIATE_TEST_SUITE_P(Link, WorkerDelivery, ::testing::ValuesIn(kExchangeModes), ModeParamName);

TEST_P(WorkerDelivery, CodesArriveOnThePortThreadWhileTheWorkerWaits) {
    auto config = CreateDevice(12);
    const Bytes payload = RandomBytes(config->L(), 5u);
    StartSim({"--type", "12", "--version", "44", "--config-hex", Hex(payload)});

    auto* worker = new TThreadBuff(*data, state);
    worker->SetMode(TThreadBuff::modeRead);
    QObject::connect(worker, &TThreadBuff::Ended, worker, &QObject::deleteLater);
    std::vector<int> codes;
    bool onPortThread = true, workerWaiting = true, lowPriority = true;
    Byte versionSeen = 0;
    Bytes payloadSeen;
    QEventLoop loop;
    QObject::connect(worker, &TThreadBuff::ResultCode, [&](int code, int) {
        codes.push_back(code);
        onPortThread = onPortThread && QThread::currentThread() == data->cmprtdrvr1.thread();
        workerWaiting = workerWaiting && worker->isRunning();
        lowPriority = lowPriority && worker->priority() == QThread::LowPriority;
        if (code == rcReadDone) {
            // The new device object is complete when its code arrives, and the port still open.
            versionSeen = state.device->GetVersion();
            const auto p = state.device->PayloadBytes();
            payloadSeen.assign(p.begin(), p.end());
            EXPECT_TRUE(data->cmprtdrvr1.IsOpen());
        }
    });
    QObject::connect(worker, &QObject::destroyed, &loop, &QEventLoop::quit);
    worker->Start();
    loop.exec();

    EXPECT_EQ(codes, (std::vector<int>{2, 3, 3, 0}));
    EXPECT_TRUE(onPortThread);
    EXPECT_TRUE(workerWaiting);
    EXPECT_TRUE(lowPriority);
    EXPECT_EQ(versionSeen, 44);
    EXPECT_EQ(payloadSeen, payload);
    EXPECT_FALSE(data->cmprtdrvr1.IsOpen());
}

// Any mode but read and write only opens and closes the port.
TEST_P(WorkerDelivery, OtherModeOnlyOpensThePort) {
    StartSim({"--type", "1"});
    const auto run = Run(7);
    EXPECT_EQ(run.results, (std::vector<TResult>{{rcPortOpen, 0}}));
    EXPECT_TRUE(sim->LoggedFrames().empty());
}

// Two transactions in a row on the same port and buffers: nothing of the first leaks into the second.
TEST_P(WorkerDelivery, ConsecutiveTransactionsStartClean) {
    StartSim({"--type", "3", "--version", "9"});
    const auto first = Run(TThreadBuff::modeRead);
    ASSERT_EQ(first.results.back(), (TResult{rcReadDone, 3}));
    const auto device = state.device;
    device->SetPayload(0, 0x42);
    const auto write = Run(TThreadBuff::modeWrite);
    EXPECT_EQ(write.results.back(), (TResult{rcWriteDone, 0}));
    const auto second = Run(TThreadBuff::modeRead);
    EXPECT_EQ(second.results.back(), (TResult{rcReadDone, 3}));
    EXPECT_NE(state.device, device);
    EXPECT_EQ(state.device->Payload(0), 0x42);
    EXPECT_EQ(sim->LoggedFrames().size(), 3u);
}

} // namespace
} // namespace orv::e2e
