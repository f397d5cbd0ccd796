#include <algorithm>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>

#include <QCheckBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QUrl>

#include "engine/folder_listing.h"
#include "tests/support/fixtures.h"
#include "tests/support/module_builder.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/window_fixtures.h"
#include "ui/file_list.h"
#include "ui/folder_dialog.h"
#include "ui/folder_preload.h"
#include "ui/main_window.h"
#include "ui/qt_dialogs.h"
#include "ui/stat_bar.h"
#include "ui/zendrow_application.h"

using namespace zendrow::test;
using zendrow::ui::FileList;
using zendrow::ui::MainWindow;
using zendrow::ui::StatBar;

namespace {

QStringList itemsOf(const FileList& list) {
    QStringList items;
    for (int i = 0; i < list.itemCount(); ++i)
        items << list.itemText(i);
    return items;
}

QString canonical(const QString& path) {
    return QDir(path).canonicalPath();
}

/// Names of the files in folder, as the file system's bytes.
std::vector<std::string> filesIn(const std::string& folder) {
    std::vector<std::string> names;
    std::string error;
    zendrow::DiskFileSystem disk;
    if (!zendrow::listMatchingFiles(disk, folder, "*", names, error))
        names.push_back("<" + error + ">");
    return names;
}

/// An object whose events fail, as a faulty handler would.
class ThrowingObject : public QObject {
public:
    QString message;
    bool event(QEvent*) override { throw std::runtime_error(message.toStdString()); }
};

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startUp();
    void layoutFits_data();
    void layoutFits();
    void columnsFollowWidth_data();
    void columnsFollowWidth();
    void keyboardAndAccessibility();

    void controlState_data();
    void controlState();
    void controlStateFollowsTheFolder();
    void selectAllBox();

    void applyTypedPath_data();
    void applyTypedPath();
    void sourceChooser_data();
    void sourceChooser();
    void destinationChooser_data();
    void destinationChooser();
    void folderDialogCreatesFolders_data();
    void folderDialogCreatesFolders();
    void folderDialogShowsItsStart();
    void enterInDestination_data();
    void enterInDestination();
    void dropOnWindow_data();
    void dropOnWindow();
    void startWithPathArgument_data();
    void startWithPathArgument();
    void startWithPreloadedFolder_data();
    void startWithPreloadedFolder();

    void runAnsweredNoChangesNothing();
    void runAnsweredYesCreatesAndConverts();
    void relativeDestinationFollowsTheList();
    void runOutcomes_data();
    void runOutcomes();
    void nameNotUtf8_data();
    void nameNotUtf8();
    void summaryDetailsAndOpenFolder_data();
    void summaryDetailsAndOpenFolder();
    void runErrorReturnsToIdle_data();
    void runErrorReturnsToIdle();
    void closeDuringRun();
    void runStaysLive();
    void stopDuringRun_data();
    void stopDuringRun();
    void progressWithinALongFile_data();
    void progressWithinALongFile();
    void searchOption_data();
    void searchOption();
    void summaryBox_data();
    void summaryBox();
    void escapedErrorIsShown_data();
    void escapedErrorIsShown();

private:
    QString path(const QString& name) const { return QString::fromStdString(*m_dir / name.toStdString()); }
    void write(const QString& name, const Bytes& bytes) const { writeFile(*m_dir / name.toStdString(), bytes); }
    Bytes read(const QString& name) const { return readFile(*m_dir / name.toStdString()); }
    void makeWindow();
    void selectOnly(const QList<int>& items);
    /// Presses Convert and waits until the run is over and its summary has been closed.
    void convertAndWait() {
        QTest::mouseClick(&convert(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->isRunning(), 20000);
    }
    /// Outputs in out, as the file system has them, hidden ones included.
    QStringList outputsIn(const QString& folder) const {
        return QDir(path(folder)).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }

    template <class Widget = QWidget> Widget* child(const char* name) const {
        auto* widget = m_window->findChild<Widget*>(QString::fromLatin1(name));
        if (!widget)
            qFatal("the window has no %s", name);
        return widget;
    }
    /// Clicks a radio button on its indicator, where a click lands whatever the button's width.
    void clickRadio(const char* name) const {
        QWidget* button = child(name);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(4, button->height() / 2));
    }
    FileList& list() const { return *child<FileList>("fileList"); }
    StatBar& status() const { return *child<StatBar>("statusBar"); }
    QPushButton& convert() const { return *child<QPushButton>("convertButton"); }
    QProgressBar& progress() const { return *child<QProgressBar>("progressBar"); }
    QLineEdit& destination() const { return *child<QLineEdit>("destinationEdit"); }
    QLineEdit& source() const { return *child<QLineEdit>("sourceFolderEdit"); }
    QCheckBox& selectAll() const { return *child<QCheckBox>("selectAllBox"); }

    QString m_startDirectory;
    std::unique_ptr<TempDir> m_dir;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<HookedDisk> m_disk;
    std::unique_ptr<MainWindow> m_window;
};

void MainWindowTest::init() {
    m_startDirectory = QDir::currentPath();
    m_dir = std::make_unique<TempDir>();
    // The window starts in the working directory; it never changes it after.
    QVERIFY(QDir::setCurrent(QString::fromStdString(m_dir->str())));
    m_dialogs = std::make_unique<ScriptedDialogs>();
    m_disk = std::make_unique<HookedDisk>();
    static_cast<zendrow::ui::ZendrowApplication*>(qApp)->setErrorDialogs(m_dialogs.get());
}

void MainWindowTest::cleanup() {
    // A run held by a failed check must be let go, or the window would wait for it for ever.
    m_disk->release();
    m_window.reset();
    static_cast<zendrow::ui::ZendrowApplication*>(qApp)->setErrorDialogs(nullptr);
    QDir::setCurrent(m_startDirectory);
    m_dir.reset();
}

