// The dialog in which the user chooses what to view: a recorder card (one of the mounted
// removable volumes), a folder or a single recording file. It remembers the last choice
// of each kind in the configuration's SOURCE section.
#pragma once

#include "library/RecordingInfo.h"
#include "ui/CSkinDialog.h"

#include <QAbstractButton>

#include <array>
#include <memory>
#include <string>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace kirvano {

class RemovableVolumes;

// The file dialogs and the message box of the source dialog; tests answer them.
class SourceDialogChooser {
public:
    virtual ~SourceDialogChooser() = default;
    // A folder, or empty when cancelled.
    virtual std::string ChooseFolder(QWidget* owner, const std::string& title,
                                     const std::string& start) = 0;
    // A file, or empty when cancelled.
    virtual std::string ChooseFile(QWidget* owner, const std::string& initialPath,
                                   const std::string& filter) = 0;
    virtual void ShowError(QWidget* owner, const std::string& text, const std::string& caption) = 0;
};

// QFileDialog and the program's message box.
class SystemSourceDialogChooser : public SourceDialogChooser {
public:
    std::string ChooseFolder(QWidget* owner, const std::string& title,
                             const std::string& start) override;
    std::string ChooseFile(QWidget* owner, const std::string& initialPath,
                           const std::string& filter) override;
    void ShowError(QWidget* owner, const std::string& text, const std::string& caption) override;
};

// An owner-drawn choice button: the 12 x 12 image of the choice strip and the text beside it.
class CChoiceButton : public QAbstractButton {
    Q_OBJECT
public:
    CChoiceButton(QWidget* parent, int controlId, const QString& text);
    // The strip image drawn: 0 normal, 1 hover, 2 chosen, 3 disabled.
    int ImageIndex() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    bool hovered_ = false;
};

class CSourceOpenDlg : public CSkinDialog {
    Q_OBJECT
public:
    static constexpr int kCardChoiceId = 39000;
    static constexpr int kFolderChoiceId = 39001;
    static constexpr int kFileChoiceId = 39002;
    static constexpr int kFolderBrowseId = 39003;
    static constexpr int kFileBrowseId = 39004;
    static constexpr int kDriveListId = 39100;
    static constexpr int kFolderBoxId = 39200;
    static constexpr int kFileBoxId = 39201;
    static constexpr int kCloseId = 20;
    static constexpr int kWidth = 540;
    static constexpr int kHeight = 250;
    // The file chooser's filter: recordings are written with an upper-case extension.
    static constexpr const char* kFileFilter = "Movie Files(*.mov *.MOV);;All Files(*)";

    // Reads the SOURCE settings and lists the volumes. chooser: nullptr for the system's.
    explicit CSourceOpenDlg(const RemovableVolumes& volumes, QWidget* parent = nullptr,
                            std::shared_ptr<SourceDialogChooser> chooser = nullptr);

    // Makes kind the choice, reads the boxes again and enables OK by the choice's rule.
    void SelectChoice(SourceKind kind);
    SourceKind Choice() const { return choice_; }
    bool OkEnabled() const;

    // The folder browse button: a chosen folder fills the box and selects the folder choice.
    void BrowseFolder();
    // The file browse button: a recording file fills the box and selects the file choice;
    // any other name is refused with a message.
    void BrowseFile();
    // OK: writes the choice and its value to the configuration and closes.
    void accept() override;

    const std::string& CardText() const { return cardText_; }
    const std::string& FolderPath() const { return folderPath_; }
    const std::string& FilePath() const { return filePath_; }
    // The chosen source's path: the card's mount point, the folder or the file.
    std::string ChosenPath() const;

    QComboBox* DriveList() const { return driveList_; }
    QLineEdit* FolderBox() const { return folderBox_; }
    QLineEdit* FileBox() const { return fileBox_; }
    QPushButton* OkButton() const { return ok_; }
    CChoiceButton* ChoiceButton(SourceKind kind) const;
    QPushButton* FolderBrowseButton() const { return folderBrowse_; }
    QPushButton* FileBrowseButton() const { return fileBrowse_; }

protected:
    void OnCommand(int commandId) override;

private:
    void ReadBoxes();

    std::shared_ptr<SourceDialogChooser> chooser_;
    SourceKind choice_ = SourceKind::Card;
    std::string cardText_;
    std::string folderPath_;
    std::string filePath_;
    std::array<CChoiceButton*, 3> choices_{};
    QComboBox* driveList_ = nullptr;
    QLineEdit* folderBox_ = nullptr;
    QLineEdit* fileBox_ = nullptr;
    QPushButton* folderBrowse_ = nullptr;
    QPushButton* fileBrowse_ = nullptr;
    QPushButton* ok_ = nullptr;
};

} // namespace kirvano
