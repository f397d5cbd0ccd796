#include "ui/error_display.h"

#include <exception>

#include <QtDebug>

#include "ui/dialogs.h"

namespace zendrow::ui {

QString errorDisplayText(const QString& message) {
    // Kept on purpose: "?" sorts after the full stop too, so a question reads "Why?.".
    if (!message.isEmpty() && message.back() > u'.')
        return message + u'.';
    return message;
}

void showCurrentException(Dialogs& dialogs) noexcept {
    QString message;
    try {
        throw;
    } catch (const std::exception& e) {
        message = QString::fromUtf8(e.what());
    } catch (...) {
        message = QStringLiteral("An unexpected error occurred");
    }
    if (message.isEmpty())
        message = QStringLiteral("An unexpected error occurred");
    try {
        dialogs.showError(errorDisplayText(message));
    } catch (...) {
        qCritical("Zendrow: %s", qUtf8Printable(message));
    }
}

} // namespace zendrow::ui
