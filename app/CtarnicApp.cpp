#include "app/CtarnicApp.h"

#include "app/CtarnicDlg.h"

#include <QByteArray>
#include <QtGlobal>

#include <memory>

namespace kirvano {
namespace {

// GTK's file dialogs (the gtk3 platform theme) need GLib's loop. Qt loads that theme when
// asked to, or by default on these desktops.
bool GtkThemeLikely() {
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
