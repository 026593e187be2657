#include "ui/CMsgDlg.h"

#include "ui/SharedFonts.h"
#include "ui/UiText.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>

#include <algorithm>

namespace kirvano {
namespace {

constexpr int kButtonWidth = 96;
constexpr int kButtonHeight = 28;
constexpr int kButtonGap = 12;
constexpr int kButtonBottom = 26;

QString DisplayText(const std::string& text) {
    QString shown = QString::fromStdString(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}

QString CancelText() {
    return SelectedUiTextColumn() == 1 ? QStringLiteral("Cancel") : QString::fromUtf8("キャンセル");
}

QRect AvailableArea(QWidget* owner) {
    QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
}

const char* kOkStyle = "QPushButton { background: #1d64c8; color: white; border: none; "
                       "border-radius: 3px; } QPushButton:hover { background: #2f78de; } "
                       "QPushButton:pressed { background: #164f9e; }";
const char* kCancelStyle = "QPushButton { background: #e3e6ea; color: #1b1e23; border: none; "
                           "border-radius: 3px; } QPushButton:hover { background: #d2d7de; } "
                           "QPushButton:pressed { background: #bfc5ce; }";

} // namespace

CMsgDlg::CMsgDlg(const std::string& text, const std::string& caption, int type, QWidget* owner)
    : CSkinDialog(owner), text_(text), owner_(owner) {
    setModal(true);
    SetCaption(caption);
    SetBodyColour(Qt::white);
    label_ = new QLabel(DisplayText(text));
    label_->setObjectName(QStringLiteral("text1009"));
    label_->setFont(UiFont());
    label_->setWordWrap(true);
    label_->setTextFormat(Qt::PlainText);
    label_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label_->setStyleSheet(QStringLiteral("QLabel { color: #1b1e23; background: white; }"));
    label_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setObjectName(QStringLiteral("button1"));
    ok_->setFont(UiFont());
    ok_->setStyleSheet(QString::fromLatin1(kOkStyle));
    ok_->setDefault(true);
    ok_->setFocusPolicy(Qt::StrongFocus);
    connect(ok_, &QPushButton::clicked, this, &CMsgDlg::accept);
    if (type == kMbOkCancel) {
        cancel_ = new QPushButton(CancelText(), this);
        cancel_->setObjectName(QStringLiteral("button2"));
        cancel_->setFont(UiFont());
        cancel_->setStyleSheet(QString::fromLatin1(kCancelStyle));
        connect(cancel_, &QPushButton::clicked, this, &CMsgDlg::reject);
    }
    Layout(owner);
}

void CMsgDlg::Layout(QWidget* owner) {
    const QRect area = AvailableArea(owner);
    // A long line wraps at the width the screen allows; a text taller than the screen
    // scrolls. Neither is cut off.
    const int maxTextWidth = std::max(200, area.width() * 4 / 5 - kExtraWidth);
    const int maxTextHeight = std::max(100, area.height() * 4 / 5 - kExtraHeight);
    const QFontMetrics metrics(label_->font());
    const QString shown = label_->text();
    QRect bounds = metrics.boundingRect(QRect(0, 0, maxTextWidth, 100000),
                                        Qt::AlignLeft | Qt::TextWordWrap, shown);
    const int textWidth = std::max(1, bounds.width() + 2);
    int textHeight = std::max(metrics.height(), bounds.height());
    textSize_ = QSize(textWidth, textHeight);

    // Wide enough for the buttons and the caption.
    const int buttons = cancel_ != nullptr ? 2 * kButtonWidth + kButtonGap : kButtonWidth;
    const int captionWidth =
        metrics.horizontalAdvance(QString::fromStdString(Caption())) + CaptionTextX() + 10;
    const int width = std::max({textWidth + kExtraWidth, buttons + 40, captionWidth});

    int shownHeight = textHeight;
    if (textHeight > maxTextHeight) {
        shownHeight = maxTextHeight;
        scroll_ = new QScrollArea(this);
        scroll_->setFrameShape(QFrame::NoFrame);
        scroll_->setWidgetResizable(true);
        scroll_->setStyleSheet(QStringLiteral("QScrollArea { background: white; }"));
        scroll_->setWidget(label_);
        const int bar = scroll_->verticalScrollBar()->sizeHint().width();
        scroll_->setGeometry(kTextLeft, kTextTop, textWidth + bar, shownHeight);
        setFixedSize(width + bar, shownHeight + kExtraHeight);
    } else {
        label_->setParent(this);
        label_->setGeometry(kTextLeft, kTextTop, textWidth, textHeight);
        setFixedSize(width, textHeight + kExtraHeight);
    }

    const int y = height() - kButtonBottom - kButtonHeight;
    int x = (this->width() - buttons) / 2;
    ok_->setGeometry(x, y, kButtonWidth, kButtonHeight);
    if (cancel_ != nullptr) {
        x += kButtonWidth + kButtonGap;
        cancel_->setGeometry(x, y, kButtonWidth, kButtonHeight);
    }
    CentreOverOwner();
}

QRect CMsgDlg::TextRect() const {
    return QRect(QPoint(kTextLeft, kTextTop), scroll_ != nullptr ? scroll_->size() : textSize_);
}

void CMsgDlg::CentreOverOwner() {
    const QRect over =
        owner_ != nullptr ? owner_->window()->frameGeometry() : AvailableArea(nullptr);
    move(over.center() - QPoint(width() / 2, height() / 2));
}

void CMsgDlg::showEvent(QShowEvent* event) {
    CentreOverOwner();
    ok_->setFocus();
    CSkinDialog::showEvent(event);
}

void CMsgDlg::accept() {
    done(kIdOk);
}

void CMsgDlg::reject() {
    done(kIdCancel);
}

int CMsgDlg::Run() {
    const int result = exec();
    return result == kIdOk ? kIdOk : kIdCancel;
}

int CMsgBox::Show(const std::string& text, const std::string& caption, int type) const {
    CMsgDlg dialog(text, caption, type, owner_);
    return dialog.Run();
}

} // namespace kirvano
