#include "sms_list.h"

namespace orv {

void T_SMS_List::Clear() {
    for (auto& r : records_) {
        r[0] = 0;
        r[1] = 0;
    }
}

SmsRecord T_SMS_List::Record(int n) const {
    if (n < 1 || n > kRecords) {
        return SmsRecord{};
    }
    return records_[static_cast<std::size_t>(n - 1)];
}

void T_SMS_List::SetRecord(int n, const SmsRecord& record) {
    if (n >= 1 && n <= kRecords) {
        records_[static_cast<std::size_t>(n - 1)] = record;
    }
}

int T_SMS_List::Count() const {
    int n = 0;
    while (n < kRecords && records_[static_cast<std::size_t>(n)][0] != 0) {
        ++n;
    }
    return n;
}

Byte T_SMS_List::TakePage(int page, ReplyView reply) {
    if (page < 0 || page >= kPages) {
        return 0;
    }
    const std::size_t first = static_cast<std::size_t>(page * kPageRecords);
    for (int k = 0; k < kPageRecords; ++k) {
        records_[first + static_cast<std::size_t>(k)][0] = 0;
    }
    for (int k = 0; k < kPageRecords; ++k) {
        const std::size_t offset = 5 + 10 * static_cast<std::size_t>(k);
        // A record must lie wholly before the reply's checksum; a short reply ends the list.
        if (reply[offset] == 0 || offset + 10 + 1 > reply.size()) {
            return 0;
        }
        auto& record = records_[first + static_cast<std::size_t>(k)];
        for (std::size_t i = 0; i < record.size(); ++i) {
            record[i] = reply[offset + i];
        }
    }
    return reply[105];
}

T_SMS_List::Page T_SMS_List::BuildPage(int page, Byte* frame) const {
    frame[0] = frame::kStart;
    frame[2] = frame::kCmdWrite;
    frame[3] = frame::subSmsPage;
    frame[4] = static_cast<Byte>(page);
    int n = 0;
    if (page >= 0 && page < kPages) {
        for (; n < kPageRecords; ++n) {
            const auto& record = records_[static_cast<std::size_t>(page * kPageRecords + n)];
            if (record[0] == 0) {
                break;
            }
            for (std::size_t i = 0; i < record.size(); ++i) {
                frame[5 + 10 * static_cast<std::size_t>(n) + i] = record[i];
            }
        }
    }
    if (n == kPageRecords) {
        const bool more = page < kPages - 1;
        frame[105] = more ? 1 : 0;
        frame::SealFrame(frame, 107);
        return {107, more};
    }
    const std::size_t length = 10 * static_cast<std::size_t>(n) + 6;
    frame::SealFrame(frame, length);
    return {length, false};
}

} // namespace orv
