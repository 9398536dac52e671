#include "gsm/program_state.h"
#include "link/data_module.h"
#include "ui/dialogs.h"
#include "ui/dialogs/program_style.h"
#include "ui/form_main.h"
#include "ui/images.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    orv::UseProgramStyle();
    QApplication::setApplicationDisplayName(QString::fromUtf8(orv::kAppTitle));
    QApplication::setWindowIcon(orv::AppIcon());

    // The data module with the protocol port comes first, then the window.
    orv::TmodData data;
    orv::TProgramState state;
    orv::TQtDialogs dialogs;
    orv::TFormMain window(state, dialogs, data);
    window.show();
    return app.exec();
}
