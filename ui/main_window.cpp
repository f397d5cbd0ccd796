#include "ui/main_window.h"

#include <algorithm>
#include <memory>
#include <string>
#include <utility>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "engine/conversion_run.h"
#include "engine/output_naming.h"
#include "engine/source_text.h"
#include "ui/dialogs.h"
#include "ui/engine_text.h"
#include "ui/error_display.h"
#include "ui/file_list.h"
#include "ui/run_worker.h"
#include "ui/stat_bar.h"

namespace zendrow::ui {

namespace {

constexpr int kDesignWidth = 323;
constexpr int kMinimumWidth = 250;
constexpr int kMinimumHeight = 300;
// The list's height at the design size; the window is as tall as that and every other row need.
constexpr int kDesignListHeight = 97;
// The progress bar's steps per file: a long file moves it on by the bytes done.
constexpr int kProgressPerFile = 1000;

QString counterText(const char* label, int count) {
    return QString::fromUtf8(label) + QString::number(count);
}

} // namespace

MainWindow::MainWindow(Dialogs& dialogs, zendrow::FileSystem& fs, const QString& startPath, FolderPreload* preload)
    : m_dialogs(dialogs), m_fs(fs) {
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QStringLiteral("Ombrix Zendrow"));
    setAcceptDrops(true);
    createSourceRow();
    createFileList();
    createDestinationRow();
    createNamingGroup();
    createSearchGroup();
    createConvertRow();
    createStatusBar();
    createLayout();
    setAccessibleNamesAndTabOrder();
    connectSignals();

