#include "gsm/cp1251.h"
#include "gsm/directions.h"

#include "gsm_test_util.h"

#include <gtest/gtest.h>

using namespace orv;
using namespace orv::test;

namespace orv {
void PrintTo(const DirectionRow& r, std::ostream* os) {
    *os << "{" << r.number << " | " << r.attempts << " | " << r.sim << " | " << r.protocol << " | "
        << r.target << "}";
}
} // namespace orv

namespace {

// Sets the cells of columns 2..5; the row keeps its number.
void Put(DirectionsModel& t, int row, const std::string& attempts, const std::string& sim,
         const std::string& protocol, const std::string& target) {
    t.SetRow(row, DirectionRow{t.Row(row).number, attempts, sim, protocol, target});
}

// Header as the encoder writes it around the bytes 4..7 given.
std::vector<Byte> GsmHead(int hi, int lo, int gprs, int sms) {
    return Bytes({0x7E, 0, 0x57, 0x02, hi, lo, gprs, sms});
}

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) {
        out += s;
    }
    return out;
}

const std::string kPhone12 = "+89031234567";
const std::string kHost = "gsm.example.ru:5000";
const std::string kLong36 = "abcdefghijklmnopqrstuvwxyz0123456789";

// Rows 1, 3 and 5 enabled, 2 off, 4 on with no text.
DirectionsModel SampleTable() {
    DirectionsModel t;
    Put(t, 0, "3", "1", "Voice", "8 (903) 123-45.67");
    Put(t, 2, "5", "2", "Pro-Net", kHost);
    Put(t, 3, "1", "1,2", "CSD", "");
    Put(t, 4, "2", "1,2", "SIA-IP", kLong36);
    return t;
}

std::vector<Byte> SampleFrame() {
    std::vector<Byte> body = GsmHead(0x04, 0xD2, 1, 0);
    Append(body, Bytes({0x0D, 0x68}));
    AppendText(body, kPhone12);
    Append(body, Bytes({0x00, 0x14, 0xB2}));
    AppendText(body, kHost);
    Append(body, Bytes({0x00, 0x1F, 0x43}));
    AppendText(body, kLong36.substr(0, 30));
    return Sealed(body);
}

TEST(GsmFrame, ResetGivesDeviceOneAndFiveDisabledDirections) {
    FrameBuffer f;
    f.fill(0xAA);
    ResetGsmFrame(f);
    EXPECT_EQ(Head(f, 14), Sealed(Bytes({0x7E, 0, 0x57, 0x02, 0x00, 0x01, 0, 0, 0, 0, 0, 0, 0})));
    EXPECT_EQ(f[14], 0xAA);

    DirectionsModel t = SampleTable();
    DecodeDirections(f, t);
    EXPECT_EQ(DeviceNumberText(f), "0001");
    EXPECT_FALSE(GetGprsFlag(f));
    EXPECT_FALSE(GetSmsFlag(f));
    for (int r = 0; r < DirectionsModel::kRows; ++r) {
        EXPECT_EQ(t.Row(r), (DirectionRow{std::to_string(r + 1), "Выкл.", "", "", ""})) << r;
    }
    EXPECT_FALSE(AnyDirectionEnabled(t));
}

TEST(GsmFrame, DeviceNumberIsBigEndian) {
    FrameBuffer f{};
    SetDeviceNumber(f, 1234);
    EXPECT_EQ(f[4], 0x04);
    EXPECT_EQ(f[5], 0xD2);
    EXPECT_EQ(GetDeviceNumber(f), 1234);
    EXPECT_EQ(DeviceNumberText(f), "1234");
    SetDeviceNumber(f, 7);
    EXPECT_EQ(DeviceNumberText(f), "0007");
    SetDeviceNumber(f, 65535);
    EXPECT_EQ(DeviceNumberText(f), "65535");

    EXPECT_TRUE(SetDeviceNumberText(f, "0042"));
    EXPECT_EQ(GetDeviceNumber(f), 42);
    for (const char* bad : {"", "12a", "-1", "65536", " 12"}) {
        EXPECT_FALSE(SetDeviceNumberText(f, bad)) << bad;
        EXPECT_EQ(GetDeviceNumber(f), 42) << bad;
    }
}

