#include <csignal>
#include <exception>
#include <filesystem>
#include <string>
#include <system_error>

#include <QStringList>
#include <QtDebug>

#include "engine/file_system.h"
#include "engine/utf8_path.h"
#include "ui/error_display.h"
#include "ui/folder_preload.h"
#include "ui/main_window.h"
#include "ui/qt_dialogs.h"
#include "ui/zendrow_application.h"

namespace {

/// The folder the window will start in, absolute, when it can be told before Qt starts: the
/// working directory, or the folder given. Empty for a file, a pattern or a missing path.
std::string startFolder(int argc, char** argv) {
    std::error_code code;
    std::filesystem::path folder = std::filesystem::current_path(code);
    if (code)
        return {};
#ifndef _WIN32
    // Windows passes arguments in the ANSI code page; the window reads them from Qt instead.
    if (argc > 1) {
        folder = std::filesystem::absolute(argv[1], code);
        if (code || !std::filesystem::is_directory(folder, code))
            return {};
    }
#else
    if (argc > 1)
        return {};
#endif
    return zendrow::utf8FromPath(folder);
}

} // namespace

// zendrow [FOLDER]: the window, showing FOLDER (or a file in its folder) when one is given, else
// the working directory.
int main(int argc, char** argv) {
#ifdef SIGXFSZ
    // A write past the file-size limit must fail as a reported error, not end the program.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    zendrow::DiskFileSystem disk;
    // Read while Qt starts: a folder of many thousands of files would otherwise add its time after.
    zendrow::ui::FolderPreload preload(disk, startFolder(argc, argv));
    zendrow::ui::ZendrowApplication app(argc, argv);
    zendrow::ui::QtDialogs dialogs(disk);
    app.setErrorDialogs(&dialogs);
    try {
        const QStringList arguments = QCoreApplication::arguments();
        zendrow::ui::MainWindow window(dialogs, disk, arguments.value(1), &preload);
        dialogs.setOwner(&window);
        window.show();
        app.exec();
    } catch (...) {
        zendrow::ui::showCurrentException(dialogs);
    }
    return 0;
}
