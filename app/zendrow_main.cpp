#include <csignal>
#include <exception>

#include <QtDebug>

#include "engine/file_system.h"
#include "ui/error_display.h"
#include "ui/main_form.h"
#include "ui/qt_dialogs.h"
#include "ui/zendrow_application.h"

int main(int argc, char** argv) {
#ifdef SIGXFSZ
    // A write past the file-size limit must fail as a reported error, not end the program.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    zendrow::ui::ZendrowApplication app(argc, argv);
    zendrow::ui::QtDialogs dialogs;
    app.setErrorDialogs(&dialogs);
    try {
        zendrow::DiskFileSystem disk;
        zendrow::ui::TMainForm MainForm(dialogs, disk);
        dialogs.setOwner(&MainForm);
        MainForm.show();
        app.exec();
    } catch (...) {
        zendrow::ui::showCurrentException(dialogs);
    }
    return 0;
}
