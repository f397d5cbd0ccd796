#include "ui/main_form.h"

#include <algorithm>
#include <initializer_list>
#include <string>
#include <utility>

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "engine/conversion_run.h"
#include "engine/source_text.h"
#include "ui/dialogs.h"
#include "ui/error_display.h"
#include "ui/file_list.h"
#include "ui/stat_bar.h"

namespace zendrow::ui {

namespace {

constexpr QSize kDesignClientSize(323, 334);
constexpr QSize kMinimumClientSize(250, 300);
constexpr int kInitialColumns = 3;
constexpr int kColumnWidth = 100;

QString counterText(const char* label, int count) {
    return QString::fromUtf8(label) + QString::number(count);
}

} // namespace

/// The busy display of a run and its way back to idle, whatever ends the run.
class TMainForm::RunDisplay {
public:
    explicit RunDisplay(TMainForm& form) : m_form(form) { m_form.m_running = true; }

    ~RunDisplay() {
        restoreCursor();
        if (m_busy)
            showIdle();
        m_form.m_running = false;
    }

    RunDisplay(const RunDisplay&) = delete;
    RunDisplay& operator=(const RunDisplay&) = delete;

    void showBusy(int selectedCount) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_cursor = true;
        m_busy = true;
        m_form.StatBar->setSimplePanel(false);
        m_form.StatBar->setPanelText(0, counterText("Selected: ", selectedCount));
        m_form.StatBar->setPanelText(1, counterText("Converted: ", 0));
        m_form.StatBar->setPanelText(2, counterText("Skipped: ", 0));
        QCoreApplication::processEvents();
        m_form.ConvertBtn->hide();
        // Read again: the selection may have changed while the panels painted.
        m_form.ProgBar->setMaximum(m_form.FileList->selectedCount());
        m_form.ProgBar->setValue(0);
        m_form.ProgBar->show();
    }

    void step() {
        if (m_form.ProgBar->value() < m_form.ProgBar->maximum())
            m_form.ProgBar->setValue(m_form.ProgBar->value() + 1);
    }

    void restoreCursor() {
        if (!m_cursor)
            return;
        QApplication::restoreOverrideCursor();
        m_cursor = false;
    }

private:
    void showIdle() {
        m_form.StatBar->setSimplePanel(true);
        m_form.ProgBar->hide();
        m_form.ProgBar->setValue(0);
        m_form.ConvertBtn->show();
        m_busy = false;
    }

    TMainForm& m_form;
    bool m_busy = false;
    bool m_cursor = false;
};

/// What the conversion run reads from the window and reports to it. Every value is read from the
/// live controls when the run asks, so changes made during a run apply from the next file on.
class TMainForm::WindowRunHost : public zendrow::RunItems, public zendrow::RunObserver {
public:
    WindowRunHost(TMainForm& form, RunDisplay& display) : m_form(form), m_display(display) {}

    // A close requested during a run ends it after the file in hand.
    int count() override { return m_form.FileList->itemCount(); }
    bool isSelected(int item) override { return m_form.FileList->isItemSelected(item); }
    zendrow::RunItem item(int item) override {
        return {m_form.FileList->directory().toStdString(), m_form.FileList->itemText(item).toStdString()};
    }
    int selectedCount() override { return m_form.FileList->selectedCount(); }

    zendrow::RunSettings settings() const {
        return {zendrow::namingRuleFromIndex(m_form.namingRule()), zendrow::SearchMode::FileStart,
                m_form.DestDirEdit->text().toStdString()};
    }

    void runStarted(int selectedCount) override { m_display.showBusy(selectedCount); }

    void fileDone(const zendrow::FileResult& result, const zendrow::RunCounts& counts) override {
        switch (result.outcome) {
        case zendrow::FileResult::Outcome::Converted:
            m_form.StatBar->setPanelText(1, counterText("Converted: ", counts.converted));
            break;
        case zendrow::FileResult::Outcome::Skipped:
            m_form.StatBar->setPanelText(2, counterText("Skipped: ", counts.skipped));
            break;
        case zendrow::FileResult::Outcome::Failed:
            // Failed files and their reasons are listed in the summary.
            break;
        }
        QCoreApplication::processEvents();
        m_display.step();
    }

    bool stopRequested() override { return m_form.m_closeRequested; }

private:
    TMainForm& m_form;
    RunDisplay& m_display;
};

TMainForm::TMainForm(Dialogs& dialogs, zendrow::FileSystem& fs, QWidget* parent)
    : QWidget(parent), m_dialogs(dialogs), m_fs(fs) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Ombrix Zendrow"));
    createControls();
    createLayout();
    setTabOrderAndNames();
    FormCreate();
}

TMainForm::~TMainForm() = default;

