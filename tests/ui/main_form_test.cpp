#include <memory>
#include <optional>
#include <set>
#include <stdexcept>

#include <QAbstractEventDispatcher>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include "tests/ui/window_fixtures.h"
#include "ui/file_list.h"
#include "ui/folder_dialog.h"
#include "ui/main_form.h"
#include "ui/stat_bar.h"
#include "ui/zendrow_application.h"

using namespace zendrow::test;
using zendrow::ui::TMainForm;

namespace {

const QStringList kControlNames = {
    QStringLiteral("FileList"),   QStringLiteral("StatBar"), QStringLiteral("DownPanel2"),
    QStringLiteral("ConvertBtn"), QStringLiteral("ProgBar"), QStringLiteral("DownPanel1"),
    QStringLiteral("DownPanel3"), QStringLiteral("DestBtn"), QStringLiteral("DestDirEdit"),
    QStringLiteral("Label2"),     QStringLiteral("Bevel3"),  QStringLiteral("AllCheckBox"),
    QStringLiteral("UpPanel1"),   QStringLiteral("Label1"),  QStringLiteral("SourceDirEdit"),
    QStringLiteral("SourceBtn"),  QStringLiteral("RGroup"),
};

QStringList itemsOf(const zendrow::ui::FileList& list) {
    QStringList items;
    for (int i = 0; i < list.itemCount(); ++i)
        items << list.itemText(i);
    return items;
}

QString canonical(const QString& path) {
    return QDir(path).canonicalPath();
}

/// An object whose events fail, as a faulty handler would.
class ThrowingObject : public QObject {
public:
    QString message;
    bool event(QEvent*) override { throw std::runtime_error(message.toStdString()); }
};

} // namespace

class MainFormTest : public QObject {
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

    void idleRefresh_data();
    void idleRefresh();
    void idleLetsTheLoopRest();
    void selectAllBox();

    void applyTypedPath_data();
    void applyTypedPath();
    void sourceChooser_data();
    void sourceChooser();
    void destinationChooser_data();
    void destinationChooser();
    void folderDialogCreatesFolders_data();
    void folderDialogCreatesFolders();
    void enterInDestination_data();
    void enterInDestination();

    void runAnsweredNoChangesNothing();
    void runAnsweredYesCreatesAndConverts();
    void runOutcomes_data();
    void runOutcomes();
    void runErrorReturnsToIdle_data();
    void runErrorReturnsToIdle();
    void closeDuringRun();
    void escapedErrorIsShown_data();
    void escapedErrorIsShown();

private:
    QString path(const QString& name) const { return m_dir->filePath(name); }
    void makeForm();
    void selectOnly(const QList<int>& items);

    QString m_startDirectory;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<HookedDisk> m_disk;
    std::unique_ptr<TMainForm> m_form;
};

void MainFormTest::init() {
    m_startDirectory = QDir::currentPath();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir::setCurrent(m_dir->path()));
    m_dialogs = std::make_unique<ScriptedDialogs>();
    m_disk = std::make_unique<HookedDisk>();
    static_cast<zendrow::ui::ZendrowApplication*>(qApp)->setErrorDialogs(m_dialogs.get());
}

void MainFormTest::cleanup() {
    m_form.reset();
    static_cast<zendrow::ui::ZendrowApplication*>(qApp)->setErrorDialogs(nullptr);
    QDir::setCurrent(m_startDirectory);
    m_dir.reset();
}

void MainFormTest::makeForm() {
    m_form = std::make_unique<TMainForm>(*m_dialogs, *m_disk);
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    goIdle();
}

void MainFormTest::selectOnly(const QList<int>& items) {
    m_form->FileList->clearSelection();
    for (int item : items)
        m_form->FileList->setItemSelected(item, true);
}

