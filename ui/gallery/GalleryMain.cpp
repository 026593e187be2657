// kirvano-gallery: every skinned control in every state on one window.
// kirvano-gallery --render FILE.png writes the window at the screen's pixel ratio and exits
// (QT_SCALE_FACTOR=2 gives the high-DPI rendering).
#include "ui/CResourceImage.h"
#include "ui/gallery/CGalleryWindow.h"

#include <QApplication>
#include <QImage>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    kirvano::InitSkinResources();
    kirvano::CGalleryWindow window;
    window.adjustSize();
    const QStringList args = QApplication::arguments();
    const qsizetype at = args.indexOf(QStringLiteral("--render"));
    if (at >= 0) {
        if (at + 1 >= args.size()) {
            std::fprintf(stderr, "usage: kirvano-gallery [--render FILE.png]\n");
            return 2;
        }
        window.show();
        QApplication::processEvents();
        const QImage image = window.Render(app.devicePixelRatio());
        if (!image.save(args[at + 1], "PNG")) {
            std::fprintf(stderr, "kirvano-gallery: cannot write %s\n", qPrintable(args[at + 1]));
            return 1;
        }
        return 0;
    }
    window.show();
    return app.exec();
}
