#include "device/catalogue.h"
#include "device/retranslator.h"
#include "gsm/sms.h"

#include "gsm_test_util.h"

#include <gtest/gtest.h>

using namespace orv;
using namespace orv::test;

namespace orv {
void PrintTo(const SmsRow& r, std::ostream* os) {
    *os << "{" << static_cast<int>(r.type) << " | " << r.partition << " | " << r.phone << " | "
        << (r.stored ? "stored" : "-") << "}";
}
} // namespace orv

namespace {

SmsRecord Record(int type, int second, const PackedPhone& phone) {
    SmsRecord r{static_cast<Byte>(type), static_cast<Byte>(second)};
    std::copy(phone.begin(), phone.end(), r.begin() + 2);
    return r;
}

std::vector<Byte> Rec(const SmsRecord& r) {
    return {r.begin(), r.end()};
}

const PackedPhone kP11{0x97, 0x30, 0x21, 0x43, 0x65, 0xF7, 0xFF, 0xFF}; // 79031234567
const PackedPhone kP10{0x09, 0x13, 0x32, 0x54, 0x76, 0x0F, 0xFF, 0xFF}; // 9031234567

TEST(PhoneBcd, PackingByDigitCount) {
    struct Case {
        const char* text;
        PackedPhone packed;
    };
    const Case cases[] = {
        {"9031234567", kP10},
        {"+7(903)123-45-67", kP11},
        {"380441234567", {0x83, 0x40, 0x14, 0x32, 0x54, 0x76, 0x0F, 0xFF}},
        {"123456789012345", {0x21, 0x43, 0x65, 0x87, 0x09, 0x21, 0x43, 0xF5}},
        // Sixteen digits fill all eight bytes; there is no room for the end nibble.
        {"1234567890123456", {0x21, 0x43, 0x65, 0x87, 0x09, 0x21, 0x43, 0x65}},
        {"+1 (234) 567.89-01", {0x21, 0x43, 0x65, 0x87, 0x09, 0xF1, 0xFF, 0xFF}},
        {"*#12345678", {0xBA, 0x21, 0x43, 0x65, 0x87, 0x0F, 0xFF, 0xFF}},
    };
    for (const Case& c : cases) {
        const auto packed = PackPhoneBcd(c.text);
        ASSERT_TRUE(packed) << c.text;
        EXPECT_EQ(*packed, c.packed) << c.text;
        EXPECT_EQ(UnpackPhoneBcd(*packed), NormalizePhone(c.text)) << c.text;
    }
}

TEST(PhoneBcd, RefusedNumbers) {
    for (const char* text :
         {"", "903123456", "+7(903)12", "12345678901234567", "12345z7890", "1234567890ж", "12345\t67890"}) {
        EXPECT_FALSE(PackPhoneBcd(text)) << text;
    }
}

TEST(PhoneBcd, UnpackingStopsAtTheFirstEndNibble) {
    const PackedPhone empty{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(UnpackPhoneBcd(empty), "");
    const PackedPhone short5{0x21, 0x43, 0xF5, 0x00, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(UnpackPhoneBcd(short5), "12345");
    const PackedPhone symbols{0xDC, 0x0E, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(UnpackPhoneBcd(symbols), "abc0");
}

TEST(PhoneBcd, EveryStoredNumberReadsBackToTheSameBytes) {
    std::mt19937 rng(7);
    for (int i = 0; i < 2000; ++i) {
        const int n = 10 + static_cast<int>(rng() % 7);
        std::string digits;
        for (int k = 0; k < n; ++k) {
            digits.push_back("0123456789*#abc"[rng() % (i % 2 ? 10 : 15)]);
        }
        const auto packed = PackPhoneBcd(digits);
        ASSERT_TRUE(packed) << digits;
        const std::string shown = UnpackPhoneBcd(*packed);
        ASSERT_EQ(shown, digits);
        ASSERT_EQ(PackPhoneBcd(shown), packed) << digits;
    }
}

TEST(SmsRowCount, TenForCodesSevenAndFifteen) {
    for (int code = 0; code < 20; ++code) {
        EXPECT_EQ(SmsRowCount(static_cast<Byte>(code)), code == 7 || code == 15 ? 10 : 8) << code;
    }
}

SmsModel ModelFor(Byte code) {
    SmsModel m;
    m.Setup(*CreateDevice(code));
    return m;
}

TEST(SmsFrame, RowsOneAndThreeFilledRowTwoOff) {
    SmsModel m = ModelFor(1);
    m.ChooseType(0, 1);
    m.ChoosePartition(0, 1);
    m.ChooseType(2, 2);
    m.ChoosePartition(2, 4);
    m.SetPhone(2, "9031234567");
    FrameBuffer f;
    f.fill(0xAA);
    ASSERT_FALSE(m.Encode(f));
    std::vector<Byte> body = Bytes({0x7E, 0, 0x57, 0x04});
    Append(body, Rec(Record(1, 2, kP11)));
    Append(body, Rec(Record(2, 5, kP10)));
    body.push_back(0x00); // end mark
    const std::vector<Byte> expected = Sealed(body);
    ASSERT_EQ(expected.size(), 26u);
    EXPECT_EQ(Head(f, 26), expected);
    EXPECT_EQ(f[26], 0xAA);
    EXPECT_TRUE(m.ListNotEmpty());
}

TEST(SmsFrame, FullListHasNoEndMark) {
    for (const Byte code : {Byte{7}, Byte{1}, Byte{5}}) {
        SmsModel m = ModelFor(code);
        const int rows = m.RowCount();
        for (int r = 0; r < rows; ++r) {
            m.ChooseType(r, 1 + r % 2);
            m.SetPartition(r, std::to_string(r));
        }
        FrameBuffer f;
        f.fill(0xAA);
        ASSERT_FALSE(m.Encode(f));
        const std::size_t length = 4 + 10 * static_cast<std::size_t>(rows) + 1;
        EXPECT_EQ(f[1], length) << int(code);
        EXPECT_EQ(f[length - 1], frame::Crc8(f.data(), length - 1));
        EXPECT_EQ(f[length], 0xAA);
        EXPECT_EQ(f[4 + 10 * (rows - 1)], 1 + (rows - 1) % 2);
        EXPECT_EQ(f[5 + 10 * (rows - 1)], rows - 1);
    }
}

TEST(SmsFrame, RowsLeftOut) {
    SmsModel m = ModelFor(4);
    m.ChooseType(0, 1);
    m.SetPhone(0, "123456789"); // nine digits: refused, the row is not stored
    m.ChooseType(1, 1);
    m.SetPhone(1, "+7 903 123 45 67");
    m.ChooseType(2, 2);
    m.ChooseType(2, 0); // switched off again
    FrameBuffer f{};
    ASSERT_FALSE(m.Encode(f));
    EXPECT_EQ(f[1], 4 + 10 + 1 + 1);
    EXPECT_EQ(f[4], 1);
    EXPECT_EQ(f[14], 0);
    EXPECT_TRUE(m.ListNotEmpty());

    SmsModel none = ModelFor(4);
    none.ChooseType(0, 1);
    none.SetPhone(0, "");
    ASSERT_FALSE(none.Encode(f));
    EXPECT_FALSE(none.ListNotEmpty());
    EXPECT_EQ(Head(f, 6), Sealed(Bytes({0x7E, 0, 0x57, 0x04, 0x00})));
}

TEST(SmsFrame, PartitionThatIsNotANumberRefusesAndChangesNothing) {
    SmsModel m = ModelFor(3);
    m.ChooseType(0, 1);
    m.SetPartition(0, "");
    FrameBuffer f;
    f.fill(0x11);
    const auto refusal = m.Encode(f);
    ASSERT_TRUE(refusal);
    EXPECT_EQ(*refusal, "Номера разделов должны быть в пределах\r\n0-64\r\nИсправьте ошибки.");
    for (const Byte b : f) {
        ASSERT_EQ(b, 0x11);
    }
    // A row that is not stored does not matter.
    m.SetPhone(0, "12");
    EXPECT_FALSE(m.Encode(f));
}

TEST(SmsFrame, CheckGridOK) {
    SmsModel m = ModelFor(3);
    EXPECT_TRUE(m.CheckGridOK()); // off rows show "1"
    m.SetPartition(3, "64");
    EXPECT_TRUE(m.CheckGridOK());
    for (const char* bad : {"65", "", "300", "x"}) {
        m.SetPartition(3, bad);
        EXPECT_FALSE(m.CheckGridOK()) << bad;
    }
    m.SetPartition(3, "0");
    EXPECT_TRUE(m.CheckGridOK());
}

TEST(SmsFrame, RefreshControlsByFamily) {
    struct Case {
        Byte code;
        int rows;
        const char* offPartition;
    };
    const Case cases[] = {{1, 8, "1"}, {16, 8, "1"}, {5, 8, "0"}, {9, 8, "0"},
                          {3, 8, "1"}, {7, 10, "1"}, {6, 8, "1"}, {18, 8, "1"}};
    std::vector<Byte> body = Bytes({0x7E, 0, 0x44, 0x04});
    Append(body, Rec(Record(2, 3, kP10)));
    Append(body, Rec(Record(1, 64, kP11)));
    body.push_back(0);
    Append(body, Rec(Record(1, 7, kP11))); // after the end mark: not a record
    const FrameBuffer f = InBuffer(Sealed(body));
    for (const Case& c : cases) {
        SmsModel m = ModelFor(c.code);
        ASSERT_EQ(m.RowCount(), c.rows);
        m.RefreshControls(f);
        EXPECT_EQ(m.Cell(0, sms::kColType), "Тревоги, взятия\\снятия");
        EXPECT_EQ(m.Cell(0, sms::kColPartition), "3");
        EXPECT_EQ(m.Cell(0, sms::kColPhone), "9031234567");
        EXPECT_EQ(m.Cell(1, sms::kColType), "Только тревоги");
        EXPECT_EQ(m.Cell(1, sms::kColPartition), "64");
        EXPECT_EQ(m.Cell(1, sms::kColPhone), "79031234567");
        for (int r = 2; r < c.rows; ++r) {
            EXPECT_EQ(m.Row(r), (SmsRow{0, c.offPartition, "", std::nullopt})) << int(c.code) << " " << r;
            EXPECT_EQ(m.Cell(r, sms::kColType), "Выключено");
        }
        EXPECT_EQ(m.Cell(4, sms::kColNumber), "5");
    }
}

TEST(SmsFrame, UnknownTypeIsShownAndWrittenBack) {
    std::vector<Byte> body = Bytes({0x7E, 0, 0x44, 0x04});
    Append(body, Rec(Record(5, 9, kP10)));
    Append(body, Rec(Record(1, 2, kP11)));
    body.push_back(0);
    SmsModel m = ModelFor(1);
    m.RefreshControls(InBuffer(Sealed(body)));
    EXPECT_EQ(m.Cell(0, sms::kColType), "Тип 5");
    EXPECT_EQ(m.EditorFor(0, sms::kColPhone), CellEditor::Text);

    FrameBuffer f{};
    ASSERT_FALSE(m.Encode(f));
    body[2] = 0x57;
    EXPECT_EQ(Head(f, 26), Sealed(body));

    // Editing another cell of the row keeps its type.
    m.ChoosePartition(0, 3);
    ASSERT_FALSE(m.Encode(f));
    EXPECT_EQ(f[4], 5);
    EXPECT_EQ(f[5], 4);
}

TEST(SmsFrame, RecordsAsReadAreWrittenBackUntilEdited) {
    // Numbers the dialog would not take (five digits; bytes after the end nibble not 0xFF;
    // partitions above 64) survive as long as their rows are left alone.
    const SmsRecord odd1{1, 200, 0x21, 0x43, 0xF5, 0x00, 0x12, 0x34, 0x56, 0x78};
    const SmsRecord odd2{2, 0, 0x21, 0x43, 0x65, 0x87, 0x09, 0xF1, 0x00, 0xFF};
    std::vector<Byte> body = Bytes({0x7E, 0, 0x44, 0x04});
    Append(body, Rec(odd1));
    Append(body, Rec(odd2));
    body.push_back(0);
    SmsModel m = ModelFor(1);
    m.RefreshControls(InBuffer(Sealed(body)));
    FrameBuffer f{};
    ASSERT_FALSE(m.Encode(f));
    body[2] = 0x57;
    EXPECT_EQ(Head(f, 26), Sealed(body));

    m.SetPhone(1, "+7 903 123-45-67");
    ASSERT_FALSE(m.Encode(f));
    EXPECT_EQ(ReadSmsRecords(f, 8), (std::vector<SmsRecord>{odd1, Record(2, 0, kP11)}));
    // An edit undone by hand counts as untouched again.
    m.SetPhone(1, "12345678901");
    ASSERT_FALSE(m.Encode(f));
    EXPECT_EQ(ReadSmsRecords(f, 8), (std::vector<SmsRecord>{odd1, odd2}));
}

TEST(SmsFrame, CellSelectionByFamily) {
    struct Case {
        Byte code;
        CellEditor partition;
    };
    const Case cases[] = {{1, CellEditor::Partition}, {13, CellEditor::Partition}, {5, CellEditor::Refused},
                          {8, CellEditor::Refused},   {3, CellEditor::Text},       {7, CellEditor::Text},
                          {6, CellEditor::Text}};
    for (const Case& c : cases) {
        SmsModel m = ModelFor(c.code);
        m.ChooseType(1, 2);
        EXPECT_EQ(m.EditorFor(1, sms::kColPartition), c.partition) << int(c.code);
        EXPECT_EQ(m.EditorFor(1, sms::kColPhone), CellEditor::Text);
        EXPECT_EQ(m.EditorFor(1, sms::kColType), CellEditor::SmsType);
        EXPECT_EQ(m.EditorFor(1, sms::kColNumber), CellEditor::Refused);
        EXPECT_EQ(m.EditorFor(1, sms::kColPark), CellEditor::None);
        // An off row: only the type.
        EXPECT_EQ(m.EditorFor(0, sms::kColType), CellEditor::SmsType);
        EXPECT_EQ(m.EditorFor(0, sms::kColPartition), CellEditor::Refused);
        EXPECT_EQ(m.EditorFor(0, sms::kColPhone), CellEditor::Refused);
        EXPECT_EQ(m.EditorFor(m.RowCount(), sms::kColType), CellEditor::Refused);
    }
}

TEST(SmsFrame, TypeEditorCloseUp) {
    SmsModel m = ModelFor(1);
    m.ChooseType(0, 2);
    EXPECT_EQ(m.Row(0).phone, "+7(903)123-45-67");
    m.SetPhone(0, "+79990001122");
    m.ChooseType(0, 1); // stays on: the number stays
    EXPECT_EQ(m.Row(0).phone, "+79990001122");
    EXPECT_EQ(m.Cell(0, sms::kColType), "Только тревоги");
    m.ChooseType(0, 0);
    EXPECT_EQ(m.Row(0).phone, "");
    EXPECT_EQ(m.Row(0).partition, "1"); // untouched
    m.ChooseType(0, 3);                 // not in the list
    EXPECT_EQ(m.Row(0).type, 0);
    m.ChoosePartition(0, 7);
    EXPECT_EQ(m.Row(0).partition, "8");
    m.ChoosePartition(0, 8);
    EXPECT_EQ(m.Row(0).partition, "8");
}

TEST(SmsFrame, SetupKeepsRowsAndFollowsTheDevice) {
    SmsModel m = ModelFor(7);
    ASSERT_EQ(m.RowCount(), 10);
    for (int r = 0; r < 10; ++r) {
        m.ChooseType(r, 1);
    }
    m.Setup(*CreateDevice(1));
    EXPECT_EQ(m.RowCount(), 8);
    EXPECT_EQ(m.Row(7).type, 1);
    FrameBuffer f{};
    ASSERT_FALSE(m.Encode(f));
    EXPECT_EQ(f[1], 85); // eight records, never ten for an eight-row panel
    m.Setup(*CreateDevice(5));
    EXPECT_EQ(m.GetFamily(), SmsModel::Family::FiveZone);
}

TEST(SmsFrame, ReadRecordsStopsAtTheEndOfTheData) {
    std::vector<Byte> body = Bytes({0x7E, 0, 0x44, 0x04});
    Append(body, Rec(Record(1, 1, kP10)));
    Append(body, Bytes({2, 2, 0x11, 0x11})); // cut short by the frame's length
    const FrameBuffer f = InBuffer(Sealed(body), 0x01);
    EXPECT_EQ(ReadSmsRecords(f, 8).size(), 1u);
    // Unsealed junk is read up to the row count only.
    FrameBuffer junk;
    junk.fill(0x01);
    EXPECT_EQ(ReadSmsRecords(junk, 10).size(), 10u);
}

TEST(SmsKeys, FilterByColumn) {
    struct Case {
        int column;
        std::size_t cellLength;
        char32_t key;
        bool accepted;
    };
    const Case cases[] = {
        {sms::kColPartition, 0, U'7', true},       {sms::kColPartition, 0, U'a', false},
        {sms::kColPartition, 0, U'-', false},      {sms::kColPartition, 50, kKeyBackspace, true},
        {sms::kColPhone, 0, U'+', true},           {sms::kColPhone, 0, U'(', true},
        {sms::kColPhone, 0, U')', true},           {sms::kColPhone, 0, U'-', true},
        {sms::kColPhone, 0, U'5', true},           {sms::kColPhone, 0, U' ', false},
        {sms::kColPhone, 0, U'.', false},          {sms::kColPhone, 0, U'*', false},
        {sms::kColPhone, 21, U'5', true},          {sms::kColPhone, 22, U'5', false},
        {sms::kColPhone, 22, kKeyBackspace, true}, {sms::kColPhone, 22, kKeyEnter, true},
        {sms::kColPhone, 22, kKeyEscape, true},    {sms::kColType, 0, U'x', true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AcceptSmsKey(c.column, std::string(c.cellLength, '1'), c.key), c.accepted)
            << c.column << " " << c.cellLength << " " << static_cast<int>(c.key);
    }
}

// ---------------------------------------------------------------------------------------------

TEST(SmsSource, TextsAndValues) {
    const std::vector<std::string> names = SmsSourceNames();
    ASSERT_EQ(names.size(), 34u);
    EXPECT_EQ(names.front(), "Прибор");
    EXPECT_EQ(names[1], "Об.№1");
    EXPECT_EQ(names[32], "Об.№32");
    EXPECT_EQ(names.back(), "Всё");
    for (int v = 0; v <= 33; ++v) {
        EXPECT_EQ(SmsSourceValue(SmsSourceText(static_cast<Byte>(v))), v);
        EXPECT_EQ(SmsSourceText(static_cast<Byte>(v)), names[static_cast<std::size_t>(v)]);
    }
    EXPECT_EQ(SmsSourceText(200), "Всё");
    struct Case {
        const char* text;
        int value;
    };
    const Case cases[] = {{"Об.№7", 7}, {"Всё", 33}, {"Прибор", 0},  {"", 0},       {"xyz", 0},
                          {"Об.№x", 0}, {"Об.№", 0}, {"Об.№40", 40}, {"xОб.№7", 0}, {"Об.№999", 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(SmsSourceValue(c.text), c.value) << c.text;
    }
}

TEST(RetSms, FillShowsEveryRecordOneToOne) {
    T_SMS_List list;
    list.SetRecord(1, Record(1, 0, kP11));
    list.SetRecord(2, Record(0x82, 7, kP10)); // type from the low seven bits
    list.SetRecord(4, Record(2, 33, kP10));   // after a gap
    RetSmsModel m;
    m.Fill(list);
    EXPECT_EQ(m.Cell(0, sms::kColType), "Только тревоги");
    EXPECT_EQ(m.Cell(0, sms::kColPartition), "Прибор");
    EXPECT_EQ(m.Cell(0, sms::kColPhone), "79031234567");
    EXPECT_EQ(m.Cell(1, sms::kColType), "Тревоги, взятия\\снятия");
    EXPECT_EQ(m.Cell(1, sms::kColPartition), "Об.№7");
    EXPECT_EQ(m.Row(2), (SmsRow{0, "Прибор", "", std::nullopt}));
    EXPECT_EQ(m.Cell(3, sms::kColPartition), "Всё");
    EXPECT_EQ(m.Cell(39, sms::kColNumber), "40");
}

TEST(RetSms, UpdateDevicePacksRowsTogether) {
    T_SMS_List list;
    for (int n = 1; n <= 40; ++n) {
        list.SetRecord(n, SmsRecord{9, 9, 9, 9, 9, 9, 9, 9, 9, 9});
    }
    RetSmsModel m;
    m.Fill(T_SMS_List{});
    m.ChooseType(1, 1);
    m.ChooseSource(1, 7);
    m.ChooseType(5, 2);
    m.ChooseSource(5, 33);
    m.SetPhone(5, "9031234567");
    m.ChooseType(6, 1);
    m.SetPhone(6, "12"); // refused: left out
    m.UpdateDevice(list);
    EXPECT_TRUE(m.ListNotEmpty());
    EXPECT_EQ(list.Record(1), Record(1, 7, kP11));
    EXPECT_EQ(list.Record(2), Record(2, 33, kP10));
    EXPECT_EQ(list.Count(), 2);
    // Records after the last keep their other bytes; the type byte marks them empty.
    EXPECT_EQ(list.Record(3), (SmsRecord{0, 9, 9, 9, 9, 9, 9, 9, 9, 9}));
    EXPECT_EQ(list.Record(40), (SmsRecord{0, 9, 9, 9, 9, 9, 9, 9, 9, 9}));

    RetSmsModel empty;
    empty.UpdateDevice(list);
    EXPECT_FALSE(empty.ListNotEmpty());
    EXPECT_EQ(list.Count(), 0);
}

TEST(RetSms, ReadListIsWrittenBackUnchanged) {
    T_SMS_List list;
    list.SetRecord(1, Record(0x81, 40, kP11)); // unknown bit, source beyond the editor's list
    list.SetRecord(2, SmsRecord{7, 3, 0x21, 0xF3, 0, 0, 0, 0, 0, 0});
    list.SetRecord(3, Record(2, 33, kP10));
    list.SetRecord(4, Record(0x80, 1, kP10)); // shows "Выключено" yet is a stored record
    RetSmsModel m;
    m.Fill(list);
    EXPECT_EQ(m.Cell(0, sms::kColPartition), "Всё");
    EXPECT_EQ(m.Cell(1, sms::kColType), "Тип 7");
    EXPECT_EQ(m.Cell(3, sms::kColType), "Выключено");
    T_SMS_List written;
    m.UpdateDevice(written);
    for (int n = 1; n <= 4; ++n) {
        EXPECT_EQ(written.Record(n), list.Record(n)) << n;
    }
    EXPECT_EQ(written.Count(), 4);

    // Editing the source of the first keeps its type byte.
    m.ChooseSource(0, 2);
    m.UpdateDevice(written);
    EXPECT_EQ(written.Record(1), Record(0x81, 2, kP11));
}

TEST(RetSms, RowMovesRenumber) {
    T_SMS_List list;
    for (int n = 1; n <= 5; ++n) {
        list.SetRecord(n, Record(1, n, kP10));
    }
    RetSmsModel m;
    m.Fill(list);
    m.MoveRow(4, 0);
    EXPECT_EQ(m.Cell(0, sms::kColNumber), "1");
    EXPECT_EQ(m.Cell(0, sms::kColPartition), "Об.№5");
    EXPECT_EQ(m.Cell(1, sms::kColPartition), "Об.№1");
    m.MoveRow(0, 39);
    EXPECT_EQ(m.Cell(39, sms::kColPartition), "Об.№5");
    EXPECT_EQ(m.Cell(39, sms::kColNumber), "40");
    T_SMS_List written;
    m.UpdateDevice(written);
    EXPECT_EQ(written.Record(1), Record(1, 1, kP10));
    EXPECT_EQ(written.Record(5), Record(1, 5, kP10));
}

TEST(RetSms, CellSelectionAndEditors) {
    RetSmsModel m;
    EXPECT_EQ(m.EditorFor(0, sms::kColType), CellEditor::SmsType);
    EXPECT_EQ(m.EditorFor(0, sms::kColPartition), CellEditor::Refused);
    EXPECT_EQ(m.EditorFor(0, sms::kColPhone), CellEditor::Refused);
    m.ChooseType(0, 1);
    EXPECT_EQ(m.Row(0).phone, "+7(903)123-45-67");
    EXPECT_EQ(m.EditorFor(0, sms::kColPartition), CellEditor::Source);
    EXPECT_EQ(m.EditorFor(0, sms::kColPhone), CellEditor::Text);
    EXPECT_EQ(m.EditorFor(0, sms::kColNumber), CellEditor::Refused);
    EXPECT_EQ(m.EditorFor(40, sms::kColType), CellEditor::Refused);
    m.ChooseSource(0, 34); // beyond the list
    EXPECT_EQ(m.Row(0).partition, "Прибор");
    m.ChooseType(0, 0);
    EXPECT_EQ(m.Row(0).phone, "");
}

TEST(SmsPages, ListOfAnyLengthGoesOutAndComesBack) {
    for (const int count : {0, 3, 10, 13, 20, 39, 40}) {
        T_SMS_List list;
        for (int n = 1; n <= count; ++n) {
            list.SetRecord(n, Record(1 + n % 2, n % 34, *PackPhoneBcd("7903000" + std::to_string(1000 + n))));
        }
        T_SMS_List back;
        for (int page = 0; page < T_SMS_List::kPages; ++page) {
            FrameBuffer f{};
            const auto built = list.BuildPage(page, f.data());
            // A panel's reply carries a 0 after the last record of a page that is not full.
            std::vector<Byte> page_bytes = Head(f, built.length - 1);
            if (!built.more && built.length < 107) {
                page_bytes.push_back(0);
            }
            const std::vector<Byte> reply = AsReply(Sealed(page_bytes));
            ASSERT_TRUE(frame::ReplyComplete(ReplyView(reply.data(), reply.size())));
            const bool more = back.TakePage(page, ReplyView(reply.data(), reply.size())) != 0;
            EXPECT_EQ(more, built.more);
            if (!more) {
                break;
            }
        }
        EXPECT_EQ(back.Count(), count);
        for (int n = 1; n <= count; ++n) {
            EXPECT_EQ(back.Record(n), list.Record(n)) << count << " " << n;
        }
    }
}

} // namespace
