#include "link/receive_buffer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace orv {
namespace {

TEST(ReceiveBuffer, KeepsBytesInOrderAndDropsWhatExceedsTheCapacity) {
    TReceiveBuffer buffer;
    std::vector<Byte> first(150), second(100);
    for (std::size_t i = 0; i < first.size(); ++i) {
        first[i] = static_cast<Byte>(i);
    }
    for (std::size_t i = 0; i < second.size(); ++i) {
        second[i] = static_cast<Byte>(0x80 + i);
    }
    EXPECT_EQ(buffer.Append(first.data(), first.size()), 150u);
    EXPECT_EQ(buffer.Append(second.data(), second.size()), 52u);
    EXPECT_EQ(buffer.Count(), TReceiveBuffer::kCapacity);
    const Byte more = 0xEE;
    EXPECT_EQ(buffer.Append(&more, 1), 0u);

    const auto snapshot = buffer.Take();
    ASSERT_EQ(snapshot.count, 202u);
    EXPECT_EQ(snapshot.bytes[149], 149);
    EXPECT_EQ(snapshot.bytes[150], 0x80);
    EXPECT_EQ(snapshot.bytes[201], 0x80 + 51);

    buffer.Clear();
    EXPECT_EQ(buffer.Count(), 0u);
    const auto cleared = buffer.Take();
    for (const Byte b : cleared.bytes) {
        ASSERT_EQ(b, 0);
    }
    // A cleared buffer reads as zeros past the count.
    EXPECT_EQ(cleared.View()[5], 0);
}

TEST(ReceiveBuffer, AssessesTheAnnouncedLength) {
    struct Case {
        std::size_t count;
        Byte length;
        TReplyState expected;
    };
    for (const Case c : {
             Case{0, 0, TReplyState::Waiting},
             Case{1, 0, TReplyState::Waiting},
             Case{2, 10, TReplyState::Waiting},
             Case{9, 10, TReplyState::Waiting},
             Case{10, 10, TReplyState::Complete},
             Case{12, 10, TReplyState::Impossible}, // more than announced
             Case{2, 0, TReplyState::Impossible},   // lengths no frame can have
             Case{2, 1, TReplyState::Impossible},
             Case{2, 2, TReplyState::Complete},     // complete, then refused by its checksum
             Case{5, 255, TReplyState::Impossible}, // longer than the buffer holds
             Case{5, 203, TReplyState::Impossible},
             Case{201, 202, TReplyState::Waiting},
             Case{202, 202, TReplyState::Complete},
         }) {
        EXPECT_EQ(AssessReply(c.count, c.length), c.expected) << c.count << " of " << int{c.length};
    }
}

// The worker's wait ends as soon as bytes come, or at its deadline; when the line last brought
// bytes outlives the emptying before the next request.
TEST(ReceiveBuffer, WaitEndsWhenBytesComeOrAtTheDeadline) {
    using Clock = TReceiveBuffer::Clock;
    using namespace std::chrono_literals;
    TReceiveBuffer buffer;
    EXPECT_FALSE(buffer.LastArrival());
    auto start = Clock::now();
    EXPECT_EQ(buffer.WaitForChange(0, start + 50ms), 0u);
    EXPECT_GE(Clock::now(), start + 50ms);

    std::thread port([&] {
        std::this_thread::sleep_for(20ms);
        const Byte bytes[3] = {1, 2, 3};
        buffer.Append(bytes, 3);
    });
    start = Clock::now();
    EXPECT_EQ(buffer.WaitForChange(0, start + 30s), 3u);
    EXPECT_LT(Clock::now(), start + 10s);
    port.join();
    const auto arrived = buffer.LastArrival();
    ASSERT_TRUE(arrived);
    EXPECT_GE(*arrived, start);
    buffer.Clear();
    EXPECT_EQ(buffer.LastArrival(), arrived);
}

// Filled on one thread and read on another, as the port and the worker do.
TEST(ReceiveBuffer, CountNeverRunsAheadOfTheBytes) {
    TReceiveBuffer buffer;
    std::atomic<bool> stop = false;
    std::thread producer([&] {
        Byte chunk[7];
        for (int round = 0; round < 2000; ++round) {
            buffer.Clear();
            for (int k = 0; k < 29; ++k) {
                for (Byte& b : chunk) {
                    b = 0xA5;
                }
                buffer.Append(chunk, sizeof chunk);
            }
        }
        stop = true;
    });
    while (!stop) {
        const auto s = buffer.Take();
        ASSERT_LE(s.count, TReceiveBuffer::kCapacity);
        for (std::size_t i = 0; i < s.count; ++i) {
            ASSERT_EQ(s.bytes[i], 0xA5);
        }
    }
    producer.join();
}

} // namespace
} // namespace orv
