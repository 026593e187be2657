#include "app/CtarnicApp.h"

#include "app/CtarnicDlg.h"

#include <memory>

namespace kirvano {

int CtarnicApp::Run() {
    auto dialog = std::make_unique<CtarnicDlg>();
    const int result = dialog->exec();
    // The shared fonts are released with the dialog.
    dialog.reset();
    return result;
}

} // namespace kirvano
