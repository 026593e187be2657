#include "views/CInfoDlg.h"

#include "ui/AppMessage.h"
#include "ui/CResourceImage.h"
#include "ui/CSkinButton.h"
#include "ui/SharedFonts.h"
#include "ui/UiText.h"
#include "views/InfoText.h"
#include "views/ViewImages.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

namespace kirvano {
namespace {

constexpr int kGroupWidth = 178; // date, speed and event picture, left of the docked strip
constexpr int kGroupMinLeft = 380;
constexpr int kInnerGap = 8;

const QFont& ValueFont() {
    return TheSharedFonts().Font(2);
}

const QFont& SpeedFont() {
    return TheSharedFonts().Font(3);
}

} // namespace

CInfoDlg::CInfoDlg(QWidget* parent, QObject* owner)
    : QWidget(parent), owner_(owner != nullptr ? owner : parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFont(UiFont());
    for (int n = 0; n < 3; ++n) {
        auto* button = new CSkinButton(this, kFirstToggleId + n);
        button->SetImage(skin::kCheckBox, kToggleSize, kToggleSize);
        button->setCheckable(true);
        button->setChecked(true);
        button->setFont(UiFont());
        button->setGeometry(kFirstTogglePos.x() + n * kTogglePitch, kFirstTogglePos.y(),
                            kToggleSize, kToggleSize);
        button->setObjectName(QStringLiteral("toggle%1").arg(kFirstToggleId + n));
        // The button's own check state is driven by the panel's flag, not by the click.
        connect(button, &CSkinButton::clicked, this, [this, n] { OnToggle(n); });
        toggles_[static_cast<std::size_t>(n)] = button;
    }
}

void CInfoDlg::Clear() {
    values_ = InfoValues{};
    dateText_.reset();
    repaint();
}

void CInfoDlg::SetValues(const InfoValues& values) {
    // Called on every position update; the paint waits for the event loop. Only the boxes
    // whose text or picture changes are painted, and only texts whose values changed are
    // made (the frame changes far more often than the second, the speed or a G value).
    auto text = [this](int n) { return n < 3 ? GText(n) : n == 3 ? DateText() : SpeedText(); };
    const std::array<bool, 5> touched{values.gx != values_.gx, values.gy != values_.gy,
                                      values.gz != values_.gz, values.frame != values_.frame,
                                      values.gpsValid != values_.gpsValid ||
                                          values.speed != values_.speed};
    std::array<QString, 5> before;
    for (int n = 0; n < 5; ++n) {
        if (touched[static_cast<std::size_t>(n)])
            before[static_cast<std::size_t>(n)] = n == 3 && dateText_ ? *dateText_ : text(n);
    }
    const int iconBefore = values_.eventIcon;
    values_ = values;
    for (int n = 0; n < 5; ++n) {
        if (!touched[static_cast<std::size_t>(n)])
            continue;
        const QString now = text(n);
        if (n == 3)
            dateText_ = now;
        if (before[static_cast<std::size_t>(n)] != now)
            update(n < 3 ? ValueRect(n) : n == 3 ? DateRect() : SpeedRect());
    }
    if (values_.eventIcon != iconBefore) {
        update(IconRect());
    }
}

void CInfoDlg::SetSample(const TelemetrySample* sample, std::int32_t frame) {
    InfoValues v;
    v.eventIcon = values_.eventIcon;
    v.frame = frame;
    if (sample != nullptr) {
        v.gx = sample->x;
        v.gy = sample->y;
        v.gz = sample->z;
        v.status = sample->status;
        if (sample->position != nullptr && sample->position->gps_valid != 0) {
            v.gpsValid = true;
            v.speed = sample->position->speed;
        }
    }
    SetValues(v);
}

void CInfoDlg::SetEventIcon(int icon) {
    values_.eventIcon = icon;
    repaint();
}

void CInfoDlg::SetStartTime(const CivilTime& start) {
    start_ = start;
    dateText_.reset();
    update(DateRect());
}

void CInfoDlg::SetFrameDuration(float ms) {
    frameDurationMs_ = ms;
    dateText_.reset();
    update(DateRect());
}

void CInfoDlg::SetRateLetter(char rate) {
    timeLapse_ = TimeLapseAfterRate(timeLapse_, rate);
    dateText_.reset();
    update(DateRect());
}

bool CInfoDlg::AxisShown(int n) const {
    return n >= 0 && n < 3 && axisShown_[static_cast<std::size_t>(n)];
}

void CInfoDlg::SetAxisShown(int n, bool shown) {
    if (n < 0 || n >= 3) {
        return;
    }
    axisShown_[static_cast<std::size_t>(n)] = shown;
    toggles_[static_cast<std::size_t>(n)]->setChecked(shown);
}

QAbstractButton* CInfoDlg::ToggleButton(int n) const {
    return n >= 0 && n < 3 ? toggles_[static_cast<std::size_t>(n)] : nullptr;
}

void CInfoDlg::OnToggle(int n) {
    const bool shown = !axisShown_[static_cast<std::size_t>(n)];
    SetAxisShown(n, shown);
    if (owner_ != nullptr) {
        PostAppMessage(owner_, WM_APP_GRAPH_SETTING, n, shown ? 1 : 0);
    }
}

void CInfoDlg::SetDockWidth(int width) {
    dockWidth_ = std::max(0, width);
    if (docked_ != nullptr) {
        docked_->setGeometry(DockRect());
    }
    update();
}

QRect CInfoDlg::DockRect() const {
    return QRect(width() - dockWidth_, 0, dockWidth_, height());
}

void CInfoDlg::SetDockedWidget(QWidget* video) {
    docked_ = video;
    if (docked_ != nullptr) {
        if (docked_->parentWidget() != this) {
            docked_->setParent(this);
        }
        docked_->setGeometry(DockRect());
        docked_->show();
    }
}

void CInfoDlg::resizeEvent(QResizeEvent*) {
    if (docked_ != nullptr && docked_->parentWidget() == this) {
        docked_->setGeometry(DockRect());
    }
}

int CInfoDlg::GroupRight() const {
    return width() - dockWidth_ - kInnerGap;
}

int CInfoDlg::GroupLeft() const {
    return std::max(kGroupMinLeft, GroupRight() - kGroupWidth);
}

int CInfoDlg::UnitWidth() const {
    // Asked on every speed change; measuring text means shaping it.
    if (unitWidth_ < 0)
        unitWidth_ = QFontMetrics(font()).horizontalAdvance(QString::fromLatin1(kSpeedUnit)) + 2;
    return unitWidth_;
}

void CInfoDlg::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange)
        unitWidth_ = -1;
    QWidget::changeEvent(event);
}