    m_fileList->setPreload(preload);
    const QString folder = QDir::toNativeSeparators(m_fileList->directory());
    if (startPath.isEmpty() || !applySourceText(startPath)) {
        QString error;
        if (!m_fileList->reload(error))
            m_dialogs.showError(errorDisplayText(error));
        m_sourceFolderEdit->setText(folder);
    } else {
        m_sourceFolderEdit->setText(startPath);
    }
    m_destinationEdit->setText(QDir::toNativeSeparators(m_fileList->directory()));
    m_fileList->setPreload(nullptr);
    updateControls();

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

MainWindow::~MainWindow() {
    if (!m_runThread)
        return;
    // The run never waits for the window, so it ends without the event loop.
    m_worker->requestStop();
    m_runThread->quit();
    m_runThread->wait();
    delete m_worker;
}

void MainWindow::createSourceRow() {
    m_sourceFolderLabel = new QLabel(QStringLiteral("Source Folder:"));
    m_sourceFolderLabel->setObjectName(QStringLiteral("sourceFolderLabel"));
    m_sourceFolderEdit = new QLineEdit;
    m_sourceFolderEdit->setObjectName(QStringLiteral("sourceFolderEdit"));
    m_sourceBrowseButton = new QPushButton(QStringLiteral("Browse..."));
    m_sourceBrowseButton->setObjectName(QStringLiteral("sourceBrowseButton"));
}

void MainWindow::createFileList() {
    m_fileList = new FileList(m_fs);
    m_fileList->setObjectName(QStringLiteral("fileList"));
    m_selectAllBox = new QCheckBox(QStringLiteral("Select all"));
    m_selectAllBox->setObjectName(QStringLiteral("selectAllBox"));
}

void MainWindow::createDestinationRow() {
    m_destinationLabel = new QLabel(QStringLiteral("Destination Folder:"));
    m_destinationLabel->setObjectName(QStringLiteral("destinationLabel"));
    m_destinationEdit = new QLineEdit;
    m_destinationEdit->setObjectName(QStringLiteral("destinationEdit"));
    m_destinationBrowseButton = new QPushButton(QStringLiteral("Browse..."));
    m_destinationBrowseButton->setObjectName(QStringLiteral("destinationBrowseButton"));
}

void MainWindow::createNamingGroup() {
    // The spaces around the caption are kept on purpose: the caption has always been padded so.
    m_namingGroup = new QGroupBox(QStringLiteral(" File names "));
    m_namingGroup->setObjectName(QStringLiteral("namingGroup"));
    m_originalNamesButton = new QRadioButton(QStringLiteral("Original"));
    m_originalNamesButton->setObjectName(QStringLiteral("originalNamesButton"));
    m_sourceNamesButton = new QRadioButton(QStringLiteral("From source files"));
    m_sourceNamesButton->setObjectName(QStringLiteral("sourceNamesButton"));
    m_namingButtons = new QButtonGroup(this);
    m_namingButtons->addButton(m_originalNamesButton, int(zendrow::NamingRule::Original));
    m_namingButtons->addButton(m_sourceNamesButton, int(zendrow::NamingRule::FromSourceFiles));
    m_originalNamesButton->setChecked(true);
}

void MainWindow::createSearchGroup() {
    // Padded like " File names ", which it stands under.
    m_searchGroup = new QGroupBox(QStringLiteral(" Search "));
    m_searchGroup->setObjectName(QStringLiteral("searchGroup"));
    m_fileStartButton = new QRadioButton(QStringLiteral("File start"));
    m_fileStartButton->setObjectName(QStringLiteral("fileStartButton"));
    m_wholeFileButton = new QRadioButton(QStringLiteral("Whole file"));
    m_wholeFileButton->setObjectName(QStringLiteral("wholeFileButton"));
    m_searchButtons = new QButtonGroup(this);
    m_searchButtons->addButton(m_fileStartButton, int(zendrow::SearchMode::FileStart));
    m_searchButtons->addButton(m_wholeFileButton, int(zendrow::SearchMode::WholeFile));
    m_fileStartButton->setChecked(true);
}

void MainWindow::createConvertRow() {
    m_convertButton = new QPushButton(QStringLiteral("Convert"));
    m_convertButton->setObjectName(QStringLiteral("convertButton"));
    m_progressBar = new QProgressBar;
    m_progressBar->setObjectName(QStringLiteral("progressBar"));
    m_progressBar->setRange(0, 100);
    m_progressBar->setValue(0);
    m_progressBar->setTextVisible(false);
    m_progressBar->hide();
    m_stopButton = new QPushButton(QStringLiteral("Stop"));
    m_stopButton->setObjectName(QStringLiteral("stopButton"));
    m_stopButton->setShortcut(QKeySequence(Qt::Key_Escape));
    m_stopButton->hide();
}

void MainWindow::createStatusBar() {
    m_statusBar = new StatBar;
    m_statusBar->setObjectName(QStringLiteral("statusBar"));
    setStatusBar(m_statusBar);
}

void MainWindow::createLayout() {
    auto* sourceRow = new QHBoxLayout;
    sourceRow->addWidget(m_sourceFolderEdit, 1);
    sourceRow->addWidget(m_sourceBrowseButton);

    auto* separator = new QFrame;
    separator->setObjectName(QStringLiteral("destinationSeparator"));
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);

    auto* destinationRow = new QHBoxLayout;
    destinationRow->addWidget(m_destinationEdit, 1);
    destinationRow->addWidget(m_destinationBrowseButton);

    auto* namingLayout = new QVBoxLayout(m_namingGroup);
    namingLayout->addWidget(m_originalNamesButton);
    namingLayout->addWidget(m_sourceNamesButton);

    auto* searchLayout = new QVBoxLayout(m_searchGroup);
    searchLayout->addWidget(m_fileStartButton);
    searchLayout->addWidget(m_wholeFileButton);

    // During a run the progress bar and Stop take the Convert button's place, at its height.
    auto* convertRow = new QGridLayout;
    convertRow->addWidget(m_convertButton, 0, 0, 1, 2);
    convertRow->addWidget(m_progressBar, 0, 0);
    convertRow->addWidget(m_stopButton, 0, 1);
    convertRow->setColumnStretch(0, 1);
    const int convertHeight = std::max(m_convertButton->sizeHint().height(), m_progressBar->sizeHint().height());
    for (QWidget* shared : {static_cast<QWidget*>(m_convertButton), static_cast<QWidget*>(m_progressBar)}) {
        QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        policy.setRetainSizeWhenHidden(true);
        shared->setSizePolicy(policy);
        shared->setFixedHeight(convertHeight);
    }
    m_stopButton->setFixedHeight(convertHeight);

