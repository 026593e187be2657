#include "app/CtarnicApp.h"

#include "app/CtarnicDlg.h"

#include <QByteArray>
#include <QDir>
#include <QLibraryInfo>
#include <QtGlobal>

#include <memory>

namespace kirvano {
namespace {

// GTK's file dialogs (the gtk3 platform theme) need GLib's loop. Qt loads that theme, when
// it is installed, if asked to or by default on these desktops.
bool GtkThemeLikely() {
    const QDir themes(QLibraryInfo::path(QLibraryInfo::PluginsPath) +
                      QStringLiteral("/platformthemes"));
    if (themes.entryList({QStringLiteral("*gtk*")}, QDir::Files).isEmpty())
        return false;
    const QByteArray theme = qgetenv("QT_QPA_PLATFORMTHEME").toLower();
    if (!theme.isEmpty())
        return theme.contains("gtk");
    const QByteArray desktop = qgetenv("XDG_CURRENT_DESKTOP").toUpper();
    for (const char* name :
         {"GNOME", "UNITY", "CINNAMON", "MATE", "XFCE", "LXDE", "BUDGIE", "PANTHEON", "DEEPIN"}) {
        if (desktop.contains(name))
            return true;
    }
    return false;
}

} // namespace

void CtarnicApp::PrepareProcess() {
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB") && !GtkThemeLikely())
        qputenv("QT_NO_GLIB", "1");
}

int CtarnicApp::Run() {
    auto dialog = std::make_unique<CtarnicDlg>();
    const int result = dialog->exec();
    // The shared fonts are released with the dialog.
    dialog.reset();
    return result;
}

} // namespace kirvano
