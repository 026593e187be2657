// Where the main window's children sit (layout 0, logical pixels), the sub camera docked
// at the info panel's right edge or floating beside the main video, the video rectangles
// of both players, and moving the frameless window by any free point.
#include "app/CtarnicDlg.h"

#include "library/ui/CFilerContainerDlg.h"
#include "playback/CMovieDialog.h"
#include "playback/CMovieStatic.h"
#include "ui/CSkinButton.h"
#include "ui/CSkinProgressBarCtrl.h"
#include "ui/CSkinSliderCtrl.h"
#include "views/CGSensorDlg.h"
#include "views/CInfoDlg.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

namespace kirvano {

namespace {

// Layout 0.
constexpr QRect kMainVideo{6, 24, 656, 369};
constexpr int kSliderHeight = 10;
constexpr int kInfoHeight = 85;
constexpr int kDockedStripWidth = 98;
constexpr int kMapWidth = 452;
constexpr int kMapHeight = 368;
constexpr int kToolButtonSize = 32;
constexpr int kToolButtonPitch = 47;
constexpr int kToolButtonTopFromBottom = 35;
constexpr int kProgressBarHeight = 22;
constexpr int kDragRows = 24;
constexpr QSize kFloatingSize{452, 274};
constexpr QRect kFloatingVideo{1, 20, 450, 253};

QRect InfoPanelRect() {
    return {kMainVideo.left(), kMainVideo.bottom() + 1 + kSliderHeight, kMainVideo.width(),
            kInfoHeight};
}

} // namespace

void CtarnicDlg::LayOut() {
    const QRect client = rect();
    videoWindows_[mainCamera_]->setGeometry(kMainVideo);
    seekSlider_->setGeometry(kMainVideo.left(), kMainVideo.bottom() + 1, kMainVideo.width(),
                             kSliderHeight);
    listPanel_->SetLayout(0, QRect(kMainVideo.right() + 1, kMainVideo.top() + kMapHeight, kMapWidth,
                                   client.height() - 40 - (kMainVideo.top() + kMapHeight)));
    infoDlg_->setGeometry(InfoPanelRect());
    infoDlg_->SetDockWidth(kDockedStripWidth);
    // The graph from 95 below the video down to 135 above the client bottom.
    const int graphTop = kMainVideo.bottom() + 1 + 95;
    graphDlg_->setGeometry(kMainVideo.left(), graphTop, kMainVideo.width(),
                           client.height() - 135 - graphTop);
    progressBar_->setGeometry(kMainVideo.left(), kMainVideo.bottom() + 1 - kProgressBarHeight,
                              kMainVideo.width(), kProgressBarHeight);

    // Tool buttons: the first nine from 20, the rest from 50 (a gap of 30 after the ninth).
    const int top = client.height() - kToolButtonTopFromBottom;
    int lastRight = 0;
    for (std::size_t i = 0; i < toolButtons_.size(); ++i) {
        const int left = (i < 9 ? 20 : 50) + static_cast<int>(i) * kToolButtonPitch;
        toolButtons_[i]->setGeometry(left, top, kToolButtonSize, kToolButtonSize);
        lastRight = left + kToolButtonSize;
    }
    // The volume slider stands 120 beyond the last button's right edge.
    volumeSlider_->setGeometry(lastRight + 120, client.height() - 30, 100, 20);

    // Caption buttons: close, layout, minimise, from the right.
    captionButtons_[0]->setGeometry(client.width() - 56, 0, 46, 18);
    captionButtons_[1]->setGeometry(client.width() - 82, 0, 26, 18);
    captionButtons_[2]->setGeometry(client.width() - 108, 0, 26, 18);

    LayOutVideoWindows();
}

void CtarnicDlg::LayOutVideoWindows() {
    CMovieStatic* main = videoWindows_[mainCamera_];
    if (infoDlg_->DockedWidget() == main)
        infoDlg_->SetDockedWidget(nullptr);
    if (main->parentWidget() != this)
        main->setParent(this);
    main->setGeometry(kMainVideo);
    main->show();
    main->lower(); // under the progress bar
    if (SubVideoFloating()) {
        CMovieStatic* sub = videoWindows_[subCamera_];
        if (infoDlg_->DockedWidget() == sub)
            infoDlg_->SetDockedWidget(nullptr);
        if (sub->parentWidget() != movieDialog_)
            sub->setParent(movieDialog_);
        sub->setGeometry(kFloatingVideo);
        sub->show();
    } else {
        DockSubVideo();
    }
    ApplyVideoRects();
}

void CtarnicDlg::DockSubVideo() {
    // The docked strip lies at the info panel's right edge, the panel's height.
    infoDlg_->SetDockedWidget(videoWindows_[subCamera_]);
}

bool CtarnicDlg::SubVideoFloating() const {
    return movieDialog_ != nullptr && movieDialog_->isVisible();
}

void CtarnicDlg::PlaceFloatingSubVideo() {
    movieDialog_->resize(kFloatingSize);
    const QPoint corner = mapToGlobal(QPoint(kMainVideo.right() + 1, kMainVideo.top()));
    if (QGuiApplication::screenAt(corner) != nullptr)
        movieDialog_->move(corner);
    movieDialog_->show();
    LayOutVideoWindows();
}

void CtarnicDlg::ApplyVideoRects() {
    for (int slot = 0; slot < 2; ++slot) {
        if (playerPresent_[slot])
            engines_[slot]->RefreshView();
    }
}

void CtarnicDlg::OnRelayoutVideo(const AppMessage&) {
    ApplyVideoRects();
}

void CtarnicDlg::OnDockSubVideo(const AppMessage&) {
    movieDialog_->hide();
    LayOutVideoWindows();
}

void CtarnicDlg::OnPlaceSubVideo(const AppMessage&) {
    PlaceFloatingSubVideo();
}

void CtarnicDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0x1d, 0x22, 0x2a));
    painter.setPen(QColor(0xcf, 0xd6, 0xe0));
    painter.drawText(QRect(10, 0, 400, kDragRows), Qt::AlignVCenter | Qt::AlignLeft, windowTitle());
}

void CtarnicDlg::mousePressEvent(QMouseEvent* event) {
    // Every free point is caption: the window moves with the mouse.
    if (event->button() != Qt::LeftButton)
        return QDialog::mousePressEvent(event);
    if (windowHandle() != nullptr && windowHandle()->startSystemMove())
        return;
    dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void CtarnicDlg::mouseMoveEvent(QMouseEvent* event) {
    if (dragOffset_ && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - *dragOffset_);
}

void CtarnicDlg::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        dragOffset_.reset();
    QDialog::mouseReleaseEvent(event);
}

} // namespace kirvano