    auto* central = new QWidget;
    central->setObjectName(QStringLiteral("centralWidget"));
    auto* layout = new QVBoxLayout(central);
    layout->addWidget(m_sourceFolderLabel);
    layout->addLayout(sourceRow);
    layout->addWidget(m_fileList, 1);
    layout->addWidget(m_selectAllBox);
    layout->addWidget(separator);
    layout->addWidget(m_destinationLabel);
    layout->addLayout(destinationRow);
    layout->addWidget(m_namingGroup);
    layout->addWidget(m_searchGroup);
    layout->addLayout(convertRow);
    setCentralWidget(central);

    // Every row but the list at its size hint; the list as tall as it was designed, or as small
    // as keeps two rows of names.
    const int fixedRows = minimumSizeHint().height() - m_fileList->minimumSizeHint().height();
    setMinimumSize(kMinimumWidth, std::max(kMinimumHeight, minimumSizeHint().height()));
    resize(kDesignWidth, std::max(minimumHeight(), fixedRows + kDesignListHeight));
}

void MainWindow::setAccessibleNamesAndTabOrder() {
    m_sourceFolderEdit->setAccessibleName(QStringLiteral("Source Folder"));
    m_sourceBrowseButton->setAccessibleName(QStringLiteral("Browse for the source folder"));
    m_fileList->setAccessibleName(QStringLiteral("Source files"));
    m_selectAllBox->setAccessibleName(QStringLiteral("Select all"));
    m_destinationEdit->setAccessibleName(QStringLiteral("Destination Folder"));
    m_destinationBrowseButton->setAccessibleName(QStringLiteral("Browse for the destination folder"));
    m_namingGroup->setAccessibleName(QStringLiteral("File names"));
    m_originalNamesButton->setAccessibleName(QStringLiteral("Original"));
    m_sourceNamesButton->setAccessibleName(QStringLiteral("From source files"));
    m_searchGroup->setAccessibleName(QStringLiteral("Search"));
    m_fileStartButton->setAccessibleName(QStringLiteral("File start"));
    m_wholeFileButton->setAccessibleName(QStringLiteral("Whole file"));
    m_stopButton->setAccessibleName(QStringLiteral("Stop the conversion"));
    m_convertButton->setAccessibleName(QStringLiteral("Convert"));
    m_progressBar->setAccessibleName(QStringLiteral("Conversion progress"));
    m_statusBar->setAccessibleName(QStringLiteral("Status"));

    m_sourceFolderLabel->setBuddy(m_sourceFolderEdit);
    m_destinationLabel->setBuddy(m_destinationEdit);
    m_progressBar->setFocusPolicy(Qt::NoFocus);

    // The reading order: top to bottom, left to right. The radio buttons of a group are one stop.
    QWidget* const order[] = {m_sourceFolderEdit,    m_sourceBrowseButton, m_fileList,
                              m_selectAllBox,        m_destinationEdit,    m_destinationBrowseButton,
                              m_originalNamesButton, m_sourceNamesButton,  m_fileStartButton,
                              m_wholeFileButton,     m_convertButton,      m_stopButton};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
}

