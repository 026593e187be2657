// The program's message dialog: white, borderless, sized to its text, with OK and (for
// questions) Cancel; and CMsgBox, the one-call way to show it modally.
#pragma once

#include "ui/CSkinDialog.h"

#include <QRect>

#include <string>

class QLabel;
class QPushButton;
class QScrollArea;

namespace kirvano {

// Button types and result codes of a message box.
inline constexpr int kMbOk = 0;
inline constexpr int kMbOkCancel = 1;
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

class CMsgDlg : public CSkinDialog {
    Q_OBJECT
public:
    static constexpr int kTextControl = 1009;
    static constexpr int kTextLeft = 40;
    static constexpr int kTextTop = 30;
    static constexpr int kExtraWidth = 80;
    static constexpr int kExtraHeight = 60 + 80;

    // owner: the window the dialog is centred over; the screen when there is none.
    CMsgDlg(const std::string& text, const std::string& caption, int type = kMbOk,
            QWidget* owner = nullptr);

    // Runs modally: kIdOk or kIdCancel (also for Escape and for a closed window).
    int Run();

    std::string Text() const { return text_; }
    // Where the message is drawn, and the size it needs there.
    QRect TextRect() const;
    QSize TextSize() const { return textSize_; }
    QLabel* TextLabel() const { return label_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }
    // Whether the text needed scrolling (a text taller than the screen).
    bool Scrolls() const { return scroll_ != nullptr; }

    void accept() override;
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Layout(QWidget* owner);
    void CentreOverOwner();

    std::string text_;
    QLabel* label_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QWidget* owner_ = nullptr;
    QSize textSize_;
};

class CMsgBox {
public:
    explicit CMsgBox(QWidget* owner = nullptr) : owner_(owner) {}
    // Shows `text` under `caption` with buttons of `type` and returns the result code.
    int Show(const std::string& text, const std::string& caption, int type = kMbOk) const;

private:
    QWidget* owner_;
};

} // namespace kirvano
