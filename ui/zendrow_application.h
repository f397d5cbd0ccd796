#pragma once

#include <QApplication>

namespace zendrow::ui {

class Dialogs;

/// The application object. An exception that escapes an event handler is shown through the error
/// display instead of ending the process, and the event loop carries on.
class ZendrowApplication : public QApplication {
public:
    ZendrowApplication(int& argc, char** argv);

    /// Where escaped errors are shown; until it is set they go to the log.
    void setErrorDialogs(Dialogs* dialogs) { m_dialogs = dialogs; }

    bool notify(QObject* receiver, QEvent* event) override;

private:
    Dialogs* m_dialogs = nullptr;
};

} // namespace zendrow::ui