void MainWindow::connectSignals() {
    connect(m_sourceFolderEdit, &QLineEdit::returnPressed, this, &MainWindow::applySourceFolder);
    connect(m_sourceBrowseButton, &QPushButton::clicked, this, &MainWindow::browseForSourceFolder);
    connect(m_destinationEdit, &QLineEdit::returnPressed, this, &MainWindow::focusConvertButton);
    connect(m_destinationBrowseButton, &QPushButton::clicked, this, &MainWindow::browseForDestination);
    // toggled, not clicked: the keyboard and assistive technology check the box without a click.
    connect(m_selectAllBox, &QCheckBox::toggled, this, &MainWindow::selectAllFiles);
    connect(m_convertButton, &QPushButton::clicked, this, &MainWindow::convertSelectedFiles);

    connect(m_stopButton, &QPushButton::clicked, this, &MainWindow::stopConversion);

    connect(m_destinationEdit, &QLineEdit::textChanged, this, &MainWindow::updateControls);
    connect(m_destinationEdit, &QLineEdit::textChanged, this, &MainWindow::handOverSettings);
    connect(m_namingButtons, &QButtonGroup::idToggled, this, &MainWindow::handOverSettings);
    connect(m_searchButtons, &QButtonGroup::idToggled, this, &MainWindow::handOverSettings);
    connect(m_fileList->selectionModel(), &QItemSelectionModel::selectionChanged, this, &MainWindow::updateControls);
    QAbstractItemModel* files = m_fileList->model();
    connect(files, &QAbstractItemModel::modelReset, this, &MainWindow::updateControls);
    connect(files, &QAbstractItemModel::rowsInserted, this, &MainWindow::updateControls);
    connect(files, &QAbstractItemModel::rowsRemoved, this, &MainWindow::updateControls);
}

void MainWindow::updateControls() {
    showingErrors(m_dialogs, [&] {
        handOverList();
        const int selected = m_fileList->selectedCount();
        const int count = m_fileList->itemCount();
        m_convertButton->setEnabled(!m_destinationEdit->text().isEmpty() && selected > 0);
        // Set quietly: the box shows the selection here, it does not change it.
        const QSignalBlocker quiet(m_selectAllBox);
        m_selectAllBox->setChecked(count > 0 && selected == count);
        m_statusBar->setSimpleText(QString::number(selected) + QStringLiteral(" file(s) selected"));
    });
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!m_running) {
        QMainWindow::closeEvent(event);
        return;
    }
    // The run stops as soon as it can, and the window closes once the user has seen what was done.
    m_closeRequested = true;
    stopConversion();
    event->ignore();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!m_running && event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    if (m_running || paths.isEmpty())
        return;
    event->acceptProposedAction();
    showingErrors(m_dialogs, [&] {
        const QFileInfo first(paths.first());
        if (first.isDir()) {
            showSourcePath(QDir::toNativeSeparators(first.absoluteFilePath()));
            return;
        }
        // Files: their folder, with the dropped ones that it lists selected.
        const QString folder = QDir::toNativeSeparators(first.absolutePath());
        if (!applySourceText(folder))
            return;
        m_sourceFolderEdit->setText(folder);
        QStringList names;
        for (const QString& path : paths) {
            const QFileInfo file(path);
            if (file.absolutePath() == first.absolutePath())
                names << file.fileName();
        }
        m_fileList->selectNames(names);
    });
}

QString MainWindow::destinationFolder() const {
    const QString text = m_destinationEdit->text();
    return text.isEmpty() ? QString() : m_fileList->absolutePath(text);
}

void MainWindow::showSourcePath(const QString& path) {
    showingErrors(m_dialogs, [&] {
        if (applySourceText(path))
            m_sourceFolderEdit->setText(path);
    });
}

bool MainWindow::applySourceText(const QString& text) {
    // Empty text names no folder; there is nothing to apply.
    if (text.isEmpty())
        return false;
    QString error;
    QString path = text;
#ifdef Q_OS_WIN
    const SourceTextSteps steps = splitDriveStep(path.toStdString(), m_fileList->directory().toStdString());
    if (steps.drive && !m_fileList->selectDrive(QChar::fromLatin1(*steps.drive), error)) {
        m_dialogs.showError(errorDisplayText(error));
        return false;
    }
    path = QString::fromStdString(steps.path);
#endif
    if (!path.isEmpty() && !m_fileList->applyFilePath(path, error)) {
        m_dialogs.showError(errorDisplayText(error));
        return false;
    }
    m_fileList->setFocus(Qt::OtherFocusReason);
    return true;
}