void MainWindowTest::makeWindow() {
    m_window = std::make_unique<MainWindow>(*m_dialogs, *m_disk);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void MainWindowTest::selectOnly(const QList<int>& items) {
    list().clearSelection();
    for (int item : items)
        list().setItemSelected(item, true);
}

void MainWindowTest::startUp() {
    write(QStringLiteral("b.vnr"), "b");
    write(QStringLiteral("A.VNR"), "a");
    write(QStringLiteral("c.vnr.txt"), "c");
    write(QStringLiteral(".hidden.vnr"), "h");
    QVERIFY(QDir().mkdir(path(QStringLiteral("folder.vnr"))));
    makeWindow();
    MainWindow& window = *m_window;

    QCOMPARE(window.windowTitle(), QStringLiteral("Ombrix Zendrow"));
    QCOMPARE(window.width(), 323);
    QCOMPARE(window.minimumWidth(), 250);
    QVERIFY(window.minimumHeight() >= 300);
    QVERIFY(window.height() > window.minimumHeight());
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY((window.frameGeometry().center() - screen.center()).manhattanLength() <= 4);

    const QString folder = QDir::toNativeSeparators(canonical(path(QString())));
    QCOMPARE(source().text(), folder);
    QCOMPARE(destination().text(), folder);
    QCOMPARE(canonical(list().directory()), canonical(path(QString())));
    QCOMPARE(list().mask(), QStringLiteral("*.vnr"));
    QCOMPARE(itemsOf(list()), QStringList({QStringLiteral("A.VNR"), QStringLiteral("b.vnr")}));
    QVERIFY(child<QRadioButton>("originalNamesButton")->isChecked());
    QVERIFY(!child<QRadioButton>("sourceNamesButton")->isChecked());
    QCOMPARE(child<QGroupBox>("namingGroup")->title(), QStringLiteral(" File names "));

    QVERIFY(convert().isVisible());
    QVERIFY(!convert().isEnabled());
    QVERIFY(!progress().isVisible());
    QVERIFY(status().simplePanel());
    QCOMPARE(status().simpleText(), QStringLiteral("0 file(s) selected"));

    QCOMPARE(child<QLabel>("sourceFolderLabel")->text(), QStringLiteral("Source Folder:"));
    QCOMPARE(child<QLabel>("destinationLabel")->text(), QStringLiteral("Destination Folder:"));
    QCOMPARE(child<QPushButton>("sourceBrowseButton")->text(), QStringLiteral("Browse..."));
    QCOMPARE(child<QPushButton>("destinationBrowseButton")->text(), QStringLiteral("Browse..."));
    QCOMPARE(selectAll().text(), QStringLiteral("Select all"));
    QCOMPARE(convert().text(), QStringLiteral("Convert"));
    QCOMPARE(child<QRadioButton>("originalNamesButton")->text(), QStringLiteral("Original"));
    QCOMPARE(child<QRadioButton>("sourceNamesButton")->text(), QStringLiteral("From source files"));
    QVERIFY(m_dialogs->shown.isEmpty());
}

void MainWindowTest::layoutFits_data() {
    QTest::addColumn<QString>("which");
    QTest::newRow("design size") << QStringLiteral("design");
    QTest::newRow("minimum size") << QStringLiteral("minimum");
    QTest::newRow("large") << QStringLiteral("large");
}

void MainWindowTest::layoutFits() {
    QFETCH(QString, which);
    makeWindow();
    MainWindow& window = *m_window;
    const QSize size = which == QStringLiteral("design")    ? window.size()
                       : which == QStringLiteral("minimum") ? window.minimumSize()
                                                            : QSize(700, 600);
    window.resize(size);
    QTRY_COMPARE(window.size(), size);

    const auto rectOf = [&](QWidget* w) { return QRect(w->mapTo(&window, QPoint(0, 0)), w->size()); };
    const QList<QWidget*> controls = {child("sourceFolderLabel"),   child("sourceFolderEdit"),
                                      child("sourceBrowseButton"),  child("fileList"),
                                      child("selectAllBox"),        child("destinationLabel"),
                                      child("destinationEdit"),     child("destinationBrowseButton"),
                                      child("originalNamesButton"), child("sourceNamesButton"),
                                      child("fileStartButton"),     child("wholeFileButton"),
                                      child("convertButton"),       child("statusBar")};
    // Nothing squeezed below what it needs, nothing outside the window, nothing on top of another.
    for (QWidget* w : controls) {
        const QString name = w->objectName();
        QVERIFY2(w->isVisible(), qPrintable(name));
        QVERIFY2(w->height() >= w->minimumSizeHint().height(), qPrintable(name));
        QVERIFY2(QRect(QPoint(0, 0), size).contains(rectOf(w)), qPrintable(name));
        for (QWidget* other : controls) {
            if (other != w)
                QVERIFY2(!rectOf(w).intersects(rectOf(other)), qPrintable(name + u' ' + other->objectName()));
        }
    }
    for (const char* name : {"sourceFolderLabel", "destinationLabel", "selectAllBox", "sourceBrowseButton",
                             "destinationBrowseButton", "convertButton", "originalNamesButton", "sourceNamesButton"})
        QVERIFY2(child(name)->width() >= child(name)->sizeHint().width(), name);
    QVERIFY(list().viewport()->height() >= 2 * list().fontMetrics().height());
    QVERIFY(child("namingGroup")->geometry().contains(child("sourceNamesButton")->geometry().bottomRight()) ||
            rectOf(child("namingGroup")).contains(rectOf(child("sourceNamesButton"))));

    // The controls keep the style's margin from the window's edges.
    for (const char* name : {"sourceFolderEdit", "fileList", "destinationEdit", "convertButton"})
        QVERIFY2(rectOf(child(name)).left() > 0, name);
    for (const char* name : {"sourceBrowseButton", "destinationBrowseButton", "convertButton"})
        QVERIFY2(rectOf(child(name)).right() < size.width() - 1, name);
    // Top to bottom: the source row, the list, Select all, the destination, the names, Convert.
    const char* const stack[] = {"sourceFolderEdit", "fileList",    "selectAllBox",  "destinationEdit",
                                 "namingGroup",      "searchGroup", "convertButton", "statusBar"};
    for (std::size_t i = 0; i + 1 < std::size(stack); ++i)
        QVERIFY2(rectOf(child(stack[i])).bottom() < rectOf(child(stack[i + 1])).top(), stack[i]);
    QCOMPARE(rectOf(&status()).bottom(), size.height() - 1);
}

void MainWindowTest::columnsFollowWidth_data() {
    QTest::addColumn<int>("width");
    QTest::newRow("minimum width") << 250;
    QTest::newRow("design width") << 323;
    QTest::newRow("700") << 700;
}

void MainWindowTest::columnsFollowWidth() {
    QFETCH(int, width);
    for (int i = 0; i < 60; ++i)
        write(QStringLiteral("song%1.vnr").arg(i, 2, 10, QLatin1Char('0')), "x");
    makeWindow();
    m_window->resize(width, m_window->height());
    QTRY_COMPARE(m_window->width(), width);

    FileList& files = list();
    // A column per hundred pixels of the list's width.
    const int columns = std::max(1, files.width() / 100);
    QCOMPARE(files.columns(), columns);
    // The names really flow in that many columns across the visible width.
    std::set<int> lefts;
    for (int i = 0; i < files.itemCount(); ++i) {
        const QRect rect = files.visualRect(files.model()->index(i, 0));
        if (rect.left() >= 0 && rect.left() < files.viewport()->width())
            lefts.insert(rect.left());
    }
    QCOMPARE(int(lefts.size()), columns);
}

void MainWindowTest::keyboardAndAccessibility() {
    write(QStringLiteral("a.vnr"), "a");
    makeWindow();
    MainWindow& window = *m_window;
    list().setItemSelected(0, true);
    QVERIFY(convert().isEnabled());

    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    source().setFocus();
    QStringList order;
    for (int i = 0; i < 9; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget()->objectName();
    }
    // Reading order; the naming choice is one stop, at its checked button.
    QCOMPARE(order, QStringList({QStringLiteral("sourceBrowseButton"), QStringLiteral("fileList"),
                                 QStringLiteral("selectAllBox"), QStringLiteral("destinationEdit"),
                                 QStringLiteral("destinationBrowseButton"), QStringLiteral("originalNamesButton"),
                                 QStringLiteral("fileStartButton"), QStringLiteral("convertButton"),
                                 QStringLiteral("sourceFolderEdit")}));
    clickRadio("sourceNamesButton");
    destination().setFocus();
    QTest::keyClick(&destination(), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("sourceNamesButton"));

    QCOMPARE(child<QLabel>("sourceFolderLabel")->buddy(), &source());
    QCOMPARE(child<QLabel>("destinationLabel")->buddy(), &destination());
    for (const char* name : {"sourceFolderEdit", "sourceBrowseButton", "fileList", "selectAllBox", "destinationEdit",
                             "destinationBrowseButton", "namingGroup", "originalNamesButton", "sourceNamesButton",
                             "convertButton", "progressBar", "statusBar"})
        QVERIFY2(!child(name)->accessibleName().isEmpty(), name);
    QVERIFY(child("sourceBrowseButton")->accessibleName() != child("destinationBrowseButton")->accessibleName());
}

void MainWindowTest::controlState_data() {
    QTest::addColumn<int>("files");
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<bool>("convertEnabled");
    QTest::addColumn<bool>("allChecked");
    QTest::addColumn<QString>("status");

    const QString here = QStringLiteral(".");
    QTest::newRow("nothing selected") << 3 << QList<int>{} << here << false << false
                                      << QStringLiteral("0 file(s) selected");
    QTest::newRow("some selected") << 3 << QList<int>{0, 2} << here << true << false
                                   << QStringLiteral("2 file(s) selected");
    QTest::newRow("all selected") << 3 << QList<int>{0, 1, 2} << here << true << true
                                  << QStringLiteral("3 file(s) selected");
    QTest::newRow("no matching files") << 0 << QList<int>{} << here << false << false
                                       << QStringLiteral("0 file(s) selected");
    QTest::newRow("destination cleared") << 3 << QList<int>{1} << QString() << false << false
                                         << QStringLiteral("1 file(s) selected");
    QTest::newRow("all selected, destination cleared")
        << 2 << QList<int>{0, 1} << QString() << false << true << QStringLiteral("2 file(s) selected");
}

void MainWindowTest::controlState() {
    QFETCH(int, files);
    QFETCH(QList<int>, selected);
    QFETCH(QString, destination);
    QFETCH(bool, convertEnabled);
    QFETCH(bool, allChecked);
    QFETCH(QString, status);
    for (int i = 0; i < files; ++i)
        write(QStringLiteral("f%1.vnr").arg(i), "x");
    makeWindow();

    // The state follows at once, with no turn of the event loop.
    selectOnly(selected);
    this->destination().setText(destination);
    QCOMPARE(convert().isEnabled(), convertEnabled);
    QCOMPARE(selectAll().isChecked(), allChecked);
    QCOMPARE(this->status().simpleText(), status);
    QCOMPARE(list().selectedCount(), int(selected.size()));
}

void MainWindowTest::controlStateFollowsTheFolder() {
    QVERIFY(QDir().mkdir(path(QStringLiteral("sub"))));
    write(QStringLiteral("a.vnr"), "a");
    write(QStringLiteral("sub/x.vnr"), "x");
    write(QStringLiteral("sub/y.vnr"), "y");
    makeWindow();
    list().selectAll();
    QVERIFY(selectAll().isChecked());
    QVERIFY(convert().isEnabled());

    // Another folder: its files arrive unselected.
    source().setText(path(QStringLiteral("sub")));
    QTest::keyClick(&source(), Qt::Key_Return);
    QCOMPARE(itemsOf(list()), QStringList({QStringLiteral("x.vnr"), QStringLiteral("y.vnr")}));
    QVERIFY(!selectAll().isChecked());
    QVERIFY(!convert().isEnabled());
    QCOMPARE(status().simpleText(), QStringLiteral("0 file(s) selected"));

    // A folder with nothing to list.
    list().selectAll();
    QVERIFY(selectAll().isChecked());
    source().setText(path(QStringLiteral("sub/*.none")));
    QTest::keyClick(&source(), Qt::Key_Return);
    QCOMPARE(list().itemCount(), 0);
    QVERIFY(!selectAll().isChecked());
    QCOMPARE(status().simpleText(), QStringLiteral("0 file(s) selected"));
}

void MainWindowTest::selectAllBox() {
    for (int i = 0; i < 3; ++i)
        write(QStringLiteral("f%1.vnr").arg(i), "x");
    makeWindow();
    QCheckBox& box = selectAll();
    FileList& files = list();

    // A click checks the box and selects every item.
    QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(4, box.height() / 2));
    QVERIFY(box.isChecked());
    QCOMPARE(files.selectedCount(), 3);
    // Unchecking changes no selection, so the box shows every item selected again.
    QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(4, box.height() / 2));
    QCOMPARE(files.selectedCount(), 3);
    QTRY_VERIFY(box.isChecked());

    // Deselecting one item by hand unchecks it; selecting the last one again checks it.
    files.setItemSelected(1, false);
    QVERIFY(!box.isChecked());
    QCOMPARE(files.selectedCount(), 2);
    files.setItemSelected(1, true);
    QVERIFY(box.isChecked());

    // Checked from code, it selects all the same.
    files.clearSelection();
    QVERIFY(!box.isChecked());
    box.setChecked(true);
    QCOMPARE(files.selectedCount(), 3);

    // The keyboard toggles the box without a click, and it selects all the same.
    files.clearSelection();
    box.setFocus();
    QTest::keyClick(&box, Qt::Key_Space);
    QVERIFY(box.isChecked());
    QCOMPARE(files.selectedCount(), 3);
}

