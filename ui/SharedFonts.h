// The five fonts every window shares: the user-interface face (text table entry 113) at
// 9, 10, 13, 17 and 22 points, sized for the screen's logical resolution.
#pragma once

#include <QFont>
#include <QStringList>

#include <array>

namespace kirvano {

class SharedFonts {
public:
    static constexpr std::array<int, 5> kPoints = {9, 10, 13, 17, 22};

    // Creates the fonts for a screen of the given logical dots per inch.
    void Create(qreal dpiX, qreal dpiY);
    bool IsCreated() const { return created_; }
    // Font `index` (0..4, in the order of kPoints); the 10-point font for another index.
    const QFont& Font(int index) const;
    // The font of the panels and dialogs (10 points).
    const QFont& Panel() const { return Font(1); }

    // Pixel height of a font of `points`: the points are divided by the horizontal scale
    // (dpiX / 96) and converted with the vertical resolution.
    static int PixelHeight(int points, qreal dpiX, qreal dpiY);
    // The face list: the configured face first, then installed Japanese faces.
    static QStringList Families();

private:
    std::array<QFont, 5> fonts_;
    bool created_ = false;
};

// The process-wide fonts, created on first use from the primary screen.
const SharedFonts& TheSharedFonts();
// Re-creates them, for the main window's start-up and for tests.
void CreateSharedFonts(qreal dpiX, qreal dpiY);
// The shared panel font.
const QFont& UiFont();

} // namespace kirvano
