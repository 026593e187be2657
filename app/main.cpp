#include "app/CtarnicApp.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kirvano"));
    kirvano::CtarnicApp app;
    app.Run();
    return 0;
}
