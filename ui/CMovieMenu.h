// The owner-drawn popup menu of the video windows: dark items in the shared font, disabled
// items in the system's grey text colour; built for one use and tracked with Track.
#pragma once

#include <QColor>
#include <QMenu>

#include <string>

namespace kirvano {

class CMovieMenu : public QMenu {
    Q_OBJECT
public:
    static inline const QColor kGrayText{109, 109, 109};
    static inline const QColor kText{244, 246, 249};
    static inline const QColor kBackground{43, 48, 56};
    static inline const QColor kHighlight{29, 100, 200};
    static constexpr int kItemHeight = 26;

    explicit CMovieMenu(QWidget* parent = nullptr);

    // An item with a command id and a text; disabled items are drawn grey and never chosen.
    QAction* AppendItem(int commandId, const std::string& text, bool enabled = true);
    // An item whose text is a text-table entry.
    QAction* AppendTextItem(int commandId, int uiTextEntry, bool enabled = true);
    void AppendSeparator();
    // The action of a command id, or nullptr.
    QAction* FindItem(int commandId) const;

    // Shows the menu at a screen point until an item is chosen or the menu is dismissed:
    // the chosen command id, 0 when none.
    int Track(const QPoint& screenPos);

    QSize sizeHint() const override;

signals:
    void Command(int commandId);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace kirvano
