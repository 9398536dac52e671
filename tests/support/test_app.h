#pragma once

#include <QCoreApplication>
#include <QStringList>

namespace orv::test {

// Plugins only from the tests' own folder (see tests/CMakeLists.txt): Qt's, less the print
// support, so that no test depends on the machine's printers. Call before the application object
// is made.
inline void UseTestPlugins() {
    QCoreApplication::setLibraryPaths({QStringLiteral(ORVANTA_TEST_PLUGINS)});
}

} // namespace orv::test