void MainWindow::applySourceFolder() {
    showingErrors(m_dialogs, [&] { applySourceText(m_sourceFolderEdit->text()); });
}

void MainWindow::browseForSourceFolder() {
    showingErrors(m_dialogs, [&] {
        const std::optional<QString> folder = m_dialogs.chooseSourceFolder();
        if (!folder)
            return;
        m_sourceFolderEdit->setText(*folder);
        applySourceText(*folder);
    });
}

void MainWindow::focusConvertButton() {
    showingErrors(m_dialogs, [&] {
        // A disabled or hidden button cannot take the focus; Enter then does nothing.
        if (m_convertButton->isEnabledTo(this) && !m_convertButton->isHidden())
            m_convertButton->setFocus(Qt::OtherFocusReason);
    });
}

void MainWindow::browseForDestination() {
    showingErrors(m_dialogs, [&] {
        const QString start = destinationFolder().isEmpty() ? m_fileList->directory() : destinationFolder();
        const std::optional<QString> folder =
            m_dialogs.chooseDestinationFolder(QDir::toNativeSeparators(start), m_fileList->directory());
        if (folder)
            m_destinationEdit->setText(*folder);
    });
}

void MainWindow::selectAllFiles(bool checked) {
    showingErrors(m_dialogs, [&] {
        if (checked) {
            m_fileList->selectAll();
            return;
        }
        // Unchecking leaves the selection as it is, so the box shows it again once the click is
        // handled.
        QTimer::singleShot(0, this, &MainWindow::updateControls);
    });
}

void MainWindow::showRunStarted(int selectedCount) {
    m_statusBar->setSimplePanel(false);
    m_statusBar->setPanelText(0, counterText("Selected: ", selectedCount));
    m_statusBar->setPanelText(1, counterText("Converted: ", 0));
    m_statusBar->setPanelText(2, counterText("Skipped: ", 0));
    m_filesDone = 0;
    m_progressBar->setMaximum(std::max(1, selectedCount) * kProgressPerFile);
    m_progressBar->setValue(0);
}

void MainWindow::showFileFinished(int converted, int skipped) {
    m_statusBar->setPanelText(1, counterText("Converted: ", converted));
    m_statusBar->setPanelText(2, counterText("Skipped: ", skipped));
    ++m_filesDone;
    m_progressBar->setValue(std::min(m_progressBar->maximum(), m_filesDone * kProgressPerFile));
}

void MainWindow::showProgressInFile(quint64 done, quint64 total) {
    if (total == 0)
        return;
    const int within = int(std::min<quint64>(done, total) * kProgressPerFile / total);
    m_progressBar->setValue(std::min(m_progressBar->maximum(), m_filesDone * kProgressPerFile + within));
}

void MainWindow::showBusy(bool busy) {
    m_running = busy;
    // Busy where the run shows itself; what cannot be used during a run is disabled, and the rest
    // of the window stays live: a change applies from the next file on.
    for (QWidget* busyArea : {static_cast<QWidget*>(m_fileList), static_cast<QWidget*>(m_progressBar)}) {
        if (busy)
            busyArea->setCursor(Qt::BusyCursor);
        else
            busyArea->unsetCursor();
    }
    m_sourceFolderEdit->setEnabled(!busy);
    m_sourceBrowseButton->setEnabled(!busy);
    m_convertButton->setVisible(!busy);
    m_progressBar->setVisible(busy);
    m_stopButton->setVisible(busy);
    m_stopButton->setEnabled(busy);
    if (busy)
        return;
    m_statusBar->setSimplePanel(true);
    m_progressBar->setValue(0);
    updateControls();
}

