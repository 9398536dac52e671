// Firmware files: the digit pairs, the block chain and every way a file is refused.
#include "files/firmware_image.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

using namespace orv;

namespace {

using Bytes = std::vector<Byte>;

void WriteAll(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// A chain of blocks with the given payload lengths; payload bytes count up from `seed`.
Bytes Chain(const std::vector<std::size_t>& payloads, Byte seed = 0x10) {
    Bytes bytes;
    for (const std::size_t n : payloads) {
        bytes.push_back(static_cast<Byte>(n >> 8));
        bytes.push_back(static_cast<Byte>(n & 0xFF));
        for (std::size_t i = 0; i < n; ++i) {
            bytes.push_back(static_cast<Byte>(seed++));
        }
    }
    return bytes;
}

// Payload lengths of blocks of `payload` bytes filling exactly `total` bytes (the last one shorter).
std::vector<std::size_t> Filling(std::size_t total, std::size_t payload) {
    std::vector<std::size_t> payloads;
    while (total >= payload + 2) {
        payloads.push_back(payload);
        total -= payload + 2;
    }
    if (total > 0) {
        payloads.push_back(total - 2);
    }
    return payloads;
}

std::string Text(const Bytes& bytes) {
    return ToFirmwareText(bytes);
}

// Every accepted image is covered by its blocks exactly, each block announcing its own length.
void ExpectSoundChain(const TFirmwareImage& image) {
    std::size_t p = 0;
    for (std::size_t i = 0; i < image.blocks.size(); ++i) {
        const auto& b = image.blocks[i];
        ASSERT_EQ(b.offset, p);
        ASSERT_GE(b.size, 2u);
        const auto block = image.Block(i);
        EXPECT_EQ(std::size_t{block[0]} * 256 + block[1] + 2, b.size);
        p += b.size;
    }
    EXPECT_EQ(p, image.bytes.size());
}

struct Accepted {
    const char* name;
    std::string text;
    Bytes bytes;
    std::vector<TFirmwareBlock> blocks;
};

void PrintTo(const Accepted& c, std::ostream* os) {
    *os << c.name;
}

class FirmwareAccepted : public ::testing::TestWithParam<Accepted> {};

TEST_P(FirmwareAccepted, GivesTheBytesAndTheirBlocks) {
    const auto& c = GetParam();
    const TFirmwareLoad load = ParseFirmwareText(c.text);
    ASSERT_TRUE(load.ok()) << FirmwareFaultDetails(load);
    EXPECT_EQ(load.image.bytes, c.bytes);
    EXPECT_EQ(load.image.blocks, c.blocks);
    ExpectSoundChain(load.image);
}

INSTANTIATE_TEST_SUITE_P(
    Files, FirmwareAccepted,
    ::testing::Values(Accepted{"OneBlock", "0003AABBCC", {0x00, 0x03, 0xAA, 0xBB, 0xCC}, {{0, 5}}},
                      Accepted{"LowerCase", "0003aabbcc", {0x00, 0x03, 0xAA, 0xBB, 0xCC}, {{0, 5}}},
                      Accepted{"TwoBlocks",
                               "0004112233440002AABB",
                               {0x00, 0x04, 0x11, 0x22, 0x33, 0x44, 0x00, 0x02, 0xAA, 0xBB},
                               {{0, 6}, {6, 4}}},
                      // A block without payload still moves on by its two length bytes.
                      Accepted{"EmptyBlockAlone", "0000", {0x00, 0x00}, {{0, 2}}},
                      Accepted{"EmptyBlocksAround",
                               "00000001EE0000",
                               {0x00, 0x00, 0x00, 0x01, 0xEE, 0x00, 0x00},
                               {{0, 2}, {2, 3}, {5, 2}}},
                      Accepted{
                          "LengthHighByteCounts", Text(Chain({0x0102})), Chain({0x0102}), {{0, 0x0104}}}),
    [](const auto& info) { return std::string(info.param.name); });

struct Refusal {
    const char* name;
    std::string text;
    TFirmwareFault fault;
    std::size_t position;
};

void PrintTo(const Refusal& c, std::ostream* os) {
    *os << c.name;
}

class FirmwareRefused : public ::testing::TestWithParam<Refusal> {};

TEST_P(FirmwareRefused, NamesTheFirstFault) {
    const auto& c = GetParam();
    const TFirmwareLoad load = ParseFirmwareText(c.text);
    EXPECT_EQ(load.fault, c.fault);
    EXPECT_EQ(load.position, c.position);
    EXPECT_TRUE(load.image.bytes.empty());
    EXPECT_TRUE(load.image.blocks.empty());
    EXPECT_FALSE(FirmwareRefusalText(load).empty());
    EXPECT_FALSE(FirmwareFaultDetails(load).empty());
}

const std::string kBom = "\xEF\xBB\xBF";

INSTANTIATE_TEST_SUITE_P(
    Files, FirmwareRefused,
    ::testing::Values(Refusal{"Empty", "", TFirmwareFault::Empty, 0},
                      Refusal{"TrailingCrLf", "0003AABBCC\r\n", TFirmwareFault::LineBreak, 11},
                      Refusal{"TrailingLf", "0003AABBCC\n", TFirmwareFault::LineBreak, 11},
                      Refusal{"LineBreakInside", "00\n03AABBCC", TFirmwareFault::LineBreak, 3},
                      Refusal{"OnlyALineBreak", "\r\n", TFirmwareFault::LineBreak, 1},
                      Refusal{"OddCount", "0003AABBC", TFirmwareFault::OddLength, 9},
                      Refusal{"SingleDigit", "0", TFirmwareFault::OddLength, 1},
                      Refusal{"LetterBeyondF", "0003AABBCG", TFirmwareFault::NotHex, 10},
                      Refusal{"Space", "0003 AABBCC", TFirmwareFault::NotHex, 5},
                      Refusal{"ByteOrderMark", kBom + "0003AABBCC", TFirmwareFault::NotHex, 1},
                      Refusal{"HexPrefix", "0x0003AABBCC", TFirmwareFault::NotHex, 2},
                      Refusal{"NulCharacter", std::string("0003AA\0BBCC", 11), TFirmwareFault::NotHex, 7},
                      // The first fault in the text wins over a fault of the chain.
                      Refusal{"BadCharacterBeforeOddEnd", "0Z031", TFirmwareFault::NotHex, 2},
                      Refusal{"FirstBlockOverruns", "0004AABBCC", TFirmwareFault::Overrun, 0},
                      Refusal{"LastBlockOverruns", "0003AABBCC0005AABBCC", TFirmwareFault::Overrun, 5},
                      Refusal{"StrayByteAfterLastBlock", "0003AABBCC00", TFirmwareFault::CutHeader, 5},
                      Refusal{"LengthOnlyHighByte", "01", TFirmwareFault::CutHeader, 0},
                      // Lengths whose block size does not fit 16 bits must neither wrap nor loop.
                      Refusal{"LengthFFFE", "FFFE", TFirmwareFault::Overrun, 0},
                      Refusal{"LengthFFFF", "FFFF00", TFirmwareFault::Overrun, 0},
                      Refusal{"LengthFFFEAfterBlock", "0000FFFE", TFirmwareFault::Overrun, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FirmwareImage, OverrunTellsWhatWasAnnouncedAndWhatRemained) {
    const TFirmwareLoad load = ParseFirmwareText("0003AABBCC0005AABBCC");
    ASSERT_EQ(load.fault, TFirmwareFault::Overrun);
    EXPECT_EQ(load.announced, 5u);
    EXPECT_EQ(load.remaining, 5u);
}

// The faults of the digits themselves keep the text the user has always seen; the faults found
// in the chain and the size say what is wrong.
TEST(FirmwareImage, RefusalTexts) {
    for (const char* text : {"0003AABBCC\r\n", "0003AABBC", "00G3AABBCC"}) {
        EXPECT_EQ(FirmwareRefusalText(ParseFirmwareText(text)), kFirmwareNotFoundText) << text;
    }
    for (const char* text : {"", "0004AABBCC", "0003AABBCC00"}) {
        const std::string refusal = FirmwareRefusalText(ParseFirmwareText(text));
        EXPECT_FALSE(refusal.empty()) << text;
        EXPECT_NE(refusal, kFirmwareNotFoundText) << text;
    }
    EXPECT_EQ(FirmwareRefusalText(ParseFirmwareText("0003AABBCC")), "");
}

TEST(FirmwareImage, SizeLimit) {
    // Blocks of 256 payload bytes, as a loader takes them, up to exactly the largest image.
    const Bytes largest = Chain(Filling(kFirmwareMaxBytes, 256));
    ASSERT_EQ(largest.size(), kFirmwareMaxBytes);
    const TFirmwareLoad fits = ParseFirmwareText(Text(largest));
    ASSERT_TRUE(fits.ok()) << FirmwareFaultDetails(fits);
    EXPECT_EQ(fits.image.blocks.size(), 156u);
    ExpectSoundChain(fits.image);

    // One block of the whole size.
    EXPECT_TRUE(ParseFirmwareText(Text(Chain({kFirmwareMaxBytes - 2}))).ok());

    // A byte more, even as a sound chain, is refused.
    const Bytes larger = Chain(Filling(kFirmwareMaxBytes + 1, 256));
    ASSERT_EQ(larger.size(), kFirmwareMaxBytes + 1);
    const TFirmwareLoad over = ParseFirmwareText(Text(larger));
    EXPECT_EQ(over.fault, TFirmwareFault::TooLarge);
    EXPECT_TRUE(over.image.bytes.empty());
    EXPECT_EQ(SplitFirmwareImage(larger).fault, TFirmwareFault::TooLarge);

    // Past the limit the size wins over what follows; before it the character does.
    std::string oddLong = Text(larger) + "0";
    EXPECT_EQ(ParseFirmwareText(oddLong).fault, TFirmwareFault::TooLarge);
    std::string badEarly = Text(larger);
    badEarly[100] = 'x';
    EXPECT_EQ(ParseFirmwareText(badEarly).fault, TFirmwareFault::NotHex);
}

TEST(FirmwareImage, ManyEmptyBlocksEachAdvance) {
    const std::size_t count = kFirmwareMaxBytes / 2;
    const TFirmwareLoad load = SplitFirmwareImage(Bytes(count * 2, 0));
    ASSERT_TRUE(load.ok());
    EXPECT_EQ(load.image.blocks.size(), count);
    ExpectSoundChain(load.image);
}

TEST(FirmwareImage, RandomChainsRoundTripThroughText) {
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        std::vector<std::size_t> payloads(1 + random() % 12);
        for (auto& n : payloads) {
            n = random() % 300;
        }
        const Bytes bytes = Chain(payloads, static_cast<Byte>(round));
        const TFirmwareLoad load = ParseFirmwareText(Text(bytes));
        ASSERT_TRUE(load.ok()) << FirmwareFaultDetails(load);
        EXPECT_EQ(load.image.bytes, bytes);
        ASSERT_EQ(load.image.blocks.size(), payloads.size());
        ExpectSoundChain(load.image);
    }
}

// Whatever the bytes, an image is either refused or covered exactly by its blocks.
TEST(FirmwareImage, ArbitraryBytesAreRefusedOrSoundlyCut) {
    std::mt19937 random(11);
    int accepted = 0;
    for (int round = 0; round < 2000; ++round) {
        Bytes bytes(random() % 12);
        for (Byte& b : bytes) {
            // Small lengths, so that some random chains come out whole.
            b = static_cast<Byte>(random() % 4);
        }
        const TFirmwareLoad load = SplitFirmwareImage(bytes);
        if (load.ok()) {
            ++accepted;
            EXPECT_EQ(load.image.bytes, bytes);
            ExpectSoundChain(load.image);
        } else {
            EXPECT_TRUE(load.image.blocks.empty());
        }
    }
    EXPECT_GT(accepted, 0);
}

class FirmwareFile : public ::testing::Test {
protected:
    test::TempDir dir;
};

TEST_F(FirmwareFile, ReadsTheFile) {
    WriteAll(dir.File("fw.enc"), "0004112233440002AABB");
    const TFirmwareLoad load = ReadFirmwareFile(dir.File("fw.enc"));
    ASSERT_TRUE(load.ok()) << FirmwareFaultDetails(load);
    EXPECT_EQ(load.image.blocks.size(), 2u);
    EXPECT_EQ(load.image.bytes.size(), 10u);
}

TEST_F(FirmwareFile, FileFaultsAreTheTextFaults) {
    WriteAll(dir.File("crlf.enc"), "0003AABBCC\r\n");
    EXPECT_EQ(ReadFirmwareFile(dir.File("crlf.enc")).fault, TFirmwareFault::LineBreak);
    WriteAll(dir.File("empty.enc"), "");
    EXPECT_EQ(ReadFirmwareFile(dir.File("empty.enc")).fault, TFirmwareFault::Empty);
}

TEST_F(FirmwareFile, MissingFileOrFolderCannotBeOpened) {
    for (const std::string& path : {dir.File("missing.enc"), dir.path()}) {
        const TFirmwareLoad load = ReadFirmwareFile(path);
        EXPECT_EQ(load.fault, TFirmwareFault::CannotOpen) << path;
        EXPECT_FALSE(load.reason.empty()) << path;
        EXPECT_EQ(FirmwareRefusalText(load), kFirmwareNotFoundText);
        EXPECT_EQ(FirmwareFaultDetails(load), load.reason);
    }
}

TEST_F(FirmwareFile, LimitHoldsForFiles) {
    const Bytes largest = Chain(Filling(kFirmwareMaxBytes, 256));
    WriteAll(dir.File("largest.enc"), Text(largest));
    const TFirmwareLoad fits = ReadFirmwareFile(dir.File("largest.enc"));
    ASSERT_TRUE(fits.ok()) << FirmwareFaultDetails(fits);
    EXPECT_EQ(fits.image.bytes, largest);

    // A file far larger than any image is refused for its size.
    WriteAll(dir.File("huge.enc"), std::string(4'000'000, '0'));
    EXPECT_EQ(ReadFirmwareFile(dir.File("huge.enc")).fault, TFirmwareFault::TooLarge);
}

} // namespace
