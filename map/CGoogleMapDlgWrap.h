// The application side of the map: owns the map window, the connection watcher and the
// tile cache, answers the page's host calls, and offers the main window the operations
// that draw tracks, event markers and the moving position.
#pragma once

#include "map/MapHost.h"
#include "map/MapScript.h"
#include "map/MapTiles.h"

#include <QPointer>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

class QObject;
class QWidget;

namespace kirvano {

class CGoogleMapDlg2;
class CInetConnectionAsync;

// Playback state as the map status cares about it.
enum class MapPlayerState { Playing, Paused, Other };

class CGoogleMapDlgWrap : public IHostWebViewFuncs {
public:
    // Creates the map window hidden as a child of parent (its browser starts when it is
    // first shown) and starts the connection watcher. owner receives WM_APP_MAP_READY and
    // WM_APP_MAP_SEEK.
    CGoogleMapDlgWrap(QWidget* parent, QObject* owner,
                      MapTileSettings settings = ReadMapTileSettings(), int probe_ms = 1000);
    ~CGoogleMapDlgWrap() override;

    CGoogleMapDlgWrap(const CGoogleMapDlgWrap&) = delete;
    CGoogleMapDlgWrap& operator=(const CGoogleMapDlgWrap&) = delete;

    // The map window (place it at 452 x 368 right of the main video).
    CGoogleMapDlg2* MapWindow() const;

    // Runs script in the page; scripts run in the order issued, once the page has loaded.
    void RunScript(const std::string& script);
    // 0: status "" (playing), 1: "pause", 2: "stop" and the marker moves to the position.
    void SetMapStatus(int kind);
    // Shows or hides the map window; 1 when it changed the map's shown state, else 0.
    int ShowMap(bool show);
    // With the page ready: clears the event markers and the position lines, draws the
    // group track (when asked) and the current recording's track.
    void RedrawTracks(int fileIndex, bool withGroupTrack);
    // With the page ready: redraws the tracks, then adds a marker for every event whose
    // slot is displayed, latest first. False when an event lacks its sample or position;
    // true when the page is not ready (nothing drawn).
    bool DrawEventMarkers(int fileIndex, bool withGroupTrack, std::span<const MapEvent> events,
                          const EventDetector& detector);
    // Rebuilds list from the published telemetry (null: empty list), then draws as
    // DrawEventMarkers under the event list's lock.
    bool DrawMapEvents(int fileIndex, bool withGroupTrack, EventList& list,
                       const EventDetector& detector, const TelemetryReader* published);
    // Once per reset, and only with the page ready: draw(currentIndex) when currentIndex is
    // valid (a failed draw is tried again on the next call), then the status from state.
    void ShowEventsOnce(int currentIndex, MapPlayerState state,
                        const std::function<bool(int fileIndex)>& draw);
    void ResetEventsOnce() { eventsShown_ = false; }

    // The shown sample: its frame always, its fix when it has a valid one.
    void SetPosition(int frame, std::optional<std::pair<double, double>> latLng);
    // The group track: the positions of every recording of the list (thinned to at most
    // 120 000 fixes for the page).
    void SetGroupTrack(std::vector<PositionSample> positions);
    // The current recording's positions; ClearCurrentTrack when no recording is open.
    void SetCurrentTrack(std::vector<PositionSample> positions);
    void ClearCurrentTrack();

    // The watcher's enabled flag (disabled: the map counts as unavailable).
    void SetWatcherEnabled(bool enabled);
    // Probes the tile server now (the map switch does this).
    void RecheckConnection();
    // The tile server answers, or the tile cache can stand in for it.
    bool MapReachable() const;
    // Starts the browser and loads the page without showing the map window; only the first
    // call does anything.
    void StartBrowser();
    bool BrowserStarted() const;

    bool PageReady() const { return pageReady_; }
    bool MapShown() const { return mapShown_; }
    // The browser could not start or its page process ended.
    bool BrowserFailed() const;
    int CurrentFrame() const { return currentFrame_; }
    MapTileCache* Tiles() const { return tiles_.get(); }
    CInetConnectionAsync* Watcher() const { return watcher_.get(); }

    // IHostWebViewFuncs
    int ConnectTest() override;
    void OnInitHtml() override;
    std::optional<std::string> GetGPSData() override;
    std::optional<std::string> GetGridData(const std::string& ignored) override;
    std::string GetMarkName(int kind) override;
    std::string GetRcString(int index) override;
    std::string GetRelJpgNum() override;
    void DebLog(const std::string&) override {}
    void OnClickCrashPoint(int ifile, int igrid, int ipos, int valid, double lat, double lng,
                           double speed, double direction) override;
    std::string GetMapURL() override;
    void SetSend() override;

private:
    QObject* owner_;
    std::unique_ptr<MapTileCache> tiles_;
    std::unique_ptr<CInetConnectionAsync> watcher_;
    QPointer<CGoogleMapDlg2> map_;
    bool pageReady_ = false;
    bool mapShown_ = false;
    bool eventsShown_ = false;
    int currentFrame_ = 0;
    std::vector<PositionSample> groupTrack_;
    std::optional<std::string> groupText_;
    std::optional<std::vector<PositionSample>> currentTrack_;
    std::optional<std::string> currentText_;
};

// Whether the browser component is installed (its helper process and resources).
bool MapRuntimeAvailable();
// Test seam: pretend the browser component is installed (true) or missing (false);
// nothing goes back to the real check.
void SetMapRuntimeAvailableForTesting(std::optional<bool> available);
// Caption and text of the notice shown when it is not, in the chosen language.
std::pair<std::string, std::string> MapRuntimeNotice();

} // namespace kirvano