void MainWindow::showReport(const zendrow::RunReport& report) {
    switch (report.status) {
    case zendrow::RunReport::Status::Completed:
    case zendrow::RunReport::Status::Stopped: {
        QString details;
        for (const zendrow::FileResult& failure : report.failures)
            details += fromEngineText(failure.itemName) + QStringLiteral(": ") +
                       QString::fromStdString(failure.reason) + u'\n';
        details.chop(1);
        if (m_dialogs.showSummary(fromEngineText(report.summary()), details))
            m_dialogs.openFolder(QDir::toNativeSeparators(m_runDestination));
        break;
    }
    case zendrow::RunReport::Status::DestinationError:
        m_dialogs.showError(errorDisplayText(QString::fromStdString(report.error)));
        break;
    }
}

bool MainWindow::destinationReady() {
    const QString destination = destinationFolder();
    // An empty one is refused by the run with its own message.
    if (destination.isEmpty() || m_fs.isDirectory(toEngineText(destination)))
        return true;
    if (!m_dialogs.askYesNo(QStringLiteral("Confirm"), QStringLiteral("Destination folder does not exist. Create it?")))
        return false;
    std::string error;
    if (m_fs.createDirectory(toEngineText(destination), error))
        return true;
    m_dialogs.showError(
        errorDisplayText(QStringLiteral("Cannot create the destination folder \"%1\": %2")
                             .arg(QDir::toNativeSeparators(destination), QString::fromStdString(error))));
    return false;
}

zendrow::RunSettings MainWindow::runSettings() const {
    zendrow::RunSettings settings;
    settings.naming = zendrow::namingRuleFromIndex(m_namingButtons->checkedId());
    settings.search = m_searchButtons->checkedId() == int(zendrow::SearchMode::WholeFile)
                          ? zendrow::SearchMode::WholeFile
                          : zendrow::SearchMode::FileStart;
    settings.destination = toEngineText(destinationFolder());
    return settings;
}

void MainWindow::handOverSettings() {
    if (m_worker)
        m_worker->setSettings(runSettings());
}

void MainWindow::handOverList() {
    if (m_worker)
        m_worker->setList(toEngineText(m_fileList->directory()), m_fileList->itemNames(), m_fileList->selectedItems());
}

void MainWindow::convertSelectedFiles() {
    if (m_running)
        return;
    showingErrors(m_dialogs, [&] {
        if (!destinationReady())
            return;
        m_runDestination = destinationFolder();
        m_worker = new RunWorker(m_fs);
        handOverList();
        handOverSettings();
        m_runThread = std::make_unique<QThread>();
        m_runThread->setObjectName(QStringLiteral("conversion run"));
        m_worker->moveToThread(m_runThread.get());
        connect(m_runThread.get(), &QThread::started, m_worker, &RunWorker::run);
        connect(m_worker, &RunWorker::started, this, &MainWindow::showRunStarted);
        connect(m_worker, &RunWorker::fileFinished, this, &MainWindow::showFileFinished);
        connect(m_worker, &RunWorker::progressInFile, this, &MainWindow::showProgressInFile);
        connect(m_worker, &RunWorker::finished, m_runThread.get(), &QThread::quit, Qt::DirectConnection);
        connect(m_runThread.get(), &QThread::finished, this, &MainWindow::finishConversion);
        m_statusBar->setSimplePanel(false);
        showBusy(true);
        m_runThread->start();
    });
}

void MainWindow::stopConversion() {
    if (!m_worker)
        return;
    m_worker->requestStop();
    m_stopButton->setEnabled(false);
}

void MainWindow::finishConversion() {
    m_runThread->wait();
    const std::unique_ptr<RunWorker> worker(std::exchange(m_worker, nullptr));
    m_runThread.reset();
    // The summary shows over the run's display, which goes back to idle once it is closed.
    m_progressBar->unsetCursor();
    m_fileList->unsetCursor();
    if (worker->error().isEmpty()) {
        showingErrors(m_dialogs, [&] { showReport(worker->report()); });
        showBusy(false);
    } else {
        showBusy(false);
        m_dialogs.showError(errorDisplayText(worker->error()));
    }
    if (m_closeRequested)
        QTimer::singleShot(0, this, &QWidget::close);
}

} // namespace zendrow::ui