void MainWindowTest::applyTypedPath_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("focusedItem");
    QTest::addColumn<QString>("error");

    const QStringList rootItems = {QStringLiteral("a.vnr"), QStringLiteral("B.VNR")};
    const QStringList subItems = {QStringLiteral("w.vnr"), QStringLiteral("z.vnr")};
    const QString vnr = QStringLiteral("*.vnr");
    QTest::newRow("absolute folder") << QStringLiteral("<root>/sub") << QStringLiteral("sub") << vnr << subItems
                                     << QString() << QString();
    QTest::newRow("relative folder") << QStringLiteral("sub/") << QStringLiteral("sub") << vnr << subItems << QString()
                                     << QString();
    QTest::newRow("parent folder") << QStringLiteral("sub/..") << QString() << vnr << rootItems << QString()
                                   << QString();
    QTest::newRow("wildcard") << QStringLiteral("sub/*.it") << QStringLiteral("sub") << QStringLiteral("*.it")
                              << QStringList{QStringLiteral("x.it"), QStringLiteral("Y.IT")} << QString() << QString();
    QTest::newRow("wildcard alone") << QStringLiteral("?.txt") << QString() << QStringLiteral("?.txt")
                                    << QStringList{QStringLiteral("c.txt")} << QString() << QString();
    QTest::newRow("file") << QStringLiteral("<root>/sub/z.vnr") << QStringLiteral("sub") << vnr << subItems
                          << QStringLiteral("z.vnr") << QString();
    QTest::newRow("nonsense") << QStringLiteral("no/such/place") << QString() << vnr << rootItems << QString()
                              << QStringLiteral("The folder or file \"no/such/place\" does not exist.");
    QTest::newRow("wildcard in a missing folder")
        << QStringLiteral("nowhere/*.it") << QString() << vnr << rootItems << QString()
        << QStringLiteral("The folder or file \"nowhere/*.it\" does not exist.");
    QTest::newRow("empty") << QString() << QString() << vnr << rootItems << QString() << QString();
}

void MainWindowTest::applyTypedPath() {
    QFETCH(QString, typed);
    QFETCH(QString, folder);
    QFETCH(QString, mask);
    QFETCH(QStringList, items);
    QFETCH(QString, focusedItem);
    QFETCH(QString, error);

    QVERIFY(QDir().mkdir(path(QStringLiteral("sub"))));
    QVERIFY(QDir().mkdir(path(QStringLiteral("sub.vnr"))));
    for (const char* name :
         {"a.vnr", "B.VNR", "c.txt", ".hidden.vnr", "sub/x.it", "sub/Y.IT", "sub/w.vnr", "sub/z.vnr"})
        write(QString::fromUtf8(name), "x");
    makeWindow();
    QApplication::setActiveWindow(m_window.get());
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    const QString workingDirectory = QDir::currentPath();

    typed.replace(QStringLiteral("<root>"), path(QString()));
    source().setFocus();
    source().setText(typed);
    QTest::keyClick(&source(), Qt::Key_Return);

    QCOMPARE(canonical(list().directory()), canonical(path(folder)));
    QCOMPARE(QDir::currentPath(), workingDirectory);
    QCOMPARE(list().mask(), mask);
    QCOMPARE(itemsOf(list()), items);
    if (!focusedItem.isEmpty())
        QCOMPARE(list().currentIndex().data().toString(), focusedItem);
    QCOMPARE(list().selectedCount(), 0);
    QCOMPARE(m_dialogs->errors, error.isEmpty() ? QStringList() : QStringList{error});
    // Applied text hands the keyboard to the list; refused or empty text leaves it in the field.
    const bool applied = error.isEmpty() && !typed.isEmpty();
    QCOMPARE(QApplication::focusWidget(), applied ? static_cast<QWidget*>(&list()) : &source());
    QCOMPARE(source().text(), typed);
}

void MainWindowTest::sourceChooser_data() {
    QTest::addColumn<bool>("chosen");
    QTest::newRow("folder chosen") << true;
    QTest::newRow("cancelled") << false;
}

void MainWindowTest::sourceChooser() {
    QFETCH(bool, chosen);
    QVERIFY(QDir().mkdir(path(QStringLiteral("music"))));
    write(QStringLiteral("music/song.vnr"), "x");
    makeWindow();
    const QString before = source().text();
    const QString music = QDir::toNativeSeparators(path(QStringLiteral("music")));
    m_dialogs->folders.push_back(chosen ? std::optional<QString>(music) : std::nullopt);

    QTest::mouseClick(child("sourceBrowseButton"), Qt::LeftButton);
    QCOMPARE(m_dialogs->shown, QStringList{QStringLiteral("source chooser")});
    QCOMPARE(source().text(), chosen ? music : before);
    QCOMPARE(canonical(list().directory()), canonical(chosen ? music : path(QString())));
    QCOMPARE(itemsOf(list()), chosen ? QStringList{QStringLiteral("song.vnr")} : QStringList());
}

