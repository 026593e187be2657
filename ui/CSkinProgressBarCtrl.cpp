#include "ui/CSkinProgressBarCtrl.h"

#include "ui/SharedFonts.h"

#include <QPainter>

#include <algorithm>

namespace kirvano {

CSkinProgressBarCtrl::CSkinProgressBarCtrl(QWidget* parent) : QWidget(parent) {
    setAccessibleName(QStringLiteral("progress bar"));
    setFont(UiFont());
    resize(300, kHeight);
}

void CSkinProgressBarCtrl::SetRange(int minimum, int maximum) {
    minimum_ = std::min(minimum, maximum);
    maximum_ = std::max(minimum, maximum);
    position_ = std::clamp(position_, minimum_, maximum_);
    update();
}

void CSkinProgressBarCtrl::SetPos(int position) {
    position_ = std::clamp(position, minimum_, maximum_);
    update();
}

int CSkinProgressBarCtrl::FilledWidth() const {
    if (maximum_ == minimum_) {
        return 0;
    }
    const long long done = static_cast<long long>(position_) - minimum_;
    return static_cast<int>(done * width() / (static_cast<long long>(maximum_) - minimum_));
}

QString CSkinProgressBarCtrl::Text() const {
    return QStringLiteral("%1 %").arg(maximum_ == minimum_ ? 0 : position_);
}

void CSkinProgressBarCtrl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int filled = FilledWidth();
    const QRect fillRect(0, 0, filled, height());
    const QRect emptyRect(filled, 0, width() - filled, height());
    painter.fillRect(fillRect, kFill);
    painter.fillRect(emptyRect, kEmpty);
    painter.setFont(font());
    const QRect box(width() / 2 - kTextBoxWidth / 2, 0, kTextBoxWidth, height());
    const QString text = Text();
    painter.setClipRect(fillRect);
    painter.setPen(kEmpty);
    painter.drawText(box, Qt::AlignCenter | Qt::TextSingleLine, text);
    painter.setClipRect(emptyRect);
    painter.setPen(kFill);
    painter.drawText(box, Qt::AlignCenter | Qt::TextSingleLine, text);
}

} // namespace kirvano