void MainFormTest::startUp() {
    writeFile(path(QStringLiteral("b.vnr")), "b");
    writeFile(path(QStringLiteral("A.VNR")), "a");
    writeFile(path(QStringLiteral("c.vnr.txt")), "c");
    writeFile(path(QStringLiteral(".hidden.vnr")), "h");
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("folder.vnr")));
    makeForm();
    TMainForm& form = *m_form;

    QCOMPARE(form.objectName(), QStringLiteral("MainForm"));
    QCOMPARE(form.windowTitle(), QStringLiteral("Ombrix Zendrow"));
    QCOMPARE(form.size(), QSize(323, 334));
    QCOMPARE(form.minimumSize(), QSize(250, 300));
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY((form.frameGeometry().center() - screen.center()).manhattanLength() <= 4);

    const QString folder = QDir::toNativeSeparators(canonical(m_dir->path()));
    QCOMPARE(form.SourceDirEdit->text(), folder);
    QCOMPARE(form.DestDirEdit->text(), folder);
    QCOMPARE(canonical(form.FileList->directory()), canonical(m_dir->path()));
    QCOMPARE(form.FileList->mask(), QStringLiteral("*.vnr"));
    QCOMPARE(itemsOf(*form.FileList), QStringList({QStringLiteral("A.VNR"), QStringLiteral("b.vnr")}));
    QCOMPARE(form.namingRule(), 0);
    QVERIFY(form.findChild<QRadioButton*>(QStringLiteral("OriginalRadio"))->isChecked());
    QCOMPARE(form.RGroup->title(), QStringLiteral(" File names "));

    QVERIFY(form.ConvertBtn->isVisible());
    QVERIFY(!form.ProgBar->isVisible());
    QCOMPARE(form.ProgBar->value(), 0);
    QVERIFY(form.StatBar->simplePanel());
    QCOMPARE(form.StatBar->simpleText(), QStringLiteral("0 file(s) selected"));

    for (const QString& name : kControlNames)
        QVERIFY2(form.findChild<QWidget*>(name), qPrintable(name));
    QCOMPARE(form.Label1->text(), QStringLiteral("Source Folder:"));
    QCOMPARE(form.Label2->text(), QStringLiteral("Destination Folder:"));
    QCOMPARE(form.SourceBtn->text(), QStringLiteral("Browse..."));
    QCOMPARE(form.DestBtn->text(), QStringLiteral("Browse..."));
    QCOMPARE(form.AllCheckBox->text(), QStringLiteral("Select all"));
    QCOMPARE(form.ConvertBtn->text(), QStringLiteral("Convert"));
    QVERIFY(m_dialogs->shown.isEmpty());
}

void MainFormTest::layoutFits_data() {
    QTest::addColumn<QSize>("size");
    QTest::newRow("design size") << QSize(323, 334);
    QTest::newRow("minimum size") << QSize(250, 300);
    QTest::newRow("large") << QSize(700, 600);
}

void MainFormTest::layoutFits() {
    QFETCH(QSize, size);
    makeForm();
    TMainForm& form = *m_form;
    form.resize(size);
    goIdle();
    QCOMPARE(form.size(), size);

    const auto rectOf = [&](QWidget* w) { return QRect(w->mapTo(&form, QPoint(0, 0)), w->size()); };
    // Nothing squeezed below what its text needs, nothing outside the window.
    for (QWidget* w :
         std::initializer_list<QWidget*>{form.Label1, form.SourceDirEdit, form.SourceBtn, form.AllCheckBox, form.Label2,
                                         form.DestDirEdit, form.DestBtn, form.RGroup, form.ConvertBtn, form.StatBar,
                                         form.findChild<QRadioButton*>(QStringLiteral("OriginalRadio")),
                                         form.findChild<QRadioButton*>(QStringLiteral("FromSourceRadio"))}) {
        const QString name = w->objectName();
        QVERIFY2(w->isVisible(), qPrintable(name));
        QVERIFY2(w->height() >= w->minimumSizeHint().height(), qPrintable(name));
        QVERIFY2(QRect(QPoint(0, 0), size).contains(rectOf(w)), qPrintable(name));
    }
    for (QWidget* w : std::initializer_list<QWidget*>{form.Label1, form.Label2, form.AllCheckBox, form.SourceBtn,
                                                      form.DestBtn, form.ConvertBtn})
        QVERIFY2(w->width() >= w->sizeHint().width(), qPrintable(w->objectName()));
    QVERIFY(form.FileList->viewport()->height() >= form.FileList->fontMetrics().height());

    // Top row, the list filling the middle, the bottom rows stacked in order down to the status bar.
    const QList<QWidget*> stack = {form.UpPanel1,   form.FileList,   form.DownPanel3, form.RGroup,
                                   form.DownPanel2, form.DownPanel1, form.StatBar};
    QCOMPARE(rectOf(stack.first()).top(), 0);
    for (int i = 0; i + 1 < stack.size(); ++i)
        QCOMPARE(rectOf(stack[i]).bottom() + 1, rectOf(stack[i + 1]).top());
    QCOMPARE(rectOf(form.StatBar).bottom(), size.height() - 1);
    QCOMPARE(form.DownPanel1->height(), 5);
    for (QWidget* w : stack)
        QCOMPARE(w->width(), size.width());

    // Edit boxes stretch, buttons keep to the right edge, the Convert button spans the window.
    for (auto [edit, button] :
         {std::pair{form.SourceDirEdit, form.SourceBtn}, std::pair{form.DestDirEdit, form.DestBtn}}) {
        QCOMPARE(rectOf(edit).left(), 0);
        QCOMPARE(rectOf(button).right(), size.width() - 1);
        QVERIFY(rectOf(edit).right() < rectOf(button).left());
        QCOMPARE(edit->height(), button->height());
    }
    QCOMPARE(rectOf(form.ConvertBtn).left(), 0);
    QCOMPARE(form.ConvertBtn->width(), size.width());
}

