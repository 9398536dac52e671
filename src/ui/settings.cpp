#include "settings.h"

#include "link/port_discovery.h"

#include <QRegularExpression>
#include <QSettings>

namespace orv {

namespace {

QSettings Store() {
    return QSettings(QSettings::UserScope, QString::fromLatin1(kSettingsOrganization),
                     QString::fromLatin1(kSettingsApplication));
}

} // namespace

QString ReadSetting(const QString& name, const QString& defaultValue) {
    QSettings store = Store();
    const QString value = store.value(name).toString();
    if (!value.isEmpty()) {
        return value;
    }
    store.setValue(name, defaultValue);
    return defaultValue;
}

void WriteSetting(const QString& name, const QString& text) {
    QSettings store = Store();
    store.setValue(name, text);
}

bool ReadSlowExchange() {
    return ReadSetting(QStringLiteral("slowexchange"), QStringLiteral("0")) == QLatin1String("1");
}

void WriteSlowExchange(bool on) {
    WriteSetting(QStringLiteral("slowexchange"), on ? QStringLiteral("1") : QStringLiteral("0"));
}

QString DefaultPortName() {
    return DefaultPortEntry();
}

bool NamesPort(const QString& text) {
#ifdef Q_OS_WIN
    return text.startsWith(QLatin1String("COM"));
#else
    if (text.startsWith(QLatin1Char('/'))) {
        return text.size() > 1;
    }
    static const QRegularExpression kDeviceName(
        QStringLiteral("^(tty[A-Za-z]*|rfcomm|cua?[A-Za-z]*)[0-9]+$"));
    return kDeviceName.match(text).hasMatch();
#endif
}

} // namespace orv
