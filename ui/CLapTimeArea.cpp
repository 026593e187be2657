#include "ui/CLapTimeArea.h"

namespace kirvano {

CLapTimeArea::~CLapTimeArea() {
    if (previousFont_ && context_ != nullptr && context_->IsValid()) {
        context_->Painter().setFont(*previousFont_);
    }
    previousFont_.reset();
}

void CLapTimeArea::Bind(COffScreenDC& context, const QFont& font) {
    if (!context.IsValid()) {
        return;
    }
    // A second binding keeps the font from before the first.
    if (previousFont_ && context_ != &context && context_ != nullptr && context_->IsValid()) {
        context_->Painter().setFont(*previousFont_);
        previousFont_.reset();
    }
    context_ = &context;
    background_ = QColor(63, 63, 63);
    text_ = QColor(255, 255, 255);
    QPainter& painter = context.Painter();
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.setBackground(background_);
    painter.setPen(text_);
    if (!previousFont_) {
        previousFont_ = painter.font();
    }
    painter.setFont(font);
}

} // namespace kirvano
