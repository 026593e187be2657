#include "config/ChooseFolder.h"

#include "config/Settings.h"

#include <QFileDialog>
#include <QString>

namespace kirvano {

std::string ChooseFolder(QWidget* owner, std::string_view section, std::string_view key,
                         std::string_view title) {
    std::string initial = ReadSetting(section, key);
    if (initial.empty()) {
        initial = ConfigDirectory();
    }
    const QString chosen = QFileDialog::getExistingDirectory(
        owner, QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())),
        QString::fromStdString(initial), QFileDialog::ShowDirsOnly);
    return chosen.toStdString();
}

} // namespace kirvano
