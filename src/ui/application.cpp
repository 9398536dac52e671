#include "application.h"

#include "dialogs/program_style.h"
#include "images.h"
#include "settings.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <clocale>

namespace orv {

namespace {

void InstallQtTranslations(const QLocale& locale) {
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const QString& catalogue : {QStringLiteral("qtbase"), QStringLiteral("qtserialport")}) {
        auto* translator = new QTranslator(QCoreApplication::instance());
        if (translator->load(locale, catalogue, QStringLiteral("_"), folder)) {
            QCoreApplication::installTranslator(translator);
        } else {
            delete translator;
        }
    }
}

} // namespace

std::unique_ptr<QApplication> CreateApplication(int& argc, char** argv) {
    static constexpr char kAll[] = "LC_ALL";
    const bool given = qEnvironmentVariableIsSet(kAll);
    const QByteArray users = qgetenv(kAll);
    qputenv(kAll, "ru_RU.UTF-8");
    auto app = std::make_unique<QApplication>(argc, argv);
    if (given) {
        qputenv(kAll, users);
    } else {
        qunsetenv(kAll);
    }
    // Where the machine has the Russian locale, the C library took it too: its numbers keep the
    // decimal point (Qt's advice for programs that read and write numbers through it).
    std::setlocale(LC_NUMERIC, "C");
    SetUpApplication();
    return app;
}

void SetUpApplication() {
    // Every text the user sees is Russian, whatever the desktop's language: Qt's own ones too,
    // and the dates and sizes its file dialog shows.
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    QLocale::setDefault(russian);
    InstallQtTranslations(russian);
    UseProgramStyle();
    QApplication::setWindowIcon(AppIcon());
    // The names the stored settings use; the data folder (the journal) follows them, and the
    // command-line tool sets the same so both keep one journal.
    QCoreApplication::setOrganizationName(QString::fromLatin1(kSettingsOrganization));
    QCoreApplication::setApplicationName(QString::fromLatin1(kSettingsApplication));
}

} // namespace orv
