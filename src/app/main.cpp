#include "gsm/program_state.h"
#include "ui/dialogs.h"
#include "ui/form_main.h"
#include "ui/images.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QString::fromUtf8(orv::kAppTitle));
    QApplication::setWindowIcon(orv::AppIcon());

    orv::TProgramState state;
    orv::TQtDialogs dialogs;
    orv::TFormMain window(state, dialogs);
    window.show();
    return app.exec();
}
