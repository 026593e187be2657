#include "library/CardBuilder.h"
#include "support/CliRunner.h"

#include "library/FolderListing.h"
#include "library/RecordingName.h"
#include "library/RemovableVolumes.h"
#include "library/ui/CFileListCtrl.h"
#include "library/ui/CFilerContainerDlg.h"
#include "library/ui/CFolderTreeCtrl.h"
#include "library/ui/ListPanelArt.h"
#include "ui/AppMessage.h"
#include "ui/CSkinButton.h"
#include "ui/UiText.h"

#include <QElapsedTimer>
#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>

namespace kirvano {
namespace {

using testing::AddRecording;
using testing::NameAt;
using testing::TempDir;
namespace fs = std::filesystem;

// The main window's part: records the messages and rescans a selected tree item.
class Owner : public QObject {
public:
    CFilerContainerDlg* panel = nullptr;
    std::vector<std::pair<int, std::intptr_t>> messages;

    bool event(QEvent* event) override {
        if (!IsAppMessage(event))
            return QObject::event(event);
        const auto* message = static_cast<AppMessage*>(event);
        messages.emplace_back(message->message(), message->wParam());
        if (message->message() == WM_APP_TREE_SELECTED && panel != nullptr)
            panel->ExpandTreeItem(static_cast<TreeItem>(message->wParam()));
        return true;
    }
    int Count(int id) const {
        return static_cast<int>(std::count_if(messages.begin(), messages.end(),
                                              [id](const auto& m) { return m.first == id; }));
    }
};

std::vector<std::string> Names(const std::vector<RecordingInfo>& records) {
    std::vector<std::string> names;
    for (const RecordingInfo& record : records)
        names.push_back(record.name);
    return names;
}

RecordingInfo Named(const std::string& name) {
    RecordingInfo record;
    record.name = name;
    return record;
}

TEST(ListFilter, FlagsLetThroughTheirClassesAndUnknownNamesAlways) {
    const std::vector<RecordingInfo> all = {
        Named("A__-220801-120000-000001F.MOV"), Named("G__-220801-120100-000002F.MOV"),
        Named("M__-220801-120200-000003F.MOV"), Named("P__-220801-120300-000004F.MOV"),
        Named("T__-220801-121800-000005F.MOV"), Named("AGS-220801-122000-000006F.MOV"),
        Named("X__-220801-122100-000007F.MOV"), Named("")};
    struct Case {
        std::array<int, 5> flags;
        std::vector<int> shown; // indexes into all
    };
    const Case cases[] = {
        {{1, 1, 1, 1, 1}, {0, 1, 2, 3, 4, 5, 6, 7}},
        {{0, 0, 0, 0, 0}, {6, 7}},
        {{1, 0, 0, 0, 0}, {0, 6, 7}},
        {{0, 1, 0, 0, 0}, {1, 6, 7}},
        {{0, 0, 1, 0, 0}, {2, 6, 7}},
        {{0, 0, 0, 1, 0}, {3, 4, 6, 7}}, // T (time lapse) is parking
        {{0, 0, 0, 0, 1}, {5, 6, 7}},    // G in second place wins over the first letter
        {{1, 1, 1, 1, 0}, {0, 1, 2, 3, 4, 6, 7}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> expected;
        for (int i : c.shown)
            expected.push_back(all[static_cast<std::size_t>(i)].name);
        EXPECT_EQ(Names(ShownByFilter(all, c.flags)), expected);
    }
}

class ListPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        SelectUiTextColumn(0);
        // Normal: a run of three (continuous, impact, manual) and one continuous file;
        // Parking: one parking file.
        card_ = dir_.file("card");
        names_ = {NameAt("A__", 0, 1), NameAt("G__", 60, 2), NameAt("M__", 120, 3),
                  NameAt("A__", 400, 4)};
        for (const std::string& name : names_)
            AddRecording(card_, "Normal", name);
        AddRecording(card_, "Parking", NameAt("P__", 1000, 5));
        owner_.panel = &panel_;
        panel_.CreateChildren(&owner_);
        panel_.SetLayout(0, QRect(0, 0, 452, 289));
        panel_.show();
    }

