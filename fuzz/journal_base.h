#pragma once

// The recorded entry whose stored form the journal target's odd inputs replace; the seed corpus
// builds the same one, so that its seeds hold that entry's true stored form.

#include "device/catalogue.h"
#include "journal/journal.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdlib>

namespace orv::fuzz {

inline journal::TNewEntry JournalBaseEntry() {
    TProgramState state;
    state.device = CreateDevice(16);
    state.device->SetZoneType(2, 3);
    return journal::EntryFromState(journal::TAction::Save, state, {}, QStringLiteral("base.cf8"));
}

// A journal file of this process's own, in memory where the system has a folder for it.
inline QString ScratchJournalPath(const QString& name) {
    const char* tmp = std::getenv("TMPDIR");
    const QString dir = QDir(QStringLiteral("/dev/shm")).isReadable()
                            ? QStringLiteral("/dev/shm")
                            : QString::fromLocal8Bit(tmp && *tmp ? tmp : "/tmp");
    return dir +
           QStringLiteral("/orvanta-fuzz-%1-%2.sqlite").arg(name).arg(QCoreApplication::applicationPid());
}

// The journal file and SQLite's files beside it.
inline void RemoveJournalFiles(const QString& path) {
    for (const char* suffix : {"", "-wal", "-shm"}) {
        QFile::remove(path + QLatin1String(suffix));
    }
}

} // namespace orv::fuzz
