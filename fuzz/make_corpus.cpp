// Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/: configuration and GSM
// directions files as the program saves them for every panel type, and the replies the
// simulated panel gives to every read and write, in each target's input format. Run it again
// (make fuzz-corpus) when the formats change; the files are kept in the repository.
#include "device/catalogue.h"
#include "device/retranslator.h"
#include "files/config_file.h"
#include "files/firmware_image.h"
#include "files/gsm_file.h"
#include "fuzz_support.h"
#include "gsm/tx_buffers.h"
#include "journal_base.h"
#include "link/transaction_steps.h"
#include "sim/panel.h"

#include <QByteArray>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

using namespace orv;
namespace fs = std::filesystem;
using Bytes = std::vector<Byte>;

constexpr std::array<Byte, 17> kTypes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 15, 16, 17, 18};

fs::path g_root;
int g_written = 0;

void Put(const std::string& target, const std::string& name, const void* data, std::size_t size) {
    const fs::path dir = g_root / target;
    fs::create_directories(dir);
    std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    ++g_written;
}

void Put(const std::string& target, const std::string& name, const std::string& text) {
    Put(target, name, text.data(), text.size());
}

void Put(const std::string& target, const std::string& name, const Bytes& bytes) {
    Put(target, name, bytes.data(), bytes.size());
}

void ConnectGsm(TDevice& device) {
    if (IsOP8(device)) {
        device.SetParam(prmDevTX, 2);
    } else {
        device.SetGsmConnected(true);
    }
}

bool CanHaveGsm(Byte type) {
    auto device = CreateDevice(type);
    ConnectGsm(*device);
    return device->GetGsmConnected();
}

// A configuration as a user would leave it: zones, GSM directions, an SMS list, GPRS settings,
// and for the retranslator its objects and a long SMS list.
TProgramState Configured(Byte type, bool gsm) {
    TProgramState state;
    state.device = CreateDevice(type);
    for (int zone = 1; zone <= state.device->ZoneCount(); ++zone) {
        state.device->SetZoneType(zone, static_cast<Byte>(zone % 8));
        state.device->SetZoneCID(zone, static_cast<Byte>(zone * 3));
    }
    ResetGsmFrame(state.GsmFrame);
    RefreshGsmModels(state);
    if (auto* ret = dynamic_cast<TDV15_Ret*>(state.device.get())) {
        for (int k = 1; k <= TDV15_Ret::kObjects; k += 3) {
            ret->SetObjectFromText(k, std::to_string(1000 + k * 37), static_cast<Byte>(1 + k % 3));
        }
    }
    if (gsm) {
        ConnectGsm(*state.device);
        SetDeviceNumber(state.GsmFrame, 1234);
        state.Directions.ChooseAttempts(0, 3);
        state.Directions.SetTarget(0, "+7(903)123-45-67");
        state.Directions.ChooseAttempts(2, 1);
        state.Directions.ChooseProtocol(2, 2);
        state.Directions.SetTarget(2, "10.0.0.1:24333");
        SetSmsListOn(state, true);
        if (auto* ret = dynamic_cast<TDV15_Ret*>(state.device.get())) {
            for (int r = 0; r < 12; ++r) {
                state.RetSms.ChooseType(r, 1 + r % 2);
                state.RetSms.ChooseSource(r, r % 34);
                state.RetSms.SetPhone(r, "+7903" + std::to_string(1000000 + r * 7919));
            }
            (void)ret;
        } else {
            state.Sms.ChooseType(0, 1);
            state.Sms.SetPartition(0, "1");
            state.Sms.SetPhone(0, "+79031112233");
            state.Sms.ChooseType(1, 2);
            state.Sms.SetPartition(1, "2");
            state.Sms.SetPhone(1, "89034445566");
        }
        SetGprsOn(state, true);
        state.Gprs.ApplyPreset(1, 2);
    }
    if (!UpdateAllTXBuffers(state, nullptr).ok()) {
        std::cerr << "commit refused for type " << int(type) << "\n";
    }
    return state;
}

