#pragma once

#include <QString>

namespace zendrow::ui {

class Dialogs;

/// The text the error display shows for message: a full stop is appended when the last character
/// sorts after the full stop, so "Disk full" reads "Disk full." and "Done." stays as it is.
QString errorDisplayText(const QString& message);

/// Shows the exception being handled through the error display. Call it only inside a catch block.
/// Never throws: an error display that fails itself must not end the program.
void showCurrentException(Dialogs& dialogs) noexcept;

/// Runs handler and shows whatever it throws through the error display; the window carries on.
template <class Handler> void showingErrors(Dialogs& dialogs, Handler&& handler) noexcept {
    try {
        handler();
    } catch (...) {
        showCurrentException(dialogs);
    }
}

} // namespace zendrow::ui