void MainFormTest::columnsFollowWidth_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("columns");
    QTest::newRow("minimum width") << 250 << 2;
    QTest::newRow("just below 300") << 299 << 2;
    QTest::newRow("300") << 300 << 3;
    QTest::newRow("design width") << 323 << 3;
    QTest::newRow("700") << 700 << 7;
}

void MainFormTest::columnsFollowWidth() {
    QFETCH(int, width);
    QFETCH(int, columns);
    for (int i = 0; i < 60; ++i)
        writeFile(path(QStringLiteral("song%1.vnr").arg(i, 2, 10, QLatin1Char('0'))), "x");
    makeForm();
    m_form->resize(width, 334);
    goIdle();

    zendrow::ui::FileList& list = *m_form->FileList;
    QCOMPARE(list.width(), width);
    QCOMPARE(list.columns(), columns);
    // The names really flow in that many columns across the visible width.
    std::set<int> lefts;
    for (int i = 0; i < list.itemCount(); ++i) {
        const QRect rect = list.visualItemRect(list.item(i));
        if (rect.left() >= 0 && rect.left() < list.viewport()->width())
            lefts.insert(rect.left());
    }
    QCOMPARE(int(lefts.size()), columns);
}

void MainFormTest::keyboardAndAccessibility() {
    writeFile(path(QStringLiteral("a.vnr")), "a");
    makeForm();
    TMainForm& form = *m_form;
    form.FileList->setItemSelected(0, true);
    goIdle();
    QVERIFY(form.ConvertBtn->isEnabled());

    QApplication::setActiveWindow(&form);
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.FileList->setFocus();
    QStringList order;
    for (int i = 0; i < 8; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(order,
             QStringList({QStringLiteral("ConvertBtn"), QStringLiteral("DestBtn"), QStringLiteral("DestDirEdit"),
                          QStringLiteral("AllCheckBox"), QStringLiteral("SourceDirEdit"), QStringLiteral("SourceBtn"),
                          QStringLiteral("OriginalRadio"), QStringLiteral("FileList")}));

    QCOMPARE(form.Label1->buddy(), form.SourceDirEdit);
    QCOMPARE(form.Label2->buddy(), form.DestDirEdit);
    for (QWidget* w : form.findChildren<QWidget*>()) {
        if (kControlNames.contains(w->objectName()) || qobject_cast<QRadioButton*>(w))
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
    }
    QVERIFY(form.SourceBtn->accessibleName() != form.DestBtn->accessibleName());
}

void MainFormTest::idleRefresh_data() {
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
    QTest::newRow("no matching files") << 0 << QList<int>{} << here << false << true
                                       << QStringLiteral("0 file(s) selected");
    QTest::newRow("destination cleared") << 3 << QList<int>{1} << QString() << false << false
                                         << QStringLiteral("1 file(s) selected");
}

void MainFormTest::idleRefresh() {
    QFETCH(int, files);
    QFETCH(QList<int>, selected);
    QFETCH(QString, destination);
    QFETCH(bool, convertEnabled);
    QFETCH(bool, allChecked);
    QFETCH(QString, status);
    for (int i = 0; i < files; ++i)
        writeFile(path(QStringLiteral("f%1.vnr").arg(i)), "x");
    makeForm();

    selectOnly(selected);
    m_form->DestDirEdit->setText(destination);
    goIdle();
    QCOMPARE(m_form->ConvertBtn->isEnabled(), convertEnabled);
    QCOMPARE(m_form->AllCheckBox->isChecked(), allChecked);
    QCOMPARE(m_form->StatBar->simpleText(), status);
    QCOMPARE(m_form->FileList->selectedCount(), int(selected.size()));
}

void MainFormTest::idleLetsTheLoopRest() {
    for (int i = 0; i < 3; ++i)
        writeFile(path(QStringLiteral("f%1.vnr").arg(i)), "x");
    makeForm();
    m_form->FileList->setItemSelected(1, true);
    goIdle();
    // Once everything is in step, an idle refresh that changed anything would wake the loop again
    // at once, over and over.
    int idleMoments = 0;
    const auto connection = QObject::connect(QAbstractEventDispatcher::instance(),
                                             &QAbstractEventDispatcher::aboutToBlock, [&] { ++idleMoments; });
    runEventLoop(300);
    QObject::disconnect(connection);
    QVERIFY2(idleMoments < 10, qPrintable(QString::number(idleMoments)));
}

void MainFormTest::selectAllBox() {
    for (int i = 0; i < 3; ++i)
        writeFile(path(QStringLiteral("f%1.vnr").arg(i)), "x");
    makeForm();
    TMainForm& form = *m_form;
    zendrow::ui::FileList& list = *form.FileList;

    // A click checks the box and selects every item.
    QTest::mouseClick(form.AllCheckBox, Qt::LeftButton, {}, QPoint(4, form.AllCheckBox->height() / 2));
    QCOMPARE(list.selectedCount(), 3);
    // Unchecking changes no selection, and the next idle moment checks the box again.
    form.AllCheckBox->setChecked(false);
    QCOMPARE(list.selectedCount(), 3);
    goIdle();
    QVERIFY(form.AllCheckBox->isChecked());

    // Deselecting one item by hand unchecks it; selecting the last one again checks it.
    list.setItemSelected(1, false);
    goIdle();
    QVERIFY(!form.AllCheckBox->isChecked());
    QCOMPARE(list.selectedCount(), 2);
    list.setItemSelected(1, true);
    goIdle();
    QVERIFY(form.AllCheckBox->isChecked());

    // Checked from code, as the idle refresh does, it selects all the same.
    list.clearSelection();
    form.AllCheckBox->setChecked(false);
    form.AllCheckBox->setChecked(true);
    QCOMPARE(list.selectedCount(), 3);

    // The keyboard toggles the box without a click, and it selects all the same.
    list.clearSelection();
    goIdle();
    QVERIFY(!form.AllCheckBox->isChecked());
    form.AllCheckBox->setFocus();
    QTest::keyClick(form.AllCheckBox, Qt::Key_Space);
    QVERIFY(form.AllCheckBox->isChecked());
    QCOMPARE(list.selectedCount(), 3);
}

void MainFormTest::applyTypedPath_data() {
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

void MainFormTest::applyTypedPath() {
    QFETCH(QString, typed);
    QFETCH(QString, folder);
    QFETCH(QString, mask);
    QFETCH(QStringList, items);
    QFETCH(QString, focusedItem);
    QFETCH(QString, error);

    QDir root(m_dir->path());
    QVERIFY(root.mkdir(QStringLiteral("sub")));
    QVERIFY(root.mkdir(QStringLiteral("sub.vnr")));
    for (const char* name :
         {"a.vnr", "B.VNR", "c.txt", ".hidden.vnr", "sub/x.it", "sub/Y.IT", "sub/w.vnr", "sub/z.vnr"})
        writeFile(root.filePath(QString::fromUtf8(name)), "x");
    makeForm();
    TMainForm& form = *m_form;
    QApplication::setActiveWindow(&form);
    QVERIFY(QTest::qWaitForWindowActive(&form));

    typed.replace(QStringLiteral("<root>"), m_dir->path());
    form.SourceDirEdit->setFocus();
    form.SourceDirEdit->setText(typed);
    QTest::keyClick(form.SourceDirEdit, Qt::Key_Return);

    const QString expectedFolder = canonical(root.filePath(folder));
    QCOMPARE(canonical(form.FileList->directory()), expectedFolder);
    QCOMPARE(canonical(QDir::currentPath()), expectedFolder);
    QCOMPARE(form.FileList->mask(), mask);
    QCOMPARE(itemsOf(*form.FileList), items);
    if (!focusedItem.isEmpty())
        QCOMPARE(form.FileList->currentItem()->text(), focusedItem);
    QCOMPARE(form.FileList->selectedCount(), 0);
    QCOMPARE(m_dialogs->errors, error.isEmpty() ? QStringList() : QStringList{error});
    // Applied text hands the keyboard to the list; refused or empty text leaves it in the field.
    const bool applied = error.isEmpty() && !typed.isEmpty();
    QCOMPARE(QApplication::focusWidget(), applied ? static_cast<QWidget*>(form.FileList) : form.SourceDirEdit);
    QCOMPARE(form.SourceDirEdit->text(), typed);
}

void MainFormTest::sourceChooser_data() {
    QTest::addColumn<bool>("chosen");
    QTest::newRow("folder chosen") << true;
    QTest::newRow("cancelled") << false;
}

void MainFormTest::sourceChooser() {
    QFETCH(bool, chosen);
    QDir root(m_dir->path());
    QVERIFY(root.mkdir(QStringLiteral("music")));
    writeFile(root.filePath(QStringLiteral("music/song.vnr")), "x");
    makeForm();
    const QString before = m_form->SourceDirEdit->text();
    const QString music = QDir::toNativeSeparators(root.filePath(QStringLiteral("music")));
    m_dialogs->folders.push_back(chosen ? std::optional<QString>(music) : std::nullopt);

    QTest::mouseClick(m_form->SourceBtn, Qt::LeftButton);
    QCOMPARE(m_dialogs->shown, QStringList{QStringLiteral("source chooser")});
    QCOMPARE(m_form->SourceDirEdit->text(), chosen ? music : before);
    QCOMPARE(canonical(m_form->FileList->directory()), canonical(chosen ? music : m_dir->path()));
    QCOMPARE(itemsOf(*m_form->FileList), chosen ? QStringList{QStringLiteral("song.vnr")} : QStringList());
}

void MainFormTest::destinationChooser_data() {
    QTest::addColumn<bool>("chosen");
    QTest::newRow("folder chosen") << true;
    QTest::newRow("cancelled") << false;
}

void MainFormTest::destinationChooser() {
    QFETCH(bool, chosen);
    makeForm();
    m_form->DestDirEdit->setText(QStringLiteral("out"));
    const QString outputs = QDir::toNativeSeparators(m_dir->filePath(QStringLiteral("new/outputs")));
    m_dialogs->folders.push_back(chosen ? std::optional<QString>(outputs) : std::nullopt);

    QTest::mouseClick(m_form->DestBtn, Qt::LeftButton);
    QCOMPARE(m_dialogs->shown, QStringList{QStringLiteral("destination chooser at out")});
    QCOMPARE(m_form->DestDirEdit->text(), chosen ? outputs : QStringLiteral("out"));
}

void MainFormTest::folderDialogCreatesFolders_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<bool>("folderExists");
    QTest::addColumn<QStringList>("shown");

    const QString question = QStringLiteral("question [Confirm] The specified directory does not exist. Create it?");
    QTest::newRow("existing folder") << QStringLiteral("have") << QList<bool>{} << true << true << QStringList{};
    QTest::newRow("new folders, Yes") << QStringLiteral("new/deeper/still") << QList<bool>{true} << true << true
                                      << QStringList{question};
    QTest::newRow("new folder, No") << QStringLiteral("new") << QList<bool>{false} << false << false
                                    << QStringList{question};
    QTest::newRow("a file") << QStringLiteral("file.txt") << QList<bool>{} << false << false
                            << QStringList{QStringLiteral("error")};
    QTest::newRow("under a file, Yes") << QStringLiteral("file.txt/sub") << QList<bool>{true} << false << false
                                       << QStringList{question, QStringLiteral("error")};
}

void MainFormTest::folderDialogCreatesFolders() {
    QFETCH(QString, typed);
    QFETCH(QList<bool>, answers);
    QFETCH(bool, accepted);
    QFETCH(bool, folderExists);
    QFETCH(QStringList, shown);
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("have")));
    writeFile(path(QStringLiteral("file.txt")), "x");
    for (bool answer : answers)
        m_dialogs->answers.push_back(answer);

    zendrow::ui::FolderDialog dialog(m_dir->path(), *m_dialogs);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Select Directory"));
    QCOMPARE(canonical(dialog.folder()), canonical(m_dir->path()));
    dialog.show();
    dialog.pathEdit()->setText(QDir::toNativeSeparators(typed));
    dialog.accept();

    QCOMPARE(dialog.result() == QDialog::Accepted, accepted);
    QCOMPARE(QFileInfo(path(typed)).isDir(), folderExists);
    QCOMPARE(m_dialogs->shown, shown);
    if (accepted)
        QCOMPARE(canonical(dialog.folder()), canonical(path(typed)));
}

