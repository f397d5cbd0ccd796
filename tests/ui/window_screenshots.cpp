// Takes the pictures of the window for the documentation: the window at its design size with a few
// files listed, and the window in the middle of a run. Run it under a real display (Xvfb will do):
//   xvfb-run -a build/tests/ui/window_screenshots docs/screenshots

#include <cstdio>

#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include "tests/support/fixtures.h"
#include "tests/ui/window_fixtures.h"
#include "ui/file_list.h"
#include "ui/main_window.h"
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
    if (!temp.isValid() || !games.mkpath(QStringLiteral("Ombrix/Data")) || !QDir().mkpath(output))
        return 1;
    const QString data = games.filePath(QStringLiteral("Ombrix/Data"));
    const char* titles[][2] = {{"Ancient Ruins.vnr", "Ancient Ruins"},
                               {"boss_theme.vnr", "Boss Theme"},
                               {"Credits.VNR", "Credits"},
                               {"forest.vnr", "Deep Forest"},
                               {"intro.vnr", "Intro"},
                               {"Menu Music.vnr", "Menu"},
                               {"town.vnr", "Town Square"},
                               {"voices.vnr", nullptr}};
    for (const auto& [file, title] : titles) {
        const Bytes bytes = title ? container(16, itModule(title, Bytes(4096, 'm'))) : Bytes(512, 'v');
        writeFile(QDir(data).filePath(QString::fromUtf8(file)).toStdString(), bytes);
    }
    QDir::setCurrent(data);

    ScriptedDialogs dialogs;
    HookedDisk disk;
    app.setErrorDialogs(&dialogs);
    zendrow::ui::MainWindow window(dialogs, disk);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    auto* list = window.findChild<zendrow::ui::FileList*>(QStringLiteral("fileList"));
    for (int item : {0, 3, 6})
        list->setItemSelected(item, true);
    list->selectionModel()->setCurrentIndex(list->model()->index(6, 0), QItemSelectionModel::NoUpdate);
    QTest::qWait(300);
    bool saved = save(window, output + QStringLiteral("/main_window.png"));

    list->selectAll();
    window.findChild<QLineEdit*>(QStringLiteral("destinationEdit"))
        ->setText(QDir::toNativeSeparators(games.filePath(QStringLiteral("Ombrix/Music"))));
    dialogs.answers.push_back(true);
    disk.beforeOpen = [&](int count) {
        if (count == 5)
            saved = save(window, output + QStringLiteral("/during_run.png")) && saved;
    };
    QMetaObject::invokeMethod(&window, "convertSelectedFiles");
    if (!dialogs.errors.isEmpty())
        std::fprintf(stderr, "%s\n", qUtf8Printable(dialogs.errors.join(u'\n')));
    return saved ? 0 : 1;
}
