// Takes the pictures of the window for the documentation: the window at its design size with a few
// files listed, and the window in the middle of a run. Run it under a real display (Xvfb will do):
//   xvfb-run -a build/tests/ui/window_screenshots docs/screenshots

#include <cstdio>

#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include "tests/ui/window_fixtures.h"
#include "ui/file_list.h"
#include "ui/main_form.h"
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
        const QByteArray bytes = title ? container(itModule(title, QByteArray(4096, 'm'))) : QByteArray(512, 'v');
        writeFile(QDir(data).filePath(QString::fromUtf8(file)), bytes);
    }
    QDir::setCurrent(data);

    ScriptedDialogs dialogs;
    HookedDisk disk;
    app.setErrorDialogs(&dialogs);
    zendrow::ui::TMainForm form(dialogs, disk);
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        return 1;
    for (int item : {0, 3, 6})
        form.FileList->setItemSelected(item, true);
    form.FileList->setCurrentRow(6, QItemSelectionModel::NoUpdate);
    runEventLoop(300);
    bool saved = save(form, output + QStringLiteral("/main_window.png"));

    form.FileList->selectAll();
    form.DestDirEdit->setText(QDir::toNativeSeparators(games.filePath(QStringLiteral("Ombrix/Music"))));
    dialogs.answers.push_back(true);
    goIdle();
    disk.beforeOpen = [&](int count) {
        if (count == 5)
            saved = save(form, output + QStringLiteral("/during_run.png")) && saved;
    };
    form.ConvertBtnClick();
    if (!dialogs.errors.isEmpty())
        std::fprintf(stderr, "%s\n", qUtf8Printable(dialogs.errors.join(u'\n')));
    return saved ? 0 : 1;
}
