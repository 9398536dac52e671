#pragma once

#include <QString>

namespace orv {

// The three stored settings live per user under Zelvorin/Orvanta.
inline constexpr const char* kSettingsOrganization = "Zelvorin";
inline constexpr const char* kSettingsApplication = "Orvanta";

// The stored text; a missing or empty value is replaced by the default, which is stored too.
QString ReadSetting(const QString& name, const QString& defaultValue);
void WriteSetting(const QString& name, const QString& text);

// The compatible exchange with the panel (the port polled every 500 ms), off unless chosen.
bool ReadSlowExchange();
void WriteSlowExchange(bool on);

// The port offered on a first start.
QString DefaultPortName();

// Whether the text names a serial port by this platform's rule: "COM..." on Windows; a device
// name such as ttyS0, ttyUSB0, ttyACM0 or an absolute path elsewhere.
bool NamesPort(const QString& text);

} // namespace orv