void MainWindowTest::destinationChooser_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("chosen");
    QTest::addColumn<QString>("start");
    QTest::newRow("relative, folder chosen") << QStringLiteral("out") << true << QStringLiteral("sub/out");
    QTest::newRow("relative, cancelled") << QStringLiteral("out") << false << QStringLiteral("sub/out");
    QTest::newRow("empty: the list's folder") << QString() << true << QStringLiteral("sub");
}

void MainWindowTest::destinationChooser() {
    QFETCH(QString, typed);
    QFETCH(bool, chosen);
    QFETCH(QString, start);
    QVERIFY(QDir().mkdir(path(QStringLiteral("sub"))));
    makeWindow();
    source().setText(path(QStringLiteral("sub")));
    QTest::keyClick(&source(), Qt::Key_Return);
    destination().setText(typed);
    const QString outputs = QDir::toNativeSeparators(path(QStringLiteral("new/outputs")));
    m_dialogs->folders.push_back(chosen ? std::optional<QString>(outputs) : std::nullopt);

    // The chooser opens at the destination as the run would take it: relative to the list's folder.
    QTest::mouseClick(child("destinationBrowseButton"), Qt::LeftButton);
    const QString sub = QDir::cleanPath(list().directory());
    QCOMPARE(
        m_dialogs->shown,
        QStringList{
            QStringLiteral("destination chooser at %1 from %2")
                .arg(QDir::toNativeSeparators(QDir::cleanPath(QDir(path(QString())).absoluteFilePath(start))), sub)});
    QCOMPARE(destination().text(), chosen ? outputs : typed);
}

void MainWindowTest::folderDialogCreatesFolders_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<bool>("folderExists");
    QTest::addColumn<QStringList>("shown");

    const QString question = QStringLiteral("question [Confirm] The specified directory does not exist. Create it?");
    const QString error = QStringLiteral("error");
    QTest::newRow("existing folder") << QStringLiteral("have") << QList<bool>{} << false << true << true
                                     << QStringList{};
    QTest::newRow("new folders, Yes") << QStringLiteral("new/deeper/still") << QList<bool>{true} << false << true
                                      << true << QStringList{question};
    QTest::newRow("new folder, No") << QStringLiteral("new") << QList<bool>{false} << false << false << false
                                    << QStringList{question};
    QTest::newRow("a file") << QStringLiteral("file.txt") << QList<bool>{} << false << false << false
                            << QStringList{error};
    QTest::newRow("under a file, Yes") << QStringLiteral("file.txt/sub") << QList<bool>{true} << false << false << false
                                       << QStringList{question, error};
    QTest::newRow("creation refused") << QStringLiteral("new") << QList<bool>{true} << true << false << false
                                      << QStringList{question, error};
}

void MainWindowTest::folderDialogCreatesFolders() {
    QFETCH(QString, typed);
    QFETCH(QList<bool>, answers);
    QFETCH(bool, refused);
    QFETCH(bool, accepted);
    QFETCH(bool, folderExists);
    QFETCH(QStringList, shown);
    QVERIFY(QDir().mkdir(path(QStringLiteral("have"))));
    write(QStringLiteral("file.txt"), "x");
    for (bool answer : answers)
        m_dialogs->answers.push_back(answer);
    m_disk->refuseDirectories = refused;

    // Typed text is relative to the base, here the temporary folder, not the working directory.
    QVERIFY(QDir::setCurrent(QDir::tempPath()));
    zendrow::ui::FolderDialog dialog(path(QString()), path(QString()), *m_dialogs, *m_disk);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Select Directory"));
    QCOMPARE(canonical(dialog.folder()), canonical(path(QString())));
    dialog.show();
    auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("folderEdit"));
    QVERIFY(edit);
    edit->setText(QDir::toNativeSeparators(typed));
    dialog.accept();

    QCOMPARE(dialog.result() == QDialog::Accepted, accepted);
    QCOMPARE(QFileInfo(path(typed)).isDir(), folderExists);
    QCOMPARE(m_dialogs->shown, shown);
    // Folders are made through the window's file system, not behind its back.
    const bool asked = answers.contains(true);
    QCOMPARE(m_disk->createdDirectories.size(), asked ? std::size_t(1) : std::size_t(0));
    if (refused)
        QVERIFY2(m_dialogs->errors.first().endsWith(QStringLiteral(": Permission denied.")),
                 qPrintable(m_dialogs->errors.first()));
    if (accepted)
        QCOMPARE(canonical(dialog.folder()), canonical(path(typed)));
}

void MainWindowTest::folderDialogShowsItsStart() {
    // A start a few levels down, below enough folders that the top of the tree cannot show it.
    QString start = path(QStringLiteral("games/rips"));
    QVERIFY(QDir().mkpath(start));
    for (int i = 0; i < 60; ++i)
        QVERIFY(QDir().mkdir(path(QStringLiteral("games/a%1").arg(i, 2, 10, QLatin1Char('0')))));
    start += QStringLiteral("/src");
    QVERIFY(QDir().mkdir(start));

    zendrow::ui::FolderDialog dialog(start, path(QString()), *m_dialogs, *m_disk);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* tree = dialog.findChild<QTreeView*>(QStringLiteral("folderTree"));
    QVERIFY(tree);
    QTRY_VERIFY(tree->currentIndex().isValid());
    // Once the folders above the start have all arrived, the start is in view.
    const QModelIndex games = tree->currentIndex().parent().parent();
    QTRY_COMPARE_WITH_TIMEOUT(tree->model()->rowCount(games), 61, 10000);
    QTest::qWait(50);
    QVERIFY(tree->viewport()->rect().contains(tree->visualRect(tree->currentIndex())));
    QCOMPARE(canonical(tree->currentIndex().data(QFileSystemModel::FilePathRole).toString()), canonical(start));
    QCOMPARE(canonical(dialog.folder()), canonical(start));
}

void MainWindowTest::enterInDestination_data() {
    QTest::addColumn<bool>("selected");
    QTest::newRow("Convert enabled") << true;
    QTest::newRow("Convert disabled") << false;
}

void MainWindowTest::enterInDestination() {
    QFETCH(bool, selected);
    write(QStringLiteral("a.vnr"), "a");
    makeWindow();
    QApplication::setActiveWindow(m_window.get());
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    list().setItemSelected(0, selected);
    destination().setFocus();
    QTest::keyClick(&destination(), Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), selected ? static_cast<QWidget*>(&convert()) : &destination());
    QVERIFY(m_dialogs->shown.isEmpty());
}

void MainWindowTest::dropOnWindow_data() {
    QTest::addColumn<QStringList>("dropped");
    QTest::addColumn<QStringList>("selected");
    QTest::newRow("a folder") << QStringList{QStringLiteral("sub")} << QStringList{};
    QTest::newRow("files") << QStringList{QStringLiteral("sub/z.vnr"), QStringLiteral("sub/x.vnr")}
                           << QStringList{QStringLiteral("x.vnr"), QStringLiteral("z.vnr")};
    QTest::newRow("a file the list does not show") << QStringList{QStringLiteral("sub/notes.txt")} << QStringList{};
}

