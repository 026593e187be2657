#include "ui/CMovieMenu.h"

#include "ui/SharedFonts.h"
#include "ui/UiText.h"

#include <QPaintEvent>
#include <QPainter>

namespace kirvano {

CMovieMenu::CMovieMenu(QWidget* parent) : QMenu(parent) {
    setFont(UiFont());
    // Item sizes come from the style; the style sheet only gives them room.
    setStyleSheet(QStringLiteral("QMenu { background: #2b3038; border: 1px solid #3a404a; "
                                 "padding: 3px 0px; } QMenu::item { padding: 5px 28px 5px 16px; "
                                 "} QMenu::separator { height: 7px; }"));
    connect(this, &QMenu::triggered, this, [this](QAction* action) {
        if (action->isEnabled()) {
            emit Command(action->data().toInt());
        }
    });
}

QAction* CMovieMenu::AppendItem(int commandId, const std::string& text, bool enabled) {
    QAction* action = addAction(QString::fromStdString(text));
    action->setData(commandId);
    action->setEnabled(enabled);
    return action;
}

QAction* CMovieMenu::AppendTextItem(int commandId, int uiTextEntry, bool enabled) {
    return AppendItem(commandId, UiText(uiTextEntry), enabled);
}

void CMovieMenu::AppendSeparator() {
    addSeparator();
}

QAction* CMovieMenu::FindItem(int commandId) const {
    for (QAction* action : actions()) {
        if (!action->isSeparator() && action->data().toInt() == commandId) {
            return action;
        }
    }
    return nullptr;
}

int CMovieMenu::Track(const QPoint& screenPos) {
    QAction* chosen = exec(screenPos);
    if (chosen == nullptr || !chosen->isEnabled() || chosen->isSeparator()) {
        return 0;
    }
    return chosen->data().toInt();
}

QSize CMovieMenu::sizeHint() const {
    QSize size = QMenu::sizeHint();
    return size.expandedTo(QSize(160, 0));
}

void CMovieMenu::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    painter.setPen(QColor(58, 64, 74));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.setFont(font());
    for (QAction* action : actions()) {
        const QRect r = actionGeometry(action);
        if (r.isEmpty() || !action->isVisible()) {
            continue;
        }
        if (action->isSeparator()) {
            painter.setPen(QColor(74, 80, 90));
            const int y = r.center().y();
            painter.drawLine(r.left() + 8, y, r.right() - 8, y);
            continue;
        }
        const bool active = action == activeAction() && action->isEnabled();
        if (active) {
            painter.fillRect(QRect(2, r.top(), width() - 4, r.height()), kHighlight);
        }
        painter.setPen(action->isEnabled() ? kText : kGrayText);
        painter.drawText(r.adjusted(16, 0, -8, 0), Qt::AlignLeft | Qt::AlignVCenter,
                         action->text());
    }
}

} // namespace kirvano