TEST(GsmFrame, FlagsAreBytesSixAndSeven) {
    FrameBuffer f{};
    SetGprsFlag(f, true);
    EXPECT_EQ(f[6], 1);
    EXPECT_EQ(f[7], 0);
    SetSmsFlag(f, true);
    EXPECT_EQ(f[7], 1);
    f[6] = 0x80; // whatever the panel stores, non-zero means on
    EXPECT_TRUE(GetGprsFlag(f));
    SetGprsFlag(f, false);
    EXPECT_EQ(f[6], 0);
}

TEST(EncodeDirections, HandComputedFrame) {
    FrameBuffer f;
    f.fill(0xAA);
    SetDeviceNumber(f, 1234);
    SetGprsFlag(f, true);
    SetSmsFlag(f, false);
    const DirectionsModel t = SampleTable();
    ASSERT_TRUE(EncodeDirections(t, f));
    const std::vector<Byte> expected = SampleFrame();
    ASSERT_EQ(expected.size(), 78u);
    EXPECT_EQ(Head(f, expected.size()), expected);
    EXPECT_EQ(f[78], 0xAA); // nothing after the frame
    EXPECT_TRUE(AnyDirectionEnabled(t));
}

TEST(EncodeDirections, RowThatIsOnWithoutTextIsStoredDisabled) {
    DirectionsModel t;
    Put(t, 1, "3", "1,2", "Voice", "");
    FrameBuffer f{};
    ResetGsmFrame(f);
    EncodeDirections(t, f);
    EXPECT_EQ(Head(f, 14), Sealed(Bytes({0x7E, 0, 0x57, 0x02, 0, 1, 0, 0, 0, 0, 0, 0, 0})));
    EXPECT_TRUE(AnyDirectionEnabled(t)); // the row still counts as switched on
}

TEST(EncodeDirections, EmptyTextRecordFromAFileReadsBackAsOnWithoutText) {
    FrameBuffer f{};
    ResetGsmFrame(f);
    DirectionRecords records{};
    records[0] = {true, 0x41, ""};
    ASSERT_TRUE(WriteDirectionRecords(f, records));
    EXPECT_EQ(Head(f, 15), Sealed(Bytes({0x7E, 0, 0x57, 0x02, 0, 1, 0, 0, 0x01, 0x41, 0, 0, 0, 0})));
    DirectionsModel t;
    DecodeDirections(f, t);
    EXPECT_EQ(t.Row(0), (DirectionRow{"1", "2", "1,2", "CSD", ""}));
}

TEST(EncodeDirections, TextsByProtocol) {
    struct Case {
        const char* protocol;
        const char* typed;
        std::string stored;
    };
    const Case cases[] = {
        {"Voice", "8 (903) 123-45-67", "+89031234567"}, // every digit kept, the leading 8 too
        {"Voice", "89031234567", "+89031234567"},
        {"CSD", "+7 903 123.45.67", "+79031234567"},
        {"CSD", "(495)000-00-00", "+4950000000"},
        {"Pro-Net", "10.0.0.1:24333", "10.0.0.1:24333"},
        {"SIA-IP", "host.example.ru:80", "host.example.ru:80"},
        {"Pro-Net", "+7(903)", "+7(903)"},
    };
    for (const Case& c : cases) {
        DirectionsModel t;
        Put(t, 0, "1", "1,2", c.protocol, c.typed);
        FrameBuffer f{};
        ResetGsmFrame(f);
        EncodeDirections(t, f);
        const DirectionRecords records = ReadDirectionRecords(f);
        EXPECT_TRUE(records[0].enabled);
        EXPECT_EQ(records[0].text, c.stored) << c.protocol << " " << c.typed;
        EXPECT_EQ(f[8], c.stored.size() + 1);
    }
}

