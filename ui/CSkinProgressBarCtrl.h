// The progress bar of long tasks: blue fill on white with the position as "N %" centred,
// drawn white over the fill and blue over the rest.
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

namespace kirvano {

class CSkinProgressBarCtrl : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 22;
    static constexpr int kTextBoxWidth = 100;
    static inline const QColor kFill{0, 0, 255};
    static inline const QColor kEmpty{255, 255, 255};

    explicit CSkinProgressBarCtrl(QWidget* parent = nullptr);

    void SetRange(int minimum, int maximum);
    int GetRangeMin() const { return minimum_; }
    int GetRangeMax() const { return maximum_; }
    // Clamped to the range.
    void SetPos(int position);
    int GetPos() const { return position_; }

    // Width of the blue part at the current width; 0 for an empty range.
    int FilledWidth() const;
    // The text drawn: "N %" of the position, "0 %" for an empty range.
    QString Text() const;

    QSize sizeHint() const override { return QSize(300, kHeight); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int minimum_ = 0;
    int maximum_ = 100;
    int position_ = 0;
};

} // namespace kirvano