void TMainForm::createControls() {
    UpPanel1 = new QWidget(this);
    Label1 = new QLabel(QStringLiteral("Source Folder:"), UpPanel1);
    SourceDirEdit = new QLineEdit(UpPanel1);
    SourceBtn = new QPushButton(QStringLiteral("Browse..."), UpPanel1);

    FileList = new ui::FileList(m_fs, this);
    FileList->setColumns(kInitialColumns);

    DownPanel3 = new QWidget(this);
    AllCheckBox = new QCheckBox(QStringLiteral("Select all"), DownPanel3);
    Bevel3 = new QFrame(DownPanel3);
    Bevel3->setFrameShape(QFrame::HLine);
    Bevel3->setFrameShadow(QFrame::Sunken);
    Bevel3->setFixedHeight(2);
    Label2 = new QLabel(QStringLiteral("Destination Folder:"), DownPanel3);
    DestDirEdit = new QLineEdit(DownPanel3);
    DestBtn = new QPushButton(QStringLiteral("Browse..."), DownPanel3);

    RGroup = new QGroupBox(QStringLiteral(" File names "), this);
    m_originalRadio = new QRadioButton(QStringLiteral("Original"), RGroup);
    m_fromSourceRadio = new QRadioButton(QStringLiteral("From source files"), RGroup);
    m_namingButtons = new QButtonGroup(RGroup);
    m_namingButtons->addButton(m_originalRadio, 0);
    m_namingButtons->addButton(m_fromSourceRadio, 1);

    DownPanel2 = new QWidget(this);
    ConvertBtn = new QPushButton(QStringLiteral("Convert"), DownPanel2);
    ProgBar = new QProgressBar(DownPanel2);
    ProgBar->setRange(0, 100);
    ProgBar->setValue(0);
    ProgBar->setTextVisible(false);
    ProgBar->setFocusPolicy(Qt::NoFocus);
    ProgBar->hide();

    DownPanel1 = new QWidget(this);
    StatBar = new ui::StatBar(this);

    connect(SourceDirEdit, &QLineEdit::returnPressed, this, &TMainForm::SourceDirEditKeyPress);
    connect(SourceBtn, &QPushButton::clicked, this, &TMainForm::SourceBtnClick);
    connect(DestDirEdit, &QLineEdit::returnPressed, this, &TMainForm::DestDirEditKeyPress);
    connect(DestBtn, &QPushButton::clicked, this, &TMainForm::DestBtnClick);
    // The state change, not the click: the keyboard, assistive technology and AppIdle toggle the
    // box without a click.
    connect(AllCheckBox, &QCheckBox::stateChanged, this, &TMainForm::AllCheckBoxClick);
    connect(ConvertBtn, &QPushButton::clicked, this, &TMainForm::ConvertBtnClick);
}

void TMainForm::createLayout() {
    auto* sourceLayout = new QGridLayout(UpPanel1);
    sourceLayout->setContentsMargins(0, 1, 0, 2);
    sourceLayout->setHorizontalSpacing(3);
    sourceLayout->setVerticalSpacing(1);
    sourceLayout->addWidget(Label1, 0, 0, 1, 2);
    sourceLayout->addWidget(SourceDirEdit, 1, 0);
    sourceLayout->addWidget(SourceBtn, 1, 1);
    sourceLayout->setColumnStretch(0, 1);

    auto* destinationLayout = new QGridLayout(DownPanel3);
    destinationLayout->setContentsMargins(0, 2, 0, 3);
    destinationLayout->setHorizontalSpacing(3);
    destinationLayout->setVerticalSpacing(0);
    destinationLayout->addWidget(AllCheckBox, 0, 0, 1, 2);
    destinationLayout->setRowMinimumHeight(1, 4);
    destinationLayout->addWidget(Bevel3, 2, 0, 1, 2);
    destinationLayout->setRowMinimumHeight(3, 4);
    destinationLayout->addWidget(Label2, 4, 0, 1, 2);
    destinationLayout->setRowMinimumHeight(5, 1);
    destinationLayout->addWidget(DestDirEdit, 6, 0);
    destinationLayout->addWidget(DestBtn, 6, 1);
    destinationLayout->setColumnStretch(0, 1);

    // Tight inner margins: the window's minimum height must hold every row without squeezing one.
    auto* namingLayout = new QVBoxLayout(RGroup);
    namingLayout->setContentsMargins(9, 2, 9, 4);
    namingLayout->setSpacing(0);
    namingLayout->addWidget(m_originalRadio);
    namingLayout->addWidget(m_fromSourceRadio);

    // The progress bar takes the Convert button's cell, with the same size, during a run.
    auto* convertLayout = new QGridLayout(DownPanel2);
    convertLayout->setContentsMargins(0, 7, 0, 0);
    convertLayout->addWidget(ConvertBtn, 0, 0);
    convertLayout->addWidget(ProgBar, 0, 0);
    const int convertHeight = std::max(ConvertBtn->sizeHint().height(), ProgBar->sizeHint().height());
    for (QWidget* shared : {static_cast<QWidget*>(ConvertBtn), static_cast<QWidget*>(ProgBar)}) {
        QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        policy.setRetainSizeWhenHidden(true);
        shared->setSizePolicy(policy);
        shared->setFixedHeight(convertHeight);
    }

    DownPanel1->setFixedHeight(5);

    auto* formLayout = new QVBoxLayout(this);
    formLayout->setContentsMargins(0, 0, 0, 0);
    formLayout->setSpacing(0);
    formLayout->addWidget(UpPanel1);
    formLayout->addWidget(FileList, 1);
    formLayout->addWidget(DownPanel3);
    formLayout->addWidget(RGroup);
    formLayout->addWidget(DownPanel2);
    formLayout->addWidget(DownPanel1);
    formLayout->addWidget(StatBar);

    setMinimumSize(kMinimumClientSize);
    resize(kDesignClientSize);
}

