// The application object: runs the main window modally and returns its result.
#pragma once

namespace kirvano {

class CtarnicApp {
public:
    // Call before the QApplication exists: chooses Qt's own event loop over GLib's (the
    // process runs no GLib sources of its own, and Qt's loop costs less per wake-up while
    // frames arrive). An explicit QT_NO_GLIB in the environment is left as it is.
    static void PrepareProcess();
    // Needs a QApplication; returns the dialog's result code.
    int Run();
};

} // namespace kirvano
