// The main window's keyboard: an application-wide filter hands every key pressed in the
// window (whichever child has the focus) to the key table, and the window carries the
// action out the way its buttons and its seek slider do, with their guards. F1 shows an
// overlay that lists the keys.
#include "app/CtarnicDlg.h"

#include "app/rules/KeyTable.h"
#include "app/rules/PlaybackRules.h"
#include "library/ui/CFileListCtrl.h"
#include "library/ui/CFilerContainerDlg.h"
#include "library/ui/CFolderTreeCtrl.h"
#include "playback/CMovieDialog.h"
#include "playback/CMovieStatic.h"
#include "ui/CSkinButton.h"
#include "ui/CSkinSliderCtrl.h"
#include "ui/SharedFonts.h"
#include "ui/UiText.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

namespace kirvano {

namespace {

KeyName KeyNameOf(int key) {
    switch (key) {
    case Qt::Key_Space:
        return KeyName::Space;
    case Qt::Key_Left:
        return KeyName::Left;
    case Qt::Key_Right:
        return KeyName::Right;
    case Qt::Key_Up:
        return KeyName::Up;
    case Qt::Key_Down:
        return KeyName::Down;
    case Qt::Key_PageUp:
        return KeyName::PageUp;
    case Qt::Key_PageDown:
        return KeyName::PageDown;
    case Qt::Key_Home:
        return KeyName::Home;
    case Qt::Key_Plus:
        return KeyName::Plus;
    case Qt::Key_Equal:
        return KeyName::Equal;
    case Qt::Key_Minus:
        return KeyName::Minus;
    case Qt::Key_F:
        return KeyName::F;
    case Qt::Key_F11:
        return KeyName::F11;
    case Qt::Key_Escape:
        return KeyName::Escape;
    case Qt::Key_S:
        return KeyName::S;
    case Qt::Key_O:
        return KeyName::O;
    case Qt::Key_F1:
        return KeyName::F1;
    case Qt::Key_Question:
        return KeyName::Question;
    default:
        return KeyName::Other;
    }
}

KeyModifiers ModifiersOf(Qt::KeyboardModifiers m) {
    return {m.testFlag(Qt::ShiftModifier), m.testFlag(Qt::ControlModifier),
            m.testFlag(Qt::AltModifier) || m.testFlag(Qt::MetaModifier)};
}

// Sees every key event of the application before its receiver and hands those meant for
// the main window (or its floating sub-camera window) to it. The decision rests on the
// focus widget, not on the receiver, so a key that travels up to the parents is judged
// the same way at every step.
class KeyFilter : public QObject {
public:
    explicit KeyFilter(CtarnicDlg* window) : QObject(window), window_(window) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
            return false;
        const QWidget* receiver = static_cast<QWidget*>(watched);
        const QWidget* top = receiver->window();
        if (top != window_ && top != window_->MovieDialog())
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        // A key travelling up from the focus widget is judged by the focus widget; a key
        // sent to a widget directly, by that widget.
        const QWidget* focus = QApplication::focusWidget();
        if (focus == nullptr || !(focus == receiver || receiver->isAncestorOf(focus)))
            focus = receiver;
        const CFilerContainerDlg* panel = window_->ListPanel();
        const bool inList = panel != nullptr && (focus == static_cast<QWidget*>(panel->List()) ||
                                                 focus == static_cast<QWidget*>(panel->Tree()));
        if (inList && ListKeepsKey(KeyNameOf(key->key()), ModifiersOf(key->modifiers())))
            return false;
        return window_->OnKey(key->key(), key->modifiers(), key->isAutoRepeat());
    }

private:
    CtarnicDlg* window_;
};

// The list of keys over the video: a dark, rounded panel; a click or any key closes it.
class KeyHelpOverlay : public QWidget {
public:
    static constexpr int kRowHeight = 22;
    static constexpr int kMargin = 16;
    static constexpr int kKeyColumn = 170;

