#include "update/CUpdateDialog.h"

#include "config/Settings.h"
#include "ui/SharedFonts.h"
#include "ui/UiText.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLibraryInfo>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QUrl>

namespace kirvano {
namespace {

constexpr std::string_view kDefaultRuntimePage =
    "https://packages.debian.org/bookworm/libqt6webenginecore6";

const char* kCloseStyle = "QPushButton { background: #e3e6ea; color: #1b1e23; border: none; "
                          "border-radius: 3px; } QPushButton:hover { background: #d2d7de; } "
                          "QPushButton:pressed { background: #bfc5ce; }";

QString Escaped(const std::string& text) {
    QString html = QString::fromStdString(text).toHtmlEscaped();
    html.replace(QStringLiteral("\r\n"), QStringLiteral("<br>"));
    html.replace(QLatin1Char('\n'), QStringLiteral("<br>"));
    html.replace(QLatin1Char('\r'), QStringLiteral("<br>"));
    return html;
}

} // namespace

CUpdateDialog::CUpdateDialog(const NoticeText& notice, const std::string& title)
    : CSkinDialog(nullptr) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    SetCaption(title);
    setFont(UiFont());

    link_ = new QLabel(LinkHtml(notice), this);
    link_->setObjectName(QStringLiteral("link%1").arg(kLinkControl));
    link_->setFont(UiFont());
    link_->setTextFormat(Qt::RichText);
    link_->setWordWrap(true);
    link_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    link_->setOpenExternalLinks(false);
    link_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::TextSelectableByMouse);
    link_->setStyleSheet(QStringLiteral("QLabel { color: #1b1e23; background: transparent; }"));
    connect(link_, &QLabel::linkActivated, this, &CUpdateDialog::OpenLink);

    close_ = new QPushButton(QString::fromStdString(UiText(0)), this);
    close_->setObjectName(QStringLiteral("button2"));
    close_->setFont(UiFont());
    close_->setStyleSheet(QString::fromLatin1(kCloseStyle));
    close_->setAutoDefault(false);
    connect(close_, &QPushButton::clicked, this, [this] { OnCommand(2); });

    setFixedSize(kWidth, kHeight);
    PlaceControls();
    // Centred on the work area of the screen nearest the window's top-left corner.
    QScreen* screen = QGuiApplication::screenAt(pos());
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    if (screen != nullptr) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(kWidth / 2, kHeight / 2));
    }
}

QString CUpdateDialog::LinkHtml(const NoticeText& notice) {
    QString html = QStringLiteral("<div style=\"white-space: pre-wrap;\">");
    for (const NoticePiece& piece : notice) {
        if (piece.link.empty()) {
            html += Escaped(piece.text);
        } else {
            html +=
                QStringLiteral("<a href=\"%1\">%2</a>")
                    .arg(QString::fromStdString(piece.link).toHtmlEscaped(), Escaped(piece.text));
        }
    }
    return html + QStringLiteral("</div>");
}

void CUpdateDialog::PlaceControls() {
    link_->setGeometry(10, 30, width() - 20, height() - 80);
    close_->setGeometry(width() - 110, height() - 40, 100, 30);
}

void CUpdateDialog::resizeEvent(QResizeEvent* event) {
    CSkinDialog::resizeEvent(event);
    PlaceControls();
}

void CUpdateDialog::paintEvent(QPaintEvent* event) {
    CSkinDialog::paintEvent(event);
    QPainter painter(this);
    painter.fillRect(QRect(0, 0, width(), height() - kBottomBand), Qt::white);
}

void CUpdateDialog::OnCommand(int commandId) {
    if (commandId == 2 || commandId == kCloseCommand) {
        closed_ = true;
        done(2);
    }
}

void CUpdateDialog::OpenLink(const QString& address) {
    const QUrl url(address, QUrl::StrictMode);
    // Only web addresses: the link control never starts a local program.
    if (url.isValid() &&
        (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https")))
        QDesktopServices::openUrl(url);
}

void RunMapRuntimeNotice() {
    std::string page = ReadSetting("UPDATE", "RUNTIME_PAGE");
    if (page.empty())
        page = kDefaultRuntimePage;
    CUpdateDialog notice(ComposeRuntimeNotice(page), UiText(157));
    notice.exec();
}

bool MapComponentInstalled() {
    QString helper = qEnvironmentVariable("QTWEBENGINEPROCESS_PATH");
    if (helper.isEmpty()) {
        helper = QLibraryInfo::path(QLibraryInfo::LibraryExecutablesPath) +
                 QStringLiteral("/QtWebEngineProcess");
    }
    const QFileInfo info(helper);
    return info.isFile() && info.isExecutable();
}

} // namespace kirvano