// --- the transaction target: replies as the simulated panel gives them ------------------------

// Answers through the panel model and writes each reply in the target's format.
class RecordingLine final : public TTransactionLine {
public:
    explicit RecordingLine(sim::TPanelModel& panel) : panel_(panel) {}
    bool Exchange(std::span<const Byte> frame) override {
        reply_ = panel_.Handle(frame).reply;
        stream.push_back(0); // flags: the bytes arrive as they are
        stream.push_back(static_cast<Byte>(reply_.size()));
        stream.insert(stream.end(), reply_.begin(), reply_.end());
        return !reply_.empty();
    }
    ReplyView Reply() const override { return ReplyView(reply_.data(), reply_.size()); }
    void Report(int, int) override {}

    Bytes stream;

private:
    sim::TPanelModel& panel_;
    Bytes reply_;
};

sim::TPanelState PanelFrom(const TProgramState& s) {
    sim::TPanelState panel = sim::DefaultPanelState(s.device->DevType, 5);
    const auto payload = s.device->PayloadBytes();
    panel.config.assign(payload.begin(), payload.end());
    if (s.device->GetGsmConnected()) {
        auto block = [](const FrameBuffer& f) {
            return f[1] >= 5 ? Bytes(f.begin() + 4, f.begin() + f[1] - 1) : Bytes{};
        };
        panel.gsm = block(s.GsmFrame);
        if (GetGprsFlag(s.GsmFrame)) {
            panel.gprs = block(s.GprsFrame);
        }
        if (GetSmsFlag(s.GsmFrame) && s.device->DevType != 15) {
            panel.sms = block(s.SmsFrame);
        }
    }
    if (const auto* ret = dynamic_cast<const TDV15_Ret*>(s.device.get())) {
        for (int k = 1; k <= TDV15_Ret::kObjects; ++k) {
            const auto o = ret->GetObject(k);
            std::copy(o.begin(), o.end(), panel.objects.begin() + 3 * (k - 1));
        }
        panel.smsRecords = ret->Sms().Records();
    }
    return panel;
}

void TransactionSeeds() {
    for (std::size_t i = 0; i < kTypes.size(); ++i) {
        const Byte type = kTypes[i];
        for (const bool gsm : {false, true}) {
            if (gsm && !CanHaveGsm(type)) {
                continue;
            }
            const TProgramState configured = Configured(type, gsm);
            const std::string name = "type" + std::to_string(type) + (gsm ? "-gsm" : "");
            {
                sim::TPanelModel panel(PanelFrom(configured));
                TProgramState state;
                RecordingLine line(panel);
                TTransactionSteps(line, state).RunRead();
                Bytes stream{0x00};
                stream.insert(stream.end(), line.stream.begin(), line.stream.end());
                Put("read_transaction", "read-" + name, stream);
            }
            for (const bool lists : {false, true}) {
                // The panel echoes whatever the transaction target writes for this set-up byte.
                const Byte setup = static_cast<Byte>(0x01 | i << 1 | (gsm ? 0x40 : 0) | (lists ? 0x80 : 0));
                TProgramState state = fuzz::WriteState(setup);
                if (!state.device || (lists && !gsm)) {
                    continue;
                }
                sim::TPanelModel panel(sim::DefaultPanelState(type, 5));
                RecordingLine line(panel);
                TTransactionSteps(line, state).RunWrite();
                Bytes stream{setup};
                stream.insert(stream.end(), line.stream.begin(), line.stream.end());
                Put("read_transaction", "write-" + name + (lists ? "-lists" : ""), stream);
            }
        }
    }
}

// --- the frames target ----------------------------------------------------------------------

Bytes FramesInput(Byte selector, std::size_t typeIndex, const Bytes& frame, const Bytes& more = {}) {
    Bytes in{selector, static_cast<Byte>(typeIndex), static_cast<Byte>(frame.size())};
    in.insert(in.end(), frame.begin(), frame.end());
    in.insert(in.end(), more.begin(), more.end());
    return in;
}

