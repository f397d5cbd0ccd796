#pragma once

#include <memory>

#include <QMainWindow>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QThread;

namespace zendrow {
class FileSystem;
struct RunReport;
struct RunSettings;
} // namespace zendrow

namespace zendrow::ui {

class Dialogs;
class FileList;
class FolderPreload;
class RunWorker;
class StatBar;

/// The main window: the source folder and its file list, Select all, the destination folder, the
/// naming rule, the Convert button with the progress bar in its place during a run, and the status
/// bar. What it shows follows its inputs through signals.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    /// dialogs opens every modal dialog; fs is where runs read and write. The window starts at
    /// startPath as if it were typed in the source field (the working directory when it is empty or
    /// names nothing); preload may hold that folder read already.
    MainWindow(Dialogs& dialogs, zendrow::FileSystem& fs, const QString& startPath = QString(),
               FolderPreload* preload = nullptr);
    /// A run still going is stopped, and waited for.
    ~MainWindow() override;

    /// True from the moment a run starts until its display is back to idle.
    bool isRunning() const { return m_running; }

private slots:
    void applySourceFolder();
    void browseForSourceFolder();
    void browseForDestination();
    void focusConvertButton();
    void selectAllFiles(bool checked);
    void convertSelectedFiles();
    void stopConversion();
    /// The status text, whether Convert can be pressed and whether Select all is checked, from the
    /// list's selection and the destination.
    void updateControls();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void createSourceRow();
    void createFileList();
    void createDestinationRow();
    void createNamingGroup();
    void createSearchGroup();
    void createConvertRow();
    void createStatusBar();
    void createLayout();
    void setAccessibleNamesAndTabOrder();
    void connectSignals();

    bool applySourceText(const QString& text);
    /// Shows path in the list and the source field, as typed there: a folder, a file in its folder,
    /// a pattern. Errors go to the error display.
    void showSourcePath(const QString& path);
    /// The destination as typed, made absolute against the folder the list shows; empty when
    /// nothing is typed.
    QString destinationFolder() const;
    /// The destination exists, or the user had it created; false when the run must not start.
    bool destinationReady();
    zendrow::RunSettings runSettings() const;
    /// What a run reads, handed to it whenever it changes.
    void handOverSettings();
    void handOverList();
    void showBusy(bool busy);
    void showRunStarted(int selectedCount);
    void showFileFinished(int converted, int skipped);
    void showProgressInFile(quint64 done, quint64 total);
    void finishConversion();
    void showReport(const zendrow::RunReport& report);

    Dialogs& m_dialogs;
    zendrow::FileSystem& m_fs;

    QLabel* m_sourceFolderLabel = nullptr;
    QLineEdit* m_sourceFolderEdit = nullptr;
    QPushButton* m_sourceBrowseButton = nullptr;
    FileList* m_fileList = nullptr;
    QCheckBox* m_selectAllBox = nullptr;
    QLabel* m_destinationLabel = nullptr;
    QLineEdit* m_destinationEdit = nullptr;
    QPushButton* m_destinationBrowseButton = nullptr;
    QGroupBox* m_namingGroup = nullptr;
    QRadioButton* m_originalNamesButton = nullptr;
    QRadioButton* m_sourceNamesButton = nullptr;
    QButtonGroup* m_namingButtons = nullptr;
    QGroupBox* m_searchGroup = nullptr;
    QRadioButton* m_fileStartButton = nullptr;
    QRadioButton* m_wholeFileButton = nullptr;
    QButtonGroup* m_searchButtons = nullptr;
    QPushButton* m_convertButton = nullptr;
    QProgressBar* m_progressBar = nullptr;
    QPushButton* m_stopButton = nullptr;
    StatBar* m_statusBar = nullptr;

    std::unique_ptr<QThread> m_runThread;
    RunWorker* m_worker = nullptr; // lives on m_runThread while it runs
    QString m_runDestination;
    int m_filesDone = 0;
    bool m_running = false;
    bool m_closeRequested = false;
};

} // namespace zendrow::ui
