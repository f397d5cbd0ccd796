#pragma once

#include <string>

#include <QFile>
#include <QString>

namespace zendrow::ui {

// The engine takes paths as the file system's own bytes: whatever bytes a name has on POSIX (old
// media carry Latin-1 names that are not valid UTF-8), UTF-8 on Windows. Text the user types or a
// Qt dialog returns is turned into those bytes here; a name read from the disk is kept as it came.

/// path as the engine takes it.
inline std::string toEngineText(const QString& path) {
#ifdef Q_OS_WIN
    return path.toStdString();
#else
    return QFile::encodeName(path).toStdString();
#endif
}

/// A path or name from the engine as the window shows it; bytes that are not UTF-8 show as U+FFFD.
inline QString fromEngineText(const std::string& bytes) {
#ifdef Q_OS_WIN
    return QString::fromStdString(bytes);
#else
    return QFile::decodeName(QByteArray::fromStdString(bytes));
#endif
}

} // namespace zendrow::ui