void FrameSeeds() {
    for (std::size_t i = 0; i < kTypes.size(); ++i) {
        const Byte type = kTypes[i];
        if (!CanHaveGsm(type)) {
            continue;
        }
        sim::TPanelModel panel(PanelFrom(Configured(type, true)));
        const std::string name = "type" + std::to_string(type);
        const auto reply = [&](Byte sub, Byte page = 0) {
            const auto r = frame::BuildReadRequest(sub, page);
            return panel.Handle(r).reply;
        };
        Put("gsm_frames", "directions-" + name, FramesInput(0, i, reply(frame::subGsm)));
        Put("gsm_frames", "gprs-" + name, FramesInput(1, i, reply(frame::subGprs)));
        if (type == 15) {
            // Page 0 first, then each further page as a length and its bytes.
            Bytes more;
            for (Byte p = 1; p < 4; ++p) {
                const Bytes page = reply(frame::subSmsPage, p);
                more.push_back(static_cast<Byte>(page.size()));
                more.insert(more.end(), page.begin(), page.end());
            }
            Put("gsm_frames", "sms-pages-" + name, FramesInput(3, i, reply(frame::subSmsPage, 0), more));
            Put("gsm_frames", "objects-" + name, FramesInput(4, i, reply(frame::subObjects)));
        } else {
            Put("gsm_frames", "sms-" + name, FramesInput(2, i, reply(frame::subSms)));
            Put("gsm_frames", "all-" + name, FramesInput(5, i, reply(frame::subGsm)));
        }
    }
}

// --- the file targets -----------------------------------------------------------------------

void FileSeeds() {
    for (const Byte type : kTypes) {
        const std::string name = "type" + std::to_string(type);
        const TProgramState plain = Configured(type, false);
        Put("config_file", name + ".cf8", BuildConfigDocument(plain));
        Put("config_views", name + ".cf8", BuildConfigDocument(plain));
        if (CanHaveGsm(type)) {
            const TProgramState gsm = Configured(type, true);
            Put("config_file", name + "-gsm.cf8", BuildConfigDocument(gsm));
            Put("config_views", name + "-gsm.cf8", BuildConfigDocument(gsm));
            Put("gsm_file", name + "-gsm.cf8", BuildConfigDocument(gsm));
            Put("gsm_file", name + "-directions.cf8", BuildGsmDirectionsDocument(gsm));
        }
    }
    // Files the readers refuse, each for one reason.
    Put("config_file", "directions-only.cf8", BuildGsmDirectionsDocument(Configured(16, true)));
    Put("config_file", "file-id-7.cf8",
        "<?xml version=\"1.0\"?>\r\n<config version=\"1\" FileID=\"7\"><device ID=\"1\"/></config>\r\n");
    Put("config_file", "type-14.cf8",
        "<?xml version=\"1.0\"?>\r\n<config version=\"1\" FileID=\"8\"><device ID=\"14\"/></config>\r\n");
    Put("gsm_file", "no-directions.cf8", BuildConfigDocument(Configured(1, false)));
}

// --- the journal entry target ------------------------------------------------------------------

Bytes Tagged(Byte tag, const std::string& text) {
    Bytes input{tag};
    input.insert(input.end(), text.begin(), text.end());
    return input;
}

// An odd input: the size, the encoding (0: the right one) and the body of a stored form.
Bytes StoredForm(std::uint32_t size, Byte encoding, const QByteArray& body) {
    Bytes input{1,
                static_cast<Byte>(size >> 24),
                static_cast<Byte>(size >> 16),
                static_cast<Byte>(size >> 8),
                static_cast<Byte>(size),
                encoding};
    input.insert(input.end(), body.begin(), body.end());
    return input;
}