    QPoint RowCentre(int row) const {
        const QRect r = panel_.List()->visualRect(panel_.List()->model()->index(row, 0));
        return QPoint(r.left() + 60, r.center().y());
    }
    QPoint InPanel(QWidget* viewport, QPoint p) const { return viewport->mapTo(&panel_, p); }

    TempDir dir_;
    std::string card_;
    std::vector<std::string> names_;
    Owner owner_;
    CFilerContainerDlg panel_;
};

TEST_F(ListPanelTest, CardFlowFromLoadThroughTreeListFilterAndSelection) {
    // The newest existing volume is the card; a vanished one is passed over.
    ASSERT_TRUE(panel_.OpenInitialSource(FixedVolumes({dir_.file("gone"), card_})));
    EXPECT_EQ(panel_.SourcePath(), card_);
    EXPECT_EQ(panel_.Kind(), SourceKind::Card);

    // The first top-level item and then the first run were selected and rescanned.
    EXPECT_EQ(owner_.Count(WM_APP_TREE_SELECTED), 2);
    const auto selected = panel_.Tree()->SelectedItem();
    ASSERT_TRUE(selected.has_value());
    const FolderTree& tree = panel_.Source().tree();
    EXPECT_EQ(tree.text(*selected), "220801_0001");
    EXPECT_EQ(tree.value(*selected), 0x01u | 0x02u | 0x04u);
    EXPECT_EQ(panel_.PathBoxText(), card_ + "/Normal/220801_0001");
    EXPECT_TRUE(panel_.Tree()->WidgetItem(tree.parent(*selected))->isExpanded());
    EXPECT_EQ(panel_.Tree()->topLevelItemCount(), 2); // Normal, Parking
    EXPECT_EQ(panel_.Tree()->WidgetItem(tree.parent(*selected))->childCount(), 2);

    const std::vector<std::string> run(names_.begin(), names_.begin() + 3);
    EXPECT_EQ(Names(panel_.ShownRecordings()), run);
    EXPECT_EQ(panel_.ItemCount(), 3);
    const QModelIndex first = panel_.List()->model()->index(1, 0);
    EXPECT_EQ(panel_.List()->model()->data(first).toString().toStdString(),
              DisplayNameOf(names_[1]));
    EXPECT_EQ(panel_.CurrentIndex(), -1);

    // A click on a row makes it current and asks the owner to open it; a second click on
    // the current row does nothing unless a reopen is forced.
    QSignalSpy chosen(&panel_, &CFilerContainerDlg::RecordingChosen);
    QWidget* viewport = panel_.List()->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, RowCentre(2));
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.takeFirst().at(0).toInt(), 2);
    EXPECT_EQ(panel_.CurrentIndex(), 2);
    panel_.SelectRecording(0); // the program's selection: current first, so no open
    EXPECT_EQ(chosen.count(), 0);
    EXPECT_EQ(panel_.List()->SelectedRow(), 0);
    panel_.ForceReopen();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, RowCentre(1));
    EXPECT_EQ(chosen.count(), 1);
    chosen.clear();

    // Turning the continuous filter off while a continuous row is current: the first
    // remaining row becomes selected and current.
    panel_.SetCurrentIndex(0);
    QSignalSpy filterChanged(&panel_, &CFilerContainerDlg::FilterChanged);
    QTest::mouseClick(panel_.FilterToggle(0), Qt::LeftButton, {}, QPoint(6, 6));
    ASSERT_EQ(filterChanged.count(), 1);
    EXPECT_EQ(filterChanged.at(0).at(1).toBool(), false);
    EXPECT_FALSE(panel_.Filter(0));
    EXPECT_FALSE(panel_.FilterToggle(0)->isChecked());
    EXPECT_EQ(Names(panel_.ShownRecordings()), (std::vector<std::string>{names_[1], names_[2]}));
    EXPECT_EQ(panel_.CurrentIndex(), 0);
    EXPECT_EQ(panel_.List()->SelectedRow(), 0);

    // A column click rebuilds in the order of all recordings, never reordering.
    panel_.SelectRecording(1);
    QTest::mouseClick(panel_.List()->header()->viewport(), Qt::LeftButton, {}, QPoint(30, 8));
    EXPECT_EQ(Names(panel_.ShownRecordings()), (std::vector<std::string>{names_[1], names_[2]}));
    EXPECT_EQ(panel_.CurrentIndex(), 0);

    // Every filter off: nothing is left.
    for (int i = 1; i < 5; ++i)
        panel_.SetFilter(i, false);
    EXPECT_EQ(panel_.ItemCount(), 0);

    // Selecting the second run lists its file.
    for (int i = 0; i < 5; ++i)
        panel_.SetFilter(i, true);
    const auto second = tree.find(card_ + "/Normal/220801_0002");
    ASSERT_TRUE(second.has_value());
    ASSERT_TRUE(panel_.Tree()->SelectItem(*second));
    EXPECT_EQ(Names(panel_.ShownRecordings()), (std::vector<std::string>{names_[3]}));

    // The card goes away: the owner hears of it once.
    fs::remove_all(card_);
    QElapsedTimer clock;
    clock.start();
    while (owner_.Count(WM_APP_SOURCE_LOST) == 0 && clock.elapsed() < 3000)
        QTest::qWait(20);
    QTest::qWait(250);
    EXPECT_EQ(owner_.Count(WM_APP_SOURCE_LOST), 1);
    panel_.ResetContent();
    EXPECT_EQ(panel_.ItemCount(), 0);
    EXPECT_EQ(panel_.Tree()->topLevelItemCount(), 0);
    EXPECT_EQ(panel_.CurrentIndex(), -1);
}