void MainWindowTest::dropOnWindow() {
    QFETCH(QStringList, dropped);
    QFETCH(QStringList, selected);
    QVERIFY(QDir().mkdir(path(QStringLiteral("sub"))));
    for (const char* name : {"a.vnr", "sub/x.vnr", "sub/y.vnr", "sub/z.vnr", "sub/notes.txt"})
        write(QString::fromUtf8(name), "x");
    makeWindow();
    list().selectAll();

    QList<QUrl> urls;
    for (const QString& name : dropped)
        urls << QUrl::fromLocalFile(path(name));
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(m_window.get(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(m_window.get(), &drop);

    QCOMPARE(canonical(list().directory()), canonical(path(QStringLiteral("sub"))));
    QCOMPARE(source().text(), QDir::toNativeSeparators(path(QStringLiteral("sub"))));
    QStringList selectedNow;
    for (int i = 0; i < list().itemCount(); ++i) {
        if (list().isItemSelected(i))
            selectedNow << list().itemText(i);
    }
    QCOMPARE(selectedNow, selected);
    QCOMPARE(status().simpleText(), QStringLiteral("%1 file(s) selected").arg(selected.size()));
    QVERIFY(m_dialogs->shown.isEmpty());
}

void MainWindowTest::startWithPathArgument_data() {
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("sourceText");
    QTest::addColumn<QStringList>("errors");
    QTest::newRow("a folder") << QStringLiteral("<root>/music") << QStringLiteral("music")
                              << QStringLiteral("<root>/music") << QStringList{};
    QTest::newRow("a relative folder") << QStringLiteral("music") << QStringLiteral("music") << QStringLiteral("music")
                                       << QStringList{};
    QTest::newRow("a file") << QStringLiteral("<root>/music/song.vnr") << QStringLiteral("music")
                            << QStringLiteral("<root>/music/song.vnr") << QStringList{};
    QTest::newRow("nothing there: the working directory")
        << QStringLiteral("<root>/gone") << QString() << QStringLiteral("<root>")
        << QStringList{QStringLiteral("The folder or file \"<root>/gone\" does not exist.")};
}

void MainWindowTest::startWithPathArgument() {
    QFETCH(QString, argument);
    QFETCH(QString, folder);
    QFETCH(QString, sourceText);
    QFETCH(QStringList, errors);
    QVERIFY(QDir().mkdir(path(QStringLiteral("music"))));
    write(QStringLiteral("music/song.vnr"), "x");
    const QString root = QDir::toNativeSeparators(path(QString()).chopped(1));
    argument.replace(QStringLiteral("<root>"), root);
    sourceText.replace(QStringLiteral("<root>"), root);
    errors.replaceInStrings(QStringLiteral("<root>"), root);

    m_window = std::make_unique<MainWindow>(*m_dialogs, *m_disk, argument);
    m_window->show();
    QCOMPARE(canonical(list().directory()), canonical(path(folder)));
    QCOMPARE(source().text(), sourceText);
    QCOMPARE(m_dialogs->errors, errors);
}

void MainWindowTest::startWithPreloadedFolder_data() {
    QTest::addColumn<QString>("preloaded");
    QTest::addColumn<bool>("used");
    QTest::newRow("the start folder") << QStringLiteral("music") << true;
    QTest::newRow("the start folder, with a separator") << QStringLiteral("music/") << true;
    QTest::newRow("another folder") << QStringLiteral("other") << false;
}

void MainWindowTest::startWithPreloadedFolder() {
    QFETCH(QString, preloaded);
    QFETCH(bool, used);
    QVERIFY(QDir().mkdir(path(QStringLiteral("music"))));
    QVERIFY(QDir().mkdir(path(QStringLiteral("other"))));
    write(QStringLiteral("music/b.vnr"), "x");
    write(QStringLiteral("music/A.vnr"), "x");
    write(QStringLiteral("other/c.vnr"), "x");
    zendrow::ui::FolderPreload preload(*m_disk, *m_dir / preloaded.toStdString());
    m_window = std::make_unique<MainWindow>(*m_dialogs, *m_disk, path(QStringLiteral("music")), &preload);
    QCOMPARE(itemsOf(list()), QStringList({QStringLiteral("A.vnr"), QStringLiteral("b.vnr")}));
    // What was read ahead is taken once, by the first listing only.
    std::vector<std::string> names;
    QCOMPARE(preload.take(*m_dir / preloaded.toStdString(), "*.vnr", names), !used);
}

void MainWindowTest::runAnsweredNoChangesNothing() {
    write(QStringLiteral("a.vnr"), container(16, itModule("Song")));
    makeWindow();
    list().setItemSelected(0, true);
    destination().setText(QStringLiteral("out"));
    m_dialogs->answers.push_back(false);

    convertAndWait();
    QCOMPARE(m_dialogs->shown,
             QStringList{QStringLiteral("question [Confirm] Destination folder does not exist. Create it?")});
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("out"))));
    QCOMPARE(m_disk->opened.load(), 0);
    QVERIFY(convert().isVisible());
    QVERIFY(!progress().isVisible());
    QVERIFY(status().simplePanel());
    QVERIFY(!m_window->isRunning());
    QCOMPARE(status().simpleText(), QStringLiteral("1 file(s) selected"));
}

void MainWindowTest::runAnsweredYesCreatesAndConverts() {
    const Bytes module = itModule("Song");
    write(QStringLiteral("a.vnr"), container(16, module));
    makeWindow();
    list().setItemSelected(0, true);
    destination().setText(QStringLiteral("out"));
    m_dialogs->answers.push_back(true);

    convertAndWait();
    QCOMPARE(m_dialogs->shown,
             QStringList({QStringLiteral("question [Confirm] Destination folder does not exist. Create it?"),
                          QStringLiteral("summary")}));
    QCOMPARE(m_dialogs->summaries, QStringList{QStringLiteral("1 file(s) converted succesfully,\n0 file(s) skipped.")});
    QCOMPARE(m_dialogs->summaryDetails, QStringList{QString()});
    QCOMPARE(read(QStringLiteral("out/Song.it")), module);
}

void MainWindowTest::relativeDestinationFollowsTheList() {
    // The working directory is one folder, the list shows another: "out" is beside the list's files.
    QVERIFY(QDir().mkpath(path(QStringLiteral("games/data/out"))));
    QVERIFY(QDir().mkdir(path(QStringLiteral("elsewhere"))));
    const Bytes module = s3mModule("Tune");
    write(QStringLiteral("games/data/a.vnr"), container(20, module));
    QVERIFY(QDir::setCurrent(path(QStringLiteral("elsewhere"))));
    makeWindow();
    source().setText(path(QStringLiteral("games/data")));
    QTest::keyClick(&source(), Qt::Key_Return);
    list().setItemSelected(0, true);
    destination().setText(QStringLiteral("out"));
    m_dialogs->openFolderFromSummary = true;

    convertAndWait();
    QCOMPARE(m_dialogs->shown, QStringList({QStringLiteral("summary"), QStringLiteral("open folder")}));
    QCOMPARE(read(QStringLiteral("games/data/out/Tune.s3m")), module);
    QCOMPARE(canonical(QDir::currentPath()), canonical(path(QStringLiteral("elsewhere"))));
    QCOMPARE(m_dialogs->openedFolders,
             QStringList{QDir::toNativeSeparators(list().absolutePath(QStringLiteral("out")))});
}

void MainWindowTest::runOutcomes_data() {
    QTest::addColumn<bool>("fromSourceFiles");
    QTest::addColumn<bool>("deleteSecond");
    QTest::addColumn<QString>("converted");
    QTest::addColumn<QString>("skipped");
    QTest::addColumn<QString>("summaryStart");
    QTest::addColumn<QStringList>("outputs");

    // Files, in list order: a.vnr (IT "Alpha"), b.vnr (S3M "Beta"), c.vnr (no module),
    // d.vnr (IT "Delta", left unselected).
    QTest::newRow("one of three skipped")
        << false << false << QStringLiteral("Converted: 2") << QStringLiteral("Skipped: 1")
        << QStringLiteral("2 file(s) converted succesfully,\n1 file(s) skipped.")
        << QStringList{QStringLiteral("Alpha.it"), QStringLiteral("Beta.s3m")};
    QTest::newRow("named from source files")
        << true << false << QStringLiteral("Converted: 2") << QStringLiteral("Skipped: 1")
        << QStringLiteral("2 file(s) converted succesfully,\n1 file(s) skipped.")
        << QStringList{QStringLiteral("a.it"), QStringLiteral("b.s3m")};
    QTest::newRow("a file gone since it was listed")
        << false << true << QStringLiteral("Converted: 1") << QStringLiteral("Skipped: 1")
        << QStringLiteral("1 file(s) converted succesfully,\n1 file(s) skipped.\n1 file(s) failed:\nb.vnr: ")
        << QStringList{QStringLiteral("Alpha.it")};
}