TEST(EncodeDirections, TextIsCutToThirtyCharacters) {
    DirectionsModel t;
    Put(t, 0, "1", "1,2", "Pro-Net", kLong36);
    // A telephone number is cut after its plus sign is added.
    Put(t, 1, "1", "1,2", "Voice", "1234567890123456789012345678901234");
    // Characters, not UTF-8 bytes: each Cyrillic letter is one byte in the frame.
    Put(t, 2, "1", "1,2", "SIA-IP", Repeat("Ж", 32));
    FrameBuffer f{};
    ResetGsmFrame(f);
    EncodeDirections(t, f);
    const DirectionRecords records = ReadDirectionRecords(f);
    EXPECT_EQ(records[0].text, kLong36.substr(0, 30));
    EXPECT_EQ(records[1].text, "+12345678901234567890123456789");
    EXPECT_EQ(records[2].text, Repeat("Ж", 30));
    EXPECT_EQ(f[8], 31);
}

TEST(EncodeDirections, FiveLongDirectionsStayInsideTheBuffer) {
    DirectionsModel t;
    for (int r = 0; r < DirectionsModel::kRows; ++r) {
        Put(t, r, "5", "2", "SIA-IP", std::string(200, 'x'));
    }
    FrameBuffer f;
    f.fill(0xAA);
    ASSERT_TRUE(EncodeDirections(t, f));
    EXPECT_EQ(f[1], 169); // 8 + 5 * 32 + 1
    EXPECT_EQ(f[168], frame::Crc8(f.data(), 168));
    for (std::size_t i = 169; i < f.size(); ++i) {
        ASSERT_EQ(f[i], 0xAA) << i;
    }

    // A buffer too small for the frame is left alone rather than overrun.
    std::array<Byte, 100> small;
    small.fill(0x55);
    EXPECT_FALSE(EncodeDirections(t, small));
    for (const Byte b : small) {
        ASSERT_EQ(b, 0x55);
    }
}

TEST(DecodeDirections, HandComputedFrame) {
    const FrameBuffer f = InBuffer(AsReply(SampleFrame()), 0x77);
    DirectionsModel t;
    DecodeDirections(f, t);
    EXPECT_EQ(t.Row(0), (DirectionRow{"1", "3", "1", "Voice", kPhone12}));
    EXPECT_EQ(t.Row(1), (DirectionRow{"2", "Выкл.", "", "", ""}));
    EXPECT_EQ(t.Row(2), (DirectionRow{"3", "5", "2", "Pro-Net", kHost}));
    EXPECT_EQ(t.Row(3), (DirectionRow{"4", "Выкл.", "", "", ""}));
    EXPECT_EQ(t.Row(4), (DirectionRow{"5", "2", "1,2", "SIA-IP", kLong36.substr(0, 30)}));
    EXPECT_EQ(DeviceNumberText(f), "1234");
    EXPECT_TRUE(GetGprsFlag(f));
}

TEST(DecodeDirections, SettingsByteIsClamped) {
    struct Case {
        int settings;
        DirectionRow row;
    };
    const Case cases[] = {
        {0xFF, {"1", "5", "1,2", "Voice", "x"}}, // attempts 7, SIM 3, protocol 7
        {0xE7, {"1", "5", "1,2", "Voice", "x"}},
        {0x21, {"1", "1", "1,2", "CSD", "x"}},
        {0x5A, {"1", "2", "1,2", "Pro-Net", "x"}},
        {0xB3, {"1", "5", "2", "SIA-IP", "x"}},
        {0x2C, {"1", "1", "1", "Voice", "x"}},
        {0x1F, {"1", "Выкл.", "", "", "x"}}, // off: SIM and protocol empty, the text stays
    };
    for (const Case& c : cases) {
        std::vector<Byte> body = GsmHead(0, 1, 0, 0);
        Append(body, Bytes({0x02, c.settings, 'x', 0, 0, 0, 0}));
        DirectionsModel t;
        DecodeDirections(InBuffer(Sealed(body)), t);
        EXPECT_EQ(t.Row(0), c.row) << c.settings;
    }
}

