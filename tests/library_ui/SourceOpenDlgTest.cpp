#include "support/TempDir.h"

#include "config/Settings.h"
#include "library/RemovableVolumes.h"
#include "library/ui/CSourceOpenDlg.h"
#include "ui/CSkinButton.h"
#include "ui/UiText.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>

namespace kirvano {
namespace {

using testing::TempDir;

// Answers the file dialogs and records the message boxes.
class FakeChooser : public SourceDialogChooser {
public:
    std::string folder;
    std::string file;
    std::vector<std::string> asked;
    std::vector<std::pair<std::string, std::string>> errors;

    std::string ChooseFolder(QWidget*, const std::string& title,
                             const std::string& start) override {
        asked.push_back("folder:" + title + "@" + start);
        return folder;
    }
    std::string ChooseFile(QWidget*, const std::string& initial,
                           const std::string& filter) override {
        asked.push_back("file:" + initial + "|" + filter);
        return file;
    }
    void ShowError(QWidget*, const std::string& text, const std::string& caption) override {
        errors.emplace_back(text, caption);
    }
};

class SourceOpenDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("KIRVANO_CONFIG_DIR", config_.path().c_str(), 1);
        ResetConfigDirectoryForTests();
        SelectUiTextColumn(0);
    }
    void TearDown() override {
        ::unsetenv("KIRVANO_CONFIG_DIR");
        ResetConfigDirectoryForTests();
    }
    TempDir config_;
    std::shared_ptr<FakeChooser> chooser_ = std::make_shared<FakeChooser>();
};

TEST_F(SourceOpenDlgTest, OpeningStatesFromTheStoredChoice) {
    struct Case {
        const char* select;
        std::vector<std::string> volumes; // newest first
        const char* folder;
        const char* file;
        SourceKind choice;
        bool ok;
    };
    const Case cases[] = {
        {"", {}, "", "", SourceKind::Card, false},
        {"", {"/media/u/CARD"}, "", "", SourceKind::Card, true},
        {"SD", {}, "/videos", "", SourceKind::Card, false},
        {"FOLDER", {}, "/videos", "", SourceKind::Folder, true},
        {"FOLDER", {"/media/u/CARD"}, "", "", SourceKind::Folder, false},
        {"FILE", {}, "", "/v/A__-220801-120000-000001F.MOV", SourceKind::File, true},
        {"FILE", {}, "/videos", "", SourceKind::File, false},
        {"folder", {}, "/videos", "", SourceKind::Card, false}, // values compare exactly
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteSetting("SOURCE", "SELECT", c.select));
        ASSERT_TRUE(WriteSetting("SOURCE", "FOLDER", c.folder));
        ASSERT_TRUE(WriteSetting("SOURCE", "FILE", c.file));
        const FixedVolumes volumes(c.volumes);
        CSourceOpenDlg dialog(volumes, nullptr, chooser_);
        EXPECT_EQ(dialog.Choice(), c.choice) << c.select;
        EXPECT_EQ(dialog.OkEnabled(), c.ok) << c.select;
        EXPECT_EQ(dialog.OkButton()->isEnabled(), c.ok) << c.select;
        EXPECT_EQ(dialog.FolderBox()->text().toStdString(), c.folder);
        EXPECT_EQ(dialog.FileBox()->text().toStdString(), c.file);
        for (SourceKind kind : {SourceKind::Card, SourceKind::Folder, SourceKind::File})
            EXPECT_EQ(dialog.ChoiceButton(kind)->isChecked(), kind == c.choice);
    }
}

