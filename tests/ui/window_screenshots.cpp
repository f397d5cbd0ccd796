// Takes the pictures of the window for the documentation: the window at its design size with a few
// files listed, the window in the middle of a run, and the summary with its details open. Run it under a real display (Xvfb will do):
//   xvfb-run -a build/tests/ui/window_screenshots docs/screenshots

#include <cstdio>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QTimer>
#include <QLineEdit>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include "tests/support/fixtures.h"
#include "tests/ui/window_fixtures.h"
#include "ui/file_list.h"
#include "ui/main_window.h"
#include "ui/qt_dialogs.h"
#include "ui/zendrow_application.h"

using namespace zendrow::test;

namespace {

bool save(QWidget& window, const QString& file) {
    QCoreApplication::processEvents();
    QPixmap picture = window.screen()->grabWindow(window.winId());
    if (picture.isNull())
        picture = window.grab();
    if (!picture.save(file)) {
        std::fprintf(stderr, "cannot write %s\n", qUtf8Printable(file));
        return false;
    }
    std::printf("%s\n", qUtf8Printable(file));
    return true;
}

} // namespace

int main(int argc, char** argv) {
    zendrow::ui::ZendrowApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: window_screenshots OUTPUT-FOLDER\n");
        return 2;
    }
    const QString output = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QTemporaryDir temp;
    QDir games(temp.path());
    if (!temp.isValid() || !games.mkpath(QStringLiteral("Ombrix/Data")) || !games.mkpath(QStringLiteral("Ombrix/Music")) ||
        !QDir().mkpath(output))
        return 1;
    const QString data = games.filePath(QStringLiteral("Ombrix/Data"));
    const char* titles[][2] = {{"Ancient Ruins.vnr", "Ancient Ruins"},
                               {"boss_theme.vnr", "Boss Theme"},
                               {"Credits.VNR", "Credits"},
                               {"forest.vnr", "Deep Forest"},
                               {"intro.vnr", "Intro"},
                               {"Menu Music.vnr", "Menu"},
                               {"town.vnr", "Town Square"},
                               {"voices.vnr", nullptr},
                               {"water.vnr", "Water"},
                               {"xtra1.vnr", "Extra 1"},
                               {"xtra2.vnr", "Extra 2"}};
    for (const auto& [file, title] : titles) {
        const Bytes bytes = title ? container(16, itModule(title, Bytes(4096, 'm'))) : Bytes(512, 'v');
        writeFile(QDir(data).filePath(QString::fromUtf8(file)).toStdString(), bytes);
    }
    QDir::setCurrent(data);

    HookedDisk disk;
    zendrow::ui::QtDialogs dialogs(disk);
    app.setErrorDialogs(&dialogs);
    zendrow::ui::MainWindow window(dialogs, disk);
    dialogs.setOwner(&window);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    auto* list = window.findChild<zendrow::ui::FileList*>(QStringLiteral("fileList"));
    for (int item : {0, 3, 6})
        list->setItemSelected(item, true);
    list->selectionModel()->setCurrentIndex(list->model()->index(6, 0), QItemSelectionModel::NoUpdate);
    QTest::qWait(300);
    bool saved = save(window, output + QStringLiteral("/main_window.png"));

    // A run held in its fifth file, with two files gone since they were listed.
    list->selectAll();
    window.findChild<QLineEdit*>(QStringLiteral("destinationEdit"))
        ->setText(QDir::toNativeSeparators(games.filePath(QStringLiteral("Ombrix/Music"))));
    for (const char* gone : {"xtra1.vnr", "xtra2.vnr"})
        QFile::remove(QDir(data).filePath(QString::fromUtf8(gone)));
    disk.holdAt(5);
    QMetaObject::invokeMethod(&window, "convertSelectedFiles");
    QElapsedTimer waited;
    waited.start();
    while (!disk.holding() && waited.elapsed() < 10000)
        QTest::qWait(20);
    QTest::qWait(300);
    saved = save(window, output + QStringLiteral("/during_run.png")) && saved;

    // The summary, its details open.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        poll.stop();
        for (QAbstractButton* button : box->buttons()) {
            if (box->buttonRole(button) == QMessageBox::ActionRole)
                button->click();
        }
        QTest::qWait(300);
        saved = save(*box, output + QStringLiteral("/summary_details.png")) && saved;
        box->button(QMessageBox::Ok)->click();
    });
    poll.start(50);
    disk.release();
    while (window.isRunning())
        QTest::qWait(50);
    return saved ? 0 : 1;
}