QRect CInfoDlg::HeadingRect(int n) const {
    return QRect(kFirstTogglePos.x() + n * kTogglePitch, 2, kHeadingWidth, kHeadingHeight);
}

QRect CInfoDlg::ValueRect(int n) const {
    const int left = kFirstTogglePos.x() + kToggleSize + 4 + n * kTogglePitch;
    return QRect(left, kHeadingHeight + 2, kTogglePitch - kToggleSize - 12, 34);
}

QRect CInfoDlg::DateRect() const {
    return QRect(GroupLeft(), 4, GroupRight() - GroupLeft(), 20);
}

QRect CInfoDlg::SpeedRect() const {
    return QRect(GroupLeft(), 26, GroupRight() - GroupLeft() - UnitWidth(), 52);
}

QRect CInfoDlg::UnitRect() const {
    return QRect(GroupLeft(), 56, GroupRight() - GroupLeft(), 22);
}

QRect CInfoDlg::IconRect() const {
    return QRect(GroupLeft() + 6, 40, viewpic::kEventIconSize, viewpic::kEventIconSize);
}

namespace {
QString Text(const std::optional<std::string>& text) {
    return text ? QString::fromStdString(*text) : QString();
}
} // namespace

QString CInfoDlg::DateText() const {
    return Text(FrameTimeText(start_, values_.frame, frameDurationMs_, timeLapse_));
}

QString CInfoDlg::SpeedText() const {
    return Text(kirvano::SpeedText(values_.gpsValid, values_.speed, unit_));
}

QString CInfoDlg::UnitText() const {
    return QString::fromLatin1(SpeedUnitText(unit_));
}

void CInfoDlg::SetSpeedUnit(SpeedUnit unit) {
    unit_ = unit;
    update();
}

QString CInfoDlg::GText(int n) const {
    const std::array<double, 3> g{values_.gx, values_.gy, values_.gz};
    return n >= 0 && n < 3 ? Text(GValueText(g[static_cast<std::size_t>(n)])) : QString();
}

void CInfoDlg::paintEvent(QPaintEvent* event) {
    if (width() <= 0 || height() <= 0) {
        return;
    }
    // Every box clips its text to itself, so a box outside the painted region is skipped.
    const QRegion& area = event->region();
    QPainter p(this);
    p.fillRect(rect(), kBackground);
    p.setPen(QColor(43, 48, 56));
    p.drawLine(0, 0, width() - dockWidth_ - 1, 0);

    // Headings and G values.
    for (int n = 0; n < 3; ++n) {
        if (area.intersects(HeadingRect(n))) {
            p.setFont(font());
            p.setPen(kHeadingColours[n]);
            p.drawText(HeadingRect(n), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                       QString::fromStdString(UiText(kHeadingEntries[n])));
        }
        if (!area.intersects(ValueRect(n))) {
            continue;
        }
        const QString text = GText(n);
        p.setFont(ValueFont());
        p.setPen(text.isEmpty() ? kPlaceholderColour : kTextColour);
        p.drawText(ValueRect(n), Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine,
                   text.isEmpty() ? QString::fromLatin1(kGValuePlaceholder) : text);
    }

    // Date and time.
    if (area.intersects(DateRect())) {
        const QString date = DateText();
        p.setFont(font());
        p.setPen(date.isEmpty() ? kPlaceholderColour : kTextColour);
        p.drawText(DateRect(), Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine,
                   date.isEmpty() ? QString::fromLatin1(kDateTimePlaceholder) : date);
    }

    // Speed and its unit.
    const QString speed = area.intersects(SpeedRect()) ? SpeedText() : QString();
    if (!speed.isEmpty()) {
        p.setFont(SpeedFont());
        p.setPen(kTextColour);
        p.drawText(SpeedRect(), Qt::AlignRight | Qt::AlignBottom | Qt::TextSingleLine, speed);
    }
    if (area.intersects(UnitRect())) {
        p.setFont(font());
        p.setPen(kTextColour);
        p.drawText(UnitRect(), Qt::AlignRight | Qt::AlignBottom | Qt::TextSingleLine, UnitText());
    }

    // Event picture.
    if (values_.eventIcon >= 1 && values_.eventIcon <= viewpic::kEventIconCount) {
        const qreal ratio = devicePixelRatioF();
        const QImage& strip = ViewPicture(viewpic::kEventIcons, ratio);
        const int s = viewpic::kEventIconSize;
        const QRectF source((values_.eventIcon - 1) * s * ratio, 0, s * ratio, s * ratio);
        p.drawImage(QRectF(IconRect()), strip, source);
    }
}

} // namespace kirvano