void MainFormTest::enterInDestination_data() {
    QTest::addColumn<bool>("selected");
    QTest::newRow("Convert enabled") << true;
    QTest::newRow("Convert disabled") << false;
}

void MainFormTest::enterInDestination() {
    QFETCH(bool, selected);
    writeFile(path(QStringLiteral("a.vnr")), "a");
    makeForm();
    TMainForm& form = *m_form;
    QApplication::setActiveWindow(&form);
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.FileList->setItemSelected(0, selected);
    goIdle();
    form.DestDirEdit->setFocus();
    QTest::keyClick(form.DestDirEdit, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), selected ? static_cast<QWidget*>(form.ConvertBtn) : form.DestDirEdit);
    QVERIFY(m_dialogs->shown.isEmpty());
}

void MainFormTest::runAnsweredNoChangesNothing() {
    writeFile(path(QStringLiteral("a.vnr")), container(itModule("Song")));
    makeForm();
    m_form->FileList->setItemSelected(0, true);
    m_form->DestDirEdit->setText(QStringLiteral("out"));
    goIdle();
    m_dialogs->answers.push_back(false);

    QTest::mouseClick(m_form->ConvertBtn, Qt::LeftButton);
    QCOMPARE(m_dialogs->shown,
             QStringList{QStringLiteral("question [Confirm] Destination folder does not exist. Create it?")});
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("out"))));
    QCOMPARE(m_disk->opened, 0);
    QVERIFY(m_form->ConvertBtn->isVisible());
    QVERIFY(!m_form->ProgBar->isVisible());
    QVERIFY(m_form->StatBar->simplePanel());
    QVERIFY(!m_form->isRunning());
    goIdle();
    QCOMPARE(m_form->StatBar->simpleText(), QStringLiteral("1 file(s) selected"));
}