void JournalSeeds() {
    for (const Byte type : {Byte{1}, Byte{15}, Byte{16}}) {
        Put("journal_entry", "text-type" + std::to_string(type),
            Tagged(0, BuildConfigDocument(Configured(type, true))));
    }
    Put("journal_entry", "text-empty", Tagged(0, ""));
    Put("journal_entry", "text-not-a-configuration", Tagged(0, "<config/>\n\xff\xfe"));
    const QByteArray text = QByteArray::fromStdString(fuzz::JournalBaseEntry().config);
    // The zlib stream as the journal stores it: without the length qCompress puts in front.
    const QByteArray body = qCompress(text).mid(4);
    const auto size = static_cast<std::uint32_t>(text.size());
    Put("journal_entry", "stored-as-written", StoredForm(size, 0, body));
    Put("journal_entry", "stored-size-larger", StoredForm(size + 1, 0, body));
    Put("journal_entry", "stored-size-smaller", StoredForm(size - 1, 0, body));
    Put("journal_entry", "stored-size-huge", StoredForm(0x40000001, 0, body));
    Put("journal_entry", "stored-size-0", StoredForm(0, 0, body));
    Put("journal_entry", "stored-other-encoding", StoredForm(size, 1, body));
    Put("journal_entry", "stored-cut", StoredForm(size, 0, body.left(body.size() / 2)));
    QByteArray flipped = body;
    flipped[flipped.size() / 2] = static_cast<char>(flipped[flipped.size() / 2] ^ 0x10);
    Put("journal_entry", "stored-flipped-bit", StoredForm(size, 0, flipped));
}

// --- the firmware target -----------------------------------------------------------------------

// An image of blocks with the given payload sizes, the payload bytes counting up.
Bytes FirmwareImage(std::initializer_list<std::size_t> payloads) {
    Bytes image;
    Byte next = 0;
    for (const std::size_t n : payloads) {
        image.push_back(static_cast<Byte>(n >> 8));
        image.push_back(static_cast<Byte>(n));
        for (std::size_t i = 0; i < n; ++i) {
            image.push_back(next++);
        }
    }
    return image;
}

void FirmwareSeeds() {
    Put("firmware_image", "one-block.enc", "0003AABBCC");
    Put("firmware_image", "two-blocks.enc", ToFirmwareText(FirmwareImage({4, 2})));
    Put("firmware_image", "empty-block.enc", ToFirmwareText(FirmwareImage({0, 3, 0})));
    Put("firmware_image", "lower-case.enc", "0002abcd0001ef");
    // The largest image: 155 blocks of 256 bytes and one that fills it to 40001 bytes.
    Bytes largest;
    for (int i = 0; i < 155; ++i) {
        const Bytes block = FirmwareImage({256});
        largest.insert(largest.end(), block.begin(), block.end());
    }
    const std::size_t rest = kFirmwareMaxBytes - largest.size() - 2;
    const Bytes last = FirmwareImage({rest});
    largest.insert(largest.end(), last.begin(), last.end());
    Put("firmware_image", "largest.enc", ToFirmwareText(largest));
    // Files refused for one reason each.
    Put("firmware_image", "line-break.enc", "0003AABBCC\r\n");
    Put("firmware_image", "odd-length.enc", "0003AABBC");
    Put("firmware_image", "not-hex.enc", "0003AAXBCC");
    Put("firmware_image", "overrun.enc", "0005AABBCC");
    Put("firmware_image", "cut-header.enc", "0001AA00");
    Put("firmware_image", "empty.enc", "");
    Put("firmware_image", "too-large.enc", ToFirmwareText(largest) + "00");
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: fuzz_make_corpus CORPUS_DIR\n";
        return 2;
    }
    g_root = argv[1];
    FileSeeds();
    TransactionSeeds();
    FrameSeeds();
    FirmwareSeeds();
    JournalSeeds();
    std::cout << g_written << " seed inputs written under " << g_root.string() << "\n";
    return 0;
}
