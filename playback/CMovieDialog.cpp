#include "playback/CMovieDialog.h"

#include "ui/AppMessage.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

namespace kirvano {

CMovieDialog::CMovieDialog(const QString& caption, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint), close_(new QPushButton(this)) {
    setWindowTitle(caption);
    close_->setFixedSize(13, 12);
    close_->setFlat(true);
    close_->setText(QStringLiteral("×"));
    connect(close_, &QPushButton::clicked, this, [this] { CloseCommand(); });
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
    painter.fillRect(rect(), Qt::black);
    painter.setPen(QColor(0xCF, 0xCF, 0xCF));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    if (parentWidget())
        PostAppMessage(parentWidget(), WM_APP_RELAYOUT_VIDEO);
}

void CMovieDialog::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->position().y() < 20 && parentWidget())
        PostAppMessage(parentWidget(), WM_APP_PLACE_SUB_VIDEO);
    QWidget::mouseDoubleClickEvent(event);
}

} // namespace kirvano