TEST_F(ListPanelTest, FirstTopLevelItemThatIsNotNormalOrParkingStaysSelected) {
    AddRecording(card_, "Album", NameAt("A__", 5000, 9)); // "Album" sorts first
    panel_.LoadSource(card_, SourceKind::Card);
    panel_.SelectInitialItem();
    const auto selected = panel_.Tree()->SelectedItem();
    ASSERT_TRUE(selected.has_value());
    EXPECT_EQ(panel_.Source().tree().text(*selected), "Album");
    EXPECT_EQ(panel_.PathBoxText(), card_ + "/Album");
}

TEST_F(ListPanelTest, FolderAndFileSourcesAndNamesThatDoNotMatch) {
    const std::string folder = card_ + "/Normal/Front";
    testing::WriteAll(folder + "/notes.MOV", testing::MovieBytes());
    testing::WriteAll(folder + "/A__-bad.MOV", testing::MovieBytes());
    panel_.LoadSource(folder, SourceKind::Folder);
    EXPECT_EQ(panel_.Tree()->topLevelItemCount(), 1);
    EXPECT_EQ(panel_.Tree()->topLevelItem(0)->childCount(), 2); // both runs
    panel_.ExpandTreeItem(*panel_.Source().tree().firstChild(kTreeRoot));

    // An empty folder: empty list and tree, no crash.
    fs::create_directories(dir_.file("empty"));
    panel_.LoadSource(dir_.file("empty"), SourceKind::Folder);
    EXPECT_EQ(panel_.ItemCount(), 0);

    // A single file: its row is selected and current; its folder is the path.
    panel_.LoadSource(card_ + "/Normal/Front/" + names_[1], SourceKind::File);
    EXPECT_EQ(Names(panel_.ShownRecordings()), (std::vector<std::string>{names_[1]}));
    EXPECT_EQ(panel_.CurrentIndex(), 0);
    EXPECT_EQ(panel_.List()->SelectedRow(), 0);
    EXPECT_EQ(panel_.PathBoxText(), card_ + "/Normal/Front");
    // A file that is no movie leaves everything empty.
    testing::WriteAll(dir_.file("G__-220801-120000-000001F.MOV"), "not a movie at all");
    panel_.LoadSource(dir_.file("G__-220801-120000-000001F.MOV"), SourceKind::File);
    EXPECT_EQ(panel_.ItemCount(), 0);
    EXPECT_EQ(panel_.CurrentIndex(), -1);
}

