// The logo panel: the program's name over a stylised road and map pin; offline, the pin
// is grey and struck through.
#include "map/CLogoDlg.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace kirvano {

CLogoDlg::CLogoDlg(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(452, 368);
}

void CLogoDlg::SetOffline(bool offline) {
    if (offline == offline_)
        return;
    offline_ = offline;
    update();
}

void CLogoDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = rect();
    QLinearGradient sky(r.topLeft(), r.bottomLeft());
    sky.setColorAt(0.0, QColor(0x1c, 0x24, 0x30));
    sky.setColorAt(1.0, QColor(0x0c, 0x10, 0x16));
    p.fillRect(r, sky);

    // A road running into the distance.
    const double cx = r.width() / 2.0;
    const double horizon = r.height() * 0.42;
    QPainterPath road;
    road.moveTo(cx - 8, horizon);
    road.lineTo(cx + 8, horizon);
    road.lineTo(r.width() * 0.86, r.height());
    road.lineTo(r.width() * 0.14, r.height());
    road.closeSubpath();
    p.fillPath(road, QColor(0x2c, 0x33, 0x3d));
    p.setPen(QPen(QColor(0xe8, 0xc5, 0x4a), 3, Qt::DashLine));
    p.drawLine(QPointF(cx, horizon + 86), QPointF(cx, r.height()));

    // A map pin above the road.
    const QColor pin = offline_ ? QColor(0x78, 0x7e, 0x86) : QColor(0xe0, 0x3a, 0x2e);
    QPainterPath marker;
    const QPointF tip(cx, horizon + 20);
    marker.moveTo(tip);
    marker.cubicTo(cx - 14, horizon - 12, cx - 34, horizon - 30, cx - 34, horizon - 56);
    marker.arcTo(QRectF(cx - 34, horizon - 90, 68, 68), 180, -180);
    marker.cubicTo(cx + 34, horizon - 30, cx + 14, horizon - 12, tip.x(), tip.y());
    p.setPen(Qt::NoPen);
    p.setBrush(pin);
    p.drawPath(marker);
    p.setBrush(QColor(0x1c, 0x24, 0x30));
    p.drawEllipse(QPointF(cx, horizon - 56), 13, 13);
    if (offline_) {
        p.setPen(QPen(QColor(0xd0, 0xd4, 0xda), 5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(cx - 44, horizon - 96), QPointF(cx + 44, horizon + 22));
    }

    QFont font = p.font();
    font.setPixelSize(30);
    font.setBold(true);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 4);
    p.setFont(font);
    p.setPen(QColor(0xf2, 0xf4, 0xf7));
    p.drawText(QRectF(0, horizon + 40, r.width(), 40), Qt::AlignCenter, "KIRVANO");
}

} // namespace kirvano
