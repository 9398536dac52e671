#include "gsm/program_state.h"
#include "journal/recorder.h"
#include "link/data_module.h"
#include "ui/application.h"
#include "ui/dialogs.h"
#include "ui/form_main.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    const auto app = orv::CreateApplication(argc, argv);

    // The data module with the protocol port comes first, then the window.
    orv::TmodData data;
    orv::TProgramState state;
    orv::TQtDialogs dialogs;
    orv::TFormMain window(state, dialogs, data);
    // A journal that cannot be kept is told once; the work goes on without it.
    orv::journal::TJournalRecorder journal([&](const QString& problem) {
        dialogs.Message(&window, orv::MsgKind::Warning, QString::fromUtf8(orv::kAppTitle), problem,
                        orv::MsgButtons::Ok);
    });
    window.SetJournal(&journal);
    window.show();
    return app->exec();
}
