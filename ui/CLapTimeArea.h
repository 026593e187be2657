// The text set-up of an off-screen surface: transparent text background, white text and the
// user-interface font, with the surface's earlier font put back when the area goes away.
// The surface must outlive the area that is bound to it.
#pragma once

#include "ui/COffScreenDC.h"

#include <QColor>
#include <QFont>

#include <optional>

namespace kirvano {

class CLapTimeArea {
public:
    CLapTimeArea() = default;
    virtual ~CLapTimeArea();
    CLapTimeArea(const CLapTimeArea&) = delete;
    CLapTimeArea& operator=(const CLapTimeArea&) = delete;

    // Prepares `context` for text drawing with `font`; remembers the font it had.
    void Bind(COffScreenDC& context, const QFont& font);

    QColor BackgroundColour() const { return background_; }
    QColor TextColour() const { return text_; }
    bool HoldsPreviousFont() const { return previousFont_.has_value(); }

private:
    COffScreenDC* context_ = nullptr;
    std::optional<QFont> previousFont_;
    QColor background_{63, 63, 63};
    QColor text_{255, 255, 255};
};

} // namespace kirvano
