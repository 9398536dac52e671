#include "result_codes.h"

#include <array>

namespace orv {

namespace {

struct CodeInfo {
    const char* name;
    const char* text;
};

constexpr std::array<CodeInfo, kResultCodeCount> kCodes{{
    {"rcReadDone", "Конфигурация прочитана, версия прибора - "},
    {"rcWriteDone", "Конфигурация записана"},
    {"rcPortOpen", "Порт открыт"},
    {"rcReplyArriving", "Ответ прибора получен"},
    {"rcReadingGsm", "Читаем настройки GSM"},
    {"rcWritingGsm", "Пишем настройки GSM"},
    {"rcReadingObjects", "Читаем объекты"},
    {"rcWritingObjects", "Пишем объекты"},
    {"rcPortError", "Ошибка порта"},
    {"rcNoLink", "Нет связи, проверьте соединения или тип прибора"},
    {"rcWriteMismatch", "Обнаружены ошибки записи, попробуйте ещё раз"},
    {"rcUnknownDevice", "Ошибка. Неизвестное устройство\r\nПопробуйте обновить програматор"},
    {"rcUnsupportedDevice", "Ошибка. Прибор не поддерживается програматором"},
    {"rcGsmError", "Ошибка при чтении или записи параметров GSM"},
    {"rcObjectsError", "Ошибка чтения-записи объектов"},
}};

bool Known(int code) {
    return code >= 0 && code < kResultCodeCount;
}

} // namespace

bool IsFinalResult(int code) {
    return code == rcReadDone || code == rcWriteDone || IsFailureResult(code);
}

bool IsFailureResult(int code) {
    return code >= rcPortError && code <= rcObjectsError;
}

const char* ResultCodeName(int code) {
    return Known(code) ? kCodes[static_cast<std::size_t>(code)].name : "";
}

std::string ResultStatusText(int code, Byte version) {
    if (!Known(code)) {
        return {};
    }
    std::string text = kCodes[static_cast<std::size_t>(code)].text;
    if (code == rcReadDone) {
        text += std::to_string(version);
    }
    return text;
}

} // namespace orv
