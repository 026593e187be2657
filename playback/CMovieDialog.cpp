#include "playback/CMovieDialog.h"

#include "ui/AppMessage.h"
#include "ui/CResourceImage.h"
#include "ui/CSkinButton.h"
#include "ui/CSkinDialog.h"
#include "ui/SharedFonts.h"

#include <QMouseEvent>
#include <QPainter>

namespace kirvano {

CMovieDialog::CMovieDialog(const QString& caption, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint),
      close_(new CSkinButton(this, kCloseCommand)) {
    setWindowTitle(caption);
    setFont(UiFont());
    close_->SetImage(skin::kFrameClose, 13, 12);
    close_->resize(13, 12);
    connect(close_, &CSkinButton::Command, this, [this] { CloseCommand(); });
}

void CMovieDialog::CloseCommand() {
    if (parentWidget())
        PostAppMessage(parentWidget(), WM_APP_DOCK_SUB_VIDEO);
    close();
}

void CMovieDialog::resizeEvent(QResizeEvent*) {
    close_->move(width() - 20, 4);
    update();
}

void CMovieDialog::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int caption = CSkinDialog::kCaptionHeight;
    painter.fillRect(QRect(0, caption, width(), height() - caption), Qt::black);
    painter.fillRect(QRect(0, 0, width(), caption), CSkinDialog::kCaptionColour);
    painter.setPen(CSkinDialog::kCaptionTextColour);
    painter.drawText(QRect(5, 0, close_->x() - 7, caption),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, windowTitle());
    painter.setPen(QColor(0xCF, 0xCF, 0xCF));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    if (parentWidget())
        PostAppMessage(parentWidget(), WM_APP_RELAYOUT_VIDEO);
}

void CMovieDialog::mousePressEvent(QMouseEvent* event) {
    if (!drag_.Press(*this, *event))
        QWidget::mousePressEvent(event);
}

void CMovieDialog::mouseMoveEvent(QMouseEvent* event) {
    if (!drag_.Move(*this, *event))
        QWidget::mouseMoveEvent(event);
}

void CMovieDialog::mouseReleaseEvent(QMouseEvent* event) {
    if (!drag_.Release(*event))
        QWidget::mouseReleaseEvent(event);
}

void CMovieDialog::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->position().y() < CSkinDialog::kCaptionHeight && parentWidget())
        PostAppMessage(parentWidget(), WM_APP_PLACE_SUB_VIDEO);
    QWidget::mouseDoubleClickEvent(event);
}

} // namespace kirvano
