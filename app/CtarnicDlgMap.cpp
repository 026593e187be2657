// The map in the main window: the map window and the logo panel in the place right of the
// main video, the rule that chooses between them on every display refresh, the tracks and
// event markers handed to the page when a recording is ready, the position and playback
// status it follows, marker clicks that seek, and the map switch.
#include "app/CtarnicDlg.h"

#include "base/NamedLocks.h"
#include "library/RecordingName.h"
#include "library/ui/CFilerContainerDlg.h"
#include "map/CGoogleMapDlg2.h"
#include "map/CGoogleMapDlgWrap.h"
#include "map/CLogoDlg.h"
#include "map/MapScript.h"
#include "playback/EngineTelemetry.h"
#include "telemetry/TelemetryReader.h"
#include "ui/CSkinButton.h"
#include "update/CUpdateDialog.h"
#include "views/CGSensorDlg.h"

#include <QTimer>

namespace kirvano {

namespace {

constexpr int kMapRefreshMs = 1000;

// The positions of every recording of the group, in list order. A recording whose data
// file cannot be read adds nothing; the recordings after it still add theirs.
std::vector<PositionSample> GroupPositions(const std::vector<std::string>& paths) {
    std::vector<PositionSample> all;
    TelemetryReader reader;
    for (const std::string& path : paths) {
        if (!reader.Load(DataPathOf(path)))
            continue;
        all.insert(all.end(), reader.positions().begin(), reader.positions().end());
    }
    return all;
}

} // namespace

void CtarnicDlg::CreateLogoPanel() {
    logoDlg_ = new CLogoDlg(this);
    logoDlg_->hide();
    logoDlg_->SetOffline(true);
}

void CtarnicDlg::CreateMap() {
    // The browser component must be there to draw a map; without it the logo stands in.
    mapRuntimeMissing_ = !MapRuntimeAvailable();
    if (qEnvironmentVariable("KIRVANO_MAP") != QLatin1String("off")) {
        map_ = std::make_unique<CGoogleMapDlgWrap>(this, this);
        // Nothing to watch for while the map cannot be shown at all.
        map_->SetWatcherEnabled(!mapRuntimeMissing_);
    }
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &CtarnicDlg::RefreshMapPlace);
    timer->start(kMapRefreshMs);
    mapRefresh_ = timer;
    RefreshMapPlace();
    if (mapRuntimeMissing_)
        QTimer::singleShot(0, this, &CtarnicDlg::ShowMapRuntimeNotice);
}

void CtarnicDlg::ReleaseMap() {
    delete mapRefresh_;
    mapRefresh_ = nullptr;
    // The page goes with its window; the watcher is stopped and waited for.
    map_.reset();
    if (logoDlg_ != nullptr)
        logoDlg_->hide();
}

void CtarnicDlg::ShowMapRuntimeNotice() {
    if (mapNoticeShown_ || shutDown_)
        return;
    mapNoticeShown_ = true;
    RunMapRuntimeNotice();
}

void CtarnicDlg::RefreshMapPlace() {
    if (logoDlg_ == nullptr || shutDown_)
        return;
    const bool browserFailed = map_ && map_->BrowserFailed();
    if (browserFailed && !mapNoticeShown_)
        QTimer::singleShot(0, this, &CtarnicDlg::ShowMapRuntimeNotice);

    MapPlaceInputs in;
    in.layout = layoutMode_;
    in.fullScreen = fullScreen_;
    in.trackNotEmpty = mapTrackNotEmpty_ && ValidIndex(currentIndex_);
    in.pageReady = map_ && map_->PageReady();
    in.firstLetter = mapFirstLetter_;
    in.mapOffline = mapOff_ || !map_;
    in.runtimeMissing = mapRuntimeMissing_ || browserFailed;
    const kirvano::MapPlace place = DecideMapPlace(in);
    const QRect rect = MapPlace();

    if (map_) {
        // The browser starts the first time the map is wanted and could be drawn: the page
        // loads hidden behind the logo and the map comes up when it reports ready.
        MapPlaceInputs ready = in;
        ready.pageReady = true;
        if (!map_->BrowserStarted() && DecideMapPlace(ready) == kirvano::MapPlace::Map &&
            map_->MapReachable())
            map_->StartBrowser();
        if (!rect.isEmpty())
            map_->MapWindow()->setGeometry(rect);
        map_->ShowMap(place == kirvano::MapPlace::Map);
    }
    if (!rect.isEmpty())
        logoDlg_->setGeometry(rect);
    logoDlg_->SetOffline(LogoShowsOffline(in.runtimeMissing, firstMapDrawDone_, in.pageReady));
    logoDlg_->setVisible(place == kirvano::MapPlace::Logo);
}

