// Push and check buttons drawn from a four-image strip: 0 normal, 1 hover or greyed,
// 2 pressed or checked, 3 disabled. Key presses on them are swallowed.
#pragma once

#include <QAbstractButton>
#include <QColor>

namespace kirvano {

class CSkinButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit CSkinButton(QWidget* parent = nullptr, int commandId = 0);

    // The image strip (a resource number of the skin) and the size of one image.
    void SetImage(int resourceId, int width, int height);
    int ImageId() const { return imageId_; }
    QSize ImageSize() const { return imageSize_; }

    // A hidden button draws nothing.
    void SetHidden(bool hidden);
    bool IsHidden() const { return hidden_; }
    // A forced-pressed button is drawn pressed (the map switch while the map is off).
    void SetForcedPressed(bool pressed);
    bool IsForcedPressed() const { return forcedPressed_; }
    // A greyed button is drawn with the hover image.
    void SetGreyed(bool greyed);
    bool IsGreyed() const { return greyed_; }

    int CommandId() const { return commandId_; }
    bool IsHovered() const { return hovered_; }
    // The image the button draws in its current state; -1 when it draws nothing.
    virtual int ImageIndex() const;

    QSize sizeHint() const override;

signals:
    // Emitted with the command id on every click.
    void Command(int commandId);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

    // The image index by the drawing rule, hover aside.
    int StateIndex() const;
    void SetHovered(bool hovered);

private:
    int commandId_;
    int imageId_ = 0;
    QSize imageSize_{32, 32};
    bool hidden_ = false;
    bool forcedPressed_ = false;
    bool greyed_ = false;
    bool hovered_ = false;
};

// A check button: the 12 x 12 box strip at (0, 4), its text from x = 16. Initially checked.
class CSkinCheckButton : public CSkinButton {
    Q_OBJECT
public:
    explicit CSkinCheckButton(QWidget* parent = nullptr, int commandId = 0);

    void SetCheck(bool checked) { setChecked(checked); }
    bool GetCheck() const { return isChecked(); }
    void SetTextColour(const QColor& colour);

    static QRect BoxRect() { return QRect(0, 4, 12, 12); }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    QColor textColour_{0xf4, 0xf6, 0xf9};
};

} // namespace kirvano
