// Where the main window's children sit in the current layout (logical pixels, from the
// layout table), the sub camera docked at the info panel's right edge or floating beside
// the main video, the video rectangles of both players with their click zoom, and moving
// the frameless window by any free point.
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
#include <QTimer>

namespace kirvano {

namespace {

constexpr int kDragRows = 24;

QRect ToQRect(const LayoutRect& r) {
    return {r.x, r.y, r.width, r.height};
}

} // namespace

QRect CtarnicDlg::MainVideoRect() const {
    if (fullScreen_)
        return rect();
    return ToQRect(LayoutFor(layoutMode_, kWidth, kHeight).mainVideo);
}

QRect CtarnicDlg::MapPlace() const {
    const MainLayout layout = LayoutFor(layoutMode_, kWidth, kHeight);
    if (fullScreen_ || !layout.mapShown)
        return {};
    return ToQRect(layout.mapPlace);
}

void CtarnicDlg::LayOut() {
    if (!screensWatch_) {
        // A monitor that goes away may take the window (or its full screen) with it.
        screensWatch_ = connect(qApp, &QGuiApplication::screenRemoved, this, [this](QScreen*) {
            QTimer::singleShot(0, this, [this] { OnScreensChanged(); });
        });
    }
    const MainLayout layout = LayoutFor(layoutMode_, width(), height());
    seekSlider_->setGeometry(ToQRect(layout.seekSlider));
    seekSlider_->show();
    infoDlg_->setGeometry(ToQRect(layout.infoPanel));
    infoDlg_->SetDockWidth(layout.dockedStripWidth);
    infoDlg_->show();
    // The graph keeps the place of layout 0; the larger videos would cover it, so the
    // other layouts hide it.
    graphDlg_->setGeometry(ToQRect(layout.graph));
    graphDlg_->setVisible(layout.graphShown);
    if (layout.listShown)
        listPanel_->SetLayout(layout.listForm, ToQRect(layout.list));
    listPanel_->setVisible(layout.listShown);
    progressBar_->setGeometry(ToQRect(layout.progressBar));

    for (std::size_t i = 0; i < toolButtons_.size(); ++i) {
        const ToolButtonPlace& place = layout.toolButtons[i];
        if (place.kind != ToolButtonPlace::Kind::Kept)
            toolButtons_[i]->setGeometry(ToQRect(place.rect));
    }
    volumeSlider_->setGeometry(ToQRect(layout.volumeSlider));
    volumeSlider_->show();
    captionButtons_[0]->setGeometry(ToQRect(layout.closeButton));
    captionButtons_[1]->setGeometry(ToQRect(layout.layoutButton));
    captionButtons_[2]->setGeometry(ToQRect(layout.minimiseButton));
    for (CSkinButton* button : captionButtons_)
        button->show();

    LayOutVideoWindows();
    RefreshMapPlace();
}

void CtarnicDlg::LayOutVideoWindows() {
    CMovieStatic* main = videoWindows_[mainCamera_];
    if (infoDlg_->DockedWidget() == main)
        infoDlg_->SetDockedWidget(nullptr);
    if (main->parentWidget() != this)
        main->setParent(this);
    main->setGeometry(MainVideoRect());
    main->show();
    main->lower(); // under the progress bar
    CMovieStatic* sub = videoWindows_[subCamera_];
    if (SubVideoFloating()) {
        if (infoDlg_->DockedWidget() == sub)
            infoDlg_->SetDockedWidget(nullptr);
        if (sub->parentWidget() != movieDialog_)
            sub->setParent(movieDialog_);
        sub->setGeometry(ToQRect(kFloatingVideo));
        sub->show();
    } else {
        DockSubVideo();
    }
    for (int slot = 0; slot < 2; ++slot) {
        const QPoint centre = ZoomCentreOf(slot);
        zoom_[slot].centre = {centre.x(), centre.y()};
    }
    ApplyVideoRects();
}

QPoint CtarnicDlg::ZoomCentreOf(int slot) const {
    if (slot == mainCamera_ && !fullScreen_) {
        const LayoutPoint centre = LayoutFor(layoutMode_, kWidth, kHeight).mainZoomCentre;
        return {centre.x, centre.y};
    }
    const QWidget* window = videoWindows_[slot];
    return {window->width() / 2, window->height() / 2};
}

void CtarnicDlg::DockSubVideo() {
    // The docked strip lies at the info panel's right edge, the panel's height.
    const MainLayout layout = LayoutFor(layoutMode_, kWidth, kHeight);
    if (subOffsetsFloating_) {
        // The offsets shrink with the picture into the docked strip.
        ScaleSubOffsets(zoom_[subCamera_], true, layout, layout.dockedStripWidth,
                        layout.infoPanel.height);
        subOffsetsFloating_ = false;
    }
    infoDlg_->SetDockWidth(layout.dockedStripWidth);
    infoDlg_->SetDockedWidget(videoWindows_[subCamera_]);
}

bool CtarnicDlg::SubVideoFloating() const {
    return movieDialog_ != nullptr && movieDialog_->isVisible();
}

void CtarnicDlg::PlaceFloatingSubVideo() {
    const MainLayout layout = LayoutFor(layoutMode_, kWidth, kHeight);
    if (!subOffsetsFloating_) {
        // The offsets found in the docked strip grow back to the floating window's.
        ScaleSubOffsets(zoom_[subCamera_], false, layout, layout.dockedStripWidth,
                        layout.infoPanel.height);
        subOffsetsFloating_ = true;
    }
    movieDialog_->resize(kFloatingWindow.width, kFloatingWindow.height);
    const QRect video = MainVideoRect();
    const QPoint corner = mapToGlobal(QPoint(video.right() + 1, video.top()));
    if (QGuiApplication::screenAt(corner) != nullptr)
        movieDialog_->move(corner);
    movieDialog_->show();
    LayOutVideoWindows();
}

void CtarnicDlg::ApplyVideoRects() {
    for (int slot = 0; slot < 2; ++slot) {
        if (!playerPresent_[slot])
            continue;
        const ZoomView view = ViewOfZoom(zoom_[slot]);
        if (!engines_[slot]->SetView(view.zoom, view.centreX, view.centreY, view.panX, view.panY,
                                     true)) {
            // A view the window cannot hold (a zoom turned inside out) shows the whole
            // picture again.
            ResetZoom(slot);
            engines_[slot]->SetView(1.0f, zoom_[slot].centre.x, zoom_[slot].centre.y, 0, 0, true);
        }
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

void CtarnicDlg::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0x1d, 0x22, 0x2a));
    // The title is laid out only when its row is painted (a child under it, e.g. the seek
    // slider, repaints the window beneath it on every position update).
    const QRect title(10, 0, 400, kDragRows);
    if (event->region().intersects(title)) {
        painter.setPen(QColor(0xcf, 0xd6, 0xe0));
        painter.drawText(title, Qt::AlignVCenter | Qt::AlignLeft, windowTitle());
    }
    if (fullScreen_)
        return;
    // The main video's sunken edge, two pixels around it: dark above and left, light below
    // and right.
    const QRect video = MainVideoRect();
    const QRect outer = video.adjusted(-2, -2, 1, 1);
    const QRect inner = video.adjusted(-1, -1, 0, 0);
    const auto edge = [&painter](const QRect& r, const QColor& dark, const QColor& light) {
        painter.setPen(dark);
        painter.drawLine(r.topLeft(), r.topRight());
        painter.drawLine(r.topLeft(), r.bottomLeft());
        painter.setPen(light);
        painter.drawLine(r.bottomLeft(), r.bottomRight());
        painter.drawLine(r.topRight(), r.bottomRight());
    };
    edge(outer, QColor(0x0b, 0x0e, 0x12), QColor(0x3a, 0x42, 0x4e));
    edge(inner, QColor(0x05, 0x06, 0x08), QColor(0x2a, 0x31, 0x3b));
}

void CtarnicDlg::mousePressEvent(QMouseEvent* event) {
    // Every free point is caption: the window moves with the mouse.
    if (!drag_.Press(*this, *event))
        QDialog::mousePressEvent(event);
}

void CtarnicDlg::mouseMoveEvent(QMouseEvent* event) {
    drag_.Move(*this, *event);
}

void CtarnicDlg::mouseReleaseEvent(QMouseEvent* event) {
    drag_.Release(*event);
    QDialog::mouseReleaseEvent(event);
}

} // namespace kirvano
