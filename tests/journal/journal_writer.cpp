// Records entries into a journal as fast as it can: journal_writer FILE TAG COUNT. Each entry's
// note is TAG-n. Exit status 0 when every entry was recorded.
#include "device/catalogue.h"
#include "gsm/tx_buffers.h"
#include "journal/journal.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: journal_writer FILE TAG COUNT\n");
        return 2;
    }
    orv::TProgramState state;
    state.device = orv::CreateDevice(5);
    orv::ResetGsmFrame(state.GsmFrame);
    orv::journal::TNewEntry entry = orv::journal::EntryFromState(orv::journal::TAction::Save, state);
    orv::journal::TJournal journal(QString::fromLocal8Bit(argv[1]));
    const int count = std::atoi(argv[3]);
    for (int i = 0; i < count; ++i) {
        entry.note = QStringLiteral("%1-%2").arg(QString::fromLocal8Bit(argv[2])).arg(i);
        if (!journal.Record(entry)) {
            std::fprintf(stderr, "%s\n", journal.Problem().toLocal8Bit().constData());
            return 1;
        }
    }
    return 0;
}
