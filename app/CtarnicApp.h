// The application object: runs the main window modally and returns its result.
#pragma once

namespace kirvano {

class CtarnicApp {
public:
    // Needs a QApplication; returns the dialog's result code.
    int Run();
};

} // namespace kirvano