void CtarnicDlg::MapRecordingPrepared() {
    // The current recording's track from the published positions, and whether it has a fix.
    std::vector<PositionSample> positions;
    if (playerPresent_[0]) {
        std::lock_guard<std::recursive_mutex> lock(NamedLock("hFileMutex"));
        positions = engines_[0]->telemetry().published.positions();
    }
    mapTrackNotEmpty_ = std::any_of(positions.begin(), positions.end(),
                                    [](const PositionSample& p) { return p.gps_valid != 0; });
    std::vector<std::string> group;
    {
        auto lock = LockList();
        const auto& shown = listPanel_->ShownRecordings();
        mapFirstLetter_ = ValidIndex(currentIndex_) && !shown[currentIndex_].name.empty()
                              ? shown[static_cast<std::size_t>(currentIndex_)].name.front()
                              : 0;
        group.reserve(shown.size());
        for (const RecordingInfo& record : shown)
            group.push_back(record.path);
    }
    if (!map_)
        return;
    map_->SetCurrentTrack(std::move(positions));
    // The group track follows the list: it is collected again only when the list changed.
    if (group != mapGroupPaths_) {
        map_->SetGroupTrack(GroupPositions(group));
        mapGroupPaths_ = std::move(group);
        mapGroupDirty_ = true;
    }
}

bool CtarnicDlg::DrawMapEvents(bool withGroupTrack) {
    // The event list follows the display flags of the graph's detector; with the page
    // ready the tracks and the markers are drawn again from it.
    const TelemetryReader* published = playerPresent_[0] && graphDlg_->GraphReady()
                                           ? &engines_[0]->telemetry().published
                                           : nullptr;
    if (!map_) {
        events_.Rebuild(graphDlg_->Detector(), published);
        return true;
    }
    const int index = ValidIndex(currentIndex_) ? currentIndex_ : -1;
    const bool drawn =
        map_->DrawMapEvents(index, withGroupTrack, events_, graphDlg_->Detector(), published);
    if (drawn && withGroupTrack && map_->PageReady())
        mapGroupDirty_ = false;
    RefreshMapPlace();
    return drawn;
}

void CtarnicDlg::ShowMapEventsOnce() {
    if (!map_)
        return;
    const EngineState state = PlayerState();
    const MapPlayerState mapState = state == EngineState::Playing  ? MapPlayerState::Playing
                                    : state == EngineState::Paused ? MapPlayerState::Paused
                                                                   : MapPlayerState::Other;
    // Only a prepared recording has tracks and events to show.
    const int index = ready_ && ValidIndex(currentIndex_) ? currentIndex_ : -1;
    map_->ShowEventsOnce(index, mapState, [this](int) { return DrawMapEvents(true); });
}

void CtarnicDlg::MapTick() {
    RefreshMapPlace();
    ShowMapEventsOnce();
}

void CtarnicDlg::SetMapPosition(const TelemetrySample* sample, std::int64_t frame) {
    if (!map_)
        return;
    std::optional<std::pair<double, double>> fix;
    if (sample != nullptr && sample->position != nullptr && sample->position->gps_valid != 0)
        fix = std::make_pair(sample->position->latitude, sample->position->longitude);
    map_->SetPosition(static_cast<int>(frame), fix);
}

void CtarnicDlg::SetMapStatus(int kind) {
    if (map_)
        map_->SetMapStatus(kind);
}

void CtarnicDlg::ClearMapTrack() {
    mapTrackNotEmpty_ = false;
    if (!map_)
        return;
    map_->ClearCurrentTrack();
    map_->RedrawTracks(-1, false);
    RefreshMapPlace();
}

void CtarnicDlg::OnMapSwitch() {
    mapOff_ = !mapOff_;
    if (CSkinButton* button = Button(kCmdMapSwitch))
        button->SetForcedPressed(mapOff_);
    if (map_)
        map_->RecheckConnection();
    RefreshMapPlace();
}

void CtarnicDlg::OnMapReady(const AppMessage&) {
    mapLoading_ = false;
    // The page (re)loaded its map: everything is drawn again, the group track too.
    mapGroupDirty_ = true;
    if (map_) {
        map_->ResetEventsOnce();
        ShowMapEventsOnce();
    }
    firstMapDrawDone_ = true;
    RefreshMapPlace();
    update();
}

void CtarnicDlg::OnMapSeek(const AppMessage& message) {
    // A marker click seeks as the seek slider does: not while a recording opens.
    if (busy_ || !ready_ || longTask_)
        return;
    SeekTo(message.lParam());
}

} // namespace kirvano
