#include "gsm/program_state.h"
#include "link/data_module.h"
#include "ui/application.h"
#include "ui/dialogs.h"
#include "ui/form_main.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    orv::SetUpApplication();

    // The data module with the protocol port comes first, then the window.
    orv::TmodData data;
    orv::TProgramState state;
    orv::TQtDialogs dialogs;
    orv::TFormMain window(state, dialogs, data);
    window.show();
    return app.exec();
}
