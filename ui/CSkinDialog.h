// The frame of the skinned dialogs: no border, a 20-pixel caption strip with the window icon
// and the caption text, an optional skinned close button (command 18), and dragging the
// window by pressing anywhere in it.
#pragma once

#include "ui/WindowDrag.h"

#include <QColor>
#include <QDialog>
#include <QPixmap>

#include <string>

namespace kirvano {

class CSkinButton;

class CSkinDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kCaptionHeight = 20;
    static constexpr int kCloseCommand = 18;
    static inline const QColor kCaptionColour{128, 128, 128};
    static inline const QColor kCaptionTextColour{255, 255, 255};

    explicit CSkinDialog(QWidget* parent = nullptr);

    void SetCaption(const std::string& caption);
    std::string Caption() const { return caption_; }
    // The window icon, drawn 20 x 20 at the caption's left; a null pixmap removes it.
    void SetIcon(const QPixmap& icon);
    // The skin's window icon.
    void SetSkinIcon();
    bool HasIcon() const { return !icon_.isNull(); }
    // Shows or removes the close button at the caption's right end.
    void EnableCloseButton(bool enable);
    CSkinButton* CloseButton() const { return closeButton_; }

    // The x where the caption text starts: 21 with an icon, 5 without.
    int CaptionTextX() const { return HasIcon() ? 21 : 5; }
    void SetBodyColour(const QColor& colour);
    QColor BodyColour() const { return body_; }
    bool IsDragging() const { return drag_.active(); }

protected:
    // A command from a skinned button of the dialog; the close button rejects it.
    virtual void OnCommand(int commandId);

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    std::string caption_;
    QPixmap icon_;
    QColor body_{63, 63, 63};
    CSkinButton* closeButton_ = nullptr;
    WindowDrag drag_;
};

} // namespace kirvano