TEST(DecodeDirections, RecordsRunningPastTheEndAreCutThere) {
    // A received frame of 14 bytes whose first record claims 200 bytes; the buffer behind it
    // holds left-overs of an older frame.
    std::vector<Byte> body = GsmHead(0, 1, 0, 0);
    Append(body, Bytes({200, 0x20, 'a', 'b', 'c'}));
    const FrameBuffer f = InBuffer(Sealed(body), 0x31);
    DirectionsModel t;
    DecodeDirections(f, t);
    EXPECT_EQ(t.Row(0), (DirectionRow{"1", "1", "1,2", "Voice", "abc"}));
    for (int r = 1; r < DirectionsModel::kRows; ++r) {
        EXPECT_EQ(t.Row(r).attempts, "Выкл.") << r;
    }

    // Without a sound length the whole buffer is the limit, never more.
    FrameBuffer junk;
    junk.fill(0xFF);
    DecodeDirections(junk, t);
    EXPECT_EQ(t.Row(0).attempts, "5");
    EXPECT_EQ(Utf8ToCp1251(t.Row(0).target), std::string(kFrameBufferSize - 10, '\xFF'));
    EXPECT_EQ(t.Row(1).attempts, "Выкл.");
}

TEST(DirectionsGrid, CellSelection) {
    DirectionsModel t;
    Put(t, 1, "2", "1,2", "Voice", "+7");
    Put(t, 2, "Выкл.", "", "", "");
    Put(t, 3, "??", "", "", ""); // not an attempt count
    struct Case {
        int row, column;
        CellEditor editor;
    };
    const Case cases[] = {
        {1, dcNumber, CellEditor::Refused},    {1, dcPark, CellEditor::None},
        {1, dcAttempts, CellEditor::Attempts}, {1, dcSim, CellEditor::Sim},
        {1, dcProtocol, CellEditor::Protocol}, {1, dcTarget, CellEditor::Text},
        {2, dcAttempts, CellEditor::Attempts}, {2, dcSim, CellEditor::Refused},
        {2, dcProtocol, CellEditor::Refused},  {2, dcTarget, CellEditor::Refused},
        {3, dcSim, CellEditor::Refused},       {3, dcAttempts, CellEditor::Attempts},
        {5, dcAttempts, CellEditor::Refused},  {-1, dcAttempts, CellEditor::Refused},
        {1, 6, CellEditor::Refused},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(t.EditorFor(c.row, c.column), c.editor) << c.row << "," << c.column;
    }
}

TEST(DirectionsGrid, AttemptsOnAnOffRowAndBack) {
    DirectionsModel t;
    t.ChooseAttempts(0, 2);
    EXPECT_EQ(t.Row(0), (DirectionRow{"1", "2", "1,2", "Voice", "+7(903)123-45-67"}));

    // Changing the count of a row that is on keeps what it holds.
    t.ChooseSim(0, 2);
    t.ChooseProtocol(0, 1);
    t.SetTarget(0, "+70001112233");
    t.ChooseAttempts(0, 4);
    EXPECT_EQ(t.Row(0), (DirectionRow{"1", "4", "2", "CSD", "+70001112233"}));

    t.ChooseAttempts(0, 0);
    EXPECT_EQ(t.Row(0), (DirectionRow{"1", "Выкл.", "", "", ""}));

    // Indexes outside the list change nothing.
    t.ChooseAttempts(0, 6);
    t.ChooseAttempts(0, -1);
    EXPECT_EQ(t.Row(0).attempts, "Выкл.");
}

TEST(DirectionsGrid, ProtocolSwitchPutsTheMatchingDefault) {
    struct Step {
        int protocol;
        const char* target;
    };
    DirectionsModel t;
    t.ChooseAttempts(0, 1);
    t.SetTarget(0, "+79990000000");
    const Step steps[] = {
        {1, "+79990000000"},     // Voice -> CSD: both telephone kinds
        {2, "127.0.0.1:24333"},  // CSD -> Pro-Net
        {3, "127.0.0.1:24333"},  // Pro-Net -> SIA-IP: both host kinds
        {0, "+7(903)123-45-67"}, // SIA-IP -> Voice
    };
    for (const Step& s : steps) {
        if (s.protocol == 3) {
            t.SetTarget(0, "10.1.1.1:7000");
        }
        t.ChooseProtocol(0, s.protocol);
        EXPECT_EQ(t.Row(0).protocol, ProtocolNames[static_cast<std::size_t>(s.protocol)]);
        if (s.protocol == 3) {
            EXPECT_EQ(t.Row(0).target, "10.1.1.1:7000");
        } else {
            EXPECT_EQ(t.Row(0).target, s.target) << s.protocol;
        }
    }
    // A row without a protocol (as decoded from a disabled record) gets a telephone number.
    Put(t, 1, "1", "", "", "abc");
    t.ChooseProtocol(1, 1);
    EXPECT_EQ(t.Row(1).target, "+7(903)123-45-67");
}

