// The window over a large folder, for bench/window.sh:
//   window_bench start FOLDER          starts as `zendrow FOLDER` does and ends once the list has painted
//   window_bench select-all FOLDER N   then presses Select all N times (the selection cleared between)
//                                      and prints the milliseconds from the press until the list,
//                                      Select all and the status bar have painted, one line each

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <QCheckBox>
#include <QElapsedTimer>
#include <QEvent>
#include <QTest>

#include "engine/file_system.h"
#include "engine/utf8_path.h"
#include "ui/file_list.h"
#include "ui/folder_preload.h"
#include "ui/main_window.h"
#include "ui/qt_dialogs.h"
#include "ui/zendrow_application.h"

namespace {

/// Counts the paint events of the list's viewport.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

} // namespace

int main(int argc, char** argv) {
    // As zendrow's main does: the folder is read while Qt starts.
    zendrow::DiskFileSystem disk;
    zendrow::ui::FolderPreload preload(disk, argc > 2 ? zendrow::utf8FromPath(std::filesystem::absolute(argv[2])) : "");
    zendrow::ui::ZendrowApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 3) {
        std::fprintf(stderr, "usage: window_bench start|select-all FOLDER [COUNT]\n");
        return 2;
    }
    zendrow::ui::QtDialogs dialogs(disk);
    zendrow::ui::MainWindow window(dialogs, disk, arguments.at(2), &preload);
    dialogs.setOwner(&window);
    auto* list = window.findChild<zendrow::ui::FileList*>(QStringLiteral("fileList"));
    PaintCounter painted;
    list->viewport()->installEventFilter(&painted);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    while (painted.paints == 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (arguments.at(1) != QStringLiteral("select-all"))
        return 0;

    auto* selectAll = window.findChild<QCheckBox*>(QStringLiteral("selectAllBox"));
    const int count = arguments.size() > 3 ? arguments.at(3).toInt() : 10;
    for (int i = 0; i < count; ++i) {
        list->clearSelection();
        QCoreApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        QTest::mouseClick(selectAll, Qt::LeftButton, {}, QPoint(4, selectAll->height() / 2));
        window.repaint();
        QCoreApplication::processEvents();
        std::printf("%.2f\n", double(timer.nsecsElapsed()) / 1e6);
        if (list->selectedCount() != list->itemCount())
            return 1;
    }
    return 0;
}
