#include "ui/zendrow_application.h"

#include <exception>

#include <QtDebug>

#include "ui/error_display.h"

namespace zendrow::ui {

ZendrowApplication::ZendrowApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Zendrow"));
}

bool ZendrowApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        if (m_dialogs) {
            showCurrentException(*m_dialogs);
        } else {
            try {
                throw;
            } catch (const std::exception& e) {
                qCritical("Zendrow: %s", e.what());
            } catch (...) {
                qCritical("Zendrow: an unexpected error occurred");
            }
        }
        return false;
    }
}

} // namespace zendrow::ui
