#include <csignal>
#include <exception>

#include <QStringList>
#include <QtDebug>

#include "engine/file_system.h"
#include "ui/error_display.h"
#include "ui/main_window.h"
#include "ui/qt_dialogs.h"
#include "ui/zendrow_application.h"

// zendrow [FOLDER]: the window, showing FOLDER (or a file in its folder) when one is given, else
// the working directory.
int main(int argc, char** argv) {
#ifdef SIGXFSZ
    // A write past the file-size limit must fail as a reported error, not end the program.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    zendrow::ui::ZendrowApplication app(argc, argv);
    zendrow::DiskFileSystem disk;
    zendrow::ui::QtDialogs dialogs(disk);
    app.setErrorDialogs(&dialogs);
    try {
        zendrow::ui::MainWindow window(dialogs, disk);
        dialogs.setOwner(&window);
        const QStringList arguments = QCoreApplication::arguments();
        if (arguments.size() > 1)
            window.showSourcePath(arguments.at(1));
        window.show();
        app.exec();
    } catch (...) {
        zendrow::ui::showCurrentException(dialogs);
    }
    return 0;
}
