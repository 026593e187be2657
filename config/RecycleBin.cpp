// Moving a file to the desktop's trash, the one place where the core uses Qt: kept apart so
// that programs which never retire a recording do not load QtCore.
#include "config/Settings.h"

#include <QFile>
#include <QStandardPaths>
#include <QString>

#include <filesystem>

namespace kirvano {

bool MoveToRecycleBin(std::string_view path) {
    if (path.empty()) {
        return false;
    }
    // The trash in the user's data folder must exist beforehand: where that folder is
    // missing, QFile::moveToTrash reports success after moving the file into a "files"
    // folder under the current directory.
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (!dataHome.isEmpty()) {
        std::error_code ec;
        for (const char* sub : {"/Trash/files", "/Trash/info"}) {
            const std::filesystem::path dir = (dataHome + QLatin1String(sub)).toStdString();
            if (std::filesystem::create_directories(dir, ec)) {
                std::filesystem::permissions(dir.parent_path(), std::filesystem::perms::owner_all,
                                             ec);
            }
        }
    }
    const QString name = QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()));
    QString inTrash;
    if (!QFile::moveToTrash(name, &inTrash)) {
        return false;
    }
    if (!inTrash.startsWith(QLatin1Char('/'))) {
        // Not a trash at all: put the file back and report the failure.
        QFile::rename(inTrash, name);
        return false;
    }
    return true;
}

} // namespace kirvano
