// The recording selection dialog: the join rule that keeps ticks contiguous, the toggles,
// the size and count limits on OK, the 1500-row limit, the rows' texts and colours.
#include "library/ui/CFileSelectDlg.h"
#include "ui/UiText.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace kirvano {
namespace {

constexpr std::int64_t kMiB = 1 << 20;

std::vector<RecordingInfo> Recordings(int count, std::int64_t front = 10 * kMiB,
                                      std::int64_t rear = 5 * kMiB, std::int64_t data = 0) {
    std::vector<RecordingInfo> list;
    for (int i = 0; i < count; ++i) {
        RecordingInfo r;
        char name[40];
        std::snprintf(name, sizeof name, "A__-220801-1200%02d-%06dF.MOV", i % 60, i);
        r.name = name;
        r.path = std::string("/card/Normal/Front/") + name;
        r.frontSize = front;
        r.rearSize = rear;
        r.dataSize = data;
        list.push_back(r);
    }
    return list;
}

std::string Ticks(const FileSelection& s) {
    std::string marks;
    for (std::size_t i = 0; i < s.RowCount(); ++i)
        marks += s.Ticked(i) ? 'x' : '.';
    return marks;
}

TEST(FileSelection, JoinKeepsTheTicksOneContiguousRun) {
    struct Step {
        std::size_t row;
        bool tick;
        const char* after;
    };
    const struct {
        const char* what;
        std::vector<Step> steps;
    } cases[] = {
        {"tick 2 then 6, untick 4",
         {{2, true, "..x....."}, {6, true, "..xxxxx."}, {4, false, "..xx...."}}},
        {"a tick before the run extends it", {{5, true, ".....x.."}, {1, true, ".xxxxx.."}}},
        {"unticking the first row keeps the rest",
         {{2, true, "..x....."}, {4, true, "..xxx..."}, {2, false, "...xx..."}}},
        {"unticking the last row of the run",
         {{0, true, "x......."}, {3, true, "xxxx...."}, {3, false, "xxx....."}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FileSelection s(FileSelection::kJoin);
        s.SetListed(Recordings(8));
        s.Refill();
        for (const Step& step : c.steps) {
            s.SetTick(step.row, step.tick);
            EXPECT_EQ(Ticks(s), step.after) << "row " << step.row;
        }
    }
    // A delete ticks rows freely.
    FileSelection free(FileSelection::kDelete);
    free.SetListed(Recordings(8));
    free.Refill();
    free.SetTick(2, true);
    free.SetTick(6, true);
    free.SetTick(4, true);
    free.SetTick(4, false);
    EXPECT_EQ(Ticks(free), "..x...x.");
    EXPECT_EQ(free.First(), 2);
    EXPECT_EQ(free.After(), 3);
}

TEST(FileSelection, TogglesRefillTheRowsAndClearTheTicks) {
    FileSelection s(FileSelection::kDelete);
    s.SetListed(Recordings(3));
    s.SetAll(Recordings(5));
    s.Refill();
    s.SetTick(1, true);
    s.SetShowAll(true);
    EXPECT_EQ(Ticks(s), ".....");
    s.SetTick(4, true);
    s.SetShowAll(false);
    EXPECT_EQ(Ticks(s), "...");
    s.SetTickAll(true);
    EXPECT_EQ(Ticks(s), "xxx");
    s.SetShowAll(true);
    EXPECT_EQ(Ticks(s), "xxxxx");
    EXPECT_EQ(s.TotalText(), "75 MB");
    s.SetTickAll(false);
    EXPECT_EQ(Ticks(s), ".....");
    EXPECT_FALSE(s.OkEnabled());
    EXPECT_EQ(s.TotalText(), "0 MB");

    // A join lists movies only and never the whole source.
    std::vector<RecordingInfo> mixed = Recordings(3);
    mixed[1].name = "A__-220801-120001-000001F.ADA";
    FileSelection join(FileSelection::kJoin);
    join.SetListed(mixed);
    join.SetAll(Recordings(6));
    join.SetShowAll(true);
    ASSERT_EQ(join.RowCount(), 2u);
    EXPECT_EQ(join.Row(1).name, mixed[2].name);
}

TEST(FileSelection, JoinLimitsAreCheckedOnOk) {
    const struct {
        const char* what;
        int rows;
        std::int64_t front, rear, data;
        int refusal;
    } cases[] = {
        {"1024 MB", 4, 200 * kMiB, 50 * kMiB, 6 * kMiB, 0},
        {"1025 MB", 5, 200 * kMiB, 5 * kMiB, 0, 139},
        {"parts under a mebibyte do not add up", 2, 511 * kMiB + kMiB * 3 / 4, 0, kMiB * 3 / 4, 0},
        {"99 rows", 99, kMiB, 0, 0, 0},
        {"100 rows", 100, kMiB, 0, 0, 142},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FileSelection s(FileSelection::kJoin);
        s.SetListed(Recordings(c.rows, c.front, c.rear, c.data));
        s.SetTickAll(true);
        EXPECT_EQ(s.TickedCount(), static_cast<std::size_t>(c.rows));
        EXPECT_EQ(s.OkRefusal(), c.refusal);
        EXPECT_EQ(s.SizeOver(), c.refusal == 139);
    }
}

TEST(CFileSelectDlg, RefusesOverLimitsAndReturnsTheTickedRecordings) {
    SelectUiTextColumn(0);
    std::vector<std::string> shown;
    CFileSelectDlg dialog(FileSelection::kJoin);
    dialog.SetMessageFunction([&](const std::string& text, const std::string& caption, bool) {
        shown.push_back(caption + ":" + text);
        return true;
    });
    EXPECT_EQ(dialog.size(), QSize(540, 500));
    EXPECT_EQ(dialog.List()->geometry(), QRect(10, 30, 520, 360));
    EXPECT_EQ(dialog.OkButton()->geometry(), QRect(410, 460, 120, 30));
    EXPECT_EQ(dialog.TotalLabel()->geometry(), QRect(380, 430, 140, 20));
    EXPECT_EQ(dialog.TickAllToggle()->geometry(), QRect(20, 460, 200, 20));
    EXPECT_TRUE(dialog.ShowAllToggle()->isHidden());
    EXPECT_EQ(dialog.OkButton()->text().toStdString(), UiText(45));

    std::vector<RecordingInfo> rows = Recordings(6, 300 * kMiB, 10 * kMiB);
    rows[3].marked = 1;
    dialog.SetListed(rows);
    QTreeWidget* list = dialog.List();
    ASSERT_EQ(list->topLevelItemCount(), 6);
    EXPECT_EQ(list->topLevelItem(0)->text(1).toStdString(), "300 MB");
    EXPECT_EQ(list->topLevelItem(0)->text(2).toStdString(), "10 MB");
    EXPECT_EQ(list->topLevelItem(3)->foreground(0).color(), QColor(255, 0, 255));
    EXPECT_EQ(list->topLevelItem(3)->background(0).color(), QColor(255, 255, 0));
    EXPECT_FALSE(dialog.OkButton()->isEnabled());

    // Ticking in the list goes through the join rule.
    list->topLevelItem(1)->setCheckState(0, Qt::Checked);
    list->topLevelItem(4)->setCheckState(0, Qt::Checked);
    EXPECT_EQ(list->topLevelItem(2)->checkState(0), Qt::Checked);
    EXPECT_EQ(dialog.TotalLabel()->text().toStdString(), "1240 MB");
    EXPECT_EQ(dialog.TotalLabel()->palette().color(QPalette::WindowText), QColor(Qt::red));
    dialog.accept();
    EXPECT_EQ(shown, std::vector<std::string>{"ERROR:" + UiText(139)});
    EXPECT_TRUE(dialog.Result().empty());

    list->topLevelItem(3)->setCheckState(0, Qt::Unchecked);
    EXPECT_EQ(dialog.TotalLabel()->text().toStdString(), "620 MB");
    EXPECT_EQ(dialog.TotalLabel()->palette().color(QPalette::WindowText), QColor(Qt::black));
    dialog.accept();
    ASSERT_EQ(dialog.Result().size(), 2u);
    EXPECT_EQ(dialog.Result()[0].name, rows[1].name);
    EXPECT_EQ(dialog.Result()[1].name, rows[2].name);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST(CFileSelectDlg, MoreThan1500RecordingsShowTheFirst1500) {
    SelectUiTextColumn(0);
    std::vector<std::string> shown;
    CFileSelectDlg dialog(FileSelection::kDelete);
    dialog.SetMessageFunction([&](const std::string& text, const std::string& caption, bool) {
        shown.push_back(caption + ":" + text);
        return true;
    });
    EXPECT_FALSE(dialog.SetAll(Recordings(1501)));
    EXPECT_TRUE(dialog.SetAll(Recordings(1500)));
    EXPECT_TRUE(shown.empty());
    dialog.SetListed(Recordings(1600));
    EXPECT_EQ(shown, std::vector<std::string>{"ERROR:" + UiText(105)});
    EXPECT_EQ(dialog.List()->topLevelItemCount(), 1500);
    EXPECT_FALSE(dialog.ShowAllToggle()->isHidden());
    EXPECT_EQ(dialog.OkButton()->text().toStdString(), UiText(47));
    dialog.TickAllToggle()->setChecked(true);
    EXPECT_EQ(dialog.selection().TickedCount(), 1500u);
    EXPECT_EQ(dialog.List()->topLevelItem(1499)->checkState(0), Qt::Checked);
    dialog.ShowAllToggle()->setChecked(true);
    EXPECT_EQ(dialog.selection().TickedCount(), 1500u); // tick-all still on
    dialog.accept();
    EXPECT_EQ(dialog.Result().size(), 1500u); // a delete has no count limit
}

} // namespace
} // namespace kirvano