TEST_F(SourceOpenDlgTest, DriveListChoicesAndOkWriteTheConfiguration) {
    const FixedVolumes volumes({"/media/u/NEW", "/media/u/OLD"});
    ASSERT_TRUE(WriteSetting("SOURCE", "SELECT", "FOLDER"));
    ASSERT_TRUE(WriteSetting("SOURCE", "FOLDER", "/stored"));
    CSourceOpenDlg dialog(volumes, nullptr, chooser_);
    EXPECT_EQ(dialog.size(), QSize(540, 250));
    EXPECT_EQ(dialog.Caption(), UiText(133));
    EXPECT_EQ(dialog.ChoiceButton(SourceKind::Card)->geometry(), QRect(30, 50, 120, 26));
    EXPECT_EQ(dialog.DriveList()->geometry(), QRect(150, 50, 300, 26));
    EXPECT_EQ(dialog.FileBrowseButton()->geometry(), QRect(470, 150, 40, 26));
    // The platform's order lists the oldest first; the last one is selected.
    ASSERT_EQ(dialog.DriveList()->count(), 2);
    EXPECT_EQ(dialog.DriveList()->itemText(0).toStdString(), "/media/u/OLD");
    EXPECT_EQ(dialog.DriveList()->currentText().toStdString(), "/media/u/NEW");

    // A cancelled folder browser changes nothing; a chosen folder switches the choice.
    dialog.SelectChoice(SourceKind::Card);
    dialog.BrowseFolder();
    EXPECT_EQ(dialog.Choice(), SourceKind::Card);
    ASSERT_EQ(chooser_->asked.size(), 1u);
    EXPECT_EQ(chooser_->asked[0], "folder:" + UiText(104) + "@/stored");
    chooser_->folder = "/picked";
    QTest::mouseClick(dialog.FolderBrowseButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.Choice(), SourceKind::Folder);
    EXPECT_EQ(dialog.FolderBox()->text().toStdString(), "/picked");

    // A file whose name is not a recording name is refused with the message.
    chooser_->file = "/somewhere/holiday.mov";
    dialog.BrowseFile();
    ASSERT_EQ(chooser_->errors.size(), 1u);
    EXPECT_EQ(chooser_->errors[0], std::make_pair(UiText(99), std::string("ERROR")));
    EXPECT_EQ(dialog.Choice(), SourceKind::Folder);
    EXPECT_TRUE(dialog.FileBox()->text().isEmpty());
    EXPECT_NE(chooser_->asked.back().find("/*.mov|Movie Files(*.mov *.MOV)"), std::string::npos);
    // A recording name with a further extension passes here (the loader tests it).
    chooser_->file = "/v/G__-220801-120000-000001F.MOV.bak";
    dialog.BrowseFile();
    EXPECT_EQ(chooser_->errors.size(), 1u);
    EXPECT_EQ(dialog.Choice(), SourceKind::File);
    EXPECT_EQ(dialog.ChosenPath(), chooser_->file);

    // Emptying the file box disables OK for the file choice.
    dialog.FileBox()->clear();
    EXPECT_FALSE(dialog.OkButton()->isEnabled());
    dialog.FileBox()->setText("/v/typed.MOV");
    EXPECT_TRUE(dialog.OkButton()->isEnabled());

    // Choosing a drive selects the card choice; OK writes the choice and its value only.
    dialog.DriveList()->setCurrentIndex(0);
    EXPECT_EQ(dialog.Choice(), SourceKind::Card);
    QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(ReadSetting("SOURCE", "SELECT"), "SD");
    EXPECT_EQ(ReadSetting("SOURCE", "SD"), "/media/u/OLD");
    EXPECT_EQ(ReadSetting("SOURCE", "FOLDER"), "/stored");
    EXPECT_EQ(ReadSetting("SOURCE", "FILE"), "");
    EXPECT_EQ(dialog.ChosenPath(), "/media/u/OLD");
}

TEST_F(SourceOpenDlgTest, CloseButtonWritesNothingAndFolderOkWritesFolder) {
    const FixedVolumes none({});
    {
        CSourceOpenDlg dialog(none, nullptr, chooser_);
        dialog.FolderBox()->setText("/typed");
        QTest::mouseClick(dialog.ChoiceButton(SourceKind::Folder), Qt::LeftButton);
        ASSERT_NE(dialog.CloseButton(), nullptr);
        EXPECT_EQ(dialog.CloseButton()->property("controlId").toInt(), 20);
        QTest::mouseClick(dialog.CloseButton(), Qt::LeftButton);
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        EXPECT_EQ(ReadSetting("SOURCE", "SELECT"), "");
    }
    CSourceOpenDlg dialog(none, nullptr, chooser_);
    dialog.FolderBox()->setText("/typed");
    QTest::mouseClick(dialog.ChoiceButton(SourceKind::Folder), Qt::LeftButton);
    EXPECT_EQ(dialog.ChoiceButton(SourceKind::Folder)->ImageIndex(), 2);
    EXPECT_EQ(dialog.ChoiceButton(SourceKind::Card)->ImageIndex(), 0);
    dialog.accept();
    EXPECT_EQ(ReadSetting("SOURCE", "SELECT"), "FOLDER");
    EXPECT_EQ(ReadSetting("SOURCE", "FOLDER"), "/typed");
    EXPECT_EQ(ReadSetting("SOURCE", "SD"), "");
}

} // namespace
} // namespace kirvano
