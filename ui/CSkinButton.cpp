#include "ui/CSkinButton.h"

#include "ui/CResourceImage.h"
#include "ui/SharedFonts.h"

#include <QEnterEvent>
#include <QKeyEvent>
#include <QPainter>

namespace kirvano {

CSkinButton::CSkinButton(QWidget* parent, int commandId)
    : QAbstractButton(parent), commandId_(commandId) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover, false);
    connect(this, &QAbstractButton::clicked, this, [this] { emit Command(commandId_); });
}

void CSkinButton::SetImage(int resourceId, int width, int height) {
    imageId_ = resourceId;
    imageSize_ = QSize(width, height);
    updateGeometry();
    update();
}

void CSkinButton::SetHidden(bool hidden) {
    if (hidden_ != hidden) {
        hidden_ = hidden;
        update();
    }
}

void CSkinButton::SetForcedPressed(bool pressed) {
    if (forcedPressed_ != pressed) {
        forcedPressed_ = pressed;
        update();
    }
}

void CSkinButton::SetGreyed(bool greyed) {
    if (greyed_ != greyed) {
        greyed_ = greyed;
        update();
    }
}

void CSkinButton::SetHovered(bool hovered) {
    if (hovered_ != hovered) {
        hovered_ = hovered;
        update();
    }
}

int CSkinButton::StateIndex() const {
    if (hidden_) {
        return -1;
    }
    if (greyed_) {
        return 1;
    }
    if (!isEnabled()) {
        return 3;
    }
    if (isDown() || isChecked() || forcedPressed_) {
        return 2;
    }
    return 0;
}

int CSkinButton::ImageIndex() const {
    const int index = StateIndex();
    // The pointer over an enabled button shows the hover image until the button is pressed.
    if (index >= 0 && index != 3 && hovered_ && !isDown()) {
        return 1;
    }
    return index;
}

QSize CSkinButton::sizeHint() const {
    return imageSize_;
}

void CSkinButton::paintEvent(QPaintEvent*) {
    const int index = ImageIndex();
    if (index < 0) {
        return;
    }
    QPainter painter(this);
    SkinImages().Draw(painter, imageId_, index, QRectF(QPointF(0, 0), QSizeF(imageSize_)));
}

void CSkinButton::enterEvent(QEnterEvent* event) {
    SetHovered(true);
    QAbstractButton::enterEvent(event);
}

void CSkinButton::leaveEvent(QEvent* event) {
    SetHovered(false);
    QAbstractButton::leaveEvent(event);
}

void CSkinButton::keyPressEvent(QKeyEvent* event) {
    event->accept();
}

void CSkinButton::keyReleaseEvent(QKeyEvent* event) {
    event->accept();
}

void CSkinButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        hovered_ = false;
    }
    QAbstractButton::changeEvent(event);
}

CSkinCheckButton::CSkinCheckButton(QWidget* parent, int commandId)
    : CSkinButton(parent, commandId) {
    setCheckable(true);
    setChecked(true);
    setMouseTracking(true);
    SetImage(skin::kCheckBox, 12, 12);
    setFont(UiFont());
}

void CSkinCheckButton::SetTextColour(const QColor& colour) {
    textColour_ = colour;
    update();
}

QSize CSkinCheckButton::sizeHint() const {
    const QFontMetrics metrics(font());
    return QSize(16 + metrics.horizontalAdvance(text()) + 2, std::max(20, metrics.height()));
}

void CSkinCheckButton::paintEvent(QPaintEvent*) {
    const int index = ImageIndex();
    if (index < 0) {
        return;
    }
    QPainter painter(this);
    SkinImages().Draw(painter, ImageId(), index, QRectF(BoxRect()));
    painter.setFont(font());
    painter.setPen(isEnabled() ? textColour_ : QColor(109, 109, 109));
    const QRect textRect(16, 0, width() - 16, 20);
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
}

void CSkinCheckButton::enterEvent(QEnterEvent* event) {
    SetHovered(isEnabled() && BoxRect().contains(event->position().toPoint()));
    QAbstractButton::enterEvent(event);
}

void CSkinCheckButton::mouseMoveEvent(QMouseEvent* event) {
    SetHovered(isEnabled() && BoxRect().contains(event->position().toPoint()));
    QAbstractButton::mouseMoveEvent(event);
}

} // namespace kirvano