TEST(DirectionsGrid, KeyFilterOfTheTextColumn) {
    const std::array<std::string, 5> empty{};
    for (const char32_t key :
         {U'0', U'9', U'a', U'z', U'(', U')', U'+', U'-', U'.', U':', kKeyEnter, kKeyEscape, kKeyBackspace}) {
        EXPECT_TRUE(DirectionsModel::AcceptTargetKey(0, "", empty, key)) << static_cast<int>(key);
    }
    for (const char32_t key : {U'A', U'Z', U' ', U',', U'/', U'_', U'@', U'ж', U'\t', char32_t{0}}) {
        EXPECT_FALSE(DirectionsModel::AcceptTargetKey(0, "", empty, key)) << static_cast<int>(key);
    }
}

TEST(DirectionsGrid, KeyFilterLimits) {
    std::array<std::string, 5> cells{};
    // The cell: up to 30 characters.
    EXPECT_TRUE(DirectionsModel::AcceptTargetKey(2, std::string(29, '1'), cells, U'1'));
    EXPECT_FALSE(DirectionsModel::AcceptTargetKey(2, std::string(30, '1'), cells, U'1'));
    EXPECT_TRUE(DirectionsModel::AcceptTargetKey(2, std::string(30, '1'), cells, kKeyBackspace));
    EXPECT_TRUE(DirectionsModel::AcceptTargetKey(2, std::string(35, '1'), cells, kKeyEnter));

    // All five: up to 135. The edited row's stored text is replaced by the text being edited.
    cells = {std::string(30, 'a'), std::string(30, 'b'), std::string(30, 'c'), std::string(30, 'd'), "zzz"};
    EXPECT_TRUE(DirectionsModel::AcceptTargetKey(4, std::string(14, 'e'), cells, U'1'));  // 134
    EXPECT_FALSE(DirectionsModel::AcceptTargetKey(4, std::string(15, 'e'), cells, U'1')); // 135
    EXPECT_TRUE(DirectionsModel::AcceptTargetKey(4, std::string(15, 'e'), cells, kKeyBackspace));
    cells[0] = std::string(29, 'a');
    EXPECT_TRUE(DirectionsModel::AcceptTargetKey(4, std::string(15, 'e'), cells, U'1'));
    // Characters, not bytes.
    cells = {};
    EXPECT_TRUE(DirectionsModel::AcceptTargetKey(0, std::string("ж") + std::string(28, 'a'), cells, U'1'));
}

TEST(DirectionsGrid, DraggingRowThreeAboveRowOneMakesItTheFirstRecord) {
    DirectionsModel t;
    t.SetRow(0, DirectionRow{"1", "1", "1,2", "Voice", "+1111111111"});
    t.SetRow(2, DirectionRow{"3", "3", "2", "Pro-Net", "3.3.3.3:3"});
    t.MoveRow(2, 0);
    EXPECT_EQ(t.Row(0).number, "3");
    EXPECT_EQ(t.Row(1).number, "1");
    EXPECT_EQ(t.Row(2).number, "2");
    EXPECT_EQ(t.Row(3).number, "4");

    FrameBuffer f{};
    ResetGsmFrame(f);
    EncodeDirections(t, f);
    const DirectionRecords records = ReadDirectionRecords(f);
    EXPECT_EQ(records[0], (DirectionRecord{true, 0x72, "3.3.3.3:3"}));
    EXPECT_EQ(records[1], (DirectionRecord{true, 0x20, "+1111111111"}));
    EXPECT_FALSE(records[2].enabled);

    // And back down: row moves are rotations, not swaps.
    t.MoveRow(0, 3);
    EXPECT_EQ(t.Row(0).number, "1");
    EXPECT_EQ(t.Row(2).number, "4");
    EXPECT_EQ(t.Row(3).number, "3");
    t.MoveRow(0, 9); // out of range: nothing
    EXPECT_EQ(t.Row(0).number, "1");
}

