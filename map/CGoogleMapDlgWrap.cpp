// The map's application side: host callbacks, position and status, track and marker scripts.
#include "map/CGoogleMapDlgWrap.h"

#include "map/CGoogleMapDlg2.h"
#include "map/CInetConnectionAsync.h"
#include "ui/AppMessage.h"
#include "ui/UiText.h"

#include <QFileInfo>
#include <QLibraryInfo>

namespace kirvano {

namespace {
// More fixes than this make the group track's array thinner (see GroupTrackStride).
constexpr std::size_t kGroupTrackFixes = 120000;
} // namespace

CGoogleMapDlgWrap::CGoogleMapDlgWrap(QWidget* parent, QObject* owner, MapTileSettings settings,
                                     int probe_ms)
    : owner_(owner), tiles_(std::make_unique<MapTileCache>(std::move(settings))),
      watcher_(std::make_unique<CInetConnectionAsync>(TileServerRoot(tiles_->settings().tileUrl),
                                                      probe_ms)) {
    map_ = new CGoogleMapDlg2(this, tiles_.get(), parent);
    map_->hide();
    map_->holder().SetFailureHandler([this] {
        pageReady_ = false;
        if (map_ != nullptr && map_->parentWidget() != nullptr)
            map_->parentWidget()->update();
    });
}

CGoogleMapDlgWrap::~CGoogleMapDlgWrap() {
    delete map_.data();
    watcher_.reset();
}

CGoogleMapDlg2* CGoogleMapDlgWrap::MapWindow() const {
    return map_;
}

bool CGoogleMapDlgWrap::BrowserFailed() const {
    return map_ != nullptr && map_->holder().Failed();
}

void CGoogleMapDlgWrap::RunScript(const std::string& script) {
    if (map_ == nullptr)
        return;
    map_->holder().RunScript(QString::fromStdString(script));
}

void CGoogleMapDlgWrap::SetMapStatus(int kind) {
    if (map_ == nullptr)
        return;
    if (kind == 0) {
        map_->mapStatus.clear();
    } else if (kind == 1) {
        map_->mapStatus = "pause";
    } else if (kind == 2) {
        map_->mapStatus = "stop";
        RunScript("orbitgrplist.MoveMarker()");
    }
}

int CGoogleMapDlgWrap::ShowMap(bool show) {
    if (map_ == nullptr)
        return 0;
    if (show) {
        if (mapShown_ || !map_->isHidden())
            return 0;
        map_->show();
        mapShown_ = true;
        return 1;
    }
    if (mapShown_ && !map_->isHidden()) {
        map_->hide();
        mapShown_ = false;
        return 1;
    }
    return 0;
}

void CGoogleMapDlgWrap::RedrawTracks(int fileIndex, bool withGroupTrack) {
    if (!pageReady_)
        return;
    for (const std::string& script : RedrawTrackScripts(fileIndex, withGroupTrack))
        RunScript(script);
}

bool CGoogleMapDlgWrap::DrawEventMarkers(int fileIndex, bool withGroupTrack,
                                         std::span<const MapEvent> events,
                                         const EventDetector& detector) {
    if (!pageReady_)
        return true;
    RedrawTracks(fileIndex, withGroupTrack);
    std::vector<std::string> scripts;
    const bool complete = EventMarkerScripts(events, detector, fileIndex, scripts);
    for (const std::string& script : scripts)
        RunScript(script);
    return complete;
}

bool CGoogleMapDlgWrap::DrawMapEvents(int fileIndex, bool withGroupTrack, EventList& list,
                                      const EventDetector& detector,
                                      const TelemetryReader* published) {
    std::lock_guard lock(EventList::Lock());
    list.Rebuild(detector, published);
    const std::vector<MapEvent> events = list.Events();
    return DrawEventMarkers(fileIndex, withGroupTrack, events, detector);
}

void CGoogleMapDlgWrap::ShowEventsOnce(int currentIndex, MapPlayerState state,
                                       const std::function<bool(int)>& draw) {
    if (eventsShown_ || !pageReady_)
        return;
    if (currentIndex >= 0) {
        if (!draw || !draw(currentIndex))
            return;
        eventsShown_ = true;
    }
    if (state == MapPlayerState::Paused)
        SetMapStatus(1);
    else if (state == MapPlayerState::Other)
        SetMapStatus(2);
}

void CGoogleMapDlgWrap::SetPosition(int frame, std::optional<std::pair<double, double>> latLng) {
    currentFrame_ = frame;
    if (latLng && map_ != nullptr) {
        map_->mapLat = latLng->first;
        map_->mapLng = latLng->second;
    }
}

void CGoogleMapDlgWrap::SetGroupTrack(std::vector<PositionSample> positions) {
    groupTrack_ = std::move(positions);
    groupText_.reset();
}

void CGoogleMapDlgWrap::SetCurrentTrack(std::vector<PositionSample> positions) {
    currentTrack_ = std::move(positions);
    currentText_.reset();
}

void CGoogleMapDlgWrap::ClearCurrentTrack() {
    currentTrack_.reset();
    currentText_.reset();
}

void CGoogleMapDlgWrap::SetWatcherEnabled(bool enabled) {
    watcher_->SetEnabled(enabled);
}

void CGoogleMapDlgWrap::RecheckConnection() {
    watcher_->ProbeNow();
}

bool CGoogleMapDlgWrap::MapReachable() const {
    return watcher_->Connected() != 0 || tiles_->HasCachedTiles();
}

void CGoogleMapDlgWrap::StartBrowser() {
    if (map_ != nullptr)
        map_->holder().Create();
}

bool CGoogleMapDlgWrap::BrowserStarted() const {
    return map_ != nullptr && map_->holder().CreationStarted();
}

int CGoogleMapDlgWrap::ConnectTest() {
    if (!watcher_->Enabled()) {
        pageReady_ = false;
        return 0;
    }
    // Beyond a live server, cached tiles are enough to show the map (and the tracks over it).
    const int connected = MapReachable() ? 1 : 0;
    if (connected == 0)
        pageReady_ = false;
    return connected;
}

void CGoogleMapDlgWrap::OnInitHtml() {
    pageReady_ = true;
    if (owner_ != nullptr)
        PostAppMessage(owner_, WM_APP_MAP_READY, 0, 0);
}

std::optional<std::string> CGoogleMapDlgWrap::GetGPSData() {
    if (!groupText_) {
        const int stride = GroupTrackStride(groupTrack_, kGroupTrackFixes);
        groupText_ = PositionArrayText(groupTrack_, stride);
    }
    return groupText_;
}

std::optional<std::string> CGoogleMapDlgWrap::GetGridData(const std::string&) {
    if (!currentTrack_)
        return std::nullopt;
    if (!currentText_)
        currentText_ = PositionArrayText(*currentTrack_);
    return currentText_;
}

std::string CGoogleMapDlgWrap::GetMarkName(int kind) {
    const int entry = MarkNameEntry(kind);
    return entry < 0 ? std::string() : UiText(entry);
}

std::string CGoogleMapDlgWrap::GetRcString(int index) {
    return UiText(index);
}

std::string CGoogleMapDlgWrap::GetRelJpgNum() {
    return std::to_string(currentFrame_);
}

void CGoogleMapDlgWrap::OnClickCrashPoint(int, int, int ipos, int, double, double, double, double) {
    if (owner_ != nullptr)
        PostAppMessage(owner_, WM_APP_MAP_SEEK, 0, ipos);
}

std::string CGoogleMapDlgWrap::GetMapURL() {
    return "kirvano-map://app/leaflet.js?callback=loadLibs";
}

void CGoogleMapDlgWrap::SetSend() {
    if (map_ == nullptr)
        return;
    CWebView2Holder& holder = map_->holder();
    holder.latText = FixedSix(map_->mapLat);
    holder.lngText = FixedSix(map_->mapLng);
    holder.statusText = map_->mapStatus;
    holder.PostWebMessageAsJson(UpdateMessageText(map_->mapLat, map_->mapLng, map_->mapStatus));
}

namespace {
std::optional<bool> runtimeForTesting;
} // namespace

void SetMapRuntimeAvailableForTesting(std::optional<bool> available) {
    runtimeForTesting = available;
}

bool MapRuntimeAvailable() {
    if (runtimeForTesting)
        return *runtimeForTesting;
    // The variable the browser component itself reads to find its helper.
    QString process = qEnvironmentVariable("QTWEBENGINEPROCESS_PATH");
    if (process.isEmpty())
        process = QLibraryInfo::path(QLibraryInfo::LibraryExecutablesPath) + "/QtWebEngineProcess";
    const QFileInfo info(process);
    return info.isFile() && info.isExecutable();
}

std::pair<std::string, std::string> MapRuntimeNotice() {
    if (SelectedUiTextColumn() == 1)
        return {"The map component is not installed.",
                "Without Qt WebEngine the map cannot be shown.\n"
                "Install it (Debian: sudo apt install libqt6webenginecore6-bin "
                "libqt6webenginewidgets6) and start Kirvano again.\n"
                "Everything else works without it.\n"};
    return {"地図表示コンポーネントがインストールされていません。",
            "Qt WebEngine がインストールされていないと地図が表示されません。\n"
            "パッケージ (Debian: sudo apt install libqt6webenginecore6-bin "
            "libqt6webenginewidgets6) をインストールし、Kirvano を再起動してください。\n"
            "地図以外の機能はそのまま使用できます。\n"};
}

} // namespace kirvano
