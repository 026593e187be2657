// The main window's life cycle: the initialisation steps in their order, the child
// windows in their creation order, the players, and the shutdown that leaves no timer,
// player or worker behind.
#include "app/CtarnicDlg.h"

#include "app/CSettingDlg.h"
#include "base/NamedLocks.h"
#include "config/Settings.h"
#include "library/ui/CFilerContainerDlg.h"
#include "map/CGoogleMapDlgWrap.h"
#include "playback/CMovieDialog.h"
#include "playback/CMovieStatic.h"
#include "playback/platform/GstPipeline.h"
#include "ui/CResourceImage.h"
#include "ui/CSkinButton.h"
#include "ui/CSkinProgressBarCtrl.h"
#include "ui/CSkinSliderCtrl.h"
#include "ui/SkinButtonRoles.h"
#include "ui/UiText.h"
#include "update/CUpdateDialog.h"
#include "update/VersionCheck.h"
#include "views/CGSensorDlg.h"
#include "views/CInfoDlg.h"

#include <QApplication>
#include <QCloseEvent>

#include <algorithm>

namespace kirvano {

namespace {
constexpr const char* kOverlayFace = "メイリオ";
} // namespace

CtarnicDlg::CtarnicDlg(QWidget* parent, std::unique_ptr<RemovableVolumes> volumes)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::Window), volumes_(std::move(volumes)) {
    if (!volumes_)
        volumes_ = std::make_unique<SystemRemovableVolumes>();
    for (int slot = 0; slot < 2; ++slot)
        engines_[slot] = std::make_unique<PlaybackEngine>(slot, GstPipelineFactory());
    players_ = std::make_unique<EngineBroadcast>(engines_[0].get(), engines_[1].get());
    InitialiseWindow();
    InstallKeys();
    InstallDesktop();
}

CtarnicDlg::~CtarnicDlg() {
    Shutdown();
}

void CtarnicDlg::InitialiseWindow() {
    // 1. Icons.
    InitSkinResources();
    setWindowIcon(QIcon(QPixmap::fromImage(SkinImages().Image(skin::kWindowIcon, 1.0))));

    // 2. The locks. A registry lock always exists, so the window never comes up empty.
    hMutexCache_ = &NamedLock("hMutexCache");
    hMutexCpSet_ = &NamedLock("hMutexCpSet");
    if (!LocksCreated())
        return;

    // 3. Language column and the configuration folder.
    SelectUiTextColumn(UiTextColumnFromEnvironment());
    ConfigDirectory();

    // 4. Title and the fixed size, in logical pixels.
    setWindowTitle(QStringLiteral("Kirvano"));
    setFixedSize(kWidth, kHeight);

    // 5. Skin bitmaps at the screen's pixel ratio.
    SkinImages().Load(devicePixelRatioF());

    // 6. Child windows.
    CreateChildren();

    // 7. Defaults of the configuration file when it does not exist.
    WriteDefaultSettings();

    // 8. The settings window, hidden until asked for.
    settingDlg_ = new CSettingDlg(this, this);
    settingDlg_->hide();

    // 9. Both players and the hardware-decoding switch.
    InitialisePlayers();

    // 10. Aspect flag and stored volume.
    aspect_ = ReadSetting("DISPLAY", "ASPECT") == "on";
    storedVolume_ = std::clamp(ReadVolumeSetting(), 0, 65535);
    SetPlayersVolume(storedVolume_);
    volumeSlider_->SetPos(storedVolume_);

    // 11. Layout; the progress bar is a hidden strip along the bottom of the video area.
    LayOut();
    progressBar_->SetRange(0, 100);
    progressBar_->SetPos(0);
    progressBar_->hide();

    // 12. Aspect flag and video rectangles of the players.
    players_->SetAspectMode(aspect_ ? 1 : 0);
    ApplyVideoRects();

    initialised_ = true;
    RefreshButtons();

    // 13. Idle timer, version check; then the start-up source.
    StartTimer(kTimerIdle, 1000);
    PostAppMessage(this, WM_APP_START_VERSION_CHECK);
    LoadInitialSource();
}