QColor At(const QImage& image, QPoint p) {
    return image.pixelColor(p);
}

TEST_F(ListPanelTest, PixelsOfRowsHeaderTreePanelAndCollapsedPicture) {
    // A G row current, a G row not current, an ordinary row.
    panel_.LoadSource(card_, SourceKind::Card);
    panel_.SelectInitialItem();
    panel_.SelectRecording(1); // the impact file
    panel_.show();
    QApplication::processEvents();
    const QImage image = panel_.grab().toImage();
    QWidget* viewport = panel_.List()->viewport();
    const int right = viewport->width() - 12;
    const auto rowPoint = [&](int row, int x, int dy) {
        const QRect r = panel_.List()->visualRect(panel_.List()->model()->index(row, 0));
        return InPanel(viewport, QPoint(x, r.center().y() + dy));
    };
    EXPECT_EQ(At(image, rowPoint(0, right, 0)), QColor(255, 255, 255));
    EXPECT_EQ(At(image, rowPoint(1, right, 0)), QColor(178, 178, 142));
    EXPECT_EQ(At(image, rowPoint(2, right, 0)), QColor(255, 255, 255));
    panel_.SelectRecording(2);
    const QImage second = panel_.grab().toImage();
    EXPECT_EQ(At(second, rowPoint(1, right, 0)), QColor(255, 255, 204));
    EXPECT_EQ(At(second, rowPoint(2, right, 0)), QColor(178, 178, 178));
    // Frames: the top line of every row and its left edge.
    const QRect r1 = panel_.List()->visualRect(panel_.List()->model()->index(1, 0));
    EXPECT_EQ(At(second, InPanel(viewport, QPoint(right, r1.top()))), QColor(136, 136, 136));
    EXPECT_EQ(At(second, InPanel(viewport, QPoint(0, r1.center().y()))), QColor(136, 136, 136));
    EXPECT_EQ(r1.height(), 20);

    // Header: the gradient by distance from the bottom, the frame, grey beyond the cells.
    QHeaderView* header = panel_.List()->header();
    const int h = header->height();
    const auto headerPoint = [&](int x, int y) {
        return header->viewport()->mapTo(&panel_, QPoint(x, y));
    };
    for (int y : {1, h / 2, h - 2}) {
        const int level = (h - (h - 1 - y)) * 141 / h + 63;
        EXPECT_EQ(At(second, headerPoint(3, y)), QColor(level, level, level)) << y;
    }
    EXPECT_EQ(At(second, headerPoint(0, h / 2)), QColor(170, 170, 170));
    EXPECT_EQ(header->sectionSize(0), viewport->width() - 51);
    EXPECT_EQ(header->sectionSize(1), 50);
    EXPECT_EQ(At(second, headerPoint(viewport->width() - 1, h / 2)), QColor(204, 204, 204));

    // Panel: grey, white frame, black count text, toggles at their places.
    EXPECT_EQ(At(second, QPoint(0, 100)), QColor(255, 255, 255));
    EXPECT_EQ(At(second, QPoint(1, 100)), QColor(170, 170, 170));
    int dark = 0;
    const QRect count = panel_.CountRect();
    EXPECT_EQ(count, QRect(QPoint(452 - 65, 5), QPoint(452 - 6, count.bottom())));
    for (int y = count.top(); y <= count.bottom(); ++y)
        for (int x = count.left(); x <= count.right(); ++x)
            dark += At(second, QPoint(x, y)).lightness() < 80 ? 1 : 0;
    EXPECT_GT(dark, 10);
    const int lefts[] = {3, 48, 93, 175, 220};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(panel_.FilterToggle(i)->geometry(), QRect(lefts[i], 8, 12, 12));
    EXPECT_EQ(panel_.Tree()->geometry(), QRect(4, 26, 217, 289 - 30));
    EXPECT_EQ(panel_.List()->geometry(), QRect(224, 26, 224, 289 - 30));

    // Tree: the selected run's text is on light blue; its type icon sits before it.
    const auto item = panel_.Tree()->WidgetItem(*panel_.Tree()->SelectedItem());
    const QRect itemRect = panel_.Tree()->visualItemRect(item);
    const int textStart = panel_.Tree()->TextStart(item);
    const QPoint blue =
        panel_.Tree()->viewport()->mapTo(&panel_, QPoint(textStart - 1, itemRect.center().y()));
    EXPECT_EQ(At(second, blue), QColor(0, 204, 255));
    const QImage icon = ComposeTypeIcon(0x07);
    ASSERT_FALSE(icon.isNull());
    EXPECT_NE(ComposeTypeIcon(0x01), ComposeTypeIcon(0x05)); // the impact overlay shows

    // Stacked layout places the children by their own table.
    panel_.SetLayout(1, QRect(0, 0, 452, 600));
    EXPECT_EQ(panel_.Tree()->geometry(), QRect(4, 24, 444, 284));
    EXPECT_EQ(panel_.List()->geometry(), QRect(4, 342, 444, 600 - 346));
    EXPECT_EQ(panel_.FilterToggle(3)->geometry(), QRect(5, 326, 12, 12));
    EXPECT_EQ(panel_.ToggleLabelRect(0).topLeft(), QPoint(18, 309));
    panel_.SetLayout(0, QRect(0, 0, 452, 289));
    EXPECT_EQ(panel_.ToggleLabelRect(4).topLeft(), QPoint(237, 5));

    // Collapsed: no tree, list or toggles; the picture covers the panel.
    panel_.SetCollapsed(true);
    const QImage collapsed = panel_.grab().toImage();
    EXPECT_FALSE(panel_.Tree()->isVisible());
    EXPECT_FALSE(panel_.List()->isVisible());
    EXPECT_FALSE(panel_.FilterToggle(0)->isVisible());
    EXPECT_NE(At(collapsed, QPoint(100, 100)), QColor(170, 170, 170));
    EXPECT_NE(At(collapsed, QPoint(300, 100)), QColor(255, 255, 255));
    panel_.SetCollapsed(false);
    EXPECT_TRUE(panel_.List()->isVisible());
}