void MainFormTest::runAnsweredYesCreatesAndConverts() {
    const QByteArray module = itModule("Song");
    writeFile(path(QStringLiteral("a.vnr")), container(module));
    makeForm();
    m_form->FileList->setItemSelected(0, true);
    m_form->DestDirEdit->setText(QStringLiteral("out"));
    goIdle();
    m_dialogs->answers.push_back(true);

    QTest::mouseClick(m_form->ConvertBtn, Qt::LeftButton);
    QCOMPARE(m_dialogs->shown,
             QStringList({QStringLiteral("question [Confirm] Destination folder does not exist. Create it?"),
                          QStringLiteral("summary")}));
    QCOMPARE(m_dialogs->summaries, QStringList{QStringLiteral("1 file(s) converted succesfully,\n0 file(s) skipped.")});
    QCOMPARE(readFile(path(QStringLiteral("out/Song.it"))), module);
}

void MainFormTest::runOutcomes_data() {
    QTest::addColumn<int>("namingRule");
    QTest::addColumn<bool>("deleteSecond");
    QTest::addColumn<QString>("converted");
    QTest::addColumn<QString>("skipped");
    QTest::addColumn<QString>("summaryStart");
    QTest::addColumn<QStringList>("outputs");

    // Files, in list order: a.vnr (IT "Alpha"), b.vnr (S3M "Beta"), c.vnr (no module),
    // d.vnr (IT "Delta", left unselected).
    QTest::newRow("one of three skipped")
        << 0 << false << QStringLiteral("Converted: 2") << QStringLiteral("Skipped: 1")
        << QStringLiteral("2 file(s) converted succesfully,\n1 file(s) skipped.")
        << QStringList{QStringLiteral("Alpha.it"), QStringLiteral("Beta.s3m")};
    QTest::newRow("named from source files")
        << 1 << false << QStringLiteral("Converted: 2") << QStringLiteral("Skipped: 1")
        << QStringLiteral("2 file(s) converted succesfully,\n1 file(s) skipped.")
        << QStringList{QStringLiteral("a.it"), QStringLiteral("b.s3m")};
    QTest::newRow("a file gone since it was listed")
        << 0 << true << QStringLiteral("Converted: 1") << QStringLiteral("Skipped: 1")
        << QStringLiteral("1 file(s) converted succesfully,\n1 file(s) skipped.\n1 file(s) failed:\nb.vnr: ")
        << QStringList{QStringLiteral("Alpha.it")};
}