    explicit KeyHelpOverlay(QWidget* parent) : QWidget(parent) {
        setObjectName(QStringLiteral("key help"));
        setFont(UiFont());
        setAttribute(Qt::WA_TranslucentBackground);
        const int rows = static_cast<int>(KeyHelpRows().size()) + 1;
        resize(470, rows * kRowHeight + 2 * kMargin);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath panel;
        panel.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
        p.fillPath(panel, QColor(20, 24, 30, 225));
        p.setPen(QColor(107, 114, 128));
        p.drawPath(panel);

        const bool english = SelectedUiTextColumn() == 1;
        QFont bold = font();
        bold.setBold(true);
        p.setFont(bold);
        p.setPen(QColor(244, 246, 249));
        int y = kMargin;
        p.drawText(QRect(kMargin, y, width() - 2 * kMargin, kRowHeight),
                   Qt::AlignLeft | Qt::AlignVCenter,
                   english ? QStringLiteral("Keys") : QStringLiteral("キー操作"));
        y += kRowHeight;
        for (const KeyHelpRow& row : KeyHelpRows()) {
            p.setFont(bold);
            p.setPen(QColor(0, 204, 255));
            p.drawText(QRect(kMargin, y, kKeyColumn, kRowHeight), Qt::AlignLeft | Qt::AlignVCenter,
                       QString::fromUtf8(row.keys));
            p.setFont(font());
            p.setPen(QColor(244, 246, 249));
            p.drawText(
                QRect(kMargin + kKeyColumn, y, width() - 2 * kMargin - kKeyColumn, kRowHeight),
                Qt::AlignLeft | Qt::AlignVCenter,
                QString::fromUtf8(english ? row.english : row.japanese));
            y += kRowHeight;
        }
    }
    void mousePressEvent(QMouseEvent*) override { hide(); }
};

} // namespace

void CtarnicDlg::InstallKeys() {
    qApp->installEventFilter(new KeyFilter(this));
}

bool CtarnicDlg::OnKey(int qtKey, Qt::KeyboardModifiers modifiers, bool autoRepeat) {
    if (shutDown_ || !initialised_)
        return false;
    const KeyAction action = ActionForKey(KeyNameOf(qtKey), ModifiersOf(modifiers));
    if (action.verb == KeyVerb::None)
        return false;
    // Any key closes the list of keys first.
    if (keyHelp_ != nullptr && keyHelp_->isVisible()) {
        ShowKeyHelp(false);
        return true;
    }
    if (action.verb == KeyVerb::LeaveFullScreen) {
        if (!fullScreen_)
            return false; // outside full screen Escape keeps its old meaning
        LeaveFullScreen();
        return true;
    }
    // While a long task runs the keys do nothing (its cancel stays on the button).
    if (longTask_)
        return true;
    switch (action.verb) {
    case KeyVerb::Command: {
        // A key is a click on its button; holding it down does not click again and again.
        if (!autoRepeat)
            ClickCommand(action.command);
        return true;
    }
    case KeyVerb::StepFrames:
        StepFrames(action.amount);
        return true;
    case KeyVerb::StepSeconds:
        StepSeconds(action.amount);
        return true;
    case KeyVerb::Volume:
        // The volume slider's guard: nothing while a recording is being opened.
        if (!busy_)
            StoreVolume(VolumeAfterKeys(storedVolume_, action.amount));
        return true;
    case KeyVerb::ShowHelp:
        if (!autoRepeat)
            ShowKeyHelp(true);
        return true;
    case KeyVerb::ToggleFullScreen:
        // Full screen has the guards of its own command.
        if (!autoRepeat)
            ToggleFullScreen();
        return true;
    case KeyVerb::LeaveFullScreen:
    case KeyVerb::None:
        break;
    }
    return false;
}

void CtarnicDlg::StepFrames(int frames) {
    // The seek slider's guards, and only on a still picture.
    if (!ready_ || busy_ || !seekSlider_->isEnabled())
        return;
    const EngineState state = PlayerState();
    if (state != EngineState::Paused && state != EngineState::Stopped)
        return;
    const std::int64_t target =
        FrameStepTarget(shownPosition_, frames, positionMin_, positionMax_, rateMode_);
    if (target != shownPosition_)
        SeekTo(target);
}

void CtarnicDlg::StepSeconds(int seconds) {
    if (!ready_ || busy_ || !seekSlider_->isEnabled())
        return;
    double frameMs = 0.0;
    for (int slot = 0; slot < 2 && frameMs <= 0.0; ++slot) {
        if (playerPresent_[slot] && players_->open(slot))
            frameMs = engines_[slot]->GetFrameDuration();
    }
    const std::int64_t frames = FramesInSeconds(seconds, frameMs);
    if (frames == 0)
        return;
    const std::int64_t target = std::max(positionMin_, shownPosition_ + frames);
    SeekTo(target);
}

void CtarnicDlg::ShowKeyHelp(bool on) {
    if (!on) {
        if (keyHelp_ != nullptr)
            keyHelp_->hide();
        return;
    }
    if (keyHelp_ == nullptr)
        keyHelp_ = new KeyHelpOverlay(this);
    const QWidget* video = videoWindows_[mainCamera_];
    const QRect area = video != nullptr && video->isVisible() ? video->geometry() : rect();
    keyHelp_->move(area.center() - QPoint(keyHelp_->width() / 2, keyHelp_->height() / 2));
    keyHelp_->show();
    keyHelp_->raise();
}

} // namespace kirvano
