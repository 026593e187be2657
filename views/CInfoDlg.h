// The info panel under the main video: the shown frame's date and time, the speed, the
// three G values under coloured headings, an event picture, the three switches of the
// G-sensor curves, and the strip at its right edge where the rear camera's video docks.
#pragma once

#include "telemetry/TelemetryTypes.h"
#include "views/InfoText.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <optional>

class QAbstractButton;

namespace kirvano {

class CSkinButton;

// What the panel shows; the defaults are the values after Clear().
struct InfoValues {
    double gx = -5.0, gy = -5.0, gz = -5.0; // G; -5 or below: no value
    bool gpsValid = false;
    double speed = -1.0; // km/h; -1 without a valid fix
    int eventIcon = 0;   // 1..6 one of the six event pictures, else none
    int status = 77;     // the sample's status byte
    std::int32_t frame = -1;
    bool operator==(const InfoValues&) const = default;
};

class CInfoDlg : public QWidget {
    Q_OBJECT

public:
    static constexpr int kFirstToggleId = 38600; // X, Y, Z: 38600, 38601, 38602
    static constexpr QPoint kFirstTogglePos{26, 45};
    static constexpr int kTogglePitch = 120;
    static constexpr int kToggleSize = 12;
    static constexpr int kHeadingWidth = 150;
    static constexpr int kHeadingHeight = 40;
    static constexpr int kHeadingEntries[3] = {65, 66, 67};
    static inline const QColor kHeadingColours[3] = {{0, 255, 0}, {255, 0, 0}, {128, 128, 255}};
    static inline const QColor kBackground{20, 23, 27};
    static inline const QColor kTextColour{255, 255, 255};
    static inline const QColor kPlaceholderColour{95, 101, 110};

    // `owner` receives WM_APP_GRAPH_SETTING; the parent when null.
    explicit CInfoDlg(QWidget* parent = nullptr, QObject* owner = nullptr);

    // Resets the shown values (G -5, no fix, speed -1, no icon, status 77, frame -1) and
    // repaints now; start time, frame duration, time-lapse and switches stay.
    void Clear();
    // The position update: stores every shown value and repaints now.
    void SetValues(const InfoValues& values);
    // The position update from a frame's sample (null: no G values, no fix): G values,
    // status, fix and speed from the sample's position link; the event icon is kept.
    void SetSample(const TelemetrySample* sample, std::int32_t frame);
    // The event picture alone (1..6, 0 none); repaints now.
    void SetEventIcon(int icon);
    const InfoValues& Values() const { return values_; }

    // Per recording: its start time (from the recording record), the movie's frame
    // duration in ms, and the header rate letter ("T" time-lapse on, "N" off, else kept).
    // These change the date text: its box is painted again.
    void SetStartTime(const CivilTime& start);
    void SetFrameDuration(float ms);
    void SetRateLetter(char rate);
    bool TimeLapse() const { return timeLapse_; }

    // Whether curve n (0 X, 1 Y, 2 Z) is switched on; all are on at creation.
    bool AxisShown(int n) const;
    // Sets switch n without posting (e.g. to mirror the graph); repaints the switch.
    void SetAxisShown(int n, bool shown);
    // Switch n's button (id 38600 + n), for layout checks and tests.
    QAbstractButton* ToggleButton(int n) const;

    // The docked rear-camera strip: its width (98 in layout 0, 138 in layout 1, 0 in
    // layout 2), its rectangle at the panel's right edge over the full height, and the video
    // window kept there (a child of this panel, re-placed on every resize; null undocks it
    // without reparenting).
    void SetDockWidth(int width);
    int DockWidth() const { return dockWidth_; }
    QRect DockRect() const;
    void SetDockedWidget(QWidget* video);
    QWidget* DockedWidget() const { return docked_; }

    // The unit of the speed (km/h at creation); repaints.
    void SetSpeedUnit(SpeedUnit unit);
    SpeedUnit Unit() const { return unit_; }

    // The texts the panel draws ("" where it draws a placeholder or nothing).
    QString DateText() const;
    QString SpeedText() const;
    QString UnitText() const;
    QString GText(int n) const;

    // Rectangles of the painted boxes in panel coordinates.
    QRect HeadingRect(int n) const;
    QRect ValueRect(int n) const;
    QRect DateRect() const;
    QRect SpeedRect() const;
    QRect UnitRect() const;
    QRect IconRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void OnToggle(int n);
    int GroupLeft() const;
    int GroupRight() const;
    int UnitWidth() const;

    QObject* owner_;
    InfoValues values_;
    // The date text of values_, kept because the frame, and so the text's input, changes on
    // every position update while the text changes once a second; empty when not known.
    std::optional<QString> dateText_;
    mutable int unitWidth_ = -1; // of the unit text in the panel's font; -1 when not measured
    CivilTime start_;
    float frameDurationMs_ = 0.0f;
    bool timeLapse_ = false;
    SpeedUnit unit_ = SpeedUnit::Kmh;
    std::array<bool, 3> axisShown_{true, true, true};
    std::array<CSkinButton*, 3> toggles_{};
    int dockWidth_ = 98;
    QWidget* docked_ = nullptr;
};

} // namespace kirvano
