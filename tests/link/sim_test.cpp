// The simulated panel's own parts: frame reception, faults, options, state file.
#include "device/catalogue.h"
#include "sim/faults.h"
#include "sim/frame_receiver.h"
#include "sim/hex.h"
#include "sim/panel.h"
#include "sim/sim_options.h"
#include "sim/state_file.h"

#include <gtest/gtest.h>

#include <random>

namespace orv::sim {
namespace {

std::vector<Byte> Sealed(std::vector<Byte> f) {
    Reseal(f);
    return f;
}

std::vector<Byte> Request(Byte sub, Byte page = 0) {
    const auto r = frame::BuildReadRequest(sub, page);
    return {r.begin(), r.end()};
}

std::vector<Byte> Concat(std::initializer_list<std::vector<Byte>> parts) {
    std::vector<Byte> all;
    for (const auto& p : parts) {
        all.insert(all.end(), p.begin(), p.end());
    }
    return all;
}

struct Collected {
    std::vector<std::vector<Byte>> frames;
    TFrameReceiver::FrameHandler Handler() {
        return [this](std::span<const Byte> f) { frames.emplace_back(f.begin(), f.end()); };
    }
};

TEST(SimFrameReceiver, FindsFramesAmidGarbage) {
    const auto r1 = Request(1);
    const auto r6 = Request(6, 2);
    const auto w = Sealed({0x7E, 0, 0x57, 0x02, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0});
    auto badCrc = r1;
    badCrc.back() ^= 0x01;
    struct Case {
        const char* name;
        std::vector<Byte> stream;
        std::vector<std::vector<Byte>> expected;
    };
    const std::vector<Case> cases{
        {"one frame", r1, {r1}},
        {"back to back", Concat({r1, w, r6}), {r1, w, r6}},
        {"garbage before", Concat({{0x00, 0x55, 0xFF, 0x44}, r1}), {r1}},
        {"start bytes in the garbage", Concat({{0x7E, 0x7E, 0x00}, r1}), {r1}},
        {"impossible lengths",
         Concat({{0x7E, 0x00, 0x7E, 0x01, 0x7E, 0x02, 0x7E, 0x04, 0x7E, 0xFF, 0x7E, 0xCA}, r6}),
         {r6}},
        {"bad checksum, then a sound frame", Concat({badCrc, r6}), {r6}},
        {"a frame inside a broken one", Concat({{0x7E, 0x0C, 0x52}, r1}), {r1}},
        {"garbage after", Concat({w, {0x01, 0x02}}), {w}},
    };
    for (const Case& c : cases) {
        // Whole, and one byte at a time.
        for (const bool trickle : {false, true}) {
            TFrameReceiver receiver;
            Collected got;
            const auto now = TClock::now();
            if (trickle) {
                for (const Byte b : c.stream) {
                    receiver.Feed(std::span<const Byte>(&b, 1), now, got.Handler());
                }
            } else {
                receiver.Feed(c.stream, now, got.Handler());
            }
            EXPECT_EQ(got.frames, c.expected) << c.name << (trickle ? " (trickle)" : "");
        }
    }
}

TEST(SimFrameReceiver, GivesUpAFrameThatNeverCompletes) {
    TFrameReceiver receiver;
    Collected got;
    const auto start = TClock::now();
    const auto r1 = Request(1);
    // A start byte claiming 200 bytes does not hide a whole request behind it.
    receiver.Feed(Concat({{0x7E, 0xC8, 0x10}, r1}), start, got.Handler());
    EXPECT_EQ(got.frames, (std::vector<std::vector<Byte>>{r1}));

    receiver.Feed(std::vector<Byte>{0x7E, 0xC8, 0x10, 0x7E}, start, got.Handler());
    EXPECT_EQ(receiver.Buffered(), 4u);
    ASSERT_TRUE(receiver.NextDeadline().has_value());
    receiver.Expire(start + TFrameReceiver::kStaleAfter / 2, got.Handler());
    EXPECT_EQ(receiver.Buffered(), 4u);
    receiver.Expire(start + TFrameReceiver::kStaleAfter, got.Handler());
    EXPECT_EQ(receiver.Buffered(), 0u);
    EXPECT_FALSE(receiver.NextDeadline().has_value());

    // After the silence the next request counts from its own start byte.
    receiver.Feed(r1, start + TFrameReceiver::kStaleAfter, got.Handler());
    EXPECT_EQ(got.frames.size(), 2u);
}

TEST(SimFrameReceiver, NeverHoldsMoreThanTheLongestFrame) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> byte(0, 255);
    TFrameReceiver receiver;
    Collected got;
    for (int i = 0; i < 200'000; ++i) {
        // Start bytes and long lengths are frequent, so frames are attempted all the time.
        const int r = byte(random);
        const Byte b = r < 40 ? 0x7E : r < 80 ? static_cast<Byte>(150 + r) : static_cast<Byte>(byte(random));
        receiver.Feed(std::span<const Byte>(&b, 1), TClock::now(), got.Handler());
        ASSERT_LE(receiver.Buffered(), frame::kMaxFrame);
    }
    for (const auto& f : got.frames) {
        EXPECT_TRUE(frame::ReplyComplete(ReplyView(f)));
    }
}

TEST(SimPanel, RetranslatorPagesAnnounceTheNextPage) {
    for (const std::size_t records : {0u, 9u, 10u, 13u, 20u, 39u, 40u}) {
        TPanelState state = DefaultPanelState(15, 1);
        FillSmsRecords(state, records);
        TPanelModel panel(state);
        T_SMS_List list;
        int requests = 0;
        bool more = false;
        int page = 0;
        do {
            const auto reply = panel.Handle(Request(6, static_cast<Byte>(page))).reply;
            ASSERT_EQ(reply.size(), 107u);
            ASSERT_TRUE(frame::ReplyComplete(ReplyView(reply)));
            more = list.TakePage(page, ReplyView(reply)) != 0;
            ++requests;
            ++page;
        } while (more && page < 4);
        EXPECT_EQ(list.Count(), static_cast<int>(records)) << records;
        EXPECT_EQ(requests, std::min<int>(4, static_cast<int>(records) / 10 + 1)) << records;
        for (std::size_t k = 0; k < records; ++k) {
            EXPECT_EQ(list.Record(static_cast<int>(k + 1)), state.smsRecords[k]);
        }
    }
}

TEST(SimPanel, WrittenPagesReplaceTheList) {
    TPanelState state = DefaultPanelState(15, 1);
    FillSmsRecords(state, 40);
    TPanelModel panel(state);
    T_SMS_List list;
    for (int k = 1; k <= 13; ++k) {
        SmsRecord r{};
        r[0] = 1;
        r[1] = static_cast<Byte>(k);
        list.SetRecord(k, r);
    }
    std::array<Byte, 202> buffer{};
    for (int page = 0;; ++page) {
        const auto built = list.BuildPage(page, buffer.data());
        const auto answer = panel.Handle(std::span<const Byte>(buffer.data(), built.length));
        EXPECT_TRUE(answer.stored);
        EXPECT_TRUE(frame::ConfirmSmsPageWrite(ReplyView(answer.reply),
                                               std::span<const Byte>(buffer.data(), built.length)));
        if (!built.more) {
            break;
        }
    }
    EXPECT_EQ(panel.State().SmsRecordCount(), 13u);
    EXPECT_EQ(panel.State().smsRecords[12][1], 13);
}

TEST(SimPanel, ConfigurationWriteOfAnotherSizeIsNotStored) {
    TPanelModel panel(DefaultPanelState(16, 3));
    const auto other = CreateDevice(10); // same layout, six bytes shorter
    other->SetPayload(0, 0x5A);
    const auto f = other->BuildWriteFrame();
    const auto answer = panel.Handle(f);
    EXPECT_FALSE(answer.stored);
    EXPECT_FALSE(other->CheckWriteReply(ReplyView(answer.reply)));
    EXPECT_EQ(panel.State().config, DefaultPanelState(16, 3).config);
}

TEST(SimFaults, NamesAndArguments) {
    std::string error;
    for (const char* good : {"silent", "partial:0", "partial:5", "bad-crc", "wrong-echo", "unknown-type",
                             "unknown-type:19", "unknown-type:0x7F", "unsupported-type",
                             "unsupported-type:129", "no-answer:2", "no-answer:6", "no-objects"}) {
        EXPECT_NE(MakeFault(good, error), nullptr) << good << ": " << error;
    }
    for (const char* bad :
         {"", "loud", "silent:1", "partial", "partial:x", "partial:-1", "unknown-type:5", "unknown-type:14",
          "unsupported-type:3", "no-answer", "no-answer:0", "no-answer:7", "no-objects:5"}) {
        error.clear();
        EXPECT_EQ(MakeFault(bad, error), nullptr) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

TEST(SimFaults, ShapeTheReply) {
    TPanelModel panel(DefaultPanelState(1, 2));
    const auto id = Request(1);
    const auto reply = panel.Handle(id).reply;
    auto shaped = [&](const char* fault, std::span<const Byte> request, std::vector<Byte> r) {
        std::string error;
        TExchange e{request, std::move(r)};
        MakeFault(fault, error)->Shape(e);
        return e.reply;
    };
    EXPECT_TRUE(shaped("silent", id, reply).empty());
    EXPECT_EQ(shaped("partial:3", id, reply), std::vector<Byte>(reply.begin(), reply.begin() + 3));
    EXPECT_EQ(shaped("partial:200", id, reply), reply);
    const auto bad = shaped("bad-crc", id, reply);
    EXPECT_EQ(bad.size(), reply.size());
    EXPECT_FALSE(frame::ReplyComplete(ReplyView(bad)));
    const auto unknown = shaped("unknown-type:19", id, reply);
    EXPECT_TRUE(frame::ReplyComplete(ReplyView(unknown)));
    EXPECT_EQ(frame::IdentifyReply(ReplyView(unknown)), 0);
    const auto unsupported = shaped("unsupported-type", id, reply);
    EXPECT_EQ(frame::IdentifyReply(ReplyView(unsupported)), 14);
    EXPECT_EQ(shaped("no-answer:2", id, reply), reply);
    EXPECT_TRUE(shaped("no-answer:1", id, reply).empty());

    const auto device = CreateDevice(1);
    const auto write = device->BuildWriteFrame();
    const auto echo = panel.Handle(write).reply;
    EXPECT_TRUE(device->CheckWriteReply(ReplyView(echo)));
    const auto wrong = shaped("wrong-echo", write, echo);
    EXPECT_TRUE(frame::ReplyComplete(ReplyView(wrong)));
    EXPECT_FALSE(device->CheckWriteReply(ReplyView(wrong)));
    EXPECT_EQ(shaped("wrong-echo", id, reply), reply); // only the configuration write
}

TEST(SimOptions, SeedsThePanel) {
    std::string error;
    auto options = ParseSimOptions({"--type",
                                    "15",
                                    "--version",
                                    "0x21",
                                    "--gsm",
                                    "00 07 01 01 00",
                                    "--gprs",
                                    "0000",
                                    "--object-count",
                                    "3",
                                    "--sms-records",
                                    "12",
                                    "--fault",
                                    "partial:4",
                                    "--fault",
                                    "no-objects",
                                    "--no-pace",
                                    "--log",
                                    "l",
                                    "--dump",
                                    "d"},
                                   error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->panel.type, 15);
    EXPECT_EQ(options->panel.version, 0x21);
    EXPECT_EQ(options->panel.config, DefaultPanelState(15, 0).config);
    EXPECT_EQ(options->panel.gsm, (std::vector<Byte>{0, 7, 1, 1, 0}));
    EXPECT_EQ(options->panel.SmsRecordCount(), 12u);
    EXPECT_NE(options->panel.objects[6], 0);
    EXPECT_EQ(options->panel.objects[9], 0);
    EXPECT_EQ(options->faults.size(), 2u);
    EXPECT_FALSE(options->pace);
    EXPECT_EQ(options->logPath, "l");
    EXPECT_EQ(options->dumpPath, "d");
}

TEST(SimOptions, RefusesWhatItCannotUse) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--type"},
             {"--type", "256"},
             {"--bogus"},
             {"--type", "1", "--config-hex", "0102"}, // not the type's size
             {"--gsm", "0G"},
             {"--gsm", std::string(2 * 197, '0')}, // more than a frame holds
             {"--objects", "0102"},
             {"--sms-records", "41"},
             {"--sms-records-hex", "0102"},
             {"--fault", "loud"},
             {"--personality", "modem"},
             {"--baud", "0"},
             {"--config", "/nonexistent.cf8"},
         }) {
        std::string error;
        EXPECT_FALSE(ParseSimOptions(args, error)) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
}

TEST(SimStateFile, RoundTrip) {
    TPanelState state = DefaultPanelState(15, 9);
    FillObjects(state, 32);
    FillSmsRecords(state, 17);
    state.gsm = {0x12, 0x34, 1, 1, 0};
    state.gprs = {3, 'a', 0, 0, 0};
    const auto parsed = ParseState(FormatState(state));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->type, 15);
    EXPECT_EQ(parsed->version, 9);
    EXPECT_EQ(parsed->config, state.config);
    EXPECT_EQ(parsed->objects, state.objects);
    EXPECT_EQ(parsed->gsm, state.gsm);
    EXPECT_EQ(parsed->gprs, state.gprs);
    EXPECT_EQ(parsed->sms, state.sms);
    EXPECT_EQ(parsed->smsRecords, state.smsRecords);
    EXPECT_FALSE(ParseState("config XYZ\n"));
}

TEST(SimHex, Conversions) {
    EXPECT_EQ(ToHex(std::vector<Byte>{0x7E, 0x0A, 0x00, 0xFF}), "7E0A00FF");
    EXPECT_EQ(FromHex("7e 0A\n00ff"), (std::vector<Byte>{0x7E, 0x0A, 0x00, 0xFF}));
    EXPECT_EQ(FromHex(""), std::vector<Byte>{});
    EXPECT_FALSE(FromHex("7E0"));
    EXPECT_FALSE(FromHex("7X"));
}

} // namespace
} // namespace orv::sim