void MainFormTest::runOutcomes() {
    QFETCH(int, namingRule);
    QFETCH(bool, deleteSecond);
    QFETCH(QString, converted);
    QFETCH(QString, skipped);
    QFETCH(QString, summaryStart);
    QFETCH(QStringList, outputs);

    QDir root(m_dir->path());
    QVERIFY(root.mkdir(QStringLiteral("out")));
    writeFile(path(QStringLiteral("a.vnr")), container(itModule("Alpha")));
    writeFile(path(QStringLiteral("b.vnr")), container(s3mModule("Beta"), 40));
    writeFile(path(QStringLiteral("c.vnr")), QByteArray(300, 'n'));
    writeFile(path(QStringLiteral("d.vnr")), container(itModule("Delta")));
    makeForm();
    TMainForm& form = *m_form;
    form.setNamingRule(namingRule);
    form.DestDirEdit->setText(QStringLiteral("out"));
    selectOnly({0, 1, 2});
    if (deleteSecond)
        QVERIFY(QFile::remove(path(QStringLiteral("b.vnr"))));
    goIdle();
    const QRect buttonPlace = form.ConvertBtn->geometry();

    // What the user sees while the summary is up.
    struct {
        bool progressInPlace = false, buttonHidden = false, cursorRestored = false;
        QStringList panels;
        int progress = -1, maximum = -1;
    } seen;
    m_dialogs->onSummary = [&] {
        seen.progressInPlace = form.ProgBar->isVisible() && form.ProgBar->geometry() == buttonPlace;
        seen.buttonHidden = !form.ConvertBtn->isVisible();
        seen.cursorRestored = QApplication::overrideCursor() == nullptr;
        for (int i = 0; i < zendrow::ui::StatBar::kPanelCount; ++i)
            seen.panels << form.StatBar->panelText(i);
        seen.progress = form.ProgBar->value();
        seen.maximum = form.ProgBar->maximum();
    };

    QTest::mouseClick(form.ConvertBtn, Qt::LeftButton);
    QCOMPARE(m_dialogs->shown, QStringList{QStringLiteral("summary")});
    QVERIFY2(m_dialogs->summaries.first().startsWith(summaryStart), qPrintable(m_dialogs->summaries.first()));
    QCOMPARE(seen.panels, QStringList({QStringLiteral("Selected: 3"), converted, skipped}));
    QVERIFY(seen.progressInPlace);
    QVERIFY(seen.buttonHidden);
    QVERIFY(seen.cursorRestored);
    QCOMPARE(seen.progress, 3);
    QCOMPARE(seen.maximum, 3);

    QStringList written = QDir(path(QStringLiteral("out"))).entryList(QDir::Files, QDir::Name);
    QCOMPARE(written, outputs);
    QCOMPARE(m_disk->opened, 3); // the unselected d.vnr is never read

    // Back to idle once the summary is closed.
    QVERIFY(form.ConvertBtn->isVisible());
    QCOMPARE(form.ConvertBtn->geometry(), buttonPlace);
    QVERIFY(!form.ProgBar->isVisible());
    QCOMPARE(form.ProgBar->value(), 0);
    QVERIFY(form.StatBar->simplePanel());
    QVERIFY(QApplication::overrideCursor() == nullptr);
    goIdle();
    QCOMPARE(form.StatBar->simpleText(), QStringLiteral("3 file(s) selected"));
}

