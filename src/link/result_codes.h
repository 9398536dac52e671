#pragma once

#include "frame/frame.h"

#include <string>

namespace orv {

// The numbered outcomes a protocol worker reports, in the order of their numbers.
enum TResultCode : int {
    rcReadDone = 0, // argument: the panel's type code
    rcWriteDone = 1,
    rcPortOpen = 2,
    rcReplyArriving = 3,
    rcReadingGsm = 4,
    rcWritingGsm = 5,
    rcReadingObjects = 6, // also sent again when the object table read failed
    rcWritingObjects = 7,
    rcPortError = 8,
    rcNoLink = 9,
    rcWriteMismatch = 10,
    rcUnknownDevice = 11,
    rcUnsupportedDevice = 12, // argument: the type code
    rcGsmError = 13,
    rcObjectsError = 14,
};

inline constexpr int kResultCodeCount = 15;

struct TResult {
    int code = 0;
    int argument = 0;
    friend bool operator==(const TResult&, const TResult&) = default;
};

// Codes that end a transaction: 0, 1 and 8 to 14.
bool IsFinalResult(int code);

// A failed transaction: 8 to 14.
bool IsFailureResult(int code);

// The enumerator's name ("rcReadDone"), or an empty string for other numbers.
const char* ResultCodeName(int code);

// The status bar text of a code (UTF-8); version is the device's firmware version, used by code 0.
// Empty for numbers that are not result codes.
std::string ResultStatusText(int code, Byte version = 0);

} // namespace orv