TEST(DirectionRecords, WriteKeepsTheHeaderAndSealsTheFrame) {
    FrameBuffer f{};
    ResetGsmFrame(f);
    SetDeviceNumber(f, 0x1234);
    SetSmsFlag(f, true);
    DirectionRecords records{};
    records[1] = {true, 0x21, "Тест"};
    records[4] = {true, 0x42, std::string(40, '9')};
    ASSERT_TRUE(WriteDirectionRecords(f, records));
    std::vector<Byte> body = GsmHead(0x12, 0x34, 0, 1);
    Append(body, Bytes({0x00, 0x05, 0x21, 0xD2, 0xE5, 0xF1, 0xF2, 0x00, 0x00, 0x1F, 0x42}));
    AppendText(body, std::string(30, '9'));
    EXPECT_EQ(Head(f, body.size() + 1), Sealed(body));
    records[4].text.resize(30);
    EXPECT_EQ(ReadDirectionRecords(f), records);
}

} // namespace

namespace {

TEST(DirectionsRoundTrip, EveryFrameAPanelCanHoldComesBackUnchanged) {
    std::mt19937 rng(5);
    for (int i = 0; i < 1000; ++i) {
        std::vector<Byte> body =
            Bytes({0x7E, 0, 0x44, 0x02, static_cast<int>(rng() % 256), static_cast<int>(rng() % 256),
                   static_cast<int>(rng() % 2), static_cast<int>(rng() % 2)});
        for (int r = 0; r < 5; ++r) {
            if (rng() % 3 == 0) {
                body.push_back(0);
                continue;
            }
            const int attempts = 1 + static_cast<int>(rng() % 5);
            const int sim = static_cast<int>(rng() % 3);
            const int protocol = static_cast<int>(rng() % 4);
            std::string text;
            const std::size_t length = 1 + rng() % 30;
            if (protocol < 2) {
                text = "+";
                while (text.size() < length) {
                    text.push_back("0123456789abcxyz"[rng() % 16]);
                }
            } else {
                while (text.size() < length) {
                    text.push_back(static_cast<char>(rng() % 256)); // any byte, Cyrillic included
                }
            }
            body.push_back(static_cast<Byte>(text.size() + 1));
            body.push_back(static_cast<Byte>(attempts << 5 | sim << 3 | protocol));
            AppendText(body, text);
        }
        const std::vector<Byte> read = Sealed(body);
        DirectionsModel t;
        DecodeDirections(InBuffer(read, static_cast<Byte>(rng())), t);
        FrameBuffer f = InBuffer(read); // bytes 4..7 stay where the read put them
        ASSERT_TRUE(EncodeDirections(t, f));
        std::vector<Byte> expected = read;
        expected[2] = 0x57;
        frame::SealFrame(expected.data(), expected.size());
        ASSERT_EQ(Head(f, expected.size()), expected) << i;
    }
}

TEST(DirectionsRoundTrip, EncodingRulesChangeOnlyWhatTheySay) {
    std::vector<Byte> body = Bytes({0x7E, 0, 0x44, 0x02, 0, 1, 0, 0});
    Append(body, Bytes({0x04, 0xFF, '1', '2', '3'}));                          // clamped settings
    Append(body, Bytes({0x05, 0x18, 'a', 'b', 'c', 'd'}));                     // attempts 0: disabled
    Append(body, Bytes({0x09, 0x40, '8', '(', '9', ')', '1', '-', '2', '3'})); // telephone: normalised
    Append(body, Bytes({0x01, 0x60}));                                         // no text: disabled
    Append(body, Bytes({0x03, 0x42, '+', '1'}));                               // unchanged
    DirectionsModel t;
    DecodeDirections(InBuffer(Sealed(body)), t);
    FrameBuffer f = InBuffer(Sealed(body));
    ASSERT_TRUE(EncodeDirections(t, f));
    std::vector<Byte> expected = Bytes({0x7E, 0, 0x57, 0x02, 0, 1, 0, 0});
    Append(expected, Bytes({0x05, 0xA0, '+', '1', '2', '3'}));
    expected.push_back(0);
    Append(expected, Bytes({0x07, 0x40, '+', '8', '9', '1', '2', '3'}));
    expected.push_back(0);
    Append(expected, Bytes({0x03, 0x42, '+', '1'}));
    EXPECT_EQ(Head(f, expected.size() + 1), Sealed(expected));
}

} // namespace