void MainFormTest::runErrorReturnsToIdle_data() {
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

void MainFormTest::runErrorReturnsToIdle() {
    QFETCH(QString, destination);
    QFETCH(bool, failMidRun);
    QFETCH(QString, errorStart);
    QFETCH(QStringList, outputs);

    writeFile(path(QStringLiteral("a.vnr")), container(itModule("One")));
    writeFile(path(QStringLiteral("b.vnr")), container(itModule("Two")));
    if (failMidRun) {
        QVERIFY(QDir(m_dir->path()).mkdir(destination));
        m_disk->beforeOpen = [](int count) {
            if (count == 2)
                throw std::runtime_error("The disk went away");
        };
    }
    makeForm();
    TMainForm& form = *m_form;
    form.DestDirEdit->setText(destination);
    selectOnly({0, 1});
    goIdle();
    m_dialogs->answers.push_back(true);
    bool idleWhenShown = false;
    m_dialogs->onError = [&] {
        idleWhenShown =
            QApplication::overrideCursor() == nullptr && form.StatBar->simplePanel() && !form.ProgBar->isVisible();
    };

    QTest::mouseClick(form.ConvertBtn, Qt::LeftButton);
    QCOMPARE(m_dialogs->errors.size(), 1);
    QVERIFY2(m_dialogs->errors.first().startsWith(errorStart), qPrintable(m_dialogs->errors.first()));
    QVERIFY(m_dialogs->errors.first().endsWith(u'.'));
    QVERIFY(m_dialogs->summaries.isEmpty());
    QVERIFY(idleWhenShown);
    QVERIFY(form.ConvertBtn->isVisible());
    QVERIFY(!form.ProgBar->isVisible());
    QCOMPARE(form.ProgBar->value(), 0);
    QVERIFY(form.StatBar->simplePanel());
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QVERIFY(!form.isRunning());
    QCOMPARE(QDir(path(QStringLiteral("out"))).entryList(QDir::Files), outputs);

    // The window carries on: the idle refresh runs again and another run works.
    m_disk->beforeOpen = nullptr;
    form.DestDirEdit->setText(QStringLiteral("out2"));
    m_dialogs->answers.push_back(true);
    goIdle();
    QCOMPARE(form.StatBar->simpleText(), QStringLiteral("2 file(s) selected"));
    QTest::mouseClick(form.ConvertBtn, Qt::LeftButton);
    QCOMPARE(m_dialogs->summaries.size(), 1);
}

void MainFormTest::closeDuringRun() {
    for (const char* name : {"a.vnr", "b.vnr", "c.vnr"})
        writeFile(path(QString::fromUtf8(name)), container(itModule(name)));
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("out")));
    makeForm();
    TMainForm& form = *m_form;
    form.DestDirEdit->setText(QStringLiteral("out"));
    selectOnly({0, 1, 2});
    goIdle();
    m_disk->beforeOpen = [&](int count) {
        if (count == 1)
            QVERIFY(!form.close()); // refused while the file is in hand
    };
    bool visibleAtSummary = false;
    m_dialogs->onSummary = [&] { visibleAtSummary = form.isVisible(); };

    QTest::mouseClick(form.ConvertBtn, Qt::LeftButton);
    // The file in hand is finished, no other is started, and the user sees what was done.
    QCOMPARE(m_disk->opened, 1);
    QCOMPARE(m_dialogs->summaries, QStringList{QStringLiteral("1 file(s) converted succesfully,\n0 file(s) skipped.\n"
                                                              "Stopped before 2 file(s).")});
    QVERIFY(visibleAtSummary);
    QCOMPARE(QDir(path(QStringLiteral("out"))).entryList(QDir::Files), QStringList{QStringLiteral("a.vnr.it")});
    goIdle();
    QVERIFY(!form.isVisible());
}

void MainFormTest::escapedErrorIsShown_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain") << QStringLiteral("Disk full") << QStringLiteral("Disk full.");
    QTest::newRow("full stop") << QStringLiteral("Done.") << QStringLiteral("Done.");
    QTest::newRow("question mark sorts after") << QStringLiteral("Why?") << QStringLiteral("Why?.");
    QTest::newRow("bracket sorts before") << QStringLiteral("Failed (5)") << QStringLiteral("Failed (5)");
    QTest::newRow("exclamation sorts before") << QStringLiteral("Stop!") << QStringLiteral("Stop!");
    QTest::newRow("empty") << QString() << QStringLiteral("An unexpected error occurred.");
}

void MainFormTest::escapedErrorIsShown() {
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
    MainFormTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "main_form_test.moc"