void CtarnicDlg::CreateChildren() {
    // The recording list container; it tells this window about its tree and rows.
    listPanel_ = new CFilerContainerDlg(this);
    listPanel_->CreateChildren(this);
    connect(listPanel_, &CFilerContainerDlg::RecordingChosen, this, &CtarnicDlg::OnRecordingChosen);
    connect(listPanel_, &CFilerContainerDlg::FilterChanged, this, &CtarnicDlg::OnFilterChanged);
    CreateLogoPanel();

    // The floating window of the sub camera, hidden until asked for.
    movieDialog_ = new CMovieDialog(QString::fromStdString(UiText(153)), this);
    movieDialog_->hide();

    // The video windows: the main camera's in the main window, the sub camera's docked.
    for (int slot = 0; slot < 2; ++slot) {
        auto* window = new CMovieStatic(this, this);
        window->setSlot(slot);
        window->setEngine(engines_[slot].get());
        window->setCustomCursor(true);
        videoWindows_[slot] = window;
    }
    videoWindows_[mainCamera_]->setObjectName(QStringLiteral("main video"));

    // The map, hidden until it has something to show (its browser starts then).
    CreateMap();

    // The G-sensor graph under the info panel; its clicks ask for the event jumps.
    graphDlg_ = new CGSensorDlg(this, this);

    // The info panel; the sub camera's strip docks at its right edge.
    infoDlg_ = new CInfoDlg(this, this);

    // The sliders and the progress bar.
    seekSlider_ = new CSkinSliderCtrl(this, kSeekSliderId);
    seekSlider_->SetImages(skin::kSeekFilled, skin::kSeekEmpty, skin::kSeekThumb,
                           skin::kSeekThumbPressed);
    seekSlider_->SetRange(0, 0);
    volumeSlider_ = new CSkinSliderCtrl(this, kVolumeSliderId);
    volumeSlider_->SetImages(skin::kVolumeFilled, skin::kVolumeEmpty, skin::kVolumeThumb,
                             skin::kVolumeThumbPressed);
    volumeSlider_->SetRange(0, 65535);
    progressBar_ = new CSkinProgressBarCtrl(this);
    progressBar_->setObjectName(QStringLiteral("progress bar"));
    progressBar_->setWindowTitle(QStringLiteral("progress bar"));

    // The 15 tool buttons and the 3 caption buttons.
    for (std::size_t i = 0; i < kToolButtons.size(); ++i) {
        toolButtons_[i] = CreateSkinButton(this, kToolButtons[i]);
        connect(toolButtons_[i], &CSkinButton::Command, this, &CtarnicDlg::OnCommand);
    }
    for (std::size_t i = 0; i < kCaptionButtons.size(); ++i) {
        captionButtons_[i] = CreateSkinButton(this, kCaptionButtons[i]);
        connect(captionButtons_[i], &CSkinButton::Command, this, &CtarnicDlg::OnCommand);
    }
}

void CtarnicDlg::InitialisePlayers() {
    for (int slot = 0; slot < 2; ++slot)
        playerPresent_[slot] = engines_[slot]->Init(videoWindows_[slot], kOverlayFace);
    players_->SetActive(0, playerPresent_[0]);
    players_->SetActive(1, playerPresent_[1]);
    // The rate change is applied at once; the settle pause only helps a real device.
    players_->settleMs = 0;
    if (AnyPlayerPresent())
        SetHardwareDecoding(ReadSetting("DECODE", "HW") == "on");
}

void CtarnicDlg::Shutdown() {
    if (shutDown_)
        return;
    shutDown_ = true;
    ++shutdownRuns_;

    KillTimer(kTimerIdle);
    if (versionCheck_)
        versionCheck_->Stop();
    // Pause, stop and reset the view: normal rate, main camera 0, players closed.
    if (AnyPlayerPresent()) {
        players_->Pause();
        players_->Stop();
    }
    ResetView();
    KillTimer(kTimerPlaybackTick);
    // The preparation threads only read files; they end on their own and are joined
    // before the players that own their caches go.
    filePreparation_.Stop();
    nextFilePreparation_.Stop();
    for (int slot = 0; slot < 2; ++slot) {
        if (playerPresent_[slot]) {
            playerPresent_[slot] = false;
            engines_[slot]->Shutdown();
        }
        if (videoWindows_[slot] != nullptr)
            videoWindows_[slot]->setEngine(nullptr);
    }
    for (int id = kTimerPlaybackTick; id <= kTimerRateSettle; ++id)
        KillTimer(id);
    EndWaitCursor();
    ReleaseMap();

    // The long task is asked to stop first, so it cannot hold a lock we wait for.
    taskRunner_.Cancel();
    // Take and release each lock, so no worker is still inside a guarded section.
    for (std::recursive_mutex* lock : {hMutexCache_, hMutexCpSet_}) {
        if (lock != nullptr) {
            lock->lock();
            lock->unlock();
        }
    }
    hMutexCache_ = nullptr;
    hMutexCpSet_ = nullptr;

    // End a running long task: wait for its thread.
    taskRunner_.Join();
    longTask_ = false;
}

void CtarnicDlg::closeEvent(QCloseEvent* event) {
    Shutdown();
    QDialog::closeEvent(event);
    event->accept();
}

void CtarnicDlg::reject() {
    // Escape, the window manager's close and the close button all end here.
    Shutdown();
    QDialog::reject();
}

} // namespace kirvano