void MainWindowTest::runOutcomes() {
    QFETCH(bool, fromSourceFiles);
    QFETCH(bool, deleteSecond);
    QFETCH(QString, converted);
    QFETCH(QString, skipped);
    QFETCH(QString, summaryStart);
    QFETCH(QStringList, outputs);

    QVERIFY(QDir().mkdir(path(QStringLiteral("out"))));
    write(QStringLiteral("a.vnr"), container(16, itModule("Alpha")));
    write(QStringLiteral("b.vnr"), container(40, s3mModule("Beta")));
    write(QStringLiteral("c.vnr"), Bytes(300, 'n'));
    write(QStringLiteral("d.vnr"), container(16, itModule("Delta")));
    makeWindow();
    if (fromSourceFiles)
        clickRadio("sourceNamesButton");
    destination().setText(QStringLiteral("out"));
    selectOnly({0, 1, 2});
    if (deleteSecond)
        QVERIFY(QFile::remove(path(QStringLiteral("b.vnr"))));
    const QRect buttonPlace = convert().geometry();

    // What the user sees while the summary is up.
    struct {
        bool progressInPlace = false, buttonHidden = false, busyListOnly = false;
        QStringList panels;
        int progress = -1, maximum = -1;
    } seen;
    m_dialogs->onSummary = [&] {
        // The progress bar and Stop share the Convert button's place.
        const QRect stopPlace = child("stopButton")->geometry();
        seen.progressInPlace =
            progress().isVisible() && child("stopButton")->isVisible() &&
            progress().geometry().left() == buttonPlace.left() && progress().geometry().top() == buttonPlace.top() &&
            progress().height() == buttonPlace.height() && stopPlace.right() == buttonPlace.right() &&
            stopPlace.height() == buttonPlace.height() && progress().geometry().right() < stopPlace.left();
        seen.buttonHidden = !convert().isVisible();
        seen.busyListOnly = QApplication::overrideCursor() == nullptr;
        for (int i = 0; i < StatBar::kPanelCount; ++i)
            seen.panels << status().panelText(i);
        seen.progress = progress().value();
        seen.maximum = progress().maximum();
    };

    convertAndWait();
    QCOMPARE(m_dialogs->shown, QStringList{QStringLiteral("summary")});
    QVERIFY2(m_dialogs->summaries.first().startsWith(summaryStart), qPrintable(m_dialogs->summaries.first()));
    QCOMPARE(seen.panels, QStringList({QStringLiteral("Selected: 3"), converted, skipped}));
    QVERIFY(seen.progressInPlace);
    QVERIFY(seen.buttonHidden);
    QVERIFY(seen.busyListOnly);
    QVERIFY(seen.maximum > 0);
    QCOMPARE(seen.progress, seen.maximum);

    QStringList written = QDir(path(QStringLiteral("out"))).entryList(QDir::Files, QDir::Name);
    QCOMPARE(written, outputs);
    QCOMPARE(m_disk->opened.load(), 3); // the unselected d.vnr is never read

    // Back to idle once the summary is closed.
    QVERIFY(convert().isVisible());
    QCOMPARE(convert().geometry(), buttonPlace);
    QVERIFY(!progress().isVisible());
    QCOMPARE(progress().value(), 0);
    QVERIFY(status().simplePanel());
    QVERIFY(!list().testAttribute(Qt::WA_SetCursor));
    QCOMPARE(status().simpleText(), QStringLiteral("3 file(s) selected"));
}

void MainWindowTest::nameNotUtf8_data() {
    QTest::addColumn<Bytes>("title");
    QTest::addColumn<bool>("fromSourceFiles");
    QTest::addColumn<Bytes>("output");
    QTest::newRow("titled") << Bytes("Musik") << false << Bytes("Musik.it");
    QTest::newRow("no usable title: named after the file's own bytes") << Bytes("a/b") << false << Bytes("M\xdcSIK.it");
    QTest::newRow("from source files") << Bytes("Musik") << true << Bytes("M\xdcSIK.it");
}

void MainWindowTest::nameNotUtf8() {
#ifndef Q_OS_LINUX
    QSKIP("only POSIX file systems hold names that are not valid UTF-8");
#endif
    QFETCH(Bytes, title);
    QFETCH(bool, fromSourceFiles);
    QFETCH(Bytes, output);
    // A Latin-1 name from old media.
    const Bytes module = itModule(title);
    writeFile(m_dir->str() + "/M\xdcSIK.vnr", container(16, module));
    QVERIFY(QDir().mkdir(path(QStringLiteral("out"))));
    makeWindow();
    QCOMPARE(itemsOf(list()), QStringList{QStringLiteral("M\uFFFDSIK.vnr")});
    if (fromSourceFiles)
        clickRadio("sourceNamesButton");
    list().setItemSelected(0, true);
    destination().setText(QStringLiteral("out"));

    convertAndWait();
    QCOMPARE(m_dialogs->summaries, QStringList{QStringLiteral("1 file(s) converted succesfully,\n0 file(s) skipped.")});
    QCOMPARE(filesIn(*m_dir / "out"), std::vector<std::string>{output});
    QCOMPARE(readFile(*m_dir / ("out/" + output)), module);
}

void MainWindowTest::summaryDetailsAndOpenFolder_data() {
    QTest::addColumn<int>("failing");
    QTest::addColumn<bool>("openFolder");
    QTest::addColumn<QString>("lastTextLine");
    QTest::newRow("none failed, OK") << 0 << false << QStringLiteral("1 file(s) skipped.");
    QTest::newRow("three failed, Open Folder") << 3 << true << QStringLiteral("f02.vnr: cannot open: ");
    QTest::newRow("twelve failed") << 12 << false << QStringLiteral("and 2 more");
}

void MainWindowTest::summaryDetailsAndOpenFolder() {
    QFETCH(int, failing);
    QFETCH(bool, openFolder);
    QFETCH(QString, lastTextLine);
    QVERIFY(QDir().mkdir(path(QStringLiteral("out"))));
    write(QStringLiteral("a.vnr"), container(16, itModule("Kept")));
    write(QStringLiteral("b.vnr"), "no module here");
    for (int i = 0; i < failing; ++i)
        write(QStringLiteral("f%1.vnr").arg(i, 2, 10, QLatin1Char('0')), "x");
    makeWindow();
    list().selectAll();
    // Files gone since they were listed fail, each with its reason.
    for (int i = 0; i < failing; ++i)
        QVERIFY(QFile::remove(path(QStringLiteral("f%1.vnr").arg(i, 2, 10, QLatin1Char('0')))));
    destination().setText(QStringLiteral("out"));
    m_dialogs->openFolderFromSummary = openFolder;

    convertAndWait();
    QCOMPARE(m_dialogs->summaries.size(), 1);
    const QStringList text = m_dialogs->summaries.first().split(u'\n');
    QVERIFY2(text.last().startsWith(lastTextLine), qPrintable(text.last()));
    // The text lists the first ten; the details every failed file and its reason.
    const QStringList details = m_dialogs->summaryDetails.first().split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(details.size(), failing);
    for (int i = 0; i < failing; ++i)
        QVERIFY2(details.at(i).startsWith(QStringLiteral("f%1.vnr: cannot open: ").arg(i, 2, 10, QLatin1Char('0'))),
                 qPrintable(details.at(i)));
    QCOMPARE(m_dialogs->openedFolders,
             openFolder ? QStringList{QDir::toNativeSeparators(path(QStringLiteral("out")))} : QStringList());
}

void MainWindowTest::runErrorReturnsToIdle_data() {
    QTest::addColumn<QString>("destination");
    QTest::addColumn<bool>("failMidRun");
    QTest::addColumn<QString>("errorStart");
    QTest::addColumn<QStringList>("outputs");

    QTest::newRow("destination cannot be created")
        << QStringLiteral("missing/out") << false << QStringLiteral("Cannot create the destination folder")
        << QStringList{};
    QTest::newRow("error in the middle of the run")
        << QStringLiteral("out") << true << QStringLiteral("The disk went away.")
        << QStringList{QStringLiteral("One.it")};
}

