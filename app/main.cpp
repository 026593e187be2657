#include "app/CtarnicApp.h"

#include <QApplication>

int main(int argc, char** argv) {
    kirvano::CtarnicApp::PrepareProcess();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kirvano"));
    kirvano::CtarnicApp app;
    app.Run();
    return 0;
}
