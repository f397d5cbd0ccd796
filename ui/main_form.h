#pragma once

#include <QWidget>

class QButtonGroup;
class QCheckBox;
class QFrame;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace zendrow {
class FileSystem;
}

namespace zendrow::ui {

class Dialogs;
class FileList;
class StatBar;

/// The main window: the source folder row, the file list, Select all and the destination row,
/// the naming rule, the Convert button with the progress bar in its place, and the status bar.
class TMainForm : public QWidget {
    Q_OBJECT
public:
    /// dialogs opens every modal dialog; fs is where runs read and write.
    TMainForm(Dialogs& dialogs, zendrow::FileSystem& fs, QWidget* parent = nullptr);
    ~TMainForm() override;

    /// True from the moment a run starts until its display is back to idle.
    bool isRunning() const { return m_running; }

    // Controls, in the order the window declares them.
    ui::FileList* FileList;
    ui::StatBar* StatBar;
    QWidget* DownPanel2;
    QPushButton* ConvertBtn;
    QProgressBar* ProgBar;
    QWidget* DownPanel1;
    QWidget* DownPanel3;
    QPushButton* DestBtn;
    QLineEdit* DestDirEdit;
    QLabel* Label2;
    QFrame* Bevel3;
    QCheckBox* AllCheckBox;
    QWidget* UpPanel1;
    QLabel* Label1;
    QLineEdit* SourceDirEdit;
    QPushButton* SourceBtn;
    QGroupBox* RGroup;

    /// The "File names" choice: 0 is "Original", 1 "From source files", -1 none.
    int namingRule() const;
    void setNamingRule(int index);

public slots:
    void SourceBtnClick();
    void DestBtnClick();
    void AllCheckBoxClick();
    void ConvertBtnClick();
    /// Brings the Convert button, Select all and the status text in step with the selection; runs
    /// whenever the event loop has emptied its queue and is about to wait.
    void AppIdle();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    class RunDisplay;
    class WindowRunHost;

    void createControls();
    void createLayout();
    void setTabOrderAndNames();
    void FormCreate();
    void FormResize();
    void SourceDirEditKeyPress();
    void DestDirEditKeyPress();
    void applySourceText(const QString& text);
    /// The destination exists, or the user had it created; false when the run must not start.
    bool destinationReady();

    Dialogs& m_dialogs;
    zendrow::FileSystem& m_fs;
    QButtonGroup* m_namingButtons = nullptr;
    QRadioButton* m_originalRadio = nullptr;
    QRadioButton* m_fromSourceRadio = nullptr;
    bool m_running = false;
    bool m_closeRequested = false;
    bool m_showingIdleError = false;
};

} // namespace zendrow::ui
