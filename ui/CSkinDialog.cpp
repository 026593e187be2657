#include "ui/CSkinDialog.h"

#include "ui/CResourceImage.h"
#include "ui/CSkinButton.h"
#include "ui/SharedFonts.h"

#include <QMouseEvent>
#include <QPainter>

namespace kirvano {

CSkinDialog::CSkinDialog(QWidget* parent) : QDialog(parent) {
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setFont(UiFont());
}

void CSkinDialog::SetCaption(const std::string& caption) {
    caption_ = caption;
    setWindowTitle(QString::fromStdString(caption));
    update();
}

void CSkinDialog::SetIcon(const QPixmap& icon) {
    icon_ = icon;
    if (!icon.isNull()) {
        setWindowIcon(QIcon(icon));
    }
    update();
}

void CSkinDialog::SetSkinIcon() {
    QPixmap icon = QPixmap::fromImage(SkinImages().Image(skin::kWindowIcon, 2.0));
    SetIcon(icon);
}

void CSkinDialog::SetBodyColour(const QColor& colour) {
    body_ = colour;
    update();
}

void CSkinDialog::EnableCloseButton(bool enable) {
    if (enable && closeButton_ == nullptr) {
        closeButton_ = new CSkinButton(this, kCloseCommand);
        closeButton_->SetImage(skin::kFrameClose, 20, 20);
        closeButton_->resize(20, 20);
        connect(closeButton_, &CSkinButton::Command, this, [this](int id) { OnCommand(id); });
        closeButton_->move(width() - 20, 0);
        closeButton_->show();
    } else if (!enable && closeButton_ != nullptr) {
        delete closeButton_;
        closeButton_ = nullptr;
    }
}

void CSkinDialog::OnCommand(int commandId) {
    if (commandId == kCloseCommand) {
        reject();
    }
}

void CSkinDialog::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(QRect(0, kCaptionHeight, width(), height() - kCaptionHeight), body_);
    painter.fillRect(QRect(0, 0, width(), kCaptionHeight), kCaptionColour);
    if (!icon_.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(QRect(0, 0, 20, 20), icon_);
    }
    painter.setFont(font());
    painter.setPen(kCaptionTextColour);
    const int right = closeButton_ != nullptr ? width() - 22 : width() - 4;
    painter.drawText(QRect(CaptionTextX(), 0, right - CaptionTextX(), kCaptionHeight),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     QString::fromStdString(caption_));
}

void CSkinDialog::resizeEvent(QResizeEvent* event) {
    if (closeButton_ != nullptr) {
        closeButton_->move(width() - 20, 0);
    }
    QDialog::resizeEvent(event);
}

void CSkinDialog::mousePressEvent(QMouseEvent* event) {
    if (!drag_.Press(*this, *event))
        QDialog::mousePressEvent(event);
}

void CSkinDialog::mouseMoveEvent(QMouseEvent* event) {
    if (!drag_.Move(*this, *event))
        QDialog::mouseMoveEvent(event);
}

void CSkinDialog::mouseReleaseEvent(QMouseEvent* event) {
    if (!drag_.Release(*event))
        QDialog::mouseReleaseEvent(event);
}

} // namespace kirvano
