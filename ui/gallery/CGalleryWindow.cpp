#include "ui/gallery/CGalleryWindow.h"

#include "ui/CLapTimeArea.h"
#include "ui/CMovieMenu.h"
#include "ui/CMsgDlg.h"
#include "ui/CResourceImage.h"
#include "ui/CSkinButton.h"
#include "ui/CSkinProgressBarCtrl.h"
#include "ui/CSkinSliderCtrl.h"
#include "ui/SharedFonts.h"
#include "ui/UiText.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace kirvano {
namespace {

struct ToolRole {
    int image;
    int tooltip;
};

constexpr ToolRole kTools[] = {
    {skin::kToStart, 20},    {skin::kPrevious, 13}, {skin::kPlay, 12},
    {skin::kPause, 11},      {skin::kSlower, 17},   {skin::kFaster, 4},
    {skin::kNext, 9},        {skin::kSnapshot, 19}, {skin::kJoin, 1},
    {skin::kZoom, 21},       {skin::kOpen, 10},     {skin::kDelete, 3},
    {skin::kSettings, 16},   {skin::kCsv, 2},       {skin::kSwapCameras, 153},
    {skin::kMapSwitch, 156},
};

QLabel* Caption(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(TheSharedFonts().Font(0));
    label->setStyleSheet(QStringLiteral("color: #aab2bd;"));
    return label;
}

QLabel* Heading(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(TheSharedFonts().Font(2));
    label->setStyleSheet(QStringLiteral("color: #f4f6f9;"));
    return label;
}

// A button in one of the states the gallery shows.
enum class Look { Normal, Hover, Pressed, Checked, Forced, Disabled, Hidden };

CSkinButton* MakeButton(QWidget* parent, int image, QSize size, Look look) {
    auto* button = new CSkinButton(parent);
    button->SetImage(image, size.width(), size.height());
    button->setFixedSize(size);
    switch (look) {
    case Look::Normal:
        break;
    case Look::Hover:
        button->SetGreyed(true); // the hover image
        break;
    case Look::Pressed:
        button->setDown(true);
        break;
    case Look::Checked:
        button->setCheckable(true);
        button->setChecked(true);
        break;
    case Look::Forced:
        button->SetForcedPressed(true);
        break;
    case Look::Disabled:
        button->setEnabled(false);
        break;
    case Look::Hidden:
        button->SetHidden(true);
        break;
    }
    return button;
}

QPixmap Snapshot(QWidget& widget, qreal ratio) {
    QPixmap pixmap(widget.size() * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    widget.render(&pixmap, QPoint(), QRegion(), QWidget::DrawChildren);
    return pixmap;
}

QLabel* PictureOf(const QPixmap& pixmap, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setPixmap(pixmap);
    return label;
}

void PressSlider(CSkinSliderCtrl* slider, int x) {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(x, 5), slider->mapToGlobal(QPointF(x, 5)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(slider, &press);
}

} // namespace

CGalleryWindow::CGalleryWindow(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Kirvano skin gallery"));
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(63, 63, 63));
    setPalette(palette);
    const qreal ratio = qApp->devicePixelRatio();

    auto* top = new QHBoxLayout(this);
    top->setContentsMargins(16, 12, 16, 16);
    top->setSpacing(28);

    // Left column: the tool and caption buttons in every state.
    auto* left = new QVBoxLayout;
    left->addWidget(Heading(QStringLiteral("Buttons"), this));
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(4);
    const Look looks[] = {Look::Normal, Look::Hover,    Look::Pressed, Look::Checked,
                          Look::Forced, Look::Disabled, Look::Hidden};
    const char* lookNames[] = {"normal", "hover",    "pressed", "checked",
                               "forced", "disabled", "hidden"};
    for (int c = 0; c < 7; ++c) {
        grid->addWidget(Caption(QString::fromLatin1(lookNames[c]), this), 0, c + 1,
                        Qt::AlignHCenter);
    }
    int row = 1;
    for (const ToolRole& tool : kTools) {
        grid->addWidget(Caption(QStringLiteral("%1  %2")
                                    .arg(tool.image)
                                    .arg(QString::fromStdString(UiText(tool.tooltip))),
                                this),
                        row, 0);
        for (int c = 0; c < 7; ++c) {
            CSkinButton* button = MakeButton(this, tool.image, QSize(32, 32), looks[c]);
            button->setToolTip(QString::fromStdString(UiText(tool.tooltip)));
            grid->addWidget(button, row, c + 1, Qt::AlignHCenter);
        }
        ++row;
    }
    const struct {
        int image;
        QSize size;
        int text;
    } captions[] = {{skin::kCaptionClose, {46, 18}, 0},
                    {skin::kCaptionLayout, {26, 18}, 7},
                    {skin::kCaptionMinimise, {26, 18}, 137},
                    {skin::kFrameClose, {20, 20}, 81}};
    for (const auto& caption : captions) {
        grid->addWidget(Caption(QStringLiteral("%1  %2")
                                    .arg(caption.image)
                                    .arg(QString::fromStdString(UiText(caption.text))),
                                this),
                        row, 0);
        for (int c = 0; c < 7; ++c) {
            grid->addWidget(MakeButton(this, caption.image, caption.size, looks[c]), row, c + 1,
                            Qt::AlignHCenter);
        }
        ++row;
    }
    left->addLayout(grid);
    left->addStretch(1);
    top->addLayout(left);

    // Right column: check buttons, sliders, progress bars, dialog, menu, text area.
    auto* right = new QVBoxLayout;
    right->setSpacing(8);
    right->addWidget(Heading(QStringLiteral("Check buttons"), this));
    auto* checks = new QGridLayout;
    const struct {
        const char* name;
        int text;
    } checkLooks[] = {{"checked", 65}, {"unchecked", 66}, {"greyed", 67}, {"disabled", 116}};
    for (int i = 0; i < 4; ++i) {
        auto* check = new CSkinCheckButton(this);
        check->setText(QString::fromStdString(UiText(checkLooks[i].text)));
        check->setFixedSize(check->sizeHint().width() + 8, 20);
        if (i == 1) {
            check->SetCheck(false);
        } else if (i == 2) {
            check->SetGreyed(true);
        } else if (i == 3) {
            check->setEnabled(false);
        }
        checks->addWidget(Caption(QString::fromLatin1(checkLooks[i].name), this), i / 2,
                          (i % 2) * 2);
        checks->addWidget(check, i / 2, (i % 2) * 2 + 1);
    }
    right->addLayout(checks);

    right->addWidget(Heading(QStringLiteral("Sliders"), this));
    auto* sliders = new QGridLayout;
    sliders->setVerticalSpacing(10);
    const struct {
        const char* name;
        bool volume;
        int minimum;
        int maximum;
        int position;
        bool pressed;
    } slides[] = {{"seek 0", false, 0, 1799, 0, false},
                  {"seek 40 %", false, 0, 1799, 720, false},
                  {"seek end", false, 0, 1799, 1799, false},
                  {"seek pressed", false, 0, 1799, 1200, true},
                  {"min = max", false, 5, 5, 5, false},
                  {"volume 75 %", true, 0, 65535, 49151, false},
                  {"volume pressed", true, 0, 65535, 20000, true}};
    int srow = 0;
    for (const auto& s : slides) {
        auto* slider = new CSkinSliderCtrl(this, s.volume ? 38101 : 38100);
        if (s.volume) {
            slider->SetImages(skin::kVolumeFilled, skin::kVolumeEmpty, skin::kVolumeThumb,
                              skin::kVolumeThumbPressed);
        }
        slider->setFixedSize(320, CSkinSliderCtrl::kHeight);
        slider->SetRange(s.minimum, s.maximum);
        slider->SetPos(s.position);
        if (s.pressed) {
            const long long x =
                static_cast<long long>(s.position - s.minimum) * 320 / (s.maximum - s.minimum + 1);
            PressSlider(slider, static_cast<int>(x) + 1);
        }
        sliders->addWidget(Caption(QString::fromLatin1(s.name), this), srow, 0);
        sliders->addWidget(slider, srow, 1, Qt::AlignVCenter);
        ++srow;
    }
    right->addLayout(sliders);

    right->addWidget(Heading(QStringLiteral("Progress bar"), this));
    auto* bars = new QGridLayout;
    const struct {
        const char* name;
        int minimum;
        int maximum;
        int position;
    } progress[] = {
        {"0", 0, 100, 0}, {"50", 0, 100, 50}, {"100", 0, 100, 100}, {"min = max", 7, 7, 7}};
    int prow = 0;
    for (const auto& p : progress) {
        auto* bar = new CSkinProgressBarCtrl(this);
        bar->setFixedSize(320, CSkinProgressBarCtrl::kHeight);
        bar->SetRange(p.minimum, p.maximum);
        bar->SetPos(p.position);
        bars->addWidget(Caption(QString::fromLatin1(p.name), this), prow, 0);
        bars->addWidget(bar, prow, 1);
        ++prow;
    }
    right->addLayout(bars);

    right->addWidget(Heading(QStringLiteral("Message dialog, popup menu, frame"), this));
    auto* windows = new QHBoxLayout;
    windows->setSpacing(16);
    {
        CMsgDlg question(UiText(93), UiText(106), kMbOkCancel);
        question.ensurePolished();
        windows->addWidget(PictureOf(Snapshot(question, ratio), this), 0, Qt::AlignTop);
    }
    {
        CMovieMenu menu;
        menu.AppendTextItem(38002, 86);
        menu.AppendTextItem(38000, 90);
        menu.AppendSeparator();
        menu.AppendTextItem(38013, 153);
        menu.AppendSeparator();
        menu.AppendTextItem(38006, 89, false);
        menu.AppendTextItem(38011, 87);
        menu.AppendSeparator();
        menu.AppendTextItem(38009, 84, false);
        menu.ensurePolished();
        menu.resize(menu.sizeHint());
        if (QAction* active = menu.FindItem(38000)) {
            menu.setActiveAction(active);
        }
        windows->addWidget(PictureOf(Snapshot(menu, ratio), this), 0, Qt::AlignTop);
    }
    {
        CSkinDialog frame;
        frame.SetCaption(UiText(152));
        frame.SetSkinIcon();
        frame.EnableCloseButton(true);
        frame.resize(200, 120);
        windows->addWidget(PictureOf(Snapshot(frame, ratio), this), 0, Qt::AlignTop);
    }
    windows->addStretch(1);
    right->addLayout(windows);

    {
        CMsgDlg error(UiText(158), "ERROR", kMbOk);
        error.ensurePolished();
        right->addWidget(PictureOf(Snapshot(error, ratio), this), 0, Qt::AlignLeft);
    }

    right->addWidget(Heading(QStringLiteral("Icon, cursor, text area"), this));
    auto* misc = new QHBoxLayout;
    misc->setSpacing(16);
    for (int id : {skin::kWindowIcon, skin::kCursor}) {
        QPixmap pixmap = QPixmap::fromImage(SkinImages().Image(id, ratio));
        misc->addWidget(PictureOf(pixmap, this));
    }
    {
        COffScreenDC surface(QSize(330, 32), ratio);
        surface.Painter().fillRect(QRect(0, 0, 330, 32), QColor(63, 63, 63).darker(130));
        CLapTimeArea area;
        area.Bind(surface, TheSharedFonts().Font(3));
        surface.Painter().drawText(QRect(8, 0, 322, 32), Qt::AlignVCenter,
                                   QStringLiteral("2026/12/09 05:30:12  48 km/h"));
        misc->addWidget(PictureOf(QPixmap::fromImage(surface.Image()), this));
    }
    misc->addStretch(1);
    right->addLayout(misc);
    right->addStretch(1);
    top->addLayout(right);
}

QImage CGalleryWindow::Render(qreal ratio) {
    QImage image(size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(QColor(63, 63, 63));
    render(&image);
    return image;
}

} // namespace kirvano
