// orvanta-cli: the panel link from the command line.

#include "cli/cli.h"

#include <QCoreApplication>
#include <QStringList>

#include <iostream>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // The window's names: both programs keep one journal in the same data folder.
    QCoreApplication::setOrganizationName(QStringLiteral("Zelvorin"));
    QCoreApplication::setApplicationName(QStringLiteral("Orvanta"));
    std::vector<std::string> args;
    const QStringList arguments = QCoreApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        args.push_back(arguments[i].toStdString());
    }
    return orv::cli::RunCli(args, std::cout, std::cerr);
}