void MainWindowTest::runErrorReturnsToIdle() {
    QFETCH(QString, destination);
    QFETCH(bool, failMidRun);
    QFETCH(QString, errorStart);
    QFETCH(QStringList, outputs);

    write(QStringLiteral("a.vnr"), container(16, itModule("One")));
    write(QStringLiteral("b.vnr"), container(16, itModule("Two")));
    if (failMidRun) {
        QVERIFY(QDir().mkdir(path(destination)));
        m_disk->beforeOpen = [](int count) {
            if (count == 2)
                throw std::runtime_error("The disk went away");
        };
    }
    makeWindow();
    this->destination().setText(destination);
    selectOnly({0, 1});
    m_dialogs->answers.push_back(true);
    bool idleWhenShown = false;
    m_dialogs->onError = [&] { idleWhenShown = status().simplePanel() && !progress().isVisible(); };

    convertAndWait();
    QCOMPARE(m_dialogs->errors.size(), 1);
    QVERIFY2(m_dialogs->errors.first().startsWith(errorStart), qPrintable(m_dialogs->errors.first()));
    QVERIFY(m_dialogs->errors.first().endsWith(u'.'));
    QVERIFY(m_dialogs->summaries.isEmpty());
    QVERIFY(idleWhenShown);
    QVERIFY(convert().isVisible());
    QVERIFY(!progress().isVisible());
    QCOMPARE(progress().value(), 0);
    QVERIFY(status().simplePanel());
    QVERIFY(!m_window->isRunning());
    QCOMPARE(QDir(path(QStringLiteral("out"))).entryList(QDir::Files), outputs);

    // The window carries on, and another run works.
    m_disk->beforeOpen = nullptr;
    this->destination().setText(QStringLiteral("out2"));
    m_dialogs->answers.push_back(true);
    QCOMPARE(status().simpleText(), QStringLiteral("2 file(s) selected"));
    convertAndWait();
    QCOMPARE(m_dialogs->summaries.size(), 1);
}

void MainWindowTest::closeDuringRun() {
    for (const char* name : {"a.vnr", "b.vnr", "c.vnr"})
        write(QString::fromUtf8(name), container(16, itModule(name)));
    QVERIFY(QDir().mkdir(path(QStringLiteral("out"))));
    makeWindow();
    MainWindow& window = *m_window;
    destination().setText(QStringLiteral("out"));
    selectOnly({0, 1, 2});
    m_disk->holdAt(1);
    bool visibleAtSummary = false;
    m_dialogs->onSummary = [&] { visibleAtSummary = window.isVisible(); };

    QTest::mouseClick(&convert(), Qt::LeftButton);
    QTRY_VERIFY(m_disk->holding());
    QVERIFY(!window.close()); // refused while a file is in hand
    QVERIFY(window.isVisible());
    m_disk->release();

    // The run stops, the user sees what was done, then the window closes.
    QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 20000);
    QCOMPARE(m_dialogs->summaries.size(), 1);
    QVERIFY(visibleAtSummary);
    const QString summary = m_dialogs->summaries.first();
    const QStringList written = outputsIn(QStringLiteral("out"));
    QVERIFY2(summary.endsWith(QStringLiteral("\nStopped before %1 file(s).").arg(3 - written.size())),
             qPrintable(summary));
    QCOMPARE(m_disk->opened.load(), 1); // no other file is started
    QVERIFY(written.size() <= 1);
    if (!written.isEmpty())
        QCOMPARE(read(QStringLiteral("out/") + written.first()), itModule("a.vnr"));
}

void MainWindowTest::runStaysLive() {
    const Bytes alpha = itModule("Alpha"), beta = itModule("Beta"), gamma = itModule("Gamma");
    write(QStringLiteral("a.vnr"), container(16, alpha));
    write(QStringLiteral("b.vnr"), container(16, beta));
    write(QStringLiteral("c.vnr"), container(16, gamma));
    QVERIFY(QDir().mkdir(path(QStringLiteral("out"))));
    makeWindow();
    MainWindow& window = *m_window;
    destination().setText(QStringLiteral("out"));
    selectOnly({0, 1, 2});
    m_disk->holdAt(2);

    QTest::mouseClick(&convert(), Qt::LeftButton);
    QTRY_VERIFY(m_disk->holding());
    // The run stands still in b.vnr on its own thread: the window paints, resizes and answers.
    QVERIFY(window.isRunning());
    QTRY_COMPARE(status().panelText(1), QStringLiteral("Converted: 1"));
    QVERIFY(progress().isVisible());
    QVERIFY(child("stopButton")->isVisible());
    QVERIFY(!convert().isVisible());
    QVERIFY(!source().isEnabled());
    QVERIFY(destination().isEnabled());
    QCOMPARE(progress().value(), progress().maximum() / 3);
    QCOMPARE(list().cursor().shape(), Qt::BusyCursor);
    QCOMPARE(progress().cursor().shape(), Qt::BusyCursor);
    QVERIFY(destination().cursor().shape() != Qt::BusyCursor);
    QVERIFY(QApplication::overrideCursor() == nullptr);
    const QSize before = window.size();
    window.resize(before + QSize(40, 30));
    QTRY_COMPARE(window.size(), before + QSize(40, 30));
    QVERIFY(!window.grab().isNull());
    // A change made now applies from the next file on.
    clickRadio("sourceNamesButton");
    list().setItemSelected(1, true);
    m_disk->release();

    QTRY_VERIFY_WITH_TIMEOUT(!window.isRunning(), 20000);
    QCOMPARE(m_dialogs->summaries, QStringList{QStringLiteral("3 file(s) converted succesfully,\n0 file(s) skipped.")});
    QCOMPARE(read(QStringLiteral("out/Alpha.it")), alpha);
    QCOMPARE(read(QStringLiteral("out/c.it")), gamma);
    QVERIFY(source().isEnabled());
    QVERIFY(!list().testAttribute(Qt::WA_SetCursor));
}

void MainWindowTest::stopDuringRun_data() {
    QTest::addColumn<bool>("byKey");
    QTest::newRow("Stop pressed") << false;
    QTest::newRow("Esc") << true;
}

void MainWindowTest::stopDuringRun() {
    QFETCH(bool, byKey);
    for (const char* name : {"a.vnr", "b.vnr", "c.vnr", "d.vnr"})
        write(QString::fromUtf8(name), container(16, itModule(name)));
    QVERIFY(QDir().mkdir(path(QStringLiteral("out"))));
    makeWindow();
    MainWindow& window = *m_window;
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    destination().setText(QStringLiteral("out"));
    list().selectAll();
    m_disk->holdAt(2);
    QTest::mouseClick(&convert(), Qt::LeftButton);
    QTRY_VERIFY(m_disk->holding());

    auto& stop = *child<QPushButton>("stopButton");
    QCOMPARE(stop.text(), QStringLiteral("Stop"));
    if (byKey) {
        QCOMPARE(QApplication::activeWindow(), &window);
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : &window, Qt::Key_Escape);
    } else
        QTest::mouseClick(&stop, Qt::LeftButton);
    QTRY_VERIFY(!stop.isEnabled()); // a shortcut presses the button a moment later, as it shows
    QVERIFY(stop.isVisible());
    m_disk->release();
    QTRY_VERIFY_WITH_TIMEOUT(!window.isRunning(), 20000);

    // What was done is whole; what was not is not there at all.
    const QStringList written = outputsIn(QStringLiteral("out"));
    QVERIFY2(written.size() == 1 || written.size() == 2, qPrintable(written.join(u' ')));
    for (const QString& output : written)
        QCOMPARE(read(QStringLiteral("out/") + output), itModule(output.chopped(3).toStdString()));
    QCOMPARE(m_dialogs->summaries.size(), 1);
    QVERIFY2(
        m_dialogs->summaries.first().endsWith(QStringLiteral("\nStopped before %1 file(s).").arg(4 - written.size())),
        qPrintable(m_dialogs->summaries.first()));
    QCOMPARE(m_disk->opened.load(), 2);
    QVERIFY(convert().isVisible());
    QVERIFY(!stop.isVisible());
}

