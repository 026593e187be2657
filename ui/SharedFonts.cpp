#include "ui/SharedFonts.h"

#include "ui/UiText.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace kirvano {
namespace {

SharedFonts& Fonts() {
    static SharedFonts fonts;
    return fonts;
}

} // namespace

int SharedFonts::PixelHeight(int points, qreal dpiX, qreal dpiY) {
    if (dpiX <= 0 || dpiY <= 0) {
        dpiX = dpiY = 96;
    }
    const double scaled = points / (dpiX / 96.0);
    return std::max(1, static_cast<int>(std::lround(scaled * dpiY / 72.0)));
}

QStringList SharedFonts::Families() {
    QStringList families;
    const QString face = QString::fromStdString(UiText(113));
    if (!face.isEmpty()) {
        families << face;
    }
    families << QStringLiteral("Meiryo") << QStringLiteral("Noto Sans CJK JP")
             << QStringLiteral("Noto Sans JP") << QStringLiteral("IPAexGothic")
             << QStringLiteral("VL Gothic") << QStringLiteral("Sans Serif");
    return families;
}

void SharedFonts::Create(qreal dpiX, qreal dpiY) {
    for (std::size_t i = 0; i < fonts_.size(); ++i) {
        QFont font;
        font.setFamilies(Families());
        font.setPixelSize(PixelHeight(kPoints[i], dpiX, dpiY));
        font.setStyleHint(QFont::SansSerif);
        fonts_[i] = font;
    }
    created_ = true;
}

const QFont& SharedFonts::Font(int index) const {
    if (index < 0 || index >= static_cast<int>(fonts_.size())) {
        index = 1;
    }
    return fonts_[static_cast<std::size_t>(index)];
}

const SharedFonts& TheSharedFonts() {
    SharedFonts& fonts = Fonts();
    if (!fonts.IsCreated()) {
        qreal dpiX = 96;
        qreal dpiY = 96;
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            dpiX = screen->logicalDotsPerInchX();
            dpiY = screen->logicalDotsPerInchY();
        }
        fonts.Create(dpiX, dpiY);
    }
    return fonts;
}

void CreateSharedFonts(qreal dpiX, qreal dpiY) {
    Fonts().Create(dpiX, dpiY);
}

const QFont& UiFont() {
    return TheSharedFonts().Panel();
}

} // namespace kirvano
