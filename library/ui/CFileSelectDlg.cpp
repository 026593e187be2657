#include "library/ui/CFileSelectDlg.h"

#include "ui/CMsgDlg.h"
#include "ui/UiText.h"

#include <QBrush>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace kirvano {
namespace {

constexpr std::int64_t kMebibyte = std::int64_t{1} << 20;

// A join offers movies only: the extension (from the last dot) contains ".MOV".
bool IsMovieForJoin(const RecordingInfo& record) {
    const auto dot = record.name.rfind('.');
    if (dot == std::string::npos)
        return false;
    std::string extension = record.name.substr(dot);
    for (char& c : extension)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return extension.find(".MOV") != std::string::npos;
}

bool KeepFirst(std::vector<RecordingInfo>& target, const std::vector<RecordingInfo>& source) {
    const std::size_t count = std::min(source.size(), FileSelection::kMaxRecordings);
    target.assign(source.begin(), source.begin() + static_cast<std::ptrdiff_t>(count));
    return source.size() <= FileSelection::kMaxRecordings;
}

} // namespace

bool FileSelection::SetListed(const std::vector<RecordingInfo>& recordings) {
    return KeepFirst(listed_, recordings);
}

bool FileSelection::SetAll(const std::vector<RecordingInfo>& recordings) {
    return KeepFirst(all_, recordings);
}

void FileSelection::SetShowAll(bool on) {
    showAll_ = on;
    Refill();
}

void FileSelection::SetTickAll(bool on) {
    tickAll_ = on;
    Refill();
}

void FileSelection::Refill() {
    rows_.clear();
    // A join never offers the whole source: its show-all toggle is hidden.
    const auto& source = showAll_ && mode_ != kJoin ? all_ : listed_;
    for (const RecordingInfo& record : source) {
        if (mode_ == kJoin && !IsMovieForJoin(record))
            continue;
        rows_.push_back(record);
    }
    ticks_.assign(rows_.size(), tickAll_);
    Recompute();
}

void FileSelection::SetTick(std::size_t row, bool ticked) {
    if (row >= rows_.size() || ticks_[row] == ticked)
        return;
    const long r = static_cast<long>(row);
    if (mode_ != kJoin || first_ < 0) {
        ticks_[row] = ticked;
        Recompute();
        return;
    }
    auto set = [&](long from, long to, bool value) {
        for (long i = from; i <= to; ++i)
            ticks_[static_cast<std::size_t>(i)] = value;
    };
    if (ticked) {
        if (r < first_)
            set(r, first_, true);
        else if (r >= after_)
            set(after_, r, true);
    } else if (r == first_) {
        ticks_[row] = false;
    } else if (r > first_ && r < after_) {
        set(r, after_ - 1, false);
    }
    Recompute();
}

std::size_t FileSelection::TickedCount() const {
    return static_cast<std::size_t>(std::count(ticks_.begin(), ticks_.end(), true));
}

void FileSelection::Recompute() {
    const long count = static_cast<long>(rows_.size());
    first_ = -1;
    after_ = count;
    for (long i = 0; i < count; ++i) {
        if (ticks_[static_cast<std::size_t>(i)]) {
            first_ = i;
            break;
        }
    }
    if (first_ >= 0) {
        after_ = first_ + 1;
        while (after_ < count && ticks_[static_cast<std::size_t>(after_)])
            ++after_;
    }
    std::int64_t front = 0, rear = 0, data = 0;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (!ticks_[i])
            continue;
        front += std::max<std::int64_t>(rows_[i].frontSize, 0);
        rear += std::max<std::int64_t>(rows_[i].rearSize, 0);
        data += std::max<std::int64_t>(rows_[i].dataSize, 0);
    }
    totalBytes_ = front + rear + data;
    sizeOver_ =
        mode_ == kJoin && front / kMebibyte + rear / kMebibyte + data / kMebibyte > kJoinLimitMb;
    tooMany_ = mode_ == kJoin && TickedCount() > kJoinMaxRows;
}

std::string FileSelection::TotalText() const {
    char text[40];
    std::snprintf(text, sizeof text, "%lld MB", static_cast<long long>(totalBytes_ / kMebibyte));
    return text;
}

int FileSelection::OkRefusal() const {
    if (sizeOver_)
        return 139;
    if (tooMany_)
        return 142;
    return 0;
}

std::vector<RecordingInfo> FileSelection::Result() const {
    std::vector<RecordingInfo> result;
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (ticks_[i])
            result.push_back(rows_[i]);
    return result;
}

std::string FileSelection::SizeText(std::int64_t bytes) {
    char text[40];
    std::snprintf(text, sizeof text, "%llu MB",
                  static_cast<unsigned long long>(std::max<std::int64_t>(bytes, 0) / kMebibyte));
    return text;
}

