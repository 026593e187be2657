// The recording selection dialog of the delete and join commands: rows with the front and
// rear sizes, tick boxes, the show-all and tick-all toggles and a running total; for a
// join the ticks stay one contiguous run within the size and count limits. FileSelection
// holds the rules without widgets; CFileSelectDlg shows them.
#pragma once

#include "library/RecordingInfo.h"
#include "ui/CSkinDialog.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace kirvano {

class FileSelection {
public:
    enum Mode : int { kDelete = 0, kJoin = 2 };
    static constexpr std::size_t kMaxRecordings = 1500;
    static constexpr std::int64_t kJoinLimitMb = 1024;
    static constexpr std::size_t kJoinMaxRows = 99;

    explicit FileSelection(Mode mode = kDelete) : mode_(mode) {}

    // Keep at most 1500 recordings; false when there were more (message 105).
    bool SetListed(const std::vector<RecordingInfo>& recordings);
    bool SetAll(const std::vector<RecordingInfo>& recordings);

    // The toggles refill the rows: every tick is cleared unless tick-all is on.
    void SetShowAll(bool on);
    void SetTickAll(bool on);
    bool ShowAll() const { return showAll_; }
    bool TickAll() const { return tickAll_; }
    // Fills the rows from the listed or all recordings (a join shows movies only).
    void Refill();

    Mode mode() const { return mode_; }
    std::size_t RowCount() const { return rows_.size(); }
    const RecordingInfo& Row(std::size_t row) const { return rows_[row]; }
    bool Ticked(std::size_t row) const { return ticks_[row]; }
    // A row's tick changed by the user; a join keeps the run contiguous.
    void SetTick(std::size_t row, bool ticked);
    std::size_t TickedCount() const;
    // The join run: the first ticked row and the first unticked row after it; -1 and the
    // row count when nothing is ticked.
    long First() const { return first_; }
    long After() const { return after_; }

    std::int64_t TotalBytes() const { return totalBytes_; }
    // "%lld MB" of the ticked rows' front, rear and data sizes.
    std::string TotalText() const;
    bool SizeOver() const { return sizeOver_; }
    bool TooMany() const { return tooMany_; }
    bool OkEnabled() const { return TickedCount() > 0; }
    // What OK does: 0 accepts, otherwise the message entry that keeps the dialog open
    // (139 size over, 142 too many).
    int OkRefusal() const;
    // The ticked rows' recordings in row order.
    std::vector<RecordingInfo> Result() const;

    // The size column text of a file: whole mebibytes, "%llu MB".
    static std::string SizeText(std::int64_t bytes);

private:
    void Recompute();

    Mode mode_;
    std::vector<RecordingInfo> listed_;
    std::vector<RecordingInfo> all_;
    std::vector<RecordingInfo> rows_;
    std::vector<bool> ticks_;
    bool showAll_ = false;
    bool tickAll_ = false;
    long first_ = -1;
    long after_ = 0;
    std::int64_t totalBytes_ = 0;
    bool sizeOver_ = false;
    bool tooMany_ = false;
};

// Shows a message modally: (text, caption, ok-cancel) -> accepted.
using MessageFunction =
    std::function<bool(const std::string& text, const std::string& caption, bool okCancel)>;

class CFileSelectDlg : public CSkinDialog {
    Q_OBJECT
public:
    static constexpr int kWidth = 540;
    static constexpr int kHeight = 500;
    static constexpr int kListControl = 1003;
    static constexpr int kShowAllControl = 1004;
    static constexpr int kTickAllControl = 1005;
    static constexpr int kTotalControl = 1006;
    static inline const QColor kMarkedText{255, 0, 255};
    static inline const QColor kMarkedBack{255, 255, 0};

    explicit CFileSelectDlg(FileSelection::Mode mode, QWidget* owner = nullptr);

    // More than 1500 recordings: message 105 is shown and the first 1500 are kept.
    void SetListed(const std::vector<RecordingInfo>& recordings);
    // False when there were more than 1500 (the caller shows message 105).
    bool SetAll(const std::vector<RecordingInfo>& recordings);
    // How messages are shown (the program's message dialog by default).
    void SetMessageFunction(MessageFunction message) { message_ = std::move(message); }

    // A free choice for another purpose than deleting: its own caption and OK text.
    void SetTexts(const std::string& caption, const std::string& okText);
    // Ticks the shown row of the recording at path, if there is one.
    void TickPath(const std::string& path);

    // Runs modally; true on OK, with the ticked recordings in Result().
    bool Run();
    const std::vector<RecordingInfo>& Result() const { return result_; }

    FileSelection& selection() { return selection_; }
    QTreeWidget* List() const { return list_; }
    QCheckBox* ShowAllToggle() const { return showAll_; }
    QCheckBox* TickAllToggle() const { return tickAll_; }
    QLabel* TotalLabel() const { return total_; }
    QPushButton* OkButton() const { return ok_; }
    // Fills the widgets from the selection's rows and ticks.
    void ShowRows();

    void accept() override;

private:
    void OnItemChanged(QTreeWidgetItem* item, int column);
    void ShowTicksAndTotal();
    void Place();

    FileSelection selection_;
    MessageFunction message_;
    std::vector<RecordingInfo> result_;
    QTreeWidget* list_ = nullptr;
    QCheckBox* showAll_ = nullptr;
    QCheckBox* tickAll_ = nullptr;
    QLabel* total_ = nullptr;
    QPushButton* ok_ = nullptr;
    bool filling_ = false;
};

} // namespace kirvano
