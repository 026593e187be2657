#include "library/ui/CSourceOpenDlg.h"

#include "config/Settings.h"
#include "library/RecordingName.h"
#include "library/RemovableVolumes.h"
#include "library/ui/ListPanelArt.h"
#include "ui/CMsgDlg.h"
#include "ui/CSkinButton.h"
#include "ui/SharedFonts.h"
#include "ui/UiText.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

namespace kirvano {
namespace {

int ChoiceSlot(SourceKind kind) {
    return static_cast<int>(kind) - 1;
}

QString Text(int entry) {
    return QString::fromStdString(UiText(entry));
}

} // namespace

std::string SystemSourceDialogChooser::ChooseFolder(QWidget* owner, const std::string& title,
                                                    const std::string& start) {
    return QFileDialog::getExistingDirectory(owner, QString::fromStdString(title),
                                             QString::fromStdString(start),
                                             QFileDialog::ShowDirsOnly)
        .toStdString();
}

std::string SystemSourceDialogChooser::ChooseFile(QWidget* owner, const std::string& initialPath,
                                                  const std::string& filter) {
    return QFileDialog::getOpenFileName(owner, QString(), QString::fromStdString(initialPath),
                                        QString::fromStdString(filter))
        .toStdString();
}

void SystemSourceDialogChooser::ShowError(QWidget* owner, const std::string& text,
                                          const std::string& caption) {
    CMsgBox(owner).Show(text, caption);
}

CChoiceButton::CChoiceButton(QWidget* parent, int controlId, const QString& text)
    : QAbstractButton(parent) {
    setProperty("controlId", controlId);
    setText(text);
    setCheckable(true);
    setFocusPolicy(Qt::NoFocus);
}

int CChoiceButton::ImageIndex() const {
    if (!isEnabled())
        return 3;
    if (isChecked() || isDown())
        return 2;
    return hovered_ ? 1 : 0;
}

void CChoiceButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QImage image = ListArt(listart::kChoice, ImageIndex(), devicePixelRatioF());
    painter.drawImage(QPointF(0, (height() - 12) / 2), image);
    painter.setFont(font());
    painter.setPen(isEnabled() ? QColor(0xf4, 0xf6, 0xf9) : QColor(109, 109, 109));
    painter.drawText(QRect(16, 0, width() - 16, height()),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
}

void CChoiceButton::enterEvent(QEnterEvent* event) {
    hovered_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void CChoiceButton::leaveEvent(QEvent* event) {
    hovered_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

CSourceOpenDlg::CSourceOpenDlg(const RemovableVolumes& volumes, QWidget* parent,
                               std::shared_ptr<SourceDialogChooser> chooser)
    : CSkinDialog(parent), chooser_(std::move(chooser)) {
    if (!chooser_)
        chooser_ = std::make_shared<SystemSourceDialogChooser>();
    setFixedSize(kWidth, kHeight);
    SetCaption(UiText(133));
    setWindowTitle(Text(133));
    EnableCloseButton(true);
    CloseButton()->setProperty("controlId", kCloseId);
    setFont(UiFont());

    const auto place = [](QWidget* widget, int left, int top, int right, int bottom) {
        widget->setGeometry(left, top, right - left, bottom - top);
        widget->setFont(UiFont());
    };
    choices_[0] = new CChoiceButton(this, kCardChoiceId, Text(134));
    choices_[1] = new CChoiceButton(this, kFolderChoiceId, Text(132));
    choices_[2] = new CChoiceButton(this, kFileChoiceId, Text(131));
    place(choices_[0], 30, 50, 150, 76);
    place(choices_[1], 30, 100, 150, 126);
    place(choices_[2], 30, 150, 150, 176);
    for (int i = 0; i < 3; ++i) {
        connect(choices_[static_cast<std::size_t>(i)], &QAbstractButton::clicked, this,
                [this, i] { SelectChoice(static_cast<SourceKind>(i + 1)); });
    }

    driveList_ = new QComboBox(this);
    driveList_->setProperty("controlId", kDriveListId);
    place(driveList_, 150, 50, 450, 76);
    folderBox_ = new QLineEdit(this);
    folderBox_->setProperty("controlId", kFolderBoxId);
    place(folderBox_, 150, 100, 450, 126);
    fileBox_ = new QLineEdit(this);
    fileBox_->setProperty("controlId", kFileBoxId);
    place(fileBox_, 150, 150, 450, 176);
    folderBrowse_ = new QPushButton(QStringLiteral("..."), this);
    folderBrowse_->setProperty("controlId", kFolderBrowseId);
    place(folderBrowse_, 470, 100, 510, 126);
    fileBrowse_ = new QPushButton(QStringLiteral("..."), this);
    fileBrowse_->setProperty("controlId", kFileBrowseId);
    place(fileBrowse_, 470, 150, 510, 176);
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setProperty("controlId", 1);
    ok_->setDefault(true);
    place(ok_, 430, 205, 510, 231);

    connect(folderBrowse_, &QPushButton::clicked, this, &CSourceOpenDlg::BrowseFolder);
    connect(fileBrowse_, &QPushButton::clicked, this, &CSourceOpenDlg::BrowseFile);
    connect(ok_, &QPushButton::clicked, this, &CSourceOpenDlg::accept);
    connect(folderBox_, &QLineEdit::textChanged, this, [this] { SelectChoice(choice_); });
    connect(fileBox_, &QLineEdit::textChanged, this, [this] { SelectChoice(choice_); });

    // The platform lists the oldest volume first and the newest last.
    const std::vector<std::string> newestFirst = volumes.candidates();
    for (auto it = newestFirst.rbegin(); it != newestFirst.rend(); ++it)
        driveList_->addItem(QString::fromStdString(*it));
    driveList_->setCurrentIndex(driveList_->count() - 1);
    connect(driveList_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) {
            cardText_ = driveList_->itemText(index).toStdString();
            SelectChoice(SourceKind::Card);
        }
    });

    {
        const QSignalBlocker folderBlocker(folderBox_);
        const QSignalBlocker fileBlocker(fileBox_);
        folderBox_->setText(QString::fromStdString(ReadSetting("SOURCE", "FOLDER")));
        fileBox_->setText(QString::fromStdString(ReadSetting("SOURCE", "FILE")));
    }
    cardText_ = ReadSetting("SOURCE", "SD");
    const std::string select = ReadSetting("SOURCE", "SELECT");
    SelectChoice(select == "FOLDER" ? SourceKind::Folder
                 : select == "FILE" ? SourceKind::File
                                    : SourceKind::Card);

    // Centred on the monitor that holds the dialog (its owner's, else the primary one).
    const QScreen* screen = parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen();
    if (screen != nullptr)
        move(screen->availableGeometry().center() - QPoint(kWidth / 2, kHeight / 2));
}

void CSourceOpenDlg::ReadBoxes() {
    folderPath_ = folderBox_->text().toStdString();
    filePath_ = fileBox_->text().toStdString();
}

void CSourceOpenDlg::SelectChoice(SourceKind kind) {
    choice_ = kind;
    ReadBoxes();
    for (int i = 0; i < 3; ++i)
        choices_[static_cast<std::size_t>(i)]->setChecked(i == ChoiceSlot(kind));
    ok_->setEnabled(OkEnabled());
}

bool CSourceOpenDlg::OkEnabled() const {
    switch (choice_) {
    case SourceKind::Card:
        return driveList_->currentIndex() >= 0;
    case SourceKind::Folder:
        return !folderBox_->text().isEmpty();
    case SourceKind::File:
        return !fileBox_->text().isEmpty();
    }
    return false;
}

void CSourceOpenDlg::BrowseFolder() {
    const std::string folder =
        chooser_->ChooseFolder(this, UiText(104), ReadSetting("SOURCE", "FOLDER"));
    if (folder.empty())
        return;
    folderBox_->setText(QString::fromStdString(folder));
    SelectChoice(SourceKind::Folder);
}

void CSourceOpenDlg::BrowseFile() {
    const std::string initial = QCoreApplication::applicationDirPath().toStdString() + "/*.mov";
    const std::string file = chooser_->ChooseFile(this, initial, kFileFilter);
    if (file.empty())
        return;
    if (!IsRecordingName(FileNameOf(file))) {
        chooser_->ShowError(this, UiText(99), "ERROR");
        return;
    }
    fileBox_->setText(QString::fromStdString(file));
    SelectChoice(SourceKind::File);
}

void CSourceOpenDlg::accept() {
    if (!OkEnabled())
        return;
    if (driveList_->currentIndex() >= 0)
        cardText_ = driveList_->currentText().toStdString();
    ReadBoxes();
    switch (choice_) {
    case SourceKind::Card:
        WriteSetting("SOURCE", "SELECT", "SD");
        WriteSetting("SOURCE", "SD", cardText_);
        break;
    case SourceKind::Folder:
        WriteSetting("SOURCE", "SELECT", "FOLDER");
        WriteSetting("SOURCE", "FOLDER", folderPath_);
        break;
    case SourceKind::File:
        WriteSetting("SOURCE", "SELECT", "FILE");
        WriteSetting("SOURCE", "FILE", filePath_);
        break;
    }
    CSkinDialog::accept();
}

std::string CSourceOpenDlg::ChosenPath() const {
    switch (choice_) {
    case SourceKind::Card:
        return cardText_;
    case SourceKind::Folder:
        return folderPath_;
    case SourceKind::File:
        return filePath_;
    }
    return {};
}

CChoiceButton* CSourceOpenDlg::ChoiceButton(SourceKind kind) const {
    const int slot = ChoiceSlot(kind);
    return slot >= 0 && slot < 3 ? choices_[static_cast<std::size_t>(slot)] : nullptr;
}

void CSourceOpenDlg::OnCommand(int commandId) {
    if (commandId == kCloseCommand || commandId == kCloseId) {
        reject();
        return;
    }
    CSkinDialog::OnCommand(commandId);
}

} // namespace kirvano