void TMainForm::setTabOrderAndNames() {
    const std::initializer_list<std::pair<QWidget*, const char*>> controls = {
        {FileList, "FileList"},
        {StatBar, "StatBar"},
        {DownPanel2, "DownPanel2"},
        {ConvertBtn, "ConvertBtn"},
        {ProgBar, "ProgBar"},
        {DownPanel1, "DownPanel1"},
        {DownPanel3, "DownPanel3"},
        {DestBtn, "DestBtn"},
        {DestDirEdit, "DestDirEdit"},
        {Label2, "Label2"},
        {Bevel3, "Bevel3"},
        {AllCheckBox, "AllCheckBox"},
        {UpPanel1, "UpPanel1"},
        {Label1, "Label1"},
        {SourceDirEdit, "SourceDirEdit"},
        {SourceBtn, "SourceBtn"},
        {RGroup, "RGroup"},
        {m_originalRadio, "OriginalRadio"},
        {m_fromSourceRadio, "FromSourceRadio"},
    };
    for (const auto& [control, name] : controls)
        control->setObjectName(QString::fromUtf8(name));

    const std::initializer_list<std::pair<QWidget*, const char*>> accessibleNames = {
        {FileList, "Source files"},
        {StatBar, "Status"},
        {DownPanel2, "Convert"},
        {ConvertBtn, "Convert"},
        {ProgBar, "Conversion progress"},
        {DownPanel1, "Spacer"},
        {DownPanel3, "Selection and destination"},
        {DestBtn, "Browse for the destination folder"},
        {DestDirEdit, "Destination Folder"},
        {Label2, "Destination Folder:"},
        {Bevel3, "Separator"},
        {AllCheckBox, "Select all"},
        {UpPanel1, "Source"},
        {Label1, "Source Folder:"},
        {SourceDirEdit, "Source Folder"},
        {SourceBtn, "Browse for the source folder"},
        {RGroup, "File names"},
        {m_originalRadio, "Original"},
        {m_fromSourceRadio, "From source files"},
    };
    for (const auto& [control, name] : accessibleNames)
        control->setAccessibleName(QString::fromUtf8(name));

    Label1->setBuddy(SourceDirEdit);
    Label2->setBuddy(DestDirEdit);

    // Form level: the list, the Convert button, the destination row (its button first), the source
    // row, the naming rule.
    QWidget* const order[] = {FileList,      ConvertBtn, DestBtn,         DestDirEdit,      AllCheckBox,
                              SourceDirEdit, SourceBtn,  m_originalRadio, m_fromSourceRadio};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
}

void TMainForm::FormCreate() {
    connect(QAbstractEventDispatcher::instance(thread()), &QAbstractEventDispatcher::aboutToBlock, this,
            &TMainForm::AppIdle);
    setNamingRule(0);
    QString error;
    if (!FileList->reload(error))
        m_dialogs.showError(errorDisplayText(error));
    const QString folder = QDir::toNativeSeparators(FileList->directory());
    SourceDirEdit->setText(folder);
    DestDirEdit->setText(folder);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TMainForm::FormResize() {
    FileList->setColumns(FileList->width() / kColumnWidth);
}

void TMainForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    showingErrors(m_dialogs, [&] { FormResize(); });
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (!m_running) {
        QWidget::closeEvent(event);
        return;
    }
    // The run stops after the file in hand, so no output is left half written; the window closes
    // once the user has seen what was done.
    m_closeRequested = true;
    event->ignore();
}

int TMainForm::namingRule() const {
    return m_namingButtons->checkedId();
}