CFileSelectDlg::CFileSelectDlg(FileSelection::Mode mode, QWidget* owner)
    : CSkinDialog(owner), selection_(mode) {
    const bool join = mode == FileSelection::kJoin;
    SetCaption(UiText(join ? 44 : 47));
    setWindowTitle(QString::fromStdString(Caption()));
    SetBodyColour(Qt::white);
    message_ = [this](const std::string& text, const std::string& caption, bool okCancel) {
        return CMsgBox(this).Show(text, caption, okCancel ? kMbOkCancel : kMbOk) == kIdOk;
    };

    list_ = new QTreeWidget(this);
    list_->setObjectName(QString::number(kListControl));
    list_->setRootIsDecorated(false);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setColumnCount(3);
    list_->setHeaderLabels({QString::fromStdString(UiText(50)), QString::fromStdString(UiText(151)),
                            QString::fromStdString(UiText(152))});
    list_->header()->setStretchLastSection(false);
    list_->setColumnWidth(0, 270);
    list_->setColumnWidth(1, 105);
    list_->setColumnWidth(2, 105);
    list_->headerItem()->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    list_->headerItem()->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    connect(list_, &QTreeWidget::itemChanged, this, &CFileSelectDlg::OnItemChanged);

    showAll_ = new QCheckBox(QString::fromStdString(UiText(56)), this);
    showAll_->setObjectName(QString::number(kShowAllControl));
    showAll_->setVisible(!join);
    tickAll_ = new QCheckBox(QString::fromStdString(UiText(55)), this);
    tickAll_->setObjectName(QString::number(kTickAllControl));
    connect(showAll_, &QCheckBox::toggled, this, [this](bool on) {
        selection_.SetShowAll(on);
        ShowRows();
    });
    connect(tickAll_, &QCheckBox::toggled, this, [this](bool on) {
        selection_.SetTickAll(on);
        ShowRows();
    });

    total_ = new QLabel(this);
    total_->setObjectName(QString::number(kTotalControl));
    ok_ = new QPushButton(QString::fromStdString(UiText(join ? 45 : 47)), this);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &CFileSelectDlg::accept);

    resize(kWidth, kHeight);
    Place();
    ShowRows();
}

void CFileSelectDlg::SetTexts(const std::string& caption, const std::string& okText) {
    SetCaption(caption);
    setWindowTitle(QString::fromStdString(caption));
    ok_->setText(QString::fromStdString(okText));
}

void CFileSelectDlg::TickPath(const std::string& path) {
    for (std::size_t row = 0; row < selection_.RowCount(); ++row) {
        if (selection_.Row(row).path == path) {
            selection_.SetTick(row, true);
            ShowRows();
            return;
        }
    }
}

void CFileSelectDlg::Place() {
    const int w = width();
    const int h = height();
    list_->setGeometry(10, 30, w - 20, h - 140);
    showAll_->setGeometry(20, h - 70, 200, 20);
    tickAll_->setGeometry(20, h - 40, 200, 20);
    total_->setGeometry(w - 160, h - 70, 140, 20);
    ok_->setGeometry(w - 130, h - 40, 120, 30);
}

void CFileSelectDlg::SetListed(const std::vector<RecordingInfo>& recordings) {
    if (!selection_.SetListed(recordings) && message_)
        message_(UiText(105), "ERROR", false);
    selection_.Refill();
    ShowRows();
}

bool CFileSelectDlg::SetAll(const std::vector<RecordingInfo>& recordings) {
    const bool all = selection_.SetAll(recordings);
    selection_.Refill();
    ShowRows();
    return all;
}

void CFileSelectDlg::ShowRows() {
    filling_ = true;
    list_->clear();
    const bool join = selection_.mode() == FileSelection::kJoin;
    QList<QTreeWidgetItem*> items;
    for (std::size_t i = 0; i < selection_.RowCount(); ++i) {
        const RecordingInfo& record = selection_.Row(i);
        auto* item =
            new QTreeWidgetItem({QString::fromStdString(record.name),
                                 QString::fromStdString(FileSelection::SizeText(record.frontSize)),
                                 QString::fromStdString(FileSelection::SizeText(record.rearSize))});
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        if (join && record.marked) {
            for (int column = 0; column < 3; ++column) {
                item->setForeground(column, QBrush(kMarkedText));
                item->setBackground(column, QBrush(kMarkedBack));
            }
        }
        items.push_back(item);
    }
    list_->addTopLevelItems(items);
    filling_ = false;
    ShowTicksAndTotal();
}

void CFileSelectDlg::ShowTicksAndTotal() {
    filling_ = true;
    for (int i = 0; i < list_->topLevelItemCount(); ++i)
        list_->topLevelItem(i)->setCheckState(
            0, selection_.Ticked(static_cast<std::size_t>(i)) ? Qt::Checked : Qt::Unchecked);
    filling_ = false;
    total_->setText(QString::fromStdString(selection_.TotalText()));
    QPalette palette = total_->palette();
    palette.setColor(QPalette::WindowText, selection_.SizeOver() ? Qt::red : Qt::black);
    total_->setPalette(palette);
    ok_->setEnabled(selection_.OkEnabled());
}

void CFileSelectDlg::OnItemChanged(QTreeWidgetItem* item, int column) {
    if (filling_ || column != 0)
        return;
    const int row = list_->indexOfTopLevelItem(item);
    if (row < 0)
        return;
    selection_.SetTick(static_cast<std::size_t>(row), item->checkState(0) == Qt::Checked);
    ShowTicksAndTotal();
}

void CFileSelectDlg::accept() {
    if (!selection_.OkEnabled())
        return;
    if (const int refusal = selection_.OkRefusal(); refusal != 0) {
        if (message_)
            message_(UiText(refusal), "ERROR", false);
        return;
    }
    result_ = selection_.Result();
    QDialog::accept();
}

bool CFileSelectDlg::Run() {
    result_.clear();
    if (QScreen* screen = parentWidget() ? parentWidget()->screen() : this->screen())
        move(screen->geometry().center() - rect().center());
    return exec() == QDialog::Accepted;
}

} // namespace kirvano