// A card of real movies from the generator, through the panel.
TEST(ListPanelGeneratedCard, RunsOfTheGeneratedCardAreListedAndFiltered) {
    TempDir scratch;
    if (testing::Cli("help make-card", scratch).status != 0)
        GTEST_SKIP() << "the card generator is not built";
    TempDir dir;
    const std::string card = dir.file("card");
    const testing::CliRun made = testing::Cli(
        "make-card " + card + " --recordings 4 --seconds 2 --front 320x180@30 --rear 320x180@30",
        scratch);
    ASSERT_EQ(made.status, 0) << made.err;
    SelectUiTextColumn(0);
    Owner owner;
    CFilerContainerDlg panel;
    owner.panel = &panel;
    panel.CreateChildren(&owner);
    panel.SetLayout(0, QRect(0, 0, 452, 289));
    panel.LoadSource(card, SourceKind::Card);
    panel.SelectInitialItem();
    ASSERT_GT(panel.ItemCount(), 0);
    // Every listed row is a front movie of the selected run, in sequence order.
    std::string previous;
    for (const RecordingInfo& record : panel.ShownRecordings()) {
        EXPECT_TRUE(IsFrontRecordingName(record.name)) << record.name;
        EXPECT_TRUE(fs::exists(record.path)) << record.path;
        EXPECT_GT(std::string(SequenceKeyOf(record.name)), previous);
        previous = SequenceKeyOf(record.name);
    }
    // The collection holds every front movie of the card, at least those listed.
    const std::vector<RecordingInfo>& all = panel.CollectAllRecordings();
    EXPECT_GE(all.size(), panel.ShownRecordings().size());
    for (int i = 0; i < 5; ++i)
        panel.SetFilter(i, false);
    EXPECT_EQ(panel.ItemCount(), 0);
    panel.SetFilter(0, true);
    for (const RecordingInfo& record : panel.ShownRecordings())
        EXPECT_EQ(EventTypeOf(record.name), EventType::Continuous);
}

} // namespace
} // namespace kirvano
