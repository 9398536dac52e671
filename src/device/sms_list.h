#pragma once

#include "frame/frame.h"

#include <array>

namespace orv {

// One SMS record as the panel stores it: type, partition or source, packed telephone number.
using SmsRecord = std::array<Byte, 10>;

// The retranslator's SMS list: 40 records, moved to and from the panel in pages of ten.
class T_SMS_List {
public:
    static constexpr int kRecords = 40;
    static constexpr int kPageRecords = 10;
    static constexpr int kPages = 4;

    T_SMS_List() { Clear(); }

    // Type and source bytes of every record to 0.
    void Clear();

    // Records 1..40; an out-of-range number reads as an empty record and is never written.
    SmsRecord Record(int n) const;
    void SetRecord(int n, const SmsRecord& record);
    std::array<SmsRecord, kRecords>& Records() { return records_; }
    const std::array<SmsRecord, kRecords>& Records() const { return records_; }

    // Number of records before the first whose type byte is 0.
    int Count() const;

    // Takes page p (0..3) from a reply; returns the reply's more-pages byte when all ten
    // records were taken, else 0.
    Byte TakePage(int page, ReplyView reply);

    // Builds the write frame of page p into frame (at least 107 bytes); returns its length and
    // whether a further page follows.
    struct Page {
        std::size_t length;
        bool more;
    };
    Page BuildPage(int page, Byte* frame) const;

private:
    std::array<SmsRecord, kRecords> records_{};
};

} // namespace orv
