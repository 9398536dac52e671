// orvanta-cli: the panel link from the command line.

#include "cli/cli.h"
#include "cli/report_command.h"

#include "orvanta_version.h"

#include <QGuiApplication>
#include <QStringList>

#ifdef _WIN32
#include <io.h>
#define ORV_STDOUT_IS_TERMINAL() (_isatty(_fileno(stdout)) != 0)
#else
#include <unistd.h>
#define ORV_STDOUT_IS_TERMINAL() (isatty(STDOUT_FILENO) != 0)
#endif

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>

int main(int argc, char** argv) {
    // Reports lay text out with fonts, which takes a QGuiApplication; the offscreen platform
    // gives it without a display, so reports are made over ssh and in scripts alike.
    const std::vector<std::string> raw(argv + std::min(argc, 1), argv + argc);
    std::unique_ptr<QCoreApplication> app;
    if (orv::cli::MakesReport(raw)) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    // The window's names: both programs keep one journal in the same data folder.
    QCoreApplication::setOrganizationName(QString::fromUtf8(orv::version::kCompanyName));
    QCoreApplication::setApplicationName(QString::fromUtf8(orv::version::kProductName));
    std::vector<std::string> args;
    const QStringList arguments = QCoreApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        args.push_back(arguments[i].toStdString());
    }
    return orv::cli::RunCli(args, std::cout, std::cerr, ORV_STDOUT_IS_TERMINAL());
}