void MainWindowTest::progressWithinALongFile_data() {
    QTest::addColumn<bool>("stop");
    QTest::newRow("carries on") << false;
    QTest::newRow("stopped in the middle") << true;
}

void MainWindowTest::progressWithinALongFile() {
    QFETCH(bool, stop);
    // A module of 150 MiB, mostly a hole, so that it is copied in several pieces.
    constexpr qint64 kSize = qint64{150} << 20;
    write(QStringLiteral("long.vnr"), container(16, itModule("Long")));
    {
        QFile file(path(QStringLiteral("long.vnr")));
        QVERIFY(file.resize(kSize));
    }
    QVERIFY(QDir().mkdir(path(QStringLiteral("out"))));
    makeWindow();
    destination().setText(QStringLiteral("out"));
    list().selectAll();
    m_disk->holdCopyAt(2);

    QTest::mouseClick(&convert(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(m_disk->holding(), 20000);
    // Part of the one file is done, and the bar shows it.
    QTRY_VERIFY(progress().value() > 0);
    QVERIFY(progress().value() < progress().maximum());
    if (stop)
        QTest::mouseClick(child("stopButton"), Qt::LeftButton);
    m_disk->release();
    QTRY_VERIFY_WITH_TIMEOUT(!m_window->isRunning(), 60000);

    QCOMPARE(m_dialogs->summaries.size(), 1);
    if (stop) {
        // The file in hand is abandoned: nothing of it in the destination, not even a temporary.
        QCOMPARE(m_dialogs->summaries.first(),
                 QStringLiteral("0 file(s) converted succesfully,\n0 file(s) skipped.\nStopped before 1 file(s)."));
        QCOMPARE(outputsIn(QStringLiteral("out")), QStringList());
    } else {
        QCOMPARE(m_dialogs->summaries.first(), QStringLiteral("1 file(s) converted succesfully,\n0 file(s) skipped."));
        QCOMPARE(outputsIn(QStringLiteral("out")), QStringList{QStringLiteral("Long.it")});
        QCOMPARE(QFileInfo(path(QStringLiteral("out/Long.it"))).size(), kSize - 16);
    }
}

void MainWindowTest::searchOption_data() {
    QTest::addColumn<bool>("wholeFile");
    QTest::addColumn<QString>("panel");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QStringList>("suffixes");
    // a.vnr holds an IT module at its start; b.vnr an XM and a MOD module further in.
    QTest::newRow("File start") << false << QStringLiteral("Converted: 1")
                                << QStringLiteral("1 file(s) converted succesfully,\n1 file(s) skipped.")
                                << QStringList{QStringLiteral("it")};
    // Modules are counted, as the command line counts them.
    QTest::newRow("Whole file") << true << QStringLiteral("Converted: 3")
                                << QStringLiteral("3 file(s) converted succesfully,\n0 file(s) skipped.")
                                << QStringList{QStringLiteral("it"), QStringLiteral("mod"), QStringLiteral("xm")};
}

void MainWindowTest::searchOption() {
    QFETCH(bool, wholeFile);
    QFETCH(QString, panel);
    QFETCH(QString, summary);
    QFETCH(QStringList, suffixes);
    const Bytes it = buildIt({.title = "Alpha"});
    const Bytes xm = buildXm({.title = "Beta"});
    const Bytes mod = buildMod({.title = "Gamma"});
    write(QStringLiteral("a.vnr"), container(16, it));
    write(QStringLiteral("b.vnr"),
          containerOf({{1000, xm}, {1000 + xm.size() + 300, mod}}, xm.size() + mod.size() + 2000));
    QVERIFY(QDir().mkdir(path(QStringLiteral("out"))));
    makeWindow();
    QCOMPARE(child<QGroupBox>("searchGroup")->title(), QStringLiteral(" Search "));
    QCOMPARE(child<QRadioButton>("fileStartButton")->text(), QStringLiteral("File start"));
    QCOMPARE(child<QRadioButton>("wholeFileButton")->text(), QStringLiteral("Whole file"));
    QVERIFY(child<QRadioButton>("fileStartButton")->isChecked());
    if (wholeFile)
        clickRadio("wholeFileButton");
    QCOMPARE(child<QRadioButton>("wholeFileButton")->isChecked(), wholeFile);
    destination().setText(QStringLiteral("out"));
    list().selectAll();
    QString panelAtSummary;
    m_dialogs->onSummary = [&] { panelAtSummary = status().panelText(1); };

    convertAndWait();
    QCOMPARE(m_dialogs->summaries, QStringList{summary});
    QCOMPARE(panelAtSummary, panel);
    QStringList written;
    for (const QFileInfo& output : QDir(path(QStringLiteral("out"))).entryInfoList(QDir::Files, QDir::Name)) {
        written << output.suffix();
        const Bytes bytes = read(QStringLiteral("out/") + output.fileName());
        QVERIFY2(bytes == (output.suffix() == QStringLiteral("it")   ? it
                           : output.suffix() == QStringLiteral("xm") ? xm
                                                                     : mod),
                 qPrintable(output.fileName()));
    }
    written.sort();
    QCOMPARE(written, suffixes);
}

void MainWindowTest::summaryBox_data() {
    QTest::addColumn<QString>("details");
    QTest::addColumn<bool>("openFolder");
    QTest::newRow("OK, no details") << QString() << false;
    QTest::newRow("Open Folder, with details")
        << QStringLiteral("a.vnr: cannot open: gone\nb.vnr: cannot open: gone") << true;
}

void MainWindowTest::summaryBox() {
    QFETCH(QString, details);
    QFETCH(bool, openFolder);
    // The real box, as the user sees it: answered once it shows.
    zendrow::ui::QtDialogs dialogs(*m_disk);
    struct {
        QString caption, text, detailedText;
        bool sameRow = false;
    } seen;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return; // no box: showSummary has already returned
        seen.caption = box->windowTitle();
        seen.text = box->text();
        seen.detailedText = box->detailedText();
        QAbstractButton* ok = box->button(QMessageBox::Ok);
        QAbstractButton* open = box->findChild<QAbstractButton*>(QStringLiteral("openFolderButton"));
        if (!ok || !open || open->text() != QStringLiteral("Open Folder")) {
            box->done(0);
            return;
        }
        seen.sameRow = ok->parentWidget() == open->parentWidget() && ok->y() == open->y();
        (openFolder ? open : ok)->click();
    });
    const bool chosen =
        dialogs.showSummary(QStringLiteral("1 file(s) converted succesfully,\n0 file(s) skipped."), details);
    QCOMPARE(chosen, openFolder);
    QCOMPARE(seen.caption, QStringLiteral("Conversion complete!"));
    QCOMPARE(seen.text, QStringLiteral("1 file(s) converted succesfully,\n0 file(s) skipped."));
    QCOMPARE(seen.detailedText, details);
    QVERIFY(seen.sameRow);
}

void MainWindowTest::escapedErrorIsShown_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain") << QStringLiteral("Disk full") << QStringLiteral("Disk full.");
    QTest::newRow("full stop") << QStringLiteral("Done.") << QStringLiteral("Done.");
    QTest::newRow("question mark sorts after") << QStringLiteral("Why?") << QStringLiteral("Why?.");
    QTest::newRow("bracket sorts before") << QStringLiteral("Failed (5)") << QStringLiteral("Failed (5)");
    QTest::newRow("exclamation sorts before") << QStringLiteral("Stop!") << QStringLiteral("Stop!");
    QTest::newRow("empty") << QString() << QStringLiteral("An unexpected error occurred.");
}

void MainWindowTest::escapedErrorIsShown() {
    QFETCH(QString, message);
    QFETCH(QString, shown);
    ThrowingObject failing;
    failing.message = message;
    QEvent event(QEvent::User);
    // The event goes through the application, as every event of the window does.
    QCOMPARE(QCoreApplication::sendEvent(&failing, &event), false);
    QCOMPARE(m_dialogs->errors, QStringList{shown});
}

int main(int argc, char** argv) {
    zendrow::ui::ZendrowApplication app(argc, argv);
    MainWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "main_window_test.moc"
