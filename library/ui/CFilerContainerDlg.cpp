#include "library/ui/CFilerContainerDlg.h"

#include "base/NamedLocks.h"
#include "library/MovieResource.h"
#include "library/RecordingName.h"
#include "library/ui/CFileListCtrl.h"
#include "library/ui/CFolderTreeCtrl.h"
#include "library/ui/ListPanelArt.h"
#include "ui/AppMessage.h"
#include "ui/CResourceImage.h"
#include "ui/CSkinButton.h"
#include "ui/SharedFonts.h"
#include "ui/UiText.h"

#include <QFontMetrics>
#include <QLineEdit>
#include <QPainter>

#include <algorithm>
#include <cstdio>

namespace kirvano {
namespace {

// Toggle labels in toggle order (Continuous, Impact, Manual, Parking, ParkingImpact).
constexpr int kLabelEntries[CFilerContainerDlg::kFilterCount] = {26, 29, 27, 28, 141};
// Left edges of the toggles in layout 0, and in layout 1 (row, left).
constexpr int kSideBySideLeft[CFilerContainerDlg::kFilterCount] = {3, 48, 93, 175, 220};
constexpr int kStackedLeft[CFilerContainerDlg::kFilterCount] = {5, 87, 157, 5, 87};
constexpr int kStackedTop[CFilerContainerDlg::kFilterCount] = {312, 312, 312, 326, 326};

std::string CountText(int count) {
    const std::string& format = UiText(37); // "%d個"
    const std::size_t at = format.find("%d");
    if (at == std::string::npos)
        return std::to_string(count) + format;
    return format.substr(0, at) + std::to_string(count) + format.substr(at + 2);
}

} // namespace

std::vector<RecordingInfo> ShownByFilter(const std::vector<RecordingInfo>& all,
                                         const std::array<int, 5>& flags) {
    std::vector<RecordingInfo> shown;
    shown.reserve(all.size());
    for (const RecordingInfo& record : all) {
        const std::optional<EventType> type = EventTypeOf(record.name);
        if (!type || flags[static_cast<std::size_t>(*type)] != 0)
            shown.push_back(record);
    }
    return shown;
}

CFilerContainerDlg::CFilerContainerDlg(QWidget* parent)
    : QWidget(parent), cacheLock_(NamedLock("hMutexCache")) {
    watcher_ = std::make_unique<CMovieResource>([this] {
        if (QObject* owner = owner_.load())
            PostAppMessage(owner, WM_APP_SOURCE_LOST);
    });
    source_.setWatchHook([this](const std::string& path) { watcher_->watch(path); });
}

CFilerContainerDlg::~CFilerContainerDlg() {
    watcher_->stop();
}

void CFilerContainerDlg::CreateChildren(QObject* owner) {
    owner_.store(owner);
    if (tree_ != nullptr)
        return;
    setFont(UiFont());
    tree_ = new CFolderTreeCtrl(this);
    list_ = new CFileListCtrl(this);
    pathBox_ = new QLineEdit(this);
    pathBox_->setReadOnly(true);
    pathBox_->setProperty("controlId", kPathBoxId);
    pathBox_->setFont(UiFont());
    pathBox_->hide();
    for (int i = 0; i < kFilterCount; ++i) {
        auto* toggle = new CSkinButton(this, kFirstFilterId + i);
        toggle->SetImage(skin::kCheckBox, 12, 12);
        toggle->resize(12, 12);
        toggle->setCheckable(true);
        toggle->setChecked(true);
        toggle->setFocusPolicy(Qt::NoFocus);
        connect(toggle, &CSkinButton::Command, this, [this, i, toggle](int) {
            SetFilter(i, toggle->isChecked());
            emit FilterChanged(i, filters_[static_cast<std::size_t>(i)] != 0);
        });
        toggles_[static_cast<std::size_t>(i)] = toggle;
    }
    connect(tree_, &CFolderTreeCtrl::ItemSelected, this, &CFilerContainerDlg::OnTreeSelected);
    connect(list_, &CFileListCtrl::RowSelected, this, &CFilerContainerDlg::OnRowSelected);
    connect(list_, &CFileListCtrl::ColumnClicked, this, &CFilerContainerDlg::OnColumnClicked);
    PlaceChildren();
}

bool CFilerContainerDlg::OpenInitialSource(const RemovableVolumes& volumes) {
    const std::lock_guard lock(cacheLock_);
    if (!source_.OpenInitialSource(volumes))
        return false;
    ShowLoadedSource();
    SelectInitialItem();
    update();
    return true;
}

void CFilerContainerDlg::LoadSource(const std::string& path, SourceKind kind) {
    const std::lock_guard lock(cacheLock_);
    source_.LoadSource(path, kind);
    ShowLoadedSource();
}

void CFilerContainerDlg::ShowLoadedSource() {
    if (list_ == nullptr)
        return;
    list_->SetCurrentRow(-1);
    tree_->Rebuild(source_.tree());
    RefreshList();
    if (source_.sourceKind() == SourceKind::File) {
        list_->SetCurrentRow(list_->RowCount() > 0 ? 0 : -1);
        list_->SelectRow(0);
    } else if (const auto first = source_.tree().firstChild(kTreeRoot)) {
        tree_->SelectItem(*first);
    }
    pathBox_->setText(QString::fromStdString(source_.shownPath()));
    update();
}

int CFilerContainerDlg::ExpandTreeItem(TreeItem item, bool quiet) {
    const std::lock_guard lock(cacheLock_);
    const int count = source_.ExpandTreeItem(item, quiet);
    if (tree_ == nullptr)
        return count;
    tree_->RebuildChildren(source_.tree(), item);
    tree_->ExpandToItem(item);
    pathBox_->setText(QString::fromStdString(source_.shownPath()));
    RefreshList();
    if (!quiet)
        update();
    return count;
}

void CFilerContainerDlg::SelectInitialItem() {
    const std::optional<TreeItem> item = source_.SelectInitialItem();
    if (!item || tree_ == nullptr)
        return;
    pathBox_->setText(QString::fromStdString(source_.shownPath()));
    tree_->SelectItem(*item);
}

const std::vector<RecordingInfo>& CFilerContainerDlg::CollectAllRecordings() {
    const std::lock_guard lock(cacheLock_);
    return source_.CollectAllRecordings();
}

void CFilerContainerDlg::RemoveByName(const std::vector<RecordingInfo>& removed) {
    const std::lock_guard lock(cacheLock_);
    kirvano::RemoveByName(source_.recordingList(), removed);
    kirvano::RemoveByName(source_.collected(), removed);
    RefreshList();
}

void CFilerContainerDlg::ResetContent() {
    const std::lock_guard lock(cacheLock_);
    // An empty file source: nothing is scanned and nothing is watched.
    source_.LoadSource(std::string(), SourceKind::File);
    source_.takeProblems();
    if (tree_ == nullptr)
        return;
    tree_->ClearItems();
    list_->SetCurrentRow(-1);
    list_->SetShown({});
    pathBox_->clear();
    update();
}

void CFilerContainerDlg::RefreshList() {
    if (list_ == nullptr)
        return;
    const std::lock_guard lock(cacheLock_);
    list_->SetShown(ShownByFilter(source_.recordingList(), filters_));
    update(CountRect());
}

void CFilerContainerDlg::SetFilter(int classNumber, bool on) {
    if (classNumber < 0 || classNumber >= kFilterCount)
        return;
    const std::lock_guard lock(cacheLock_);
    filters_[static_cast<std::size_t>(classNumber)] = on ? 1 : 0;
    if (CSkinButton* toggle = FilterToggle(classNumber))
        toggle->setChecked(on);
    RefreshList();
    if (list_ != nullptr && list_->RowCount() > 0) {
        list_->SelectRow(0);
        list_->SetCurrentRow(0);
    }
}

bool CFilerContainerDlg::Filter(int classNumber) const {
    return classNumber >= 0 && classNumber < kFilterCount &&
           filters_[static_cast<std::size_t>(classNumber)] != 0;
}

void CFilerContainerDlg::SelectRecording(int index) {
    if (index < 0 || list_ == nullptr)
        return;
    const std::lock_guard lock(cacheLock_);
    if (index < list_->RowCount())
        list_->SetCurrentRow(index);
    list_->SelectRow(index);
}

int CFilerContainerDlg::CurrentIndex() const {
    const std::lock_guard lock(cacheLock_);
    return list_ == nullptr ? -1 : list_->CurrentRow();
}

void CFilerContainerDlg::SetCurrentIndex(int index) {
    const std::lock_guard lock(cacheLock_);
    if (list_ != nullptr)
        list_->SetCurrentRow(index);
}

int CFilerContainerDlg::ItemCount() const {
    return list_ == nullptr ? 0 : list_->RowCount();
}

const std::vector<RecordingInfo>& CFilerContainerDlg::ShownRecordings() const {
    static const std::vector<RecordingInfo> none;
    return list_ == nullptr ? none : list_->Shown();
}

std::string CFilerContainerDlg::PathBoxText() const {
    return pathBox_ == nullptr ? std::string() : pathBox_->text().toStdString();
}

CSkinButton* CFilerContainerDlg::FilterToggle(int classNumber) const {
    if (classNumber < 0 || classNumber >= kFilterCount)
        return nullptr;
    return toggles_[static_cast<std::size_t>(classNumber)];
}

void CFilerContainerDlg::EnableControls(bool enable) {
    if (tree_ == nullptr)
        return;
    tree_->setEnabled(enable);
    list_->setEnabled(enable);
    for (CSkinButton* toggle : toggles_)
        toggle->setEnabled(enable);
}

void CFilerContainerDlg::OnTreeSelected(TreeItem item, TreeItem previous) {
    if (QObject* owner = owner_.load()) {
        AppMessage message(WM_APP_TREE_SELECTED, item, previous);
        QCoreApplication::sendEvent(owner, &message);
    } else {
        ExpandTreeItem(item);
    }
}

void CFilerContainerDlg::OnRowSelected(int row) {
    const std::lock_guard lock(cacheLock_);
    if (row == list_->CurrentRow() && !forceReopen_)
        return;
    forceReopen_ = false;
    list_->SetCurrentRow(row);
    emit RecordingChosen(row);
}

void CFilerContainerDlg::OnColumnClicked() {
    const std::lock_guard lock(cacheLock_);
    RefreshList();
    if (list_->RowCount() > 0) {
        list_->SelectRow(0);
        list_->SetCurrentRow(0);
    }
}

void CFilerContainerDlg::SetLayout(int layout, const QRect& geometry) {
    layout_ = layout == 1 ? 1 : 0;
    if (geometry != this->geometry())
        setGeometry(geometry);
    PlaceChildren();
    update();
}

void CFilerContainerDlg::SetCollapsed(bool collapsed) {
    collapsed_ = collapsed;
    PlaceChildren();
    update();
}

QRect CFilerContainerDlg::ToggleRect(int classNumber) const {
    const auto i = static_cast<std::size_t>(classNumber);
    if (layout_ == 0)
        return QRect(kSideBySideLeft[i], 8, 12, 12);
    return QRect(kStackedLeft[i], kStackedTop[i], 12, 12);
}

QRect CFilerContainerDlg::ToggleLabelRect(int classNumber) const {
    const QRect toggle = ToggleRect(classNumber);
    // Labels start 17 (13 when stacked) right of their toggle, 3 above it.
    return QRect(toggle.left() + (layout_ == 0 ? 17 : 13), toggle.top() - 3, 80, 16);
}

QRect CFilerContainerDlg::CountRect() const {
    const int lineHeight = QFontMetrics(UiFont()).height();
    const int right = width();
    if (layout_ == 0)
        return QRect(QPoint(right - 65, 5), QPoint(right - 5 - 1, 5 + lineHeight - 1));
    return QRect(QPoint(right - 70, 4), QPoint(right - 10 - 1, 4 + lineHeight - 1));
}

void CFilerContainerDlg::PlaceChildren() {
    if (tree_ == nullptr)
        return;
    const int w = width();
    const int h = height();
    if (layout_ == 0) {
        tree_->setGeometry(4, 26, 217, std::max(0, h - 30));
        list_->setGeometry(224, 26, 224, std::max(0, h - 30));
        pathBox_->setGeometry(4, 5, 382, QFontMetrics(UiFont()).height() + 6);
    } else {
        tree_->setGeometry(4, 24, std::max(0, w - 8), 284);
        list_->setGeometry(4, 342, std::max(0, w - 8), std::max(0, h - 346));
        pathBox_->setGeometry(4, 4 + QFontMetrics(UiFont()).height(), std::max(0, w - 8),
                              QFontMetrics(UiFont()).height() + 6);
    }
    for (int i = 0; i < kFilterCount; ++i)
        toggles_[static_cast<std::size_t>(i)]->setGeometry(ToggleRect(i));
    tree_->setVisible(!collapsed_);
    list_->setVisible(!collapsed_);
    for (CSkinButton* toggle : toggles_)
        toggle->setVisible(!collapsed_);
    pathBox_->hide();
}

void CFilerContainerDlg::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlaceChildren();
}

void CFilerContainerDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (collapsed_) {
        const QImage picture = ListArt(listart::kCollapsed, 0, devicePixelRatioF());
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(rect(), picture);
        return;
    }
    painter.fillRect(rect(), kBackground);
    painter.setPen(kFrame);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.setFont(list_ != nullptr ? list_->font() : UiFont());
    painter.setPen(Qt::black);
    painter.drawText(CountRect(), Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine,
                     QString::fromStdString(CountText(ItemCount())));
    // A label longer than the room before the next toggle on its row is drawn a pixel or
    // two smaller, and elided only when that is not enough (English texts).
    const QFont font = painter.font();
    for (int i = 0; i < kFilterCount; ++i) {
        QRect label = ToggleLabelRect(i);
        for (int next = i + 1; next < kFilterCount; ++next) {
            const QRect toggle = ToggleRect(next);
            if (toggle.top() == ToggleRect(i).top() && toggle.left() > label.left()) {
                label.setRight(std::min(label.right(), toggle.left() - 3));
                break;
            }
        }
        const QString text = QString::fromStdString(UiText(kLabelEntries[i]));
        QFont fitted = font;
        for (int shrink = 1;
             shrink <= 2 && QFontMetrics(fitted).horizontalAdvance(text) > label.width(); ++shrink)
            fitted.setPixelSize(QFontInfo(font).pixelSize() - shrink);
        painter.setFont(fitted);
        painter.drawText(label, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         QFontMetrics(fitted).elidedText(text, Qt::ElideRight, label.width()));
    }
    painter.setFont(font);
}

} // namespace kirvano