void TMainForm::setNamingRule(int index) {
    if (QAbstractButton* button = m_namingButtons->button(index))
        button->setChecked(true);
}

void TMainForm::applySourceText(const QString& text) {
    // Empty text names no folder; there is nothing to apply.
    if (text.isEmpty())
        return;
    QString error;
    QString path = text;
#ifdef Q_OS_WIN
    const SourceTextSteps steps = splitDriveStep(path.toStdString(), FileList->directory().toStdString());
    if (steps.drive && !FileList->selectDrive(QChar::fromLatin1(*steps.drive), error)) {
        m_dialogs.showError(errorDisplayText(error));
        return;
    }
    path = QString::fromStdString(steps.path);
#endif
    if (!path.isEmpty() && !FileList->applyFilePath(path, error)) {
        m_dialogs.showError(errorDisplayText(error));
        return;
    }
    FileList->takeFocus();
}

void TMainForm::SourceDirEditKeyPress() {
    showingErrors(m_dialogs, [&] { applySourceText(SourceDirEdit->text()); });
}

void TMainForm::SourceBtnClick() {
    showingErrors(m_dialogs, [&] {
        const std::optional<QString> folder = m_dialogs.chooseSourceFolder();
        if (!folder)
            return;
        SourceDirEdit->setText(*folder);
        applySourceText(*folder);
    });
}

void TMainForm::DestDirEditKeyPress() {
    showingErrors(m_dialogs, [&] {
        // A disabled or hidden button cannot take the focus; Enter then does nothing.
        if (ConvertBtn->isEnabledTo(this) && !ConvertBtn->isHidden())
            ConvertBtn->setFocus(Qt::OtherFocusReason);
    });
}

void TMainForm::DestBtnClick() {
    showingErrors(m_dialogs, [&] {
        const std::optional<QString> folder = m_dialogs.chooseDestinationFolder(DestDirEdit->text());
        if (folder)
            DestDirEdit->setText(*folder);
    });
}

void TMainForm::AllCheckBoxClick() {
    showingErrors(m_dialogs, [&] {
        // Unchecking leaves the selection as it is.
        if (AllCheckBox->isChecked())
            FileList->selectAll();
    });
}

void TMainForm::ConvertBtnClick() {
    if (m_running)
        return;
    showingErrors(m_dialogs, [&] {
        if (!destinationReady())
            return;
        zendrow::RunReport report;
        {
            RunDisplay display(*this);
            WindowRunHost host(*this, display);
            report = zendrow::runConversion(
                host, [&host] { return host.settings(); }, host, m_fs);
            display.restoreCursor();
            switch (report.status) {
            case zendrow::RunReport::Status::Completed:
            case zendrow::RunReport::Status::Stopped:
                m_dialogs.showSummary(QString::fromStdString(report.summary()));
                break;
            case zendrow::RunReport::Status::DestinationError:
                m_dialogs.showError(errorDisplayText(QString::fromStdString(report.error)));
                break;
            }
        }
        if (m_closeRequested)
            QTimer::singleShot(0, this, &QWidget::close);
    });
}

bool TMainForm::destinationReady() {
    const std::string destination = DestDirEdit->text().toStdString();
    if (destination.empty() || m_fs.isDirectory(destination))
        return true; // an empty one is refused by the run with its own message
    if (!m_dialogs.askYesNo(QStringLiteral("Confirm"), QStringLiteral("Destination folder does not exist. Create it?")))
        return false;
    std::string error;
    if (m_fs.createDirectory(destination, error))
        return true;
    m_dialogs.showError(errorDisplayText(QStringLiteral("Cannot create the destination folder \"%1\": %2")
                                             .arg(DestDirEdit->text(), QString::fromStdString(error))));
    return false;
}

void TMainForm::AppIdle() {
    // During a run the run's own display holds; an idle error already on screen must not be
    // shown again by the idle moments of its own message box.
    if (m_running || m_showingIdleError)
        return;
    try {
        const int selected = FileList->selectedCount();
        // Nothing is set that already holds: every change posts events, and the loop would
        // never rest.
        const bool canConvert = !DestDirEdit->text().isEmpty() && selected > 0;
        if (ConvertBtn->isEnabledTo(this) != canConvert)
            ConvertBtn->setEnabled(canConvert);
        const bool allSelected = FileList->itemCount() == selected;
        if (AllCheckBox->isChecked() != allSelected)
            AllCheckBox->setChecked(allSelected);
        StatBar->setSimpleText(QString::number(selected) + QStringLiteral(" file(s) selected"));
    } catch (...) {
        m_showingIdleError = true;
        showCurrentException(m_dialogs);
        m_showingIdleError = false;
    }
}

} // namespace zendrow::ui
